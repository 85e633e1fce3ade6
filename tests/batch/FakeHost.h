#pragma once
// A scripted CAD host for the portable tests: objects that answer members by
// name from a table, a journal of every call (shared with the fake view and
// message boxes, so that the whole order can be checked), and failures that a
// test switches on for the n-th occurrence of a journal line.
#include "app/Automation.h"
#include "app/AutomationError.h"
#include "app/Ui.h"
#include "batch/PurgeRun.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace varno::test {

using Journal = std::vector<std::wstring>;

inline std::wstring Show(const Variant& v) {
    struct V {
        std::wstring operator()(std::monostate) const { return L"Empty"; }
        std::wstring operator()(bool b) const { return b ? L"True" : L"False"; }
        std::wstring operator()(std::int16_t n) const { return L"i2:" + std::to_wstring(n); }
        std::wstring operator()(std::int32_t n) const { return std::to_wstring(n); }
        std::wstring operator()(std::int64_t n) const { return L"i8:" + std::to_wstring(n); }
        std::wstring operator()(const std::wstring& s) const { return s; }
        std::wstring operator()(const AutoRef& o) const { return o ? L"<object>" : L"Nothing"; }
    };
    return std::visit(V{}, v);
}

class FakeHost;

class FakeObject : public AutoObject {
  public:
    FakeObject(FakeHost& host, std::wstring name) : host_(host), name_(std::move(name)) {}
    Variant Get(std::wstring_view member) override;
    void Put(std::wstring_view member, const Variant& value) override;
    Variant Call(std::wstring_view member, std::initializer_list<Variant> args) override;

  private:
    FakeHost& host_;
    std::wstring name_;
};

class FakeHost : public AutomationRuntime {
  public:
    using Handler = std::function<Variant(const std::vector<Variant>&)>;

    explicit FakeHost(Journal& journal) : journal_(journal) {
        app = Make(L"App");
        doc = Make(L"Doc");
        drawing = Make(L"Drawing");
        On(L"App.Caption", [this](auto&) { return Variant(caption); });
        On(L"App.FullName", [this](auto&) { return Variant(fullName); });
        // A new reference each time, as a remote host hands them out: one the
        // run lets go of too early is gone (the sanitizers see its use).
        On(L"App.Documents", [this](auto&) { return Variant(Make(L"Documents")); });
        On(L"App.ActiveDocument", [this](auto&) { return Variant(doc); });
        On(L"App.Visible=", [this](auto& a) {
            visible = std::get<bool>(a.at(0));
            return Variant();
        });
        On(L"Doc.ModelSpace", [this](auto&) { return Variant(Make(L"ModelSpace")); });
        On(L"Doc.PaperSpace", [this](auto&) { return Variant(Make(L"PaperSpace")); });
        On(L"Doc.Utility", [this](auto&) { return Variant(Make(L"Utility")); });
        On(L"Documents.Add", [this](auto&) { return Variant(doc); });
        On(L"Doc.Name", [](auto&) { return Variant(std::wstring(L"Drawing1.dwg")); });
        // Open answers with the drawing it opened, and leaves the template
        // drawing (Doc) the active document: a host that does not activate
        // what it opens.
        On(L"Documents.Open", [this](auto& a) {
            opened.push_back(std::get<std::wstring>(a.at(0)));
            levels = nesting;
            modified = 0;
            return Variant(drawing);
        });
        On(L"Doc.SendCommand", [](auto&) { return Variant(); });
        // The user's proxy notice, a 16-bit setting; SetVariable takes nothing wider.
        On(L"Doc.GetVariable", [](auto&) { return Variant(std::int16_t{1}); });
        On(L"Doc.SetVariable", [](auto& a) {
            if (!std::holds_alternative<std::int16_t>(a.at(1)))
                throw RuntimeError(errnum::TypeMismatch);
            return Variant();
        });
        // The open documents: the run's new drawing (no file yet), then those
        // the user has open (UserOpens).
        On(L"Documents.Count",
           [this](auto&) { return Variant(static_cast<std::int32_t>(1 + userOpen.size())); });
        // Counted from firstItem: 0 as AutoCAD, 1 on some hosts.
        On(L"Documents.Item", [this](auto& a) {
            const std::int32_t i = std::get<std::int32_t>(a.at(0)) - firstItem;
            if (i < 0 || i > static_cast<std::int32_t>(userOpen.size()))
                throw Error(-2147024809, L"index out of range");
            return Variant(Make(L"Item" + std::to_wstring(i)));
        });
        // The run's new drawing: no file yet; a host that cannot tell its
        // folder (some raise for its FullName too).
        On(L"Item0.FullName", [](auto&) { return Variant(std::wstring()); });
        On(L"Item0.Name", [](auto&) { return Variant(std::wstring(L"Drawing1.dwg")); });
        On(L"Doc.Close", [](auto&) { return Variant(); });
        On(L"Drawing.ReadOnly",
           [this](auto&) { return Variant(readOnly.count(opened.back()) > 0); });
        // Each PurgeAll removes one level of nesting, which the counts of the
        // drawing's blocks and layers show, and whatever else is unused
        // (DBMOD shows that), unless the drawing is clean.
        On(L"Drawing.PurgeAll", [this](auto&) {
            levels = std::max(0, levels - 1);
            if (!clean.count(opened.back()))
                modified = 1;
            return Variant();
        });
        On(L"Drawing.GetVariable", [this](auto& a) {
            if (std::get<std::wstring>(a.at(0)) != L"DBMOD")
                throw Error(-2147024809, L"unknown variable");
            return Variant(modified);
        });
        for (const wchar_t* name : {L"Blocks", L"Layers", L"Linetypes", L"DimStyles"})
            On(std::wstring(L"Drawing.") + name,
               [this, name](auto&) { return Variant(Make(name)); });
        On(L"Blocks.Count", [this](auto&) { return Variant(std::int32_t{2} + levels); });
        On(L"Layers.Count", [this](auto&) { return Variant(std::int32_t{1} + levels); });
        On(L"Linetypes.Count", [](auto&) { return Variant(std::int32_t{3}); });
        On(L"DimStyles.Count", [](auto&) { return Variant(std::int32_t{1}); });
        On(L"Drawing.SaveAs", [](auto&) { return Variant(); });
        On(L"Drawing.Close", [](auto&) { return Variant(); });
        On(L"App.Preferences", [this](auto&) { return Variant(Make(L"Preferences")); });
        On(L"Preferences.OpenSave", [this](auto&) { return Variant(Make(L"OpenSave")); });
        On(L"OpenSave.SaveAsType", [this](auto&) { return Variant(saveAsType); });
    }

