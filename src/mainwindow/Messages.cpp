#include "mainwindow/Messages.h"

#include "app/Ui.h"
#include "batch/PurgeRun.h"
#include "mainwindow/ListCommands.h"
#include "mainwindow/ListFileCommands.h"

#include <span>

namespace varno {

std::vector<std::wstring_view> ProgramMessages() {
    std::vector<std::wstring_view> all;
    for (std::span<const std::wstring_view> feature :
         {std::span<const std::wstring_view>(AppMessages),
          std::span<const std::wstring_view>(PurgeMessages),
          std::span<const std::wstring_view>(AddDrawingsMessages),
          std::span<const std::wstring_view>(ListFileMessages)})
        all.insert(all.end(), feature.begin(), feature.end());
    return all;
}

} // namespace varno
