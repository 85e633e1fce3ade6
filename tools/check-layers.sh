#!/usr/bin/env bash
# Checks the include rules of src/ (README, "Layers and dependencies"):
#  - which folder may include which: app/ nothing else; platform/ app/;
#    batch/, promo/ and about/ app/ and platform/; mainwindow/ all of them;
#    src/WinMain.cpp, above every folder, anything;
#  - only platform/, the form files (varnofrm*, Form3*, adfrm*, aboutfrm*) and
#    WinMain.cpp see the Win32 API: <windows.h> or a platform/ header.
# Prints every include that breaks a rule and exits 1 when there is one.
set -uo pipefail
cd "$(dirname "$0")/../src" || exit 2

allowed() { # folder -> folders it may include
    case $1 in
    app) echo "app" ;;
    platform) echo "app platform" ;;
    batch | promo | about) echo "app platform $1" ;;
    mainwindow) echo "app platform batch promo about mainwindow" ;;
    *) echo "" ;;
    esac
}

bad=0
while IFS= read -r file; do
    folder=${file%%/*}
    [ "$folder" = "$file" ] && continue # src/WinMain.cpp
    ok=$(allowed "$folder")
    base=$(basename "$file")
    form=no
    case $base in varnofrm* | Form3.* | adfrm.* | aboutfrm.*) form=yes ;; esac
    while IFS= read -r inc; do
        target=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$inc")
        if [[ $inc == *'<windows.h>'* ]]; then
            target=platform
        elif [[ $inc != '#include "'*/* ]]; then
            continue # standard headers, and the resource headers of res/
        fi
        [ "$target" = res ] && continue
        if [[ " $ok " != *" $target "* ]]; then
            echo "src/$file: $inc: $folder/ may not depend on $target/"
            bad=1
        elif [ "$target" = platform ] && [ "$folder" != platform ] && [ $form = no ]; then
            echo "src/$file: $inc: only platform/ and the form files use the Win32 API"
            bad=1
        fi
    done < <(grep -E '^#include ("[a-z]+/|<windows\.h>)' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's#^\./##' | sort)
[ $bad -eq 0 ] && echo "layers: every include follows the rules"
exit $bad
