#include "app/ServerCommand.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace varno {
namespace {

// The program of a registration's LocalServer32 command line, on a machine
// with these files (and the folder C:\Program Files\Tools.d).
TEST(ServerProgram, IsThePathTheSystemWouldStart) {
    const std::set<std::wstring> files = {
        L"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe",
        L"C:\\CAD\\zwcad.exe",
        L"D:\\Tools.exe",
        L"D:\\Tools Box\\run.exe",
    };
    const auto isFile = [&](const std::wstring& path) { return files.count(path) > 0; };
    struct Row {
        const wchar_t* command;
        std::optional<std::wstring> program;
    };
    const std::wstring acad = L"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe";
    const Row rows[] = {
        {L"\"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe\" /Automation", acad},
        {L"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe /Automation", acad},
        {L"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe", acad},
        {L"  \"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe\"", acad},
        {L"C:\\CAD\\zwcad.exe -Embedding", L"C:\\CAD\\zwcad.exe"},
        {L"C:\\CAD\\zwcad.exe\t/Automation  -Embedding", L"C:\\CAD\\zwcad.exe"},
        // Without an extension: .exe, quoted or not.
        {L"C:\\CAD\\zwcad /Automation", L"C:\\CAD\\zwcad.exe"},
        {L"\"C:\\CAD\\zwcad\" /Automation", L"C:\\CAD\\zwcad.exe"},
        {L"\"C:\\CAD\\zwcad.exe", L"C:\\CAD\\zwcad.exe"}, // the quote never closed
        // Unquoted, the shortest path that exists is the one started.
        {L"D:\\Tools Box\\run.exe", L"D:\\Tools.exe"},
        {L"\"D:\\Tools Box\\run.exe\"", L"D:\\Tools Box\\run.exe"},
        // A quoted path is the program even where an argument would name one.
        {L"\"C:\\Program Files\\Autodesk\\gone.exe\" C:\\CAD\\zwcad.exe", std::nullopt},
        // Left behind by an uninstalled program.
        {L"C:\\Program Files\\Autodesk\\AutoCAD 2014\\acad.exe /Automation", std::nullopt},
        {L"\"C:\\Program Files\\Autodesk\\AutoCAD 2014\\acad.exe\"", std::nullopt},
        {L"C:\\Program Files\\Tools.d /x", std::nullopt}, // a folder
        {L"", std::nullopt},
        {L"  ", std::nullopt},
        {L"\"\" C:\\CAD\\zwcad.exe", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.command)));
        EXPECT_EQ(ServerProgram(row.command, isFile), row.program);
    }
}

} // namespace
} // namespace varno
