#!/usr/bin/env bash
# Registers the stand-in CAD host vcad.exe as "AutoCAD.Application" in the
# project's Wine prefix, or removes it:
#   tools/cadhost/register.sh [unregister] [path/to/vcad.exe]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../wine-env.sh"
source "$here/../host.sh"
case "${1:-}" in
unregister) varno_unregister_host ;;
*)
    [ "${1:-}" = register ] && shift
    rm -f "$WINEPREFIX/.vcad-registered" # register again even if done before
    varno_register_host "${1:-$VARNO_HOST_EXE}"
    ;;
esac
