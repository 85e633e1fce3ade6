// Saving and reading list files (xpcmdbutton8, xpcmdbutton9).
#include "mainwindow/varnofrm.h"

namespace varno::win {

void varnofrm::SaveListFile() {}
void varnofrm::ReadListFile() {}

} // namespace varno::win
