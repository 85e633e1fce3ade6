// Where Windows calls into a form: a handler's failure ends at the window
// procedure in the program's failure box and the window goes on; a start-up
// form whose window cannot be made is reported and the program ends.
#include "platform/Form.h"

#include "app/Error.h"
#include "support/DialogDriver.h"
#include "support/RefusedWindow.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <functional>
#include <new>

namespace varno::win {
namespace {

// A form with one button; a click runs what the test gives it.
class ProbeForm : public Form {
  public:
    enum : int { Button = 1 };
    std::function<void()> onClick = [] {};
    int clicks = 0;

  protected:
    Design GetDesign() const override {
        Design d;
        d.caption = L"varno probe";
        d.clientWidth = 3000;
        d.clientHeight = 1500;
        return d;
    }
    std::vector<ControlDesign> GetControls() const override {
        return {MakeControl(Button, WC_BUTTONW, L"probe", BS_PUSHBUTTON, 120, 120, 1200, 375)};
    }
    void OnCommand(int id, int code) override {
        if (id == Button && code == BN_CLICKED) {
            ++clicks;
            onClick();
        }
    }
};

// The last form unloaded asks the thread's message loop to end: not here.
void ForgetTheQuit() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST(FormBarrier, AFailingHandlerEndsInTheFailureBoxAndTheWindowGoesOn) {
    struct Row {
        const char* what;
        std::function<void()> fail;
        std::wstring text;
    };
    const Row rows[] = {
        {"an error", [] { throw Error(errnum::PathNotFound, L"找不到路径 D:\\图纸"); },
         L"找不到路径 D:\\图纸"},
        {"an error without a description", [] { throw Error(errnum::InvalidProcedureCall, L""); },
         L"无效的过程调用或参数"},
        {"out of memory", [] { throw std::bad_alloc(); }, L"内存溢出"},
        {"anything else", [] { throw 42; }, L"内部错误"},
    };
    ProbeForm form;
    form.Show();
    ASSERT_TRUE(form.IsLoaded());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        form.onClick = row.fail;
        test::SeenBox box;
        auto watcher = test::CloseMessageBox(L"错误", box);
        SendMessageW(form.Control(ProbeForm::Button), BM_CLICK, 0, 0);
        watcher->Join();
        EXPECT_TRUE(box.seen);
        EXPECT_EQ(box.info.text, row.text);
        EXPECT_TRUE(box.info.hasIcon);
        EXPECT_TRUE(form.IsVisible());
    }
    form.onClick = [] {};
    SendMessageW(form.Control(ProbeForm::Button), BM_CLICK, 0, 0);
    EXPECT_EQ(form.clicks, 5);
    form.Unload();
    ForgetTheQuit();
}

TEST(FormBarrier, AStartUpFormWithoutAWindowIsReportedAndTheProgramEnds) {
    ProbeForm form;
    const test::RefusedWindow refused(form);
    ASSERT_TRUE(refused.Armed());
    test::SeenBox box;
    auto watcher = test::CloseMessageBox(L"错误", box);
    // Without the report this would wait in the message loop for ever.
    EXPECT_EQ(RunProgram(form, L"无法创建主窗口"), 1);
    watcher->Join();
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.info.text, L"无法创建主窗口");
    EXPECT_TRUE(box.info.hasIcon);
    EXPECT_FALSE(form.IsLoaded());
}

} // namespace
} // namespace varno::win
