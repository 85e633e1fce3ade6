#pragma once
// What the portable logic needs from the user interface: message boxes,
// window geometry in twips and the screen.
#include <cstdint>
#include <string>
#include <string_view>

namespace varno {

// Message box styles (the platform's values).
constexpr unsigned MsgOkOnly = 0;
constexpr unsigned MsgYesNo = 4;
constexpr unsigned MsgCritical = 16;
constexpr unsigned MsgExclamation = 48;
constexpr unsigned MsgInformation = 64;
constexpr unsigned MsgDefaultButton2 = 256;
// The answer of a Yes/No message box that means Yes.
constexpr int MsgAnswerYes = 6;

// Caption of message boxes that bring no title of their own.
inline constexpr std::wstring_view AppTitle = L"批量清理";
// Title of every failure message box.
inline constexpr std::wstring_view ErrorTitle = L"错误";
// What the program says, before it ends, when its main window cannot be made.
inline constexpr std::wstring_view CannotStartText = L"无法创建主窗口，程序无法启动！";
// The message boxes of the program as a whole (a failure that no handler
// traps shows its own description).
inline constexpr std::wstring_view AppMessages[] = {CannotStartText};

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Modal; an empty title means the application's title.
    virtual void Show(std::wstring_view text, unsigned style, std::wstring_view title = {}) = 0;
};

// Message boxes that ask: the style names the buttons, and the answer is the
// button pressed (MsgAnswerYes for Yes).
class Questions {
  public:
    virtual ~Questions() = default;
    // Modal; an empty title means the application's title.
    virtual int Ask(std::wstring_view text, unsigned style, std::wstring_view title = {}) = 0;
};

// The screen in twips (1/1440 inch) and its twips-per-pixel factors.
struct Screen {
    float Width = 0;
    float Height = 0;
    float TwipsPerPixelX = 15;
    float TwipsPerPixelY = 15;
};

// How a top-level window is shown.
enum class WindowState : std::int16_t { Normal = 0, Minimised = 1, Maximised = 2 };

// A top-level window's outer rectangle in twips.
class Window {
  public:
    virtual ~Window() = default;
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    // Moves the top-left corner; the size stays.
    virtual void Move(float left, float top) = 0;
};

} // namespace varno
