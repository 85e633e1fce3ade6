# Sourced by ./test, ./run and tools/wine-exec: the project's own Wine
# environment (prefix under build/, Chinese locale, font replacements).
VARNO_ROOT=${VARNO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="$VARNO_ROOT/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export LOCPATH="$VARNO_ROOT/build/locale"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Every Wine program runs in the Chinese locale (ANSI code page 936); the
# shell itself keeps its own.
wine() { LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 command wine "$@"; }

# A real zh_CN.UTF-8 locale, so that the ANSI code page is 936 and Chinese
# file names survive the trip between Linux and Wine.
varno_locale() {
    [ -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ] && return 0
    mkdir -p "$LOCPATH"
    LC_ALL=C localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" >/dev/null 2>&1 || true
    [ -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ]
}

# Creates the prefix on first use, with the settings the program relies on.
varno_prefix() {
    varno_locale || { echo "varno: cannot build the zh_CN.UTF-8 locale" >&2; return 1; }
    [ -f "$WINEPREFIX/.varno-ready-5" ] && return 0
    mkdir -p "$WINEPREFIX"
    wine wineboot -i </dev/null >/dev/null 2>&1
    # This Wine build does not read its own font folder: the prefix gets
    # copies of Wine's fonts (Tahoma; Marlett draws the caption buttons).
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    local k='HKCU\Software\Wine\Fonts\Replacements'
    wine reg add "$k" /v "宋体" /d "WenQuanYi Micro Hei" /f </dev/null >/dev/null 2>&1
    wine reg add "$k" /v "SimSun" /d "WenQuanYi Micro Hei" /f </dev/null >/dev/null 2>&1
    wine reg add "$k" /v "Verdana" /d "DejaVu Sans" /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # On an X server of two monitors joined by Xinerama (the tests of two
    # monitors) Wine leaves XRandR for XF86VidMode, and its desktop process
    # crashes while it lists that extension's modes: Wine then sees the main
    # monitor alone. Without XF86VidMode it reports both; XRandR, where there
    # is one (Xvfb), is used as before.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXVidMode /d N /f </dev/null >/dev/null 2>&1
    # The promotional pages are requested through a proxy on the loopback
    # address, where nothing answers: no name lookup leaves the machine.
    local inet='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
    wine reg add "$inet" /v ProxyEnable /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
    wine reg add "$inet" /v ProxyServer /d "127.0.0.1:9" /f </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.varno-ready-5"
}