    AutoRef Make(std::wstring name) { return std::make_shared<FakeObject>(*this, std::move(name)); }
    // A drawing the user has open in the host, under this FullName (and the
    // Path and Name it makes); its item's name in the journal.
    std::wstring UserOpens(std::wstring fullName) {
        userOpen.push_back(fullName);
        const std::wstring item = L"Item" + std::to_wstring(userOpen.size());
        const std::size_t slash = fullName.find_last_of(L'\\');
        On(item + L".FullName", [fullName](auto&) { return Variant(fullName); });
        On(item + L".Path", [=](auto&) { return Variant(fullName.substr(0, slash)); });
        On(item + L".Name", [=](auto&) { return Variant(fullName.substr(slash + 1)); });
        return item;
    }
    void On(std::wstring member, Handler h) { handlers_[std::move(member)] = std::move(h); }
    void Remove(const std::wstring& member) { handlers_.erase(member); }
    // The n-th call that writes this journal line raises the error.
    void FailAt(std::wstring line, Error error, int nth = 1) {
        failures_.push_back({std::move(line), nth, std::move(error)});
    }

    // Asking costs no call the host sees: not journaled.
    bool IsRegistered(std::wstring_view progId) override {
        return installed.count(std::wstring(progId)) > 0;
    }
    AutoRef AttachRunning(std::wstring_view progId) override {
        Record(L"AttachRunning(" + std::wstring(progId) + L")");
        if (!running.count(std::wstring(progId)))
            throw Error(errnum::CantCreateObject, L"no running host");
        return app;
    }
    AutoRef Launch(std::wstring_view progId) override {
        const std::wstring id(progId);
        Record(L"Launch(" + id + L")");
        if (!installed.count(id))
            throw Error(errnum::CantCreateObject, L"host not installed");
        if (leftover.count(id))
            throw Error(errnum::CantCreateObject, L"host program gone: " + id);
        if (broken.count(id))
            throw Error(-2147467259, L"host broken: " + id);
        ++launches;
        running.insert(id);
        return app;
    }
    bool IsLaunchable(std::wstring_view progId) override {
        return IsRegistered(progId) && !leftover.count(std::wstring(progId));
    }
    // Looking costs no call a host sees; attaching to what is listed does.
    AutoRef AttachListed(std::wstring_view progId) override {
        if (!listed.count(std::wstring(progId)))
            return AutoRef();
        Record(L"AttachListed(" + std::wstring(progId) + L")");
        return app;
    }
    bool IsProgramRunning(std::wstring_view progId) override {
        return outOfReach.count(std::wstring(progId)) > 0;
    }

