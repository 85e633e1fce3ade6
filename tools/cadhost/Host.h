#pragma once
// The inside of vcad: the server (journal, test switches, window, lifetime)
// and the hand-written IDispatch that its automation objects share.
#include "Vcad.h"
#include "platform/Com.h"

#include <oleauto.h>
#include <objidl.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vcad {

using varno::win::ComPtr;
using varno::win::UniqueFile;

// ---- test switches ---------------------------------------------------------

// The control file, one switch a line (UTF-8, '#' starts a comment; a line
// that is not UTF-8 switches nothing):
//   open-fails=TEXT   Documents.Open fails for paths containing TEXT
//   add-fails=TEXT    Documents.Add fails for templates containing TEXT, as
//                     if the template did not exist
//   save-fails=TEXT   Close(True) fails for drawings whose path contains TEXT
//   purge-fails=TEXT  PurgeAll fails for drawings whose path contains TEXT
//   crash-open=TEXT   the host process dies inside Open of such a path (it
//                     withdraws its class registration first: Wine 8 keeps
//                     offering a dead server's class object to CoCreateInstance)
//   missing=NAME      the member NAME does not exist (DISP_E_UNKNOWNNAME)
//   busy=N            calls are rejected for N seconds, counted from the
//                     host's start or from the moment it sees the changed file
//   refuse-start      the host exits at start without registering
//   layout=old        a host of before 2004: its template is TEMPLATE\acad.dwt
//                     in its program folder, which it puts there at start
//                     (use it with a copy of vcad.exe in a folder of its
//                     own); by default, as the hosts of today, its template
//                     lives in the user's profile
//   open-activates=no Open leaves the active document as it was
//   save-as-type=N    the host's own save format (Preferences.OpenSave.
//                     SaveAsType, the host's AcSaveAsType numbers), in which
//                     a plain save writes; 64 (the 2018 format) by default,
//                     as on the hosts of today
//   caption=TEXT      Application.Caption answers TEXT, which is not the
//                     title of the host's window (find it by its HWND)
//   user-open=PATH    the user has the drawing PATH open, with unsaved
//                     edits (the host opens it when it sees the switch); Open
//                     of that path hands back that same document, and a save
//                     of it writes the edits
//   preferences-fails Application.Preferences fails
//   saveas-writes=N   SaveAs writes the format of save type N, whatever type
//                     it is asked for (a host whose numbers mean other formats)
//   nesting=N         each drawing it opens has N levels of unused items, one
//                     used only by the next: each PurgeAll removes one level,
//                     the Count of its Blocks and Layers shows how many are
//                     left, and a save writes that number
//   clean=TEXT        drawings whose path contains TEXT have nothing to purge
//                     (but the levels of nesting): a PurgeAll leaves their
//                     DBMOD at 0, as it does in a drawing it purged and
//                     saved before. Every other drawing has something to
//                     purge, and a PurgeAll sets its DBMOD; a save clears
//                     it, as does Open
//   slow-purge=N      PurgeAll takes N seconds
//   ask-open=TEXT     Open of a path containing TEXT asks its user first, in a
//                     message box owned by the host's main window (titled
//                     AskOpenTitle), and goes on once it is answered
// TEXT and NAME match without regard to letter case; every key may repeat.
struct Switches {
    std::vector<std::wstring> openFails, addFails, saveFails, purgeFails, crashOpen, missing, clean;
    int slowPurgeSeconds = 0;
    std::vector<std::wstring> askOpen;
    int busySeconds = 0;
    bool refuseStart = false;
    bool oldLayout = false;
    bool openActivates = true;
    int saveAsType = 64;
    std::wstring caption;
    std::vector<std::wstring> userOpen;
    bool preferencesFail = false;
    int saveAsWrites = 0;
    int nesting = 0;

    bool IsMissing(std::wstring_view member) const;
};
Switches ParseSwitches(std::string_view utf8);
bool ContainsAny(const std::vector<std::wstring>& texts, std::wstring_view in);
bool SameText(std::wstring_view a, std::wstring_view b); // ignoring letter case

// ---- the server ------------------------------------------------------------

class Document;

