#pragma once
// Late-bound automation, as a scripting client sees it: objects whose
// properties and methods are reached by name, values of a few kinds, and
// failures as varno::Error with the runtime's number and description.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace varno {

class AutoObject;
using AutoRef = std::shared_ptr<AutoObject>;

// empty, Boolean, integer, text, object. Integers arrive as 32-bit values
// where they fit and as 64-bit ones where not (a window handle of a 64-bit
// host); a 16-bit one is sent where a server takes nothing wider (the host's
// system variables).
using Variant = std::variant<std::monostate, bool, std::int16_t, std::int32_t, std::int64_t,
                             std::wstring, AutoRef>;

class AutoObject {
  public:
    virtual ~AutoObject() = default;
    virtual Variant Get(std::wstring_view member) = 0;
    virtual void Put(std::wstring_view member, const Variant& value) = 0;
    virtual Variant Call(std::wstring_view member, std::initializer_list<Variant> args) = 0;
};

// Attaching to and launching automation servers by programmatic identifier.
class AutomationRuntime {
  public:
    virtual ~AutomationRuntime() = default;
    // A server is installed under this identifier (asking costs no launch).
    virtual bool IsRegistered(std::wstring_view progId) = 0;
    virtual AutoRef AttachRunning(std::wstring_view progId) = 0; // the running instance
    virtual AutoRef Launch(std::wstring_view progId) = 0;        // a new instance

    // The program a launch of this identifier starts is on disk: its class
    // has a local server, in either registry view, whose program file
    // exists. An uninstalled program often leaves its identifier behind.
    virtual bool IsLaunchable(std::wstring_view progId) = 0;
    // A running application in the running object table whose class has
    // this version-independent identifier: another version of the program
    // than the one the identifier names, which attaching by it does not
    // reach. Empty when none is listed or it cannot be reached.
    virtual AutoRef AttachListed(std::wstring_view progId) = 0;
    // The program a launch of this identifier starts already runs in the
    // user's session, reachable or not (one running as administrator hides
    // its running object from a program that is not).
    virtual bool IsProgramRunning(std::wstring_view progId) = 0;
};

} // namespace varno