    // Journals the call, raises a scripted failure, then answers it.
    Variant Answer(const std::wstring& key, std::wstring line, const std::vector<Variant>& args) {
        Record(line);
        const int seen = static_cast<int>(std::count(journal_.begin(), journal_.end(), line));
        for (const auto& f : failures_)
            if (f.line == line && f.nth == seen)
                throw f.error;
        const auto it = handlers_.find(key);
        if (it == handlers_.end())
            throw RuntimeError(errnum::ObjectDoesntSupport);
        return it->second(args);
    }
    void Record(std::wstring line) { journal_.push_back(std::move(line)); }

    std::wstring caption = L"Stand-in CAD - [Drawing1.dwg]";
    std::wstring fullName = L"C:\\Program Files\\CAD\\vcad.exe";
    // The identifiers registered, those running, and those whose launch fails.
    std::set<std::wstring> installed{L"AutoCAD.Application"};
    std::set<std::wstring> running{L"AutoCAD.Application"};
    std::set<std::wstring> broken;
    // Registered identifiers whose program has gone (uninstalled); hosts
    // running in another version, found in the running object table under
    // a class of that version; and those whose program runs out of reach
    // (as administrator).
    std::set<std::wstring> leftover, listed, outOfReach;
    bool visible = false;
    int launches = 0;
    std::vector<std::wstring> opened;
    std::vector<std::wstring> userOpen;
    std::set<std::wstring> readOnly; // drawings that open read-only
    std::set<std::wstring> clean;    // drawings with nothing to purge
    std::int16_t modified = 0;       // the opened drawing's DBMOD
    std::int32_t firstItem = 0;      // the index of the first open document
    std::int32_t saveAsType = 64;    // the host's own save format: the newest
    int nesting = 0;                 // levels of unused items each drawing opens with
    int levels = 0;                  // ... and the opened one has left
    AutoRef app, doc, drawing;

  private:
    struct Failure {
        std::wstring line;
        int nth;
        Error error;
    };
    Journal& journal_;
    std::map<std::wstring, Handler, std::less<>> handlers_;
    std::vector<Failure> failures_;
};

inline Variant FakeObject::Get(std::wstring_view member) {
    std::wstring key = name_ + L"." + std::wstring(member);
    return host_.Answer(key, key, {});
}

inline void FakeObject::Put(std::wstring_view member, const Variant& value) {
    std::wstring key = name_ + L"." + std::wstring(member) + L"=";
    host_.Answer(key, key + Show(value), {value});
}

inline Variant FakeObject::Call(std::wstring_view member, std::initializer_list<Variant> args) {
    std::wstring key = name_ + L"." + std::wstring(member);
    std::wstring line = key + L"(";
    bool first = true;
    for (const auto& a : args) {
        if (!first)
            line += L", ";
        line += Show(a);
        first = false;
    }
    line += L")";
    return host_.Answer(key, line, std::vector<Variant>(args));
}

