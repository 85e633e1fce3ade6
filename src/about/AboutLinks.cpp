#include "about/AboutLinks.h"

#include "app/Maker.h"
#include "app/Module1.h"

namespace varno::about {

void CenterForm(Window& window, const Screen& screen) {
    CentreOnScreen(window, screen);
}

ClickAction OnClick(int control) {
    using Kind = ClickAction::Kind;
    switch (control) {
    case Command1:
        return {Kind::Close, {}};
    case Label4:
    case lblBGHeadInfo1:
    case picBGHead:
    case picBGHeadIcon:
        return {Kind::ShellOpen, std::wstring(maker::SiteAddress)};
    case lblHomepage:
        return {Kind::ShellOpen, L"mailto:" + std::wstring(maker::MailAddress)};
    default:
        return {};
    }
}

} // namespace varno::about
