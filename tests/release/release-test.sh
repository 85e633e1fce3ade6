#!/usr/bin/env bash
# The two packages as a user gets them, under Wine in a new prefix of their own
# (WORK/prefix, made afresh on every run with the project's prefix settings):
#  - the installer, silently, into its default folder and again over itself
#    (an upgrade in place), then into a chosen folder; the installed program
#    starts; the Start-menu shortcut and the HKCU uninstall entry are there;
#    installer and uninstaller refuse to work while the program runs;
#  - the uninstaller, silently: the folder, the shortcut and the entry are gone
#    and no other file or HKCU value of the prefix changed;
#  - the installer refuses a folder that holds another program's files (its
#    uninstall.exe is neither run nor removed, its 说明.txt stays);
#  - two installations in two folders: the uninstaller of the older one, run
#    last, removes its files and leaves the newer one registered, with its
#    shortcut; the newer one's then leaves nothing behind;
#  - the zip: it unpacks to the listed files, 说明.txt is code page 936 with
#    CR LF, and the program in it starts.
# usage: release-test.sh SETUP.exe ZIP PROBE.exe VERSION WORK
# Needs an X display (DISPLAY). Exits with the number of failed checks.
set -uo pipefail
setup=$1 zip=$2 probe=$3 version=$4 work=$5
build=$(dirname "$zip")
source "$(dirname "$0")/../../tools/wine-env.sh"
export WINEPREFIX="$work/prefix"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
[ -n "${DISPLAY:-}" ] || { echo "release-test: no X display (DISPLAY)" >&2; exit 1; }
for f in "$setup" "$zip" "$probe"; do
    [ -f "$f" ] || { echo "release-test: $f is missing" >&2; exit 1; }
done

wineserver -k </dev/null >/dev/null 2>&1
rm -rf "$work"
mkdir -p "$WINEPREFIX"
log="$work/wine.log"
# Wine's background processes must not hold ctest's output pipe: every Wine
# call here has its streams in the log, and the server is a persistent one.
w() { wine "$@" </dev/null >>"$log" 2>&1; }
probe() {
    echo "-- probe $*" >>"$log"
    wine "$probe" "$@" </dev/null >>"$log" 2>&1 || fail "probe $* (see $log)"
}
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k </dev/null >/dev/null 2>&1' EXIT
varno_prefix || { echo "release-test: cannot make the Wine prefix" >&2; exit 1; }
w wineboot
c="$WINEPREFIX/drive_c"