// Files by path: all there but the absent ones, the bytes the drawings start
// with, and the final paths of those that have another (as a short name or
// a mapped drive has; by default a path is its own, in the first form); a
// path in unreadable cannot be opened at all, one in held not for its next
// so many reads. Pauses are counted, not waited.
struct FakeFiles : DrawingFiles {
    bool FileExists(const std::wstring& path) override { return absent.count(path) == 0; }
    std::string ReadHead(const std::wstring& path, std::size_t count) override {
        if (absent.count(path))
            throw Error(errnum::FileNotFound, L"系统找不到指定的文件。");
        if (unreadable.count(path) || (held.count(path) && held[path]-- > 0))
            throw Error(errnum::PathFileAccess, L"另一个程序正在使用此文件，进程无法访问。");
        const auto it = heads.find(path);
        return it == heads.end() ? std::string() : it->second.substr(0, count);
    }
    FinalPaths FinalPath(const std::wstring& path) override {
        ++finalReads[path];
        if (absent.count(path) || unreadable.count(path))
            return {};
        const auto it = finals.find(path);
        return it == finals.end() ? FinalPaths{path} : it->second;
    }
    void Pause(std::chrono::milliseconds time) override { paused += time; }
    std::optional<std::uint64_t> FileSize(const std::wstring& path) override {
        if (absent.count(path))
            return std::nullopt;
        const auto it = heads.find(path);
        return it == heads.end() ? 0 : it->second.size();
    }
    bool SameName(std::wstring_view a, std::wstring_view b) override {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
            return std::towlower(x) == std::towlower(y);
        });
    }
    std::set<std::wstring> absent, unreadable;
    std::map<std::wstring, int> held;
    std::map<std::wstring, std::string> heads;
    std::map<std::wstring, FinalPaths> finals;
    std::map<std::wstring, int> finalReads;
    std::chrono::milliseconds paused{0};
};

// Records of the user's proxy notice in memory; a journaled Keep, and
// records that cannot be written where readOnly.
struct FakeRecords : ProxyNoticeRecords {
    explicit FakeRecords(Journal& j) : journal(j) {}
    std::optional<std::int16_t> Find(std::wstring_view host) override {
        const auto it = values.find(std::wstring(host));
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    void Keep(std::wstring_view host, std::int16_t value) override {
        journal.push_back(L"Keep(" + std::wstring(host) + L", " + std::to_wstring(value) + L")");
        if (!readOnly)
            values.emplace(host, value);
    }
    void Remove(std::wstring_view host) override { values.erase(std::wstring(host)); }
    Journal& journal;
    std::map<std::wstring, std::int16_t> values;
    bool readOnly = false;
};

struct FakeView : PurgeView {
    explicit FakeView(Journal& j) : journal(j) {}
    void Show(std::wstring_view text, unsigned style, std::wstring_view title) override {
        journal.push_back(L"MsgBox(" + std::wstring(text) + L"|" + std::to_wstring(style) + L"|" +
                          std::wstring(title) + L")");
    }
    bool ActivateWindow(std::wstring_view title) override {
        journal.push_back(L"Activate(" + std::wstring(title) + L")");
        return windows.count(std::wstring(title)) > 0;
    }
    bool ActivateWindowHandle(std::int64_t handle) override {
        journal.push_back(L"ActivateHandle(" + std::to_wstring(handle) + L")");
        return handles.count(handle) > 0;
    }
    void ShowProgress() override { journal.push_back(L"ShowProgress"); }
    void HideMain() override { journal.push_back(L"HideMain"); }
    void SetProgress(std::wstring_view t) override {
        journal.push_back(L"Label1=" + std::wstring(t));
    }
    void SetStartTime(std::wstring_view t) override {
        journal.push_back(L"Label3=" + std::wstring(t));
    }
    void SetEndTime(std::wstring_view t) override {
        journal.push_back(L"Label5=" + std::wstring(t));
    }
    void RefreshProgress() override { journal.push_back(L"Refresh"); }
    std::wstring TimeOfDay() override { return L"10:00:0" + std::to_wstring(clock++); }

    // Yes to the question to stop, before the drawing of this index.
    bool StopRequested() override { return stopBefore && asked++ == *stopBefore; }
    // The answers to the boxes after a failed drawing, in turn; then Stop.
    DrawingChoice AskAboutDrawing(std::wstring_view drawing, std::wstring_view reason) override {
        journal.push_back(L"Ask(" + std::wstring(drawing) + L"|" + std::wstring(reason) + L")");
        if (answers.empty())
            return DrawingChoice::Stop;
        const DrawingChoice answer = answers.front();
        answers.pop_front();
        return answer;
    }

    Journal& journal;
    std::set<std::wstring> windows;
    std::set<std::int64_t> handles;
    int clock = 0;
    std::optional<int> stopBefore;
    int asked = 0;
    std::deque<DrawingChoice> answers;
};

} // namespace varno::test
