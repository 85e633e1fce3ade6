// Every window at 96, 120, 144, 168, 192 and 288 DPI. The system DPI is read
// when a process starts, so each DPI gets one child process of this test
// executable (with its own LogPixels) that runs the DpiChild checks on the
// real windows: the main window with its whole control table, the progress
// window, the about window and the two promotional windows, placed, sized,
// made topmost and docking at their edges.
#include "about/aboutfrm.h"
#include "batch/Form3.h"
#include "mainwindow/varnofrm.h"
#include "platform/App.h"
#include "promo/adfrm.h"

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace varno::win {
namespace {

constexpr wchar_t DpiVariable[] = L"VARNO_TEST_DPI";

// ---- the parent: one child per DPI ----

class AtDpi : public testing::TestWithParam<int> {};

TEST_P(AtDpi, EveryWindowKeepsItsDesign) {
    const int dpi = GetParam();
    test::ScopedLogPixels logPixels(static_cast<DWORD>(dpi));
    ASSERT_TRUE(logPixels.Set());
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"varno-dpi-" + std::to_wstring(dpi) + L".txt";

    SetEnvironmentVariableW(DpiVariable, std::to_wstring(dpi).c_str());
    test::ChildProcess child(test::ThisExe(), L"--gtest_filter=DpiChild.*", output);
    SetEnvironmentVariableW(DpiVariable, nullptr);
    ASSERT_TRUE(child.Started());
    DWORD code = 1;
    const bool ended = child.WaitForExit(60000, &code);

    std::ostringstream text;
    text << std::ifstream(std::filesystem::path(output), std::ios::binary).rdbuf();
    const std::string seen = text.str();
    DeleteFileW(output.c_str());
    ASSERT_TRUE(ended) << seen;
    EXPECT_EQ(code, 0u) << seen;
    EXPECT_NE(seen.find("[       OK ] DpiChild."), std::string::npos) << seen;
    EXPECT_EQ(seen.find("[  SKIPPED ]"), std::string::npos) << seen;
}

INSTANTIATE_TEST_SUITE_P(HighDpi, AtDpi, testing::Values(96, 120, 144, 168, 192, 288),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Dpi" + std::to_string(info.param);
                         });

// ---- the child: the checks at the DPI it was started with ----

RECT OuterRect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

bool Same(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

// A control's rectangle relative to its form's client area.
RECT RectInForm(HWND control, HWND form) {
    RECT r = OuterRect(control);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class DpiChild : public testing::Test {
  protected:
    void SetUp() override {
        wchar_t value[16] = {};
        if (!GetEnvironmentVariableW(DpiVariable, value, 16))
            GTEST_SKIP() << "runs in the child processes of HighDpi/AtDpi";
        dpi = std::wcstol(value, nullptr, 10);
        HDC dc = GetDC(nullptr);
        const int system = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(nullptr, dc);
        ASSERT_EQ(system, dpi) << "LogPixels did not reach the child";
        screen = TheScreen();
        tpp = screen.TwipsPerPixelX;
        ASSERT_FLOAT_EQ(tpp, 1440.0f / static_cast<float>(dpi));
        sw = GetSystemMetrics(SM_CXSCREEN);
        sh = GetSystemMetrics(SM_CYSCREEN);
        WebBrowser::SetNavigateHook([](HWND, std::wstring_view) {});
        varnofrm::Instance().Show(); // adfrm and ad1frm first
    }
    void TearDown() override { WebBrowser::SetNavigateHook(nullptr); }

    // A length in pixels against twips: within `pixels` pixels.
    void ExpectTwips(double px, double twips, double pixels, const char* what) const {
        EXPECT_NEAR(px * tpp, twips, pixels * tpp + 0.01) << what << " at " << dpi << " DPI";
    }
    // A window's client size against its design (twips), within 1 pixel. A
    // window with a title bar is never made larger than the system lets the
    // user track it (the screen and the frame: SM_CXMAXTRACK); that limit
    // takes over when the design is larger than the screen.
    void ExpectClient(HWND h, float width, float height, const char* what) const {
        RECT c{};
        GetClientRect(h, &c);
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        if ((style & WS_CAPTION) == WS_CAPTION) {
            RECT frame{};
            AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE,
                               static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)));
            const int maxWidth = GetSystemMetrics(SM_CXMAXTRACK) - (frame.right - frame.left);
            const int maxHeight = GetSystemMetrics(SM_CYMAXTRACK) - (frame.bottom - frame.top);
            width = std::min(width, static_cast<float>(maxWidth) * tpp);
            height = std::min(height, static_cast<float>(maxHeight) * tpp);
        }
        ExpectTwips(c.right, width, 1, what);
        ExpectTwips(c.bottom, height, 1, what);
    }
    // Centred across with a third of the free height above (CentreOnScreen).
    void ExpectCentred(HWND h, const char* what) const {
        const RECT r = OuterRect(h);
        const double w = (r.right - r.left) * tpp, hgt = (r.bottom - r.top) * tpp;
        ExpectTwips(r.left, (screen.Width - w) / 2, 1, what);
        ExpectTwips(r.top, (screen.Height - hgt) / 3, 1, what);
    }

    // With the mouse away, one tick docks the window and leaves 40 twips of
    // it on screen; the mouse on that strip brings it back 10 twips behind the
    // edge; away again, it docks at the same place.
    void ExpectDocking(PromoForm& form, bool atTop, const char* name) {
        HWND h = form.hWnd();
        auto tick = [h] { SendMessageW(h, WM_TIMER, PromoForm::Timer1, 0); };
        const POINT away{sw / 2, sh / 2};
        const RECT atStart = OuterRect(h);
        const LONG width = atStart.right - atStart.left;
        const bool left = atStart.left <= 4;
        ASSERT_FALSE(PtInRect(&atStart, away)) << name;
        SetCursorPos(away.x, away.y);

        tick();
        const RECT docked = OuterRect(h);
        if (atTop) {
            ExpectTwips(docked.bottom, 40, 1, name);
            EXPECT_EQ(docked.left, atStart.left) << name;
        } else {
            ExpectTwips(left ? docked.right : sw - docked.left, 40, 1, name);
            EXPECT_EQ(docked.top, atStart.top) << name;
        }
        EXPECT_EQ(docked.right - docked.left, width) << name;
        tick();
        EXPECT_TRUE(Same(OuterRect(h), docked)) << name << ": docked stays docked";

        const LONG x0 = std::max(docked.left, 0L), x1 = std::min(docked.right, LONG{sw});
        const LONG y0 = std::max(docked.top, 0L), y1 = std::min(docked.bottom, LONG{sh});
        SetCursorPos((x0 + x1) / 2, (y0 + y1) / 2);
        tick();
        const RECT back = OuterRect(h);
        if (atTop)
            ExpectTwips(back.top, -10, 1, name);
        else if (left)
            ExpectTwips(back.left, -10, 1, name);
        else
            ExpectTwips(back.right - sw, 10, 1, name);
        EXPECT_TRUE(IsWindowVisible(h)) << name;
        EXPECT_EQ(back.right - back.left, width) << name;

        SetCursorPos(away.x, away.y);
        tick();
        EXPECT_TRUE(Same(OuterRect(h), docked)) << name << ": docks again";
    }

    int dpi = 0;
    Screen screen{};
    float tpp = 15;
    int sw = 0, sh = 0;
};

