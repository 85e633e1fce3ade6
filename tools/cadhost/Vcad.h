#pragma once
// vcad — the stand-in CAD host: the names by which its clients and tests
// find it. See vcad.cpp for what it does and how tests switch on failures.
#include <windows.h>

#include <string_view>

namespace vcad {

// The CAD hosts the stand-in can be, one process each, several at a time: the
// identifier it serves (registered in the project's Wine prefix only), the
// class of its own under which a running instance registers (class object
// and running object table), its Caption (its main window's title) and the
// file name of the program its FullName names. It is the first unless it is
// started with /host:<identifier>.
struct Identity {
    const wchar_t* progId;
    CLSID clsid;
    const wchar_t* caption;
    // Empty: FullName is the stand-in's own path, vcad.exe, whose name has
    // four characters so that FullName less 9 is its folder.
    const wchar_t* program;
    // For an older release installed beside the one registered last: the
    // unversioned identifier, which its class names as its
    // VersionIndependentProgID while the identifier's own class is that of
    // the newer release.
    const wchar_t* versionOf = nullptr;
};
inline constexpr Identity Identities[] = {
    // {3ABDFC53-24F5-49BE-973E-89FC714BFC94}
    {L"AutoCAD.Application",
     {0x3abdfc53, 0x24f5, 0x49be, {0x97, 0x3e, 0x89, 0xfc, 0x71, 0x4b, 0xfc, 0x94}},
     L"vcad 替身 CAD 主机 (stand-in)",
     L""},
    // {FA4925EC-F34D-4BE2-A9FE-ADA0BE17C9DC}
    {L"ZWCAD.Application",
     {0xfa4925ec, 0xf34d, 0x4be2, {0xa9, 0xfe, 0xad, 0xa0, 0xbe, 0x17, 0xc9, 0xdc}},
     L"vcad 替身 中望CAD (stand-in)",
     L"ZWCAD.exe"},
    // {61A6024D-975B-4BDE-854A-D75AD7BC87A6}
    {L"GCAD.Application",
     {0x61a6024d, 0x975b, 0x4bde, {0x85, 0x4a, 0xd7, 0x5a, 0xd7, 0xbc, 0x87, 0xa6}},
     L"vcad 替身 浩辰CAD GCAD (stand-in)",
     L"gcad.exe"},
    // {84A5CA5D-72E5-431B-814C-5A54912E43FD}
    {L"GStarCAD.Application",
     {0x84a5ca5d, 0x72e5, 0x431b, {0x81, 0x4c, 0x5a, 0x54, 0x91, 0x2e, 0x43, 0xfd}},
     L"vcad 替身 浩辰CAD GStarCAD (stand-in)",
     L"GstarCAD.exe"},
    // {139B4452-F9C4-45C5-A91A-64CE6B01263D}
    {L"BricscadApp.AcadApplication",
     {0x139b4452, 0xf9c4, 0x45c5, {0xa9, 0x1a, 0x64, 0xce, 0x6b, 0x01, 0x26, 0x3d}},
     L"vcad 替身 BricsCAD (stand-in)",
     L"bricscad.exe"},
    // AutoCAD 2014 beside the AutoCAD of the first identity, which was
    // registered last and owns "AutoCAD.Application".
    // {D97BCACE-07CB-41B7-9FD5-5F4315237F09}
    {L"AutoCAD.Application.19",
     {0xd97bcace, 0x07cb, 0x41b7, {0x9f, 0xd5, 0x5f, 0x43, 0x15, 0x23, 0x7f, 0x09}},
     L"vcad 替身 AutoCAD 2014 (stand-in)",
     L"",
     L"AutoCAD.Application"},
};
// The identity serving this identifier (letter case ignored), or nullptr.
inline const Identity* IdentityOf(std::wstring_view progId) {
    for (const Identity& id : Identities)
        if (CompareStringOrdinal(id.progId, -1, progId.data(), static_cast<int>(progId.size()),
                                 TRUE) == CSTR_EQUAL)
            return &id;
    return nullptr;
}

// The stand-in as "AutoCAD.Application", as ./run and most tests know it.
inline constexpr CLSID Clsid = Identities[0].clsid;
inline constexpr wchar_t ProgId[] = L"AutoCAD.Application";
inline constexpr wchar_t Caption[] = L"vcad 替身 CAD 主机 (stand-in)";
// The command-line switch that names the identity: /host:ZWCAD.Application.
inline constexpr std::wstring_view HostSwitch = L"/host:";
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

// The title of the question the switch ask-open has Open put to its user.
inline constexpr wchar_t AskOpenTitle[] = L"vcad 替身 缺少字体 (stand-in)";

// The marker lines Close(True) appends when it writes a drawing back.
inline constexpr char SavedPurged[] = "vcad: purged, saved";
inline constexpr char SavedOnly[] = "vcad: saved";
// The line a save of the user's own drawing adds before them: the user's
// unsaved edits, written.
inline constexpr char UserEdits[] = "vcad: the user's unsaved edits";
// Before them, in a drawing opened with nesting, the levels of unused items
// left in it: "vcad: nesting left 0" for one purged through.
inline constexpr char NestingLeft[] = "vcad: nesting left ";

} // namespace vcad
