// Saving and reading list files (xpcmdbutton8, xpcmdbutton9).
#include "mainwindow/varnofrm.h"

#include "mainwindow/ListFileCommands.h"
#include "platform/App.h"
#include "platform/TextFile.h"

namespace varno::win {

void varnofrm::SaveListFile() {
    Win32ListFileStore files;
    const AnsiCodePage ansi;
    varno::SaveListFile(CommonDialog4, list_, {files, ansi, TheMessageBoxes(), TheMessageBoxes()});
}

void varnofrm::ReadListFile() {
    Win32ListFileStore files;
    const AnsiCodePage ansi;
    varno::ReadListFile(CommonDialog4, list_, {files, ansi, TheMessageBoxes(), TheMessageBoxes()});
}

} // namespace varno::win