TEST_F(DpiChild, MainWindowAndEveryControlStandAtTheirDesign) {
    varnofrm& form = varnofrm::Instance();
    HWND main = form.hWnd();
    ExpectClient(main, 8295, 4470, "varnofrm client");
    ExpectCentred(main, "varnofrm");

    // The control table, positions relative to the client area, or to
    // Frame1 (120, 120) for the controls it holds.
    struct Row {
        int id;
        const char* name;
        float left, top, width, height;
        bool inFrame;
    };
    const Row rows[] = {
        {varnofrm::xpcmdbutton2, "xpcmdbutton2", 4440, 3960, 1455, 375, false},
        {varnofrm::xpcmdbutton3, "xpcmdbutton3", 6480, 3960, 1455, 375, false},
        {varnofrm::Command9, "Command9", 360, 3960, 1455, 375, false},
        {varnofrm::xpcmdbutton4, "xpcmdbutton4", 2400, 3960, 1455, 375, false},
        {varnofrm::Frame1, "Frame1", 120, 120, 8055, 3735, false},
        {varnofrm::List2, "List2", 120, 240, 7755, 2760, true},
        {varnofrm::xpcmdbutton5, "xpcmdbutton5", 240, 3180, 1215, 375, true},
        {varnofrm::xpcmdbutton6, "xpcmdbutton6", 3480, 3180, 1215, 375, true},
        {varnofrm::xpcmdbutton1, "xpcmdbutton1", 1860, 3180, 1215, 375, true},
        {varnofrm::xpcmdbutton8, "xpcmdbutton8", 5100, 3180, 1215, 375, true},
        {varnofrm::xpcmdbutton9, "xpcmdbutton9", 6720, 3180, 1215, 375, true},
    };
    for (const Row& row : rows) {
        HWND h = form.Control(row.id);
        ASSERT_NE(h, nullptr) << row.name;
        const RECT r = RectInForm(h, main);
        const float dx = row.inFrame ? 120.0f : 0.0f, dy = row.inFrame ? 120.0f : 0.0f;
        // Each value on the pixel nearest to its twips.
        ExpectTwips(r.left, dx + row.left, 0.5, row.name);
        ExpectTwips(r.top, dy + row.top, 0.5, row.name);
        ExpectTwips(r.right - r.left, row.width, 0.5, row.name);
        ExpectTwips(r.bottom - r.top, row.height, 0.5, row.name);
    }
}

