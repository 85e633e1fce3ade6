#pragma once
// The promotional windows: one design, PromoForm, built twice. adfrm stands
// at the right screen edge, ad1frm at the left; each shows one page of the
// maker's site in an embedded browser and docks at the edge it touches.
#include "platform/Form.h"
#include "platform/Picture.h"
#include "platform/WebBrowser.h"
#include "promo/PromoWindow.h"

#include <vector>

namespace varno::win {

class PromoForm : public Form {
  public:
    enum ControlId : int {
        WebBrowser1 = 401,
        Image2, // ends the program
        Image1, // minimises the window
        Label1, // a double-click unloads the window
    };
    enum TimerId : int {
        Timer2 = 1, // DockingStartMs after the load: starts the docking timer
        Timer1,     // the docking tick, no events until Timer2 sets DockingTickMs
    };

    const WebBrowser& Browser() const { return WebBrowser1_; }
    // Client rectangle (pixels) of a windowless image control.
    RECT ImageRect(int id) const;

  protected:
    explicit PromoForm(const PromoKind& kind);

    Design GetDesign() const override;
    std::vector<ControlDesign> GetControls() const override;
    void Form_Load() override;
    void OnCommand(int id, int code) override;
    void OnTimer(int id) override;
    void OnPaint(HDC dc) override;           // Image1 and Image2
    void OnMouseDown(POINT client) override; // a click on Image1 or Image2 ...
    void OnMouseUp(POINT client) override;   // ... released over the same one
    void OnDisplayChange() override;
    void OnDestroy() override;

  private:
    void Minimise();     // Image1
    void StartDocking(); // Timer2
    void DockTick();     // Timer1

    int ImageAt(POINT client) const;

    PromoKind kind_;
    WebBrowser WebBrowser1_;
    Picture closePicture_;
    Picture minimisePicture_;
    int pressedImage_ = 0;
    // The screen and the monitors of the desktop, kept up to date by WM_DISPLAYCHANGE.
    Screen screen_;
    std::vector<RectPx> monitors_;
};

// Right edge, "/gdownload.htm".
class adfrm : public PromoForm {
  public:
    static adfrm& Instance();

  private:
    adfrm();
};

// Left edge, "/bdownload.htm".
class ad1frm : public PromoForm {
  public:
    static ad1frm& Instance();

  private:
    ad1frm();
};

} // namespace varno::win
