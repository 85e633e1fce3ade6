#pragma once
// The main window: the drawing list List2 in Frame1 with its five list
// buttons, and the bottom row of batch purge, help, more software and exit.
#include "platform/BackgroundWork.h"
#include "platform/CommonDialog.h"
#include "platform/FileDrop.h"
#include "platform/Win32FolderReader.h"
#include "platform/Form.h"
#include "platform/ListBox.h"
#include "platform/OleDrop.h"

namespace varno::win {

class varnofrm : public Form {
  public:
    static varnofrm& Instance();

    enum ControlId : int {
        xpcmdbutton2 = 101, // "  更多软件"
        xpcmdbutton3,       // "  退   出"
        Command9,           // "  批量清理"
        xpcmdbutton4,       // "  帮   助"
        Frame1,
        List2,
        xpcmdbutton5, // "  添加文件"
        xpcmdbutton6, // "  删除全部"
        xpcmdbutton1, // "  删除选择"
        xpcmdbutton8, // "  保存列表"
        xpcmdbutton9, // "  读取列表"
    };

    // The drawing list (valid while the window is loaded).
    ListBoxList& DrawingList2() { return list_; }

    CommonDialog CommonDialog1; // picking drawings
    CommonDialog CommonDialog4; // list files
    // What drops read folders with, on the walk's thread: the disk.
    std::shared_ptr<FolderReader> DropFolders = std::make_shared<Win32FolderReader>();
    // A drop's folders are being walked: the list and its commands wait.
    bool DropWalking() const { return dropWalk_.Busy(); }

  protected:
    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void OnCommand(int id, int code) override;
    void OnDropFiles(HDROP drop) override;

  private:
    varnofrm();
    // Runs a command that uses the list, unless a drop is being made: then
    // it only beeps. Help, the maker's site and the exit need no list.
    void WithList(void (varnofrm::*command)());
    void AddDrawings();    // xpcmdbutton5
    void ClearList();      // xpcmdbutton6
    void DeleteSelected(); // xpcmdbutton1, List2 double-click
    void MoreSoftware();   // xpcmdbutton2
    void Help();           // xpcmdbutton4
    void SaveListFile();   // xpcmdbutton8
    void ReadListFile();   // xpcmdbutton9
    void BatchPurge();     // Command9
    // Files and folders dropped anywhere on the window, the list included:
    // as WM_DROPFILES from the shell's older drops, or through the OLE drop
    // target from DoDragDrop. A drag source uses one way or the other, so a
    // drop arrives once. Its folders are walked beside the window; the list
    // takes the drawings at the end.
    void DropFiles(HDROP drop);
    void DropPaths(const std::vector<std::wstring>& paths);
    bool TakesDrops() const;

    ListBoxList list_{nullptr};
    OleFileDrop oleDrop_;
    BackgroundWork dropWalk_;
};

} // namespace varno::win
