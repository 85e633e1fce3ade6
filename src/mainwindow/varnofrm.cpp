#include "mainwindow/varnofrm.h"

#include "about/aboutfrm.h"
#include "app/HelpFile.h"
#include "app/Maker.h"
#include "app/Module1.h"
#include "mainwindow/DropDrawings.h"
#include "mainwindow/ListCommands.h"
#include "mainwindow/ListFileCommands.h"
#include "platform/App.h"
#include "promo/adfrm.h"
#include "res/resource.h"

#include <commctrl.h>

namespace varno::win {

// A drawing the drop adds is one the CAD host can open: a path within MAX_PATH.
static_assert(MaxDrawingPath == MAX_PATH - 1);

varnofrm& varnofrm::Instance() {
    static varnofrm form;
    return form;
}

varnofrm::varnofrm() {
    CommonDialog1.MaxFileSize = 32000;
    CommonDialog4.DialogTitle = ListFileSaveTitle;
    CommonDialog4.Filter = L"列表文件(*.txt)|*.txt|所有文件（*.*)|*.*";
    CommonDialog4.MaxFileSize = 260;
}

Form::Design varnofrm::GetDesign() const {
    Design d;
    d.caption = L"批量清理 V2.5";
    d.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    d.clientWidth = 8295;
    d.clientHeight = 4470;
    d.iconId = IDI_VARNO;
    d.font = SongTi9();
    return d;
}

std::vector<ControlDesign> varnofrm::GetControls() const {
    static const FontSpec buttonFont = SongTi9();
    auto button = [](int id, const wchar_t* caption, float l, float t, float w, float h,
                     int container = 0) {
        ControlDesign c =
            MakeControl(id, WC_BUTTONW, caption, BS_PUSHBUTTON | WS_TABSTOP, l, t, w, h);
        c.container = container;
        c.font = &buttonFont;
        return c;
    };
    constexpr std::wstring_view doubleClickTip = L"双击删除单个列表";
    ControlDesign frame =
        MakeControl(Frame1, WC_BUTTONW, L"初始化文件", BS_GROUPBOX, 120, 120, 8055, 3735);
    frame.tooltip = doubleClickTip;

    ControlDesign list =
        MakeControl(List2, WC_LISTBOXW, L"",
                    LBS_SORT | LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL |
                        WS_HSCROLL | WS_TABSTOP,
                    120, 240, 7755, 2760);
    list.exStyle = WS_EX_CLIENTEDGE;
    list.container = Frame1;
    list.tooltip = doubleClickTip;

    ControlDesign add = button(xpcmdbutton5, L"  添加文件", 240, 3180, 1215, 375, Frame1);
    add.tooltip = L"支持资源管理器拖放文件！";

    // In tab order.
    return {
        button(xpcmdbutton2, L"  更多软件", 4440, 3960, 1455, 375),
        button(xpcmdbutton3, L"  退   出", 6480, 3960, 1455, 375),
        button(Command9, L"  批量清理", 360, 3960, 1455, 375),
        button(xpcmdbutton4, L"  帮   助", 2400, 3960, 1455, 375),
        frame,
        list,
        add,
        button(xpcmdbutton6, L"  删除全部", 3480, 3180, 1215, 375, Frame1),
        button(xpcmdbutton1, L"  删除选择", 1860, 3180, 1215, 375, Frame1),
        button(xpcmdbutton8, L"  保存列表", 5100, 3180, 1215, 375, Frame1),
        button(xpcmdbutton9, L"  读取列表", 6720, 3180, 1215, 375, Frame1),
    };
}

void varnofrm::Form_Load() {
    list_ = ListBoxList(Control(List2));
    CommonDialog1.Owner = hWnd();
    CommonDialog4.Owner = hWnd();
    AcceptDroppedFiles(hWnd());
    oleDrop_.Register(
        hWnd(), [this](const std::vector<std::wstring>& paths) { DropPaths(paths); },
        [this] { return TakesDrops(); });
    adfrm::Instance().Show();
    ad1frm::Instance().Show();
    SetHelpFile(HelpFilePath(ProgramFolder()));
    CentreOnScreen(*this, TheScreen());
}

void varnofrm::OnCommand(int id, int code) {
    if (!IsWindowEnabled(hWnd()))
        return; // a run works (or a modal window is up): nothing acts
    if (id == List2) {
        if (code == LBN_DBLCLK)
            WithList(&varnofrm::DeleteSelected);
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case xpcmdbutton5:
        WithList(&varnofrm::AddDrawings);
        break;
    case xpcmdbutton1:
        WithList(&varnofrm::DeleteSelected);
        break;
    case xpcmdbutton6:
        WithList(&varnofrm::ClearList);
        break;
    case xpcmdbutton8:
        WithList(&varnofrm::SaveListFile);
        break;
    case xpcmdbutton9:
        WithList(&varnofrm::ReadListFile);
        break;
    case Command9:
        WithList(&varnofrm::BatchPurge);
        break;
    case xpcmdbutton4:
        Help();
        break;
    case xpcmdbutton2:
        MoreSoftware();
        break;
    case xpcmdbutton3:
        EndProgram(); // does not return
        break;
    default:
        break;
    }
}

void varnofrm::WithList(void (varnofrm::*command)()) {
    // No command sees the list while a drop is being made.
    if (DropWalking()) {
        MessageBeep(MB_OK);
        return;
    }
    (this->*command)();
}

void varnofrm::ClearList() {
    list_.Clear();
}

void varnofrm::OnDropFiles(HDROP drop) {
    // Disabled while a run works: the drop is released unread.
    if (!IsWindowEnabled(hWnd()))
        Form::OnDropFiles(drop);
    else
        DropFiles(drop);
}

bool varnofrm::TakesDrops() const {
    return !DropWalking();
}

void varnofrm::DropFiles(HDROP drop) {
    const DroppedFiles dropped(drop);
    if (TakesDrops())
        DropPaths(dropped.Paths());
    else
        MessageBeep(MB_OK);
}

void varnofrm::DropPaths(const std::vector<std::wstring>& paths) {
    if (!TakesDrops())
        return; // an OLE drop queued behind the one being walked
    auto drop = std::make_shared<DrawingDrop>(list_, paths);
    auto search = [drop, folders = DropFolders](std::stop_token stop) {
        drop->Search(*folders, stop);
    };
    auto finish = [this, drop] { ShowDropReport(TheMessageBoxes(), drop->Finish(list_)); };
    if (!dropWalk_.Start(hWnd(), search, finish)) { // no thread to be had: on this one
        search({});
        finish();
    }
}

void varnofrm::AddDrawings() {
    varno::AddDrawings(CommonDialog1, list_, TheMessageBoxes());
}

void varnofrm::DeleteSelected() {
    varno::DeleteSelected(list_);
}

void varnofrm::Help() {
    ShowHelp(hWnd(), HelpFilePath(ProgramFolder()));
}

void varnofrm::MoreSoftware() {
    ShellOpen(hWnd(), maker::SiteAddress);
    aboutfrm::Instance().Show(true);
}

} // namespace varno::win
