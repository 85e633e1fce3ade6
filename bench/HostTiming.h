#pragma once
// Timing of the host calls a benchmark makes through the automation layer:
// every late-bound call (GetIDsOfNames + Invoke), and every release of a host
// object (a call into the host as well), goes through a wrapper that adds its
// duration to HostTime. The batch purge run and the bare client use the same
// wrapper, so that their calls are counted and timed alike.
#include "app/Automation.h"

#include <chrono>
#include <memory>
#include <utility>

namespace varno::bench {

using Clock = std::chrono::steady_clock;

struct HostTime {
    Clock::duration inside{};
    long calls = 0;    // late-bound calls: Get, Put, Call
    long releases = 0; // host objects let go
};

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs one host call, adding its duration to the host's time and one to
// counter.
template <class F> auto Timed(HostTime& time, long& counter, F&& f) {
    struct Stop {
        HostTime& t;
        long& n;
        Clock::time_point start;
        ~Stop() {
            t.inside += Clock::now() - start;
            ++n;
        }
    } stop{time, counter, Clock::now()};
    return f();
}

class TimedObject : public AutoObject {
  public:
    TimedObject(AutoRef inner, HostTime& time) : inner_(std::move(inner)), time_(time) {}
    // Letting go of a remote object is a call into the host too.
    ~TimedObject() override {
        Timed(time_, time_.releases, [&] {
            inner_.reset();
            return 0;
        });
    }
    TimedObject(const TimedObject&) = delete;
    TimedObject& operator=(const TimedObject&) = delete;
    Variant Get(std::wstring_view member) override {
        return Wrap(Timed(time_, time_.calls, [&] { return inner_->Get(member); }));
    }
    void Put(std::wstring_view member, const Variant& value) override {
        Timed(time_, time_.calls, [&] {
            inner_->Put(member, value);
            return 0;
        });
    }
    Variant Call(std::wstring_view member, std::initializer_list<Variant> args) override {
        return Wrap(Timed(time_, time_.calls, [&] { return inner_->Call(member, args); }));
    }

  private:
    Variant Wrap(Variant v) {
        if (auto* o = std::get_if<AutoRef>(&v); o && *o)
            return Variant(AutoRef(std::make_shared<TimedObject>(*o, time_)));
        return v;
    }
    AutoRef inner_;
    HostTime& time_;
};

// Attaching and launching are timed as calls; asking for the registration
// costs no call into a host.
class TimedRuntime : public AutomationRuntime {
  public:
    TimedRuntime(AutomationRuntime& inner, HostTime& time) : inner_(inner), time_(time) {}
    bool IsRegistered(std::wstring_view progId) override { return inner_.IsRegistered(progId); }
    AutoRef AttachRunning(std::wstring_view progId) override {
        return Wrap(Timed(time_, time_.calls, [&] { return inner_.AttachRunning(progId); }));
    }
    AutoRef Launch(std::wstring_view progId) override {
        return Wrap(Timed(time_, time_.calls, [&] { return inner_.Launch(progId); }));
    }
    bool IsLaunchable(std::wstring_view progId) override { return inner_.IsLaunchable(progId); }
    AutoRef AttachListed(std::wstring_view progId) override {
        AutoRef listed = Timed(time_, time_.calls, [&] { return inner_.AttachListed(progId); });
        return listed ? Wrap(std::move(listed)) : listed;
    }
    bool IsProgramRunning(std::wstring_view progId) override {
        return inner_.IsProgramRunning(progId);
    }

  private:
    AutoRef Wrap(AutoRef r) { return std::make_shared<TimedObject>(std::move(r), time_); }
    AutomationRuntime& inner_;
    HostTime& time_;
};

} // namespace varno::bench