TEST_F(DpiChild, ProgressAndAboutWindowsKeepTheirSizeAndAreCentred) {
    Form3& progress = Form3::Instance();
    progress.Show();
    ASSERT_TRUE(progress.IsLoaded());
    ExpectClient(progress.hWnd(), 3900, 1140, "Form3 client");
    ExpectCentred(progress.hWnd(), "Form3");
    EXPECT_TRUE(GetWindowLongW(progress.hWnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    progress.Unload();

    aboutfrm& about = aboutfrm::Instance();
    about.Show();
    ASSERT_TRUE(about.IsLoaded());
    ExpectClient(about.hWnd(), 5100, 2160, "aboutfrm client");
    ExpectCentred(about.hWnd(), "aboutfrm");
    about.Unload();
}

TEST_F(DpiChild, PromotionalWindowsStandAtTheirEdgesAndDock) {
    PromoForm* const forms[] = {&ad1frm::Instance(), &adfrm::Instance()};
    for (PromoForm* form : forms) {
        const bool left = form == forms[0];
        const char* name = left ? "ad1frm" : "adfrm";
        HWND h = form->hWnd();
        ExpectClient(h, 1965, 9135, name);
        EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) << name;
        const RECT r = OuterRect(h);
        if (left)
            EXPECT_EQ(r.left, 0) << name;
        else
            EXPECT_EQ(r.right, sw) << name;
        ExpectTwips(r.top, (screen.Height - (r.bottom - r.top) * tpp) / 3, 1, name);
    }

    // Docking, tick by tick, first as loaded, then moved to 8 pixels below
    // the top edge: a window taller than the screen starts above its top edge
    // and docks there; one below the top edge docks at the side it touches.
    enum class Edge { Top, Left, Right };
    for (bool moved : {false, true}) {
        for (PromoForm* form : forms) {
            const bool left = form == forms[0];
            if (moved) // against its edge, as CenterForm1 puts it
                form->Move(left ? 0 : screen.Width - form->Width(), 8 * tpp);
            const RECT atStart = OuterRect(form->hWnd());
            const Edge edge = atStart.top <= 4 ? Edge::Top : left ? Edge::Left : Edge::Right;
            const char* name = edge == Edge::Top ? (left ? "ad1frm top" : "adfrm top")
                                                 : (left ? "ad1frm left" : "adfrm right");
            ExpectDocking(*form, edge == Edge::Top, name);
        }
    }
}

} // namespace
} // namespace varno::win
