#include "platform/Barrier.h"

#include "app/Error.h"
#include "app/Ui.h"
#include "platform/App.h"

#include <string>

namespace varno::win {

namespace {

thread_local bool t_showing = false;

// The text of the failure being handled, as a trapped one would name it.
std::wstring CaughtText() {
    std::wstring text;
    try {
        throw;
    } catch (const Error& e) {
        text = e.Description().empty() ? RuntimeErrorText(e.Number()) : e.Description();
    } catch (const std::bad_alloc&) {
        text = OutOfMemoryText;
    } catch (...) {
    }
    return text.empty() ? RuntimeErrorText(errnum::InternalError) : text;
}

} // namespace

void ShowCaughtFailure() noexcept {
    if (t_showing)
        return;
    t_showing = true;
    std::wstring text;
    try {
        text = CaughtText();
    } catch (...) {
        // Not even the memory for the text: the runtime's words for that.
    }
    // Like every message box of the program: modal to the whole program.
    if (const UntoldBox tell = BoxesUntold())
        tell(text.empty() ? OutOfMemoryText : std::wstring_view(text));
    else
        MessageBoxW(nullptr, text.empty() ? OutOfMemoryText.data() : text.c_str(),
                    ErrorTitle.data(), MB_OK | MsgCritical | MB_TASKMODAL);
    t_showing = false;
}

} // namespace varno::win