class Server {
  public:
    Server(const Identity& identity, std::wstring exePath, std::wstring journalPath,
           std::wstring switchesPath);
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Runs the host: registration, message loop, shutdown. Returns the exit code.
    int Run(std::wstring_view commandLine);

    // Appends one line to the journal (and to the window's list).
    void Journal(std::wstring_view line);
    // The switches, re-read from the control file if it changed.
    const Switches& Current();
    bool Busy();

    const std::wstring& ExePath() const { return exePath_; }
    const Identity& Serves() const { return identity_; }
    // The program's path as the host names it: its own, or a program of the
    // identity's name in its folder.
    std::wstring FullName() const;
    HWND Window() const { return window_; }
    // The template Documents.Add takes without an argument: in the user's
    // profile, or in the program folder for the old layout.
    std::wstring DefaultTemplate();

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void RequestQuit();
    // Ends the process at once, as a crash would, inside a call.
    [[noreturn]] void Crash();

    // The open drawings in the order they were opened (Documents.Item), and
    // the active one.
    const std::vector<ComPtr<Document>>& Documents() const { return docs_; }
    Document* Active() const { return active_; }
    // A new or opened drawing becomes the active one, unless activate is
    // false and there is an active one already.
    void AddDocument(ComPtr<Document> doc, bool activate = true);
    void Activate(Document* doc) { active_ = doc; }
    // A closed drawing goes; the last opened of the others becomes active.
    void RemoveDocument(Document* doc);

    // The host's setting PROXYNOTICE (1, the hosts' default, at start).
    int ProxyNotice() const { return proxyNotice_; }
    void SetProxyNotice(int value) { proxyNotice_ = value; }
    int NextDrawingNumber() { return ++drawings_; }

    // External connections and server locks held by clients.
    void Connected();
    void Disconnected();
    void Lock(bool lock);
    bool Stopping() const { return stopping_; }
    IDispatch* Application() const { return app_.Get(); }

  private:
    class Factory;
    class Filter;
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    bool CreateMainWindow();
    void InstallTemplate();
    void CheckExit();
    void Stop();
    void Shutdown();

    const Identity& identity_;
    std::wstring exePath_, journalPath_, switchesPath_;
    Switches switches_;
    std::string switchesText_;
    FILETIME switchesTime_{};
    std::uint64_t busyUntil_ = 0;
    bool underWine_ = false;

    HWND window_ = nullptr;
    HWND list_ = nullptr;
    bool visible_ = false;
    bool stopping_ = false;
    bool everConnected_ = false;
    long connections_ = 0;
    long locks_ = 0;
    std::uint64_t startTick_ = 0;
    DWORD factoryCookie_ = 0;
    DWORD activeCookie_ = 0;
    ComPtr<IDispatch> app_;
    // Opens the drawings the switches say the user has open.
    void OpenUsersDrawings();

    // Journal lines not yet in the window's list.
    std::vector<std::wstring> shownLater_;
    void ShowLines();

    std::vector<ComPtr<Document>> docs_;
    Document* active_ = nullptr;
    int proxyNotice_ = 1;
    int drawings_ = 0;
};

// ---- IDispatch by hand -------------------------------------------------------

enum class Kind { Get, GetPut, Method };
struct Member {
    const wchar_t* name;
    DISPID id;
    Kind kind;
    unsigned minArgs = 0;
    unsigned maxArgs = 0;
};

// A failure of the host itself: Invoke returns DISP_E_EXCEPTION with an
// EXCEPINFO carrying this scode and description.
struct HostError {
    HRESULT scode;
    std::wstring description;
};
// A malformed call: Invoke returns hr itself.
struct CallError {
    HRESULT hr;
    UINT argErr = 0;
};

// The positional arguments of a call, in the caller's order.
class Args {
  public:
    explicit Args(const DISPPARAMS& p) : p_(p) {}
    unsigned Count() const { return p_.cArgs; }
    // False for an argument left out (VT_ERROR DISP_E_PARAMNOTFOUND) or beyond the end.
    bool Present(unsigned i) const;
    std::wstring Text(unsigned i) const;
    bool Bool(unsigned i) const;
    int Int(unsigned i) const;
    // The argument's own type, by reference or not (VT_EMPTY beyond the end).
    VARTYPE Type(unsigned i) const;