# Windows form of a Unix path (drive Z: is /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The files of the prefix and the current user's registry, to compare before
# and after. The temporary folders and Wine's own folder are left out: the
# installer unpacks its plug-ins to %TEMP%, and Wine keeps its logs there;
# so are the values Wine keeps for itself while a window is shown.
snapshot() {
    (cd "$c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | sort) >"$work/$1.files"
    w reg export HKCU "$(winpath "$work/$1.reg.utf16")" /y
    iconv -f UTF-16 -t UTF-8 "$work/$1.reg.utf16" | tr -d '\r' |
        awk '/^\[/ { skip = index($0, "\\Software\\Wine\\Temporary System Parameters") > 0 } !skip' \
            >"$work/$1.reg"
}
compare() {
    diff -u "$work/$1.files" "$work/$2.files" >"$work/files.diff" ||
        fail "files of the prefix changed: $(cat "$work/files.diff")"
    diff -u "$work/$1.reg" "$work/$2.reg" >"$work/reg.diff" ||
        fail "the registry changed: $(cat "$work/reg.diff")"
}

# Waits until a folder is gone: the uninstaller works from a copy of itself
# in %TEMP% after the command that started it has ended.
wait_gone() {
    for _ in $(seq 100); do
        [ -e "$1" ] || return 0
        sleep 0.3
    done
    return 1
}

# The files a package has to hold besides the uninstaller; the help file only
# where this build made one.
expected_files() {
    printf '%s\n' "$1varno.exe" "$1说明.txt"
    [ -f "$build/varno.chm" ] && printf '%s\n' "$1varno.chm"
    return 0
}
check_listing() { # folder, prefix of the expected names, extra expected names
    local got want
    got=$(cd "$1" && find . -type f | sed 's|^\./||' | sort)
    want=$( (expected_files "$2"; shift 2; [ $# -gt 0 ] && printf '%s\n' "$@") | sort)
    [ "$got" = "$want" ] || fail "files in $1: $(echo $got), expected $(echo $want)"
}

# Windows has the folder for per-user programs and the key of the
# uninstall entries; a new Wine prefix has neither yet.
for local in "$c"/users/*/AppData/Local; do mkdir -p "$local/Programs"; done
w reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /f
snapshot before

echo "== installer: default folder, then again over itself; uninstaller"
w "$setup" /S || fail "the silent installation ended with $?"
default_dir=$(ls -d "$c"/users/*/AppData/Local/Programs/varno 2>/dev/null | head -1)
if [ -z "$default_dir" ]; then
    fail "nothing installed under %LOCALAPPDATA%\\Programs\\varno"
else
    check_listing "$default_dir" "" uninstall.exe
    probe installed '%LOCALAPPDATA%\Programs\varno' "$version"
    # The entry of an older version, the files as they are (NSIS keeps the
    # files' own times, so inode and change time tell a new copy).
    w reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\varno' \
        /v DisplayVersion /d 2.4.0 /f
    stamp=$(stat -c '%i %Z' "$default_dir/varno.exe")
    sleep 1.1
    w "$setup" /S || fail "the installation over the installed one ended with $?"
    check_listing "$default_dir" "" uninstall.exe
    [ "$(stat -c '%i %Z' "$default_dir/varno.exe")" != "$stamp" ] ||
        fail "installing again did not replace varno.exe"
    probe installed '%LOCALAPPDATA%\Programs\varno' "$version"
    w "$default_dir/uninstall.exe" /S || fail "the uninstaller ended with $?"
    wait_gone "$default_dir" || fail "$default_dir is still there after uninstalling"
    probe removed
fi
snapshot after
compare before after

echo "== installer: a chosen folder, while the program runs; uninstaller"
# (Wine quotes an argument with a space, and NSIS takes /D= only unquoted.)
dir='C:\批量清理测试'
udir="$c/批量清理测试"
mkdir -p "$udir" # an empty folder is the installer's own
w "$setup" /S "/D=$dir" || fail "the silent installation into $dir ended with $?"
check_listing "$udir" "" uninstall.exe
probe installed "$dir" "$version"

# Another program's folder, while this program's entry names $dir.
odir='C:\其他程序'
uodir="$c/其他程序"
mkdir -p "$uodir"
cp "$probe" "$uodir/uninstall.exe"
printf '其他程序的说明\r\n' >"$uodir/说明.txt"
cp "$uodir/说明.txt" "$work/foreign-readme"
snapshot foreign-before
w "$setup" /S "/D=$odir"
code=$?
[ "$code" = 2 ] || fail "installing into $odir ended with $code, expected 2"
[ ! -e "$uodir/ran.txt" ] || fail "the installer ran the uninstall.exe of another program"
cmp -s "$probe" "$uodir/uninstall.exe" || fail "the uninstall.exe of another program was changed"
cmp -s "$work/foreign-readme" "$uodir/说明.txt" || fail "the 说明.txt of another program was changed"
snapshot foreign-after
compare foreign-before foreign-after
probe installed "$dir" "$version"
probe starts "$dir\\varno.exe"
probe refused "$dir\\varno.exe" "\"$(winpath "$setup")\" /S /D=$dir"
probe refused "$dir\\varno.exe" "\"$dir\\uninstall.exe\" /S _?=$dir"
check_listing "$udir" "" uninstall.exe
w "$udir/uninstall.exe" /S || fail "the uninstaller ended with $?"
wait_gone "$udir" || fail "$udir is still there after uninstalling"
probe removed

echo "== two installations: the older one's uninstaller run last"
# The second installation, in another folder, takes over the HKCU entry and
# the shortcuts; the first one's uninstaller then removes its own files only.
snapshot two-before
older='C:\批量清理一' newer='C:\批量清理二'
uolder="$c/批量清理一" unewer="$c/批量清理二"
w "$setup" /S "/D=$older" || fail "the installation into $older ended with $?"
probe installed "$older" "$version"
w "$setup" /S "/D=$newer" || fail "the installation into $newer ended with $?"
probe installed "$newer" "$version"
check_listing "$uolder" "" uninstall.exe
w "$uolder/uninstall.exe" /S || fail "the older uninstaller ended with $?"
wait_gone "$uolder" || fail "$uolder is still there after uninstalling it"
probe installed "$newer" "$version"
check_listing "$unewer" "" uninstall.exe
w "$unewer/uninstall.exe" /S || fail "the newer uninstaller ended with $?"
wait_gone "$unewer" || fail "$unewer is still there after uninstalling it"
probe removed
snapshot two-after
compare two-before two-after

echo "== zip"
top="varno-$version-win64/"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
check_listing "$work/zip" "$top"
readme="$work/zip/${top}说明.txt"
if [ -f "$readme" ]; then
    iconv -f CP936 -t UTF-8 "$readme" 2>/dev/null | grep -q "批量清理 $version" ||
        fail "说明.txt is not code page 936 text naming 批量清理 $version"
    lines=$(tr -cd '\n' <"$readme" | wc -c)
    crlf=$(grep -c $'\r$' "$readme")
    [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "说明.txt: $crlf of $lines lines end in CR LF"
fi
probe starts "$(winpath "$work/zip/${top}varno.exe")"

echo "release-test: $failures failed checks (Wine's output: $log)"
exit $((failures > 0))
