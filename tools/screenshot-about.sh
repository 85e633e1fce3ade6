#!/usr/bin/env bash
# Photographs the about window, shown modally over the main window under Wine,
# into OUT_DIR/aboutfrm.png (the window with a margin) and
# OUT_DIR/aboutfrm-screen.png (the whole screen).
# Usage: screenshot-about.sh SHOT_EXE OUT_DIR   (X and the wineserver running)
set -uo pipefail
exe=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$here/wine-exec" "$exe" </dev/null >/dev/null 2>&1) &
app=$!
for _ in $(seq 150); do
    [ -s "$work/ready" ] && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$work/ready" ]; then
    echo "the about window did not appear" >&2
    touch "$work/done"
    wait "$app"
    exit 1
fi
sleep 0.3
read -r x y w h < <(tr -d '\r' <"$work/ready")
m=24
import -display "$DISPLAY" -window root "$out/aboutfrm-screen.png"
import -display "$DISPLAY" -window root -crop "$((w + 2 * m))x$((h + 2 * m))+$((x - m))+$((y - m))" \
    +repage "$out/aboutfrm.png"
status=$?
touch "$work/done"
wait "$app" || status=1
[ -s "$out/aboutfrm.png" ] || status=1
echo "about window ${w}x${h} at ${x},${y}: $out/aboutfrm.png"
exit $status
