#pragma once
// The user's request to stop a run, asked from the progress window while the
// run works on the host thread. The run stops after the drawing it works on;
// while the question is open it goes no further than that.
#include <condition_variable>
#include <mutex>
#include <string_view>

namespace varno {

// The question, in a box titled AppTitle with Yes and No, No the default.
inline constexpr std::wstring_view StopQuestionText =
    L"要停止批量清理吗？\n\n当前这张图纸清理完后停止。";
// The progress window's text after Yes, until the drawing is done ...
inline constexpr std::wstring_view StoppingText = L"正在停止……";
// ... and when the run has stopped.
inline constexpr std::wstring_view StoppedText = L"批量清理已停止 双击窗口返回";

class StopRequest {
  public:
    // The question is open.
    void Asking();
    // Its answer: stop, or go on.
    void Answered(bool stop);
    bool IsAsking() const;
    // Whether the run is to stop now; waits while the question is open.
    bool Requested();
    // The user answered Yes.
    bool Stopping() const;
    // The run stopped at that answer (it saw Requested() answer true).
    bool Seen() const;

  private:
    mutable std::mutex lock_;
    std::condition_variable answered_;
    bool asking_ = false;
    bool stop_ = false;
    bool seen_ = false;
};

} // namespace varno
