# Sourced by ./test and ./run: installing what the build needs, configuring
# the Windows build, and the X server and wineserver for the Wine tests.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

VARNO_PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev
 g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb x11-utils xdotool
 imagemagick fonts-wqy-microhei fonts-wine fonts-dejavu-core locales
 fp-utils libchm-bin nsis xserver-xorg-core xserver-xorg-video-dummy"

varno_install_deps() {
    local missing=()
    for p in $VARNO_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "varno: missing packages (${missing[*]}); install them as root" >&2
        return 1
    fi
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures build/win; arguments are further cache settings, which a build
# already configured takes too.
varno_configure_win() {
    if [ -f build/win/CMakeCache.txt ]; then
        [ $# -eq 0 ] || cmake -S . -B build/win "$@" >/dev/null
        return
    fi
    cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake "$@" >/dev/null
}

VARNO_XVFB_PID=
varno_start_display() {
    local n
    for n in $(seq 91 120); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        VARNO_XVFB_PID=$!
        export DISPLAY=:$n
        for _ in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$VARNO_XVFB_PID" 2>/dev/null
    done
    echo "varno: could not start Xvfb" >&2
    return 1
}
varno_stop_display() {
    [ -n "$VARNO_XVFB_PID" ] && kill "$VARNO_XVFB_PID" 2>/dev/null
    VARNO_XVFB_PID=
    if [ -n "$VARNO_XORG_PID" ]; then
        kill "$VARNO_XORG_PID" 2>/dev/null
        wait "$VARNO_XORG_PID" 2>/dev/null
    fi
    VARNO_XORG_PID=
}

# A desktop of two monitors for the tests of label "twomonitors": Xorg with
# the dummy driver and two screens joined by Xinerama (Xvfb puts every head
# at 0,0), laid out as $1 says: RightOf (the second monitor right of the main
# one, tools/xorg-two-monitors.conf) or LeftOf (a copy written under build/).
# Exports DISPLAY and VARNO_MONITORS; varno_stop_display stops it.
VARNO_XORG_PID=
varno_start_two_monitors() {
    local layout=$1 dir="$VARNO_ROOT/build/xorg" n
    case $layout in RightOf | LeftOf) ;; *)
        echo "varno: no layout of two monitors named '$layout'" >&2
        return 1
        ;;
    esac
    mkdir -p "$dir" || return 1
    local conf="$dir/two-monitors-$layout.conf"
    sed "s/RightOf \"s0\"/$layout \"s0\"/" "$VARNO_ROOT/tools/xorg-two-monitors.conf" >"$conf" ||
        return 1
    for n in $(seq 121 150); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        Xorg :$n -config "$conf" -noreset -nolisten tcp -logfile "$dir/$layout.log" \
            </dev/null >/dev/null 2>&1 &
        VARNO_XORG_PID=$!
        export DISPLAY=:$n VARNO_MONITORS=$layout
        for _ in $(seq 100); do
            xdpyinfo >/dev/null 2>&1 && return 0
            kill -0 "$VARNO_XORG_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$VARNO_XORG_PID" 2>/dev/null
        VARNO_XORG_PID=
    done
    echo "varno: could not start Xorg with two monitors ($dir/$layout.log)" >&2
    return 1
}

# A persistent wineserver with detached streams, so that Wine's background
# services never hold ctest's output pipe open; and Wine's desktop process,
# started once and kept up for the whole run.
varno_start_wine() {
    varno_prefix || return 1
    [ "$(type -t varno_register_host)" = function ] && varno_register_host
    wineserver -k </dev/null >/dev/null 2>&1 # nothing of ours may run in the prefix now
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    varno_start_desktop
}

# Wine starts its desktop process for the first program that makes a window,
# and gives up on it after 10 s: on a slow or busy machine that program (a
# test) then can make no window at all. keep_desktop.exe starts the desktop
# itself, waits for it without that limit, and holds it up until the
# wineserver ends, so no test waits for it (tools/winedesktop/KeepDesktop.cpp).
varno_start_desktop() {
    local keeper="$VARNO_ROOT/build/win/tools/winedesktop/keep_desktop.exe"
    local log="$VARNO_ROOT/build/wine-desktop.log"
    [ -f "$keeper" ] || return 0 # not built yet: the tests start the desktop themselves
    wine "$keeper" </dev/null >"$log" 2>&1 &
    local pid=$! _
    for _ in $(seq 600); do
        grep -q '^ready' "$log" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    echo "varno: Wine's desktop process did not start ($log)" >&2
    return 1
}
varno_stop_wine() {
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
    return 0
}
source "$(dirname "${BASH_SOURCE[0]}")/host.sh"
