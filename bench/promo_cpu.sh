#!/usr/bin/env bash
# CPU use of the running program while both promotional windows sit docked
# and the mouse is elsewhere: starts varno.exe under Wine in its own Xvfb,
# waits until both windows have docked, then reads the CPU time of every
# process of the project's Wine prefix (and of the X server) over a window
# of SECONDS (default 30) from /proc/<pid>/stat.
#   bench/promo_cpu.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
seconds=${1:-30}
varno_install_deps || exit 1
varno_configure_win && cmake --build build/win -j2 --target varno >/dev/null || exit 1

varno_start_display || exit 1
varno_start_wine || { varno_stop_display; exit 1; }
cleanup() { varno_stop_wine; varno_stop_display; }
trap cleanup EXIT

# Processes that run in this prefix (the wineserver, the program, Wine's
# services), found by their environment.
prefix_pids() {
    local p
    for p in /proc/[0-9]*; do
        [ "${p#/proc/}" = "$VARNO_XVFB_PID" ] && continue
        { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            echo "${p#/proc/}"
    done
}
# utime + stime of a process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

xdotool mousemove 640 1000
(wine build/win/varno.exe </dev/null >/dev/null 2>&1 &)
# Docking starts 5 s after load; give start-up and the first ticks time.
sleep 8
echo "== promotional windows (x y w h):"
for id in $(xdotool search --name "休息一下" 2>/dev/null); do
    xdotool getwindowgeometry "$id" | awk '/Position/{p=$2} /Geometry/{print "   ", p, $2}'
done

declare -A start names
pids=$(prefix_pids)
for p in $pids; do
    start[$p]=$(ticks "$p")
    names[$p]=$(tr '\0' ' ' <"/proc/$p/cmdline" | awk '{print $1}')
    names[$p]=${names[$p]##*[\\/]}
done
xstart=$(ticks "$VARNO_XVFB_PID")
sleep "$seconds"
hz=$(getconf CLK_TCK)
all=0
program=0
pct() { awk -v d="$1" -v hz="$hz" -v s="$seconds" 'BEGIN{printf "%6.2f%%", 100*d/hz/s}'; }
echo "== CPU over ${seconds} s, percent of one core:"
for p in $pids; do
    d=$(($(ticks "$p") - ${start[$p]}))
    all=$((all + d))
    case "${names[$p]}" in varno.exe | wineserver*) program=$((program + d)) ;; esac
    [ "$d" -gt 0 ] && printf '   %-34s %s\n' "${names[$p]}" "$(pct "$d")"
done
printf '   %-34s %s\n' "X server" "$(pct $(($(ticks "$VARNO_XVFB_PID") - xstart)))"
printf '   %-34s %s   (target < 2%%)\n' "program: varno.exe + wineserver" "$(pct "$program")"
printf '   %-34s %s\n' "every process of the Wine prefix" "$(pct "$all")"
