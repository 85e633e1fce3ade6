# Sourced by tools/setup.sh: the stand-in CAD host vcad.exe in the project's
# own Wine prefix (never in ~/.wine, never on a real Windows machine unless a
# person runs tools/cadhost/register.sh there by hand), and the demo drawings
# for ./run.

VARNO_HOST_CLSID='{3ABDFC53-24F5-49BE-973E-89FC714BFC94}'
VARNO_HOST_PROGID='AutoCAD.Application'
VARNO_HOST_EXE="$VARNO_ROOT/build/win/tools/cadhost/vcad.exe"

# Registers vcad.exe as "AutoCAD.Application". Idempotent: a stamp in the
# prefix remembers what was registered, so a second call costs nothing.
# After registering it waits (at most 10 s) for the short-lived wineserver to
# end, so that a persistent one can be started right afterwards.
varno_register_host() {
    local exe=${1:-$VARNO_HOST_EXE}
    local stamp="$WINEPREFIX/.vcad-registered"
    if [ ! -f "$exe" ]; then
        echo "varno: $exe is not built; the stand-in CAD host is not registered" >&2
        return 0
    fi
    varno_prefix || return 1
    # The stamp, and the registration still in the prefix's registry file (a
    # test that took it out for a while and crashed leaves it out).
    [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$VARNO_HOST_CLSID $exe" ] &&
        grep -A2 -F "[Software\\\\Classes\\\\$VARNO_HOST_PROGID\\\\CLSID]" \
            "$WINEPREFIX/system.reg" 2>/dev/null | grep -qF "@=\"$VARNO_HOST_CLSID\"" &&
        return 0
    local win reg
    win=$(winepath -w "$exe" 2>/dev/null </dev/null) || return 1
    [ -n "$win" ] || return 1
    reg=$(mktemp --suffix=.reg) || return 1
    # .reg strings: backslashes and quotes escaped; the server path quoted.
    local path=${win//\\/\\\\}
    cat >"$reg" <<REG
REGEDIT4

[HKEY_CLASSES_ROOT\\$VARNO_HOST_PROGID]
@="vcad stand-in CAD host"

[HKEY_CLASSES_ROOT\\$VARNO_HOST_PROGID\\CLSID]
@="$VARNO_HOST_CLSID"

[HKEY_CLASSES_ROOT\\CLSID\\$VARNO_HOST_CLSID]
@="vcad stand-in CAD host"

[HKEY_CLASSES_ROOT\\CLSID\\$VARNO_HOST_CLSID\\LocalServer32]
@="\\"$path\\""

[HKEY_CLASSES_ROOT\\CLSID\\$VARNO_HOST_CLSID\\ProgID]
@="$VARNO_HOST_PROGID"
REG
    local rc=0
    wine reg import "$(winepath -w "$reg" 2>/dev/null </dev/null)" </dev/null >/dev/null 2>&1 || rc=1
    rm -f "$reg"
    if [ $rc -ne 0 ]; then
        echo "varno: registering the stand-in CAD host failed" >&2
        return 1
    fi
    echo "$VARNO_HOST_CLSID $exe" >"$stamp"
    timeout 10 wineserver -w </dev/null >/dev/null 2>&1
    return 0
}

# Removes the registration again.
varno_unregister_host() {
    varno_prefix || return 1
    wine reg delete "HKCR\\$VARNO_HOST_PROGID" /f </dev/null >/dev/null 2>&1
    wine reg delete "HKCR\\CLSID\\$VARNO_HOST_CLSID" /f </dev/null >/dev/null 2>&1
    rm -f "$WINEPREFIX/.vcad-registered"
    timeout 10 wineserver -w </dev/null >/dev/null 2>&1
    return 0
}

# For ./run: builds and registers the stand-in host and puts a few sample
# drawings into build/demo/: text placeholders that start with a format code
# and the stand-in's own mark, since it writes to no other file.
varno_demo() {
    cmake --build "$VARNO_ROOT/build/win" -j "$(nproc)" --target vcad >/dev/null || return 1
    varno_register_host || return 1
    local dir="$VARNO_ROOT/build/demo" name
    mkdir -p "$dir"
    # In the 2004 format (its code first): a run keeps them in it, although
    # the host saves in the newest format by itself.
    for name in A-101 A-102 S-201 总平面图; do
        head -c 18 "$dir/$name.dwg" 2>/dev/null | grep -q '^AC1018vcad drawing' ||
            printf 'AC1018vcad drawing %s\n' "$name" >"$dir/$name.dwg"
    done
    cat >&2 <<MSG
varno: the stand-in CAD host (vcad.exe) is registered as $VARNO_HOST_PROGID.
       Sample drawings: $dir (in the file dialog: Z:${dir//\//\\}).
       Each purged drawing gets a line "vcad: purged, saved"; the host's
       journal is $(dirname "$VARNO_HOST_EXE")/vcad-journal.txt.
MSG
}
