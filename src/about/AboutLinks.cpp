#include "about/AboutLinks.h"

#include "app/Maker.h"

namespace varno {

ClickAction AboutClick(int control) {
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

} // namespace varno
