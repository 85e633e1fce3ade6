#pragma once
// vcad — the stand-in CAD host: the names by which its clients and tests
// find it. See vcad.cpp for what it does and how tests switch on failures.
#include <windows.h>

namespace vcad {

// The class registered as "AutoCAD.Application" in the project's Wine prefix
// (tools/cadhost/register.sh): {3ABDFC53-24F5-49BE-973E-89FC714BFC94}.
inline constexpr CLSID Clsid = {
    0x3abdfc53, 0x24f5, 0x49be, {0x97, 0x3e, 0x89, 0xfc, 0x71, 0x4b, 0xfc, 0x94}};
inline constexpr wchar_t ProgId[] = L"AutoCAD.Application";

// Application.Caption and the title of the host's main window.
inline constexpr wchar_t Caption[] = L"vcad 替身 CAD 主机 (stand-in)";
// The window class of the main window (one per host process).
inline constexpr wchar_t WindowClass[] = L"VcadStandInHost";

// Environment variables read once at start. A host launched through COM
// under Wine inherits the launching client's environment.
inline constexpr wchar_t EnvJournal[] = L"VCAD_JOURNAL";          // journal file
inline constexpr wchar_t EnvSwitches[] = L"VCAD_FAILURES";        // control file
inline constexpr wchar_t EnvRefuseStart[] = L"VCAD_REFUSE_START"; // "1": exit at once

// The stand-in's own drawings start with this mark, or with a format code
// ("AC1018") and then the mark; it writes to no other file.
inline constexpr char DrawingMark[] = "vcad drawing";

// The marker lines Close(True) appends when it writes a drawing back.
inline constexpr char SavedPurged[] = "vcad: purged, saved";
inline constexpr char SavedOnly[] = "vcad: saved";

} // namespace vcad
