#pragma once
// What a click on each of the about window's controls does.
#include "app/Ui.h"

#include <string>

namespace varno {

// The about window's controls, in visual order from top to bottom.
enum AboutControl : int {
    picBGHead = 201,
    picBGHeadIcon,
    lblBGHeadInfo1,
    linBorder,
    Label2,      // "作 者："
    Label7,      // the author's name
    Label3,      // "单 位："
    Label9,      // the organisation's name
    Label5,      // "E-mail："
    lblHomepage, // the author's mail address
    Command1,    // "  确  定"
    Label6,      // "软件下载："
    Label4,      // the site address
};

// What a click on a control of the about window asks for.
struct ClickAction {
    enum class Kind { Nothing, Close, ShellOpen };
    Kind kind = Kind::Nothing;
    std::wstring address; // for ShellOpen
};
ClickAction AboutClick(int control);

} // namespace varno
