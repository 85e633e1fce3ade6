#include "about/AboutLinks.h"
#include "app/Maker.h"
#include "app/Module1.h"
#include "support/FakeWindow.h"

#include <gtest/gtest.h>

namespace varno {
namespace {

TEST(AboutPlacement, CentresAcrossWithAThirdOfTheFreeHeightAboveOnA1024x768Screen) {
    // 15 twips per pixel: 15360 x 11520 twips. The outer size is the client
    // area plus a dialog frame and a caption.
    const Screen screen{15360, 11520, 15, 15};
    FakeWindow w(30, 40, 5190, 2625);
    CentreOnScreen(w, screen);
    EXPECT_FLOAT_EQ(w.left, (15360 - 5190) / 2.0f); // 5085
    EXPECT_FLOAT_EQ(w.top, (11520 - 2625) / 3.0f);  // 2965
    EXPECT_FLOAT_EQ(w.width, 5190);                 // size untouched
    EXPECT_FLOAT_EQ(w.height, 2625);
    EXPECT_EQ(w.moves, 1);

    // A second showing after the user moved it lands on the same place.
    w.Move(100, 7000);
    CentreOnScreen(w, screen);
    EXPECT_FLOAT_EQ(w.left, 5085);
    EXPECT_FLOAT_EQ(w.top, 2965);
}

TEST(AboutPlacement, KeepsSinglePrecisionFractions) {
    FakeWindow w(0, 0, 5191, 2626);
    CentreOnScreen(w, Screen{15360, 11520, 15, 15});
    EXPECT_FLOAT_EQ(w.left, 5084.5f);
    EXPECT_FLOAT_EQ(w.top, 8894.0f / 3.0f);
}

TEST(AboutClicks, HeaderBandIconTextAndSiteLabelOpenTheSiteAddress) {
    for (int id : {picBGHead, picBGHeadIcon, lblBGHeadInfo1, Label4}) {
        const ClickAction a = AboutClick(id);
        EXPECT_EQ(a.kind, ClickAction::Kind::ShellOpen) << id;
        EXPECT_EQ(a.address, maker::SiteAddress) << id;
    }
}

TEST(AboutClicks, MailLabelOpensANewMailToTheAuthor) {
    const ClickAction a = AboutClick(lblHomepage);
    EXPECT_EQ(a.kind, ClickAction::Kind::ShellOpen);
    EXPECT_EQ(a.address, L"mailto:dev@varno.example");
    EXPECT_EQ(a.address.substr(7), maker::MailAddress);
}

TEST(AboutClicks, OnlyTheButtonClosesAndTheOtherControlsDoNothing) {
    EXPECT_EQ(AboutClick(Command1).kind, ClickAction::Kind::Close);
    for (int id : {int{linBorder}, int{Label2}, int{Label7}, int{Label3}, int{Label9}, int{Label5},
                   int{Label6}, 0, 999}) {
        const ClickAction a = AboutClick(id);
        EXPECT_EQ(a.kind, ClickAction::Kind::Nothing) << id;
        EXPECT_TRUE(a.address.empty()) << id;
    }
}

} // namespace
} // namespace varno
