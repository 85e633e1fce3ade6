#pragma once
// One class per window: a Form creates its window and controls from design
// values in twips, routes window messages to its handlers, and can be shown
// (modeless or modal), hidden and unloaded; the next show loads it afresh.
#include <windows.h>

#include "app/Ui.h"
#include "platform/Handle.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace varno::win {

// The screen as the forms measure it: size in twips and twips per pixel
// (1440 / the system's logical DPI).
Screen TheScreen();
int TwipsToPixelsX(float twips);
int TwipsToPixelsY(float twips);

// A font as the designer names it; created for the system DPI.
struct FontSpec {
    std::wstring face = L"MS Sans Serif";
    float points = 8.25f;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    BYTE charset = DEFAULT_CHARSET;
};

// "宋体" 9 pt, GB2312 character set: the font of the program's buttons.
FontSpec SongTi9();

// A child control's design values. Positions are in twips, relative to the
// form's client area, or to the control named by container (a frame or a
// picture box) whose own position is then added.
struct ControlDesign {
    int id = 0;
    const wchar_t* className = L"STATIC"; // WC_BUTTON, WC_LISTBOX, WC_STATIC, ...
    std::wstring text;
    DWORD style = 0; // WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS are always added
    DWORD exStyle = 0;
    float left = 0, top = 0, width = 0, height = 0;
    int container = 0;
    const FontSpec* font = nullptr; // nullptr: the form's font
    std::wstring tooltip;
    bool autoSize = false;            // labels: size to the text
    bool keepRightEdge = false;       // auto-size: the right edge stays at left + width
    COLORREF foreColor = CLR_INVALID; // labels: text colour
    COLORREF backColor = CLR_INVALID; // labels: background; CLR_INVALID: the form's
    HCURSOR cursor = nullptr;         // shown over the control
};

// A control of the given class, text, style and design rectangle (twips);
// every other design value keeps its default.
ControlDesign MakeControl(int id, const wchar_t* className, std::wstring_view text, DWORD style,
                          float left, float top, float width, float height);

class Form : public Window {
  public:
    Form();
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Window: the outer rectangle in twips.
    float Left() const override;
    float Top() const override;
    float Width() const override;
    float Height() const override;
    void Move(float left, float top) override;
    void SetLeft(float left);
    void SetTop(float top);

    varno::WindowState WindowState() const;
    void SetWindowState(varno::WindowState state);

    HWND hWnd() const { return hwnd_; }
    bool IsLoaded() const { return hwnd_ != nullptr; }
    bool IsVisible() const;

    void Load();                   // creates the window and controls, then Form_Load
    void Show(bool modal = false); // loads first if needed; modal returns once hidden or unloaded
    void Hide();
    void Unload();  // destroys the window; the next show loads it afresh
    void Refresh(); // repaints the window and its controls now

    HWND Control(int id) const;
    std::wstring ControlText(int id) const;
    void SetControlText(int id, std::wstring_view text); // re-sizes an auto-size label
    void SetTimer(int id, unsigned intervalMs);          // 0: no events

  protected:
    struct Design {
        std::wstring caption;
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        DWORD exStyle = 0;
        float clientWidth = 0, clientHeight = 0; // twips
        float left = 0, top = 0;                 // twips, before the load handler places it
        bool showInTaskbar = true;
        COLORREF backColor = CLR_INVALID; // CLR_INVALID: the system's button face
        int iconId = 0;                   // resource id, 0: none
        FontSpec font;
    };
    virtual Design GetDesign() const = 0;
    virtual std::vector<ControlDesign> GetControls() const { return {}; }

    // Handlers, one a message; the defaults do nothing but where they say.
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    virtual void Form_DblClick() {} // WM_LBUTTONDBLCLK
    // WM_COMMAND from a control: BN_CLICKED, LBN_DBLCLK, STN_CLICKED, STN_DBLCLK.
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    virtual void OnEscape() {} // Esc in the form (IDCANCEL from no control)
    virtual void OnTimer(int /*id*/) {}
    virtual void OnPaint(HDC /*dc*/) {}           // WM_PAINT, inside BeginPaint/EndPaint
    virtual void OnMouseDown(POINT /*client*/) {} // WM_LBUTTONDOWN
    virtual void OnMouseUp(POINT /*client*/) {}   // WM_LBUTTONUP
    virtual void OnDisplayChange() {}             // WM_DISPLAYCHANGE
    virtual void OnDropFiles(HDROP drop);         // WM_DROPFILES; the default releases it
    virtual void OnClose();                       // WM_CLOSE; the default unloads the form
    virtual void OnDestroy();                     // WM_DESTROY; an override calls the base

    // Creates one control after load (the design table's controls are made by Load).
    HWND AddControl(const ControlDesign& design);
    // Sizes an auto-size label to this text.
    void AutoSize(int id, std::wstring_view text);

  private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // Decodes a message and calls its handler; nothing else.
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    // The handlers of the form itself.
    void OnEraseBackground(HDC dc);
    HBRUSH OnCtlColor(HDC dc, HWND child);        // a control's text and background colours
    bool OnSetCursor(HWND over);                  // true: the control's own cursor is set
    bool OnActivate(bool active, bool minimised); // true: the focus is placed
    void OnNcDestroy();
    // A modal showing: the other windows of the thread are disabled until the
    // form is hidden or unloaded; then they are enabled again and the window
    // that was active before gets the activation back, both before the form
    // goes, so that the activation never passes to another program.
    void RunModal(HWND previouslyActive);
    void EndModal();
    HFONT FontFor(const FontSpec* wanted);
    bool IsContainer(int id) const; // some control names it as its container

    struct ControlInfo {
        HWND hwnd = nullptr;
        ControlDesign design;
    };
    const ControlInfo* InfoOf(HWND child) const; // nullptr: not a control of this form
    COLORREF BackColor() const;                  // the form's background colour
    HBRUSH FormBrush() const;                    // ... and its brush
    HWND hwnd_ = nullptr;
    UniqueWindow tooltip_;
    HWND lastFocus_ = nullptr;
    std::vector<HWND> modalDisabled_; // disabled by the modal showing under way
    HWND modalReturn_ = nullptr;      // active before it
    Design design_;
    std::map<int, ControlInfo> controls_;
    std::vector<std::pair<FontSpec, GdiObject<HFONT>>> fonts_;
    GdiObject<HBRUSH> backBrush_;
    std::map<COLORREF, GdiObject<HBRUSH>> brushes_;
};

// While it lives the form takes no input: it is disabled, so it gets no
// clicks and no drops, and the keys, clicks and drops already queued for it
// and its controls are thrown away as it is disabled and again before it is
// enabled, so that none of them acts later either. Afterwards the focus goes
// back to the control that had it, when the form is still in front.
class InputClosed {
  public:
    explicit InputClosed(Form& form);
    ~InputClosed();
    InputClosed(const InputClosed&) = delete;
    InputClosed& operator=(const InputClosed&) = delete;

  private:
    void Discard() const;
    HWND window_;
    HWND focus_;
};

// The program: shows the start-up form, then runs the message loop until the
// last loaded form has been unloaded. When the start-up form's window cannot
// be made, the program says so in the failure box and the result is 1.
int RunProgram(Form& startup, std::wstring_view cannotStart);

} // namespace varno::win