  private:
    const VARIANT& At(unsigned i) const { return p_.rgvarg[p_.cArgs - 1 - i]; }
    // The argument converted to the type, into out; raises the call errors
    // of a missing or unconvertible one.
    void Convert(unsigned i, VARTYPE type, varno::win::ComVariant& out) const;
    const DISPPARAMS& p_;
};

// The journal's text for a value: True/False, numbers, text with control
// characters escaped (CR as \r), <object>, <missing>.
std::wstring JournalText(const VARIANT& v);

// Base of every automation object of the host: IDispatch over a member
// table, and IExternalConnection so that the server knows when its last
// client has gone.
class DispatchObject : public varno::win::ComObject<IDispatch, IExternalConnection> {
  public:
    DispatchObject(Server& server, std::span<const Member> members)
        : server_(server), members_(members) {}

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    STDMETHODIMP_(DWORD) AddConnection(DWORD type, DWORD) override;
    STDMETHODIMP_(DWORD) ReleaseConnection(DWORD type, DWORD, BOOL) override;

  protected:
    ~DispatchObject() override = default;
    // A property get or a method call; leaves its result in result.
    virtual void Call(const Member& m, const Args& args, VARIANT& result) = 0;
    virtual void Put(const Member& m, const VARIANT& value);
    // Appended to each journal line of this object ("|@" + drawing).
    virtual std::wstring Tag() const { return {}; }

    Server& server_;

  private:
    const Member* Find(DISPID id) const;
    std::span<const Member> members_;
    LONG connections_ = 0;
};

template <class T, class... A> ComPtr<T> Make(A&&... args) {
    return ComPtr<T>::Attach(new T(std::forward<A>(args)...));
}
template <class T, class... A> ComPtr<IDispatch> MakeDispatch(A&&... args) {
    return ComPtr<IDispatch>::Attach(static_cast<IDispatch*>(new T(std::forward<A>(args)...)));
}

// Result helpers.
void SetText(VARIANT& v, std::wstring_view text);
void SetBool(VARIANT& v, bool b);
void SetObject(VARIANT& v, IDispatch* object);

// ---- the objects -------------------------------------------------------------

ComPtr<IDispatch> MakeApplication(Server& server);

// A drawing the stand-in made, and so may write to: its bytes start with
// DrawingMark, or with a six-character format code ("AC1018") followed by it.
// It never writes to any other file.
bool IsStandInDrawing(std::string_view bytes);
// The format code a save type writes ("AC1018" for 24), empty for a type the
// stand-in cannot write.
std::string_view FormatCode(int saveAsType);
// The drawing at path, opened as the user's own, with unsaved edits.
ComPtr<Document> OpenUsersDrawing(Server& server, const std::wstring& path);

class Document : public DispatchObject {
  public:
    // A drawing opened from path (with its bytes, read-only when the file is
    // or another process holds it for writing), or a new one named name.
    Document(Server& server, std::wstring path, std::wstring name, std::string content,
             bool readOnly = false, bool userEdits = false);
    const std::wstring& Path() const { return path_; }
    int Levels() const { return levels_; }
    void Disconnect();

  protected:
    void Call(const Member& m, const Args& args, VARIANT& result) override;
    std::wstring Tag() const override { return L"|@" + (path_.empty() ? name_ : path_); }

  private:
    void Close(bool save);
    void SaveAs(const std::wstring& path, int saveAsType, int writes);
    // Writes the drawing to path in the format of saveAsType (its code
    // rewritten where it has one), with its marker line; true when written,
    // false for a file that is not one of the stand-in's drawings.
    bool Write(const std::wstring& path, int saveAsType);
    std::wstring path_, name_;
    std::string content_;
    bool readOnly_ = false;
    bool userEdits_ = false;
    bool purged_ = false;
    bool closed_ = false;
    // DBMOD: the drawing's changes since it was opened or saved.
    std::int16_t modified_ = 0;
    // Levels of unused items still in the drawing, and whether it had any.
    int levels_ = 0;
    bool nested_ = false;
    ComPtr<IDispatch> modelSpace_, paperSpace_, utility_;
};

} // namespace vcad
