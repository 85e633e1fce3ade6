// The host's automation objects: Application, Documents, Document and the
// plain ModelSpace, PaperSpace and Utility objects of a drawing.
#include "Host.h"

namespace vcad {
namespace {

bool FileExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring SystemText(DWORD err) {
    wchar_t* buf = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, err, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring s = n ? std::wstring(buf, n) : L"error " + std::to_wstring(err);
    LocalFree(buf);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' '))
        s.pop_back();
    return s;
}

[[noreturn]] void FailWin32(DWORD err, const std::wstring& what) {
    throw HostError{HRESULT_FROM_WIN32(err), what + L" (" + SystemText(err) + L")"};
}

[[noreturn]] void FileNotFound(const std::wstring& what) {
    throw HostError{HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), what};
}

std::string ReadAll(HANDLE f) {
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        bytes.append(buf, got);
    return bytes;
}

struct DrawingFile {
    std::string bytes;
    bool readOnly = false;
};

// A drawing's bytes. It opens read-only when the file has the read-only
// attribute, or when another process holds it open for writing (it cannot be
// opened then with writers shut out, as a host opens what it will save).
DrawingFile ReadDrawing(const std::wstring& path) {
    DrawingFile drawing;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    drawing.readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f && GetLastError() == ERROR_SHARING_VIOLATION) {
        drawing.readOnly = true;
        UniqueFile shared(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!shared)
            FailWin32(GetLastError(), L"无法打开图形 (cannot open drawing): " + path);
        drawing.bytes = ReadAll(shared.Get());
        return drawing;
    }
    if (!f)
        FailWin32(GetLastError(), L"无法打开图形 (cannot open drawing): " + path);
    drawing.bytes = ReadAll(f.Get());
    return drawing;
}

// Writes the drawing beside itself and then replaces it, so that a failed
// save leaves the old file as it was.
void WriteDrawing(const std::wstring& path, const std::string& bytes) {
    const std::wstring temp = path + L".vcad-tmp";
    {
        UniqueFile f(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f)
            FailWin32(GetLastError(), L"无法保存图形 (cannot save drawing): " + path);
        DWORD put = 0;
        if (!WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
            put != bytes.size()) {
            const DWORD err = GetLastError();
            DeleteFileW(temp.c_str());
            FailWin32(err, L"无法保存图形 (cannot save drawing): " + path);
        }
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD err = GetLastError();
        DeleteFileW(temp.c_str());
        FailWin32(err, L"无法保存图形 (cannot save drawing): " + path);
    }
}

std::wstring FileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// ModelSpace, PaperSpace, Utility: objects without members of their own.
class Plain : public DispatchObject {
  public:
    explicit Plain(Server& server) : DispatchObject(server, {}) {}

  protected:
    void Call(const Member&, const Args&, VARIANT&) override {}
};

// ---- a drawing's named collections: Count ----

// The collections a document offers, and how many items each holds in a
// drawing without nesting; Blocks and Layers hold one more a level of it.
struct CollectionKind {
    const wchar_t* name;
    int items;
    bool nested;
};
constexpr CollectionKind Collections[] = {
    {L"Blocks", 2, true},      {L"Layers", 1, true},     {L"Linetypes", 3, false},
    {L"TextStyles", 1, false}, {L"DimStyles", 1, false}, {L"RegisteredApplications", 1, false},
    {L"Materials", 3, false},
};

enum : DISPID { CollectionCountId = 1 };
constexpr Member CollectionMembers[] = {{L"Count", CollectionCountId, Kind::Get}};

class Collection : public DispatchObject {
  public:
    // It keeps its drawing alive; the drawing keeps none of its collections.
    Collection(Server& server, Document& drawing, const CollectionKind& kind)
        : DispatchObject(server, CollectionMembers), drawing_(ComPtr<Document>::From(&drawing)),
          kind_(kind) {}

  protected:
    void Call(const Member&, const Args&, VARIANT& result) override {
        V_VT(&result) = VT_I4;
        V_I4(&result) = kind_.items + (kind_.nested ? drawing_->Levels() : 0);
    }
    std::wstring Tag() const override {
        return L"|" + std::wstring(kind_.name) + L"@" + drawing_->Path();
    }

  private:
    ComPtr<Document> drawing_;
    const CollectionKind& kind_;
};

// ---- Documents ----

enum : DISPID { AddId = 1, OpenId, CountId, ItemId };
constexpr Member DocumentsMembers[] = {
    {L"Add", AddId, Kind::Method, 0, 1},
    {L"Open", OpenId, Kind::Method, 1, 3},
    {L"Count", CountId, Kind::Get},
    {L"Item", ItemId, Kind::Method, 1, 1},
};

class DocumentsObject : public DispatchObject {
  public:
    explicit DocumentsObject(Server& server) : DispatchObject(server, DocumentsMembers) {}

  protected:
    void Call(const Member& m, const Args& args, VARIANT& result) override {
        switch (m.id) {
        case AddId: {
            // Without an argument: the host's own default template.
            const std::wstring path = args.Present(0) ? args.Text(0) : server_.DefaultTemplate();
            if (ContainsAny(server_.Current().addFails, path) || !FileExists(path))
                FileNotFound(L"找不到样板文件 (template not found): " + path);
            auto doc = Make<Document>(
                server_, L"", L"Drawing" + std::to_wstring(server_.NextDrawingNumber()) + L".dwg",
                std::string());
            server_.AddDocument(doc);
            SetObject(result, doc.Get());
            break;
        }
        case OpenId: {
            const std::wstring path = args.Text(0);
            const Switches& sw = server_.Current();
            if (ContainsAny(sw.crashOpen, path))
                server_.Crash();
            if (ContainsAny(sw.openFails, path) || !FileExists(path))
                FileNotFound(L"找不到图形文件 (drawing not found): " + path);
            if (ContainsAny(sw.askOpen, path)) // waits in the call for an answer
                MessageBoxW(server_.Window(),
                            (L"找不到字体 txt.shx (font not found): " + path).c_str(), AskOpenTitle,
                            MB_OK | MB_ICONWARNING);
            const bool activate = sw.openActivates;
            for (const auto& open : server_.Documents()) {
                if (SameText(open->Path(), path)) {
                    if (activate)
                        server_.Activate(open.Get());
                    SetObject(result, open.Get());
                    return;
                }
            }
            DrawingFile file = ReadDrawing(path);
            auto doc =
                Make<Document>(server_, path, FileName(path), std::move(file.bytes), file.readOnly);
            server_.AddDocument(doc, activate);
            SetObject(result, doc.Get());
            break;
        }
        case CountId:
            V_VT(&result) = VT_I4;
            V_I4(&result) = static_cast<LONG>(server_.Documents().size());
            break;
        case ItemId: { // by its place, 0 the first opened
            const int index = args.Int(0);
            if (index < 0 || static_cast<size_t>(index) >= server_.Documents().size())
                throw HostError{E_INVALIDARG,
                                L"索引无效 (no such document): " + std::to_wstring(index)};
            SetObject(result, server_.Documents()[static_cast<size_t>(index)].Get());
            break;
        }
        }
    }
};

// ---- Preferences: OpenSave.SaveAsType ----

enum : DISPID { OpenSaveId = 1, SaveAsTypeId };
constexpr Member PreferencesMembers[] = {{L"OpenSave", OpenSaveId, Kind::Get}};
constexpr Member OpenSaveMembers[] = {{L"SaveAsType", SaveAsTypeId, Kind::Get}};

class OpenSaveObject : public DispatchObject {
  public:
    explicit OpenSaveObject(Server& server) : DispatchObject(server, OpenSaveMembers) {}

  protected:
    void Call(const Member&, const Args&, VARIANT& result) override {
        V_VT(&result) = VT_I4;
        V_I4(&result) = server_.Current().saveAsType;
    }
};

class PreferencesObject : public DispatchObject {
  public:
    explicit PreferencesObject(Server& server)
        : DispatchObject(server, PreferencesMembers), openSave_(Make<OpenSaveObject>(server)) {}
    ~PreferencesObject() override {
        CoDisconnectObject(static_cast<IDispatch*>(openSave_.Get()), 0);
    }

  protected:
    void Call(const Member&, const Args&, VARIANT& result) override {
        SetObject(result, openSave_.Get());
    }

  private:
    ComPtr<OpenSaveObject> openSave_;
};

// ---- Application ----

enum : DISPID {
    VisibleId = 1,
    AppCaptionId,
    AppFullNameId,
    DocumentsId,
    ActiveDocumentId,
    PreferencesId,
    QuitId,
    HwndId
};
constexpr Member ApplicationMembers[] = {
    {L"Visible", VisibleId, Kind::GetPut},
    {L"Caption", AppCaptionId, Kind::Get},
    {L"FullName", AppFullNameId, Kind::Get},
    {L"Documents", DocumentsId, Kind::Get},
    {L"ActiveDocument", ActiveDocumentId, Kind::Get},
    {L"Preferences", PreferencesId, Kind::Get},
    {L"Quit", QuitId, Kind::Method},
    {L"HWND", HwndId, Kind::Get},
};

class ApplicationObject : public DispatchObject {
  public:
    explicit ApplicationObject(Server& server)
        : DispatchObject(server, ApplicationMembers), documents_(Make<DocumentsObject>(server)),
          preferences_(Make<PreferencesObject>(server)) {}
    ~ApplicationObject() override {
        CoDisconnectObject(static_cast<IDispatch*>(documents_.Get()), 0);
        CoDisconnectObject(static_cast<IDispatch*>(preferences_.Get()), 0);
    }

  protected:
    void Call(const Member& m, const Args&, VARIANT& result) override {
        switch (m.id) {
        case VisibleId:
            SetBool(result, server_.Visible());
            break;
        case AppCaptionId: {
            const std::wstring& other = server_.Current().caption;
            SetText(result, other.empty() ? std::wstring(server_.Serves().caption) : other);
            break;
        }
        case AppFullNameId:
            SetText(result, server_.FullName());
            break;
        case HwndId: // a LONG_PTR, as a 64-bit host gives it
            V_VT(&result) = VT_I8;
            V_I8(&result) = reinterpret_cast<LONG_PTR>(server_.Window());
            break;
        case DocumentsId:
            SetObject(result, documents_.Get());
            break;
        case ActiveDocumentId:
            if (!server_.Active())
                throw HostError{E_FAIL, L"没有活动图形 (no active drawing)"};
            SetObject(result, server_.Active());
            break;
        case PreferencesId:
            if (server_.Current().preferencesFail)
                throw HostError{E_FAIL, L"无法读取选项 (cannot read the preferences)"};
            SetObject(result, preferences_.Get());
            break;
        case QuitId:
            server_.RequestQuit();
            break;
        }
    }
    void Put(const Member&, const VARIANT& value) override {
        VARIANT b;
        VariantInit(&b);
        if (FAILED(VariantChangeType(&b, const_cast<VARIANT*>(&value), 0, VT_BOOL)))
            throw CallError{DISP_E_TYPEMISMATCH};
        server_.SetVisible(V_BOOL(&b) != VARIANT_FALSE);
    }

  private:
    ComPtr<DocumentsObject> documents_;
    ComPtr<PreferencesObject> preferences_;
};

// ---- Document ----

enum : DISPID {
    NameId = 1,
    DocFullNameId,
    PathId,
    GetVariableId,
    SetVariableId,
    ReadOnlyId,
    SendCommandId,
    PurgeAllId,
    SaveAsId,
    CloseId,
    ModelSpaceId,
    PaperSpaceId,
    UtilityId,
    FirstCollectionId // then one a collection, in the order of Collections
};
constexpr Member DocumentMembers[] = {
    {L"Name", NameId, Kind::Get},
    {L"FullName", DocFullNameId, Kind::Get},
    {L"Path", PathId, Kind::Get},
    {L"GetVariable", GetVariableId, Kind::Method, 1, 1},
    {L"SetVariable", SetVariableId, Kind::Method, 2, 2},
    {L"ReadOnly", ReadOnlyId, Kind::Get},
    {L"SendCommand", SendCommandId, Kind::Method, 1, 1},
    {L"PurgeAll", PurgeAllId, Kind::Method},
    {L"SaveAs", SaveAsId, Kind::Method, 1, 3},
    {L"Close", CloseId, Kind::Method, 0, 2},
    {L"ModelSpace", ModelSpaceId, Kind::Get},
    {L"PaperSpace", PaperSpaceId, Kind::Get},
    {L"Utility", UtilityId, Kind::Get},
    {L"Blocks", FirstCollectionId + 0, Kind::Get},
    {L"Layers", FirstCollectionId + 1, Kind::Get},
    {L"Linetypes", FirstCollectionId + 2, Kind::Get},
    {L"TextStyles", FirstCollectionId + 3, Kind::Get},
    {L"DimStyles", FirstCollectionId + 4, Kind::Get},
    {L"RegisteredApplications", FirstCollectionId + 5, Kind::Get},
    {L"Materials", FirstCollectionId + 6, Kind::Get},
};

// The host's system variables: PROXYNOTICE, a 16-bit integer; and the
// drawing's DBMOD, which can only be read.
bool IsModifiedVariable(const std::wstring& name) {
    return SameText(name, L"DBMOD");
}
void CheckVariable(const std::wstring& name) {
    if (!SameText(name, L"PROXYNOTICE"))
        throw HostError{E_INVALIDARG, L"未知的系统变量 (unknown system variable): " + name};
}

// "PROXYNOTICE 0\r" typed at the command line sets the variable.
void RunCommand(Server& server, std::wstring_view line) {
    constexpr std::wstring_view command = L"PROXYNOTICE ";
    if (line.size() > command.size() && SameText(line.substr(0, command.size()), command))
        server.SetProxyNotice(_wtoi(std::wstring(line.substr(command.size())).c_str()));
}

IDispatch* Lazy(ComPtr<IDispatch>& slot, Server& server) {
    if (!slot)
        slot = MakeDispatch<Plain>(server);
    return slot.Get();
}

} // namespace

ComPtr<IDispatch> MakeApplication(Server& server) {
    return MakeDispatch<ApplicationObject>(server);
}

std::string_view FormatCode(int saveAsType) {
    switch (saveAsType) {
    case 8:
        return "AC1014";
    case 12:
        return "AC1015";
    case 24:
        return "AC1018";
    case 36:
        return "AC1021";
    case 48:
        return "AC1024";
    case 60:
        return "AC1027";
    case 64:
        return "AC1032";
    default:
        return {};
    }
}

ComPtr<Document> OpenUsersDrawing(Server& server, const std::wstring& path) {
    DrawingFile file = ReadDrawing(path);
    return Make<Document>(server, path, FileName(path), std::move(file.bytes), file.readOnly, true);
}

bool IsStandInDrawing(std::string_view bytes) {
    const std::string_view mark = DrawingMark;
    if (bytes.size() >= 6 && bytes.substr(0, 2) == "AC" && bytes.substr(6).starts_with(mark))
        return true;
    return bytes.starts_with(mark);
}

Document::Document(Server& server, std::wstring path, std::wstring name, std::string content,
                   bool readOnly, bool userEdits)
    : DispatchObject(server, DocumentMembers), path_(std::move(path)), name_(std::move(name)),
      content_(std::move(content)), readOnly_(readOnly), userEdits_(userEdits) {
    if (!path_.empty()) { // an opened drawing, not a new one
        levels_ = server.Current().nesting;
        nested_ = levels_ > 0;
    }
}

void Document::Disconnect() {
    for (auto* slot : {&modelSpace_, &paperSpace_, &utility_})
        if (*slot)
            CoDisconnectObject(slot->Get(), 0);

    CoDisconnectObject(static_cast<IDispatch*>(this), 0);
}

void Document::Call(const Member& m, const Args& args, VARIANT& result) {
    if (closed_)
        throw HostError{E_FAIL, L"图形已关闭 (drawing is closed): " + name_};
    switch (m.id) {
    case NameId:
        SetText(result, name_);
        break;
    case DocFullNameId:
        SetText(result, path_);
        break;
    case PathId: // the folder, without a backslash at its end
        SetText(result, path_.substr(0, std::min(path_.size(), path_.find_last_of(L'\\'))));
        break;
    case GetVariableId:
        V_VT(&result) = VT_I2;
        if (IsModifiedVariable(args.Text(0))) {
            V_I2(&result) = modified_;
            break;
        }
        CheckVariable(args.Text(0));
        V_I2(&result) = static_cast<SHORT>(server_.ProxyNotice());
        break;
    case SetVariableId:
        CheckVariable(args.Text(0));
        if (args.Type(1) != VT_I2)
            throw HostError{E_INVALIDARG, L"变量值类型错误，须为 16 位整数 (not a 16-bit integer)"};
        server_.SetProxyNotice(args.Int(1));
        break;
    case ReadOnlyId:
        SetBool(result, readOnly_);
        break;
    case SendCommandId:
        RunCommand(server_, args.Text(0));
        break;
    case PurgeAllId:
        if (ContainsAny(server_.Current().purgeFails, path_))
            throw HostError{E_FAIL, L"清理失败 (purge failed): " + path_};
        if (const int seconds = server_.Current().slowPurgeSeconds)
            Sleep(static_cast<DWORD>(seconds) * 1000);
        purged_ = true;
        // Something removed: a level of nesting, or anything in a drawing
        // that is neither clean nor purged and saved before.
        if (levels_ > 0 || (!ContainsAny(server_.Current().clean, path_) &&
                            content_.find(SavedPurged) == std::string::npos))
            modified_ = 1;
        levels_ = std::max(0, levels_ - 1); // one level a pass, as a real host's PURGE
        break;
    case SaveAsId: {
        const int asked = args.Present(1) ? args.Int(1) : server_.Current().saveAsType;
        const int writes = server_.Current().saveAsWrites;
        SaveAs(args.Text(0), asked, writes && !FormatCode(asked).empty() ? writes : asked);
        break;
    }
    case CloseId:
        Close(args.Present(0) && args.Bool(0));
        break;
    case ModelSpaceId:
        SetObject(result, Lazy(modelSpace_, server_));
        break;
    case PaperSpaceId:
        SetObject(result, Lazy(paperSpace_, server_));
        break;
    case UtilityId:
        SetObject(result, Lazy(utility_, server_));
        break;
    default: // a collection, a new object each time
        SetObject(result,
                  MakeDispatch<Collection>(
                      server_, *this, Collections[static_cast<size_t>(m.id - FirstCollectionId)])
                      .Get());
        break;
    }
}

// Close(True) writes one of the stand-in's own drawings back to its file, in
// the host's own save format (SaveAsType). Any other file, and a drawing
// opened read-only, is left as it was: the save is only journaled.
void Document::Close(bool save) {
    if (save) {
        if (path_.empty())
            throw HostError{E_FAIL, L"图形未命名，无法保存 (drawing has no file): " + name_};
        if (ContainsAny(server_.Current().saveFails, path_))
            throw HostError{HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
                            L"无法保存图形 (cannot save drawing): " + path_};
        // A read-only drawing closes unsaved without a word, as a real host's does.
        if (readOnly_ || !Write(path_, server_.Current().saveAsType))
            server_.Journal(L"Unchanged|" + path_);
    }
    closed_ = true;
    server_.RemoveDocument(this);
}

// SaveAs writes the drawing to path in the format of saveAsType (or of
// writes, for a host whose numbers mean other formats); it stays open, under
// that path.
void Document::SaveAs(const std::wstring& path, int saveAsType, int writes) {
    if (FormatCode(saveAsType).empty())
        throw HostError{E_INVALIDARG,
                        L"不支持的图形格式 (format not supported): " + std::to_wstring(saveAsType)};
    if (ContainsAny(server_.Current().saveFails, path))
        throw HostError{HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
                        L"无法保存图形 (cannot save drawing): " + path};
    if (readOnly_ && SameText(path, path_))
        throw HostError{HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
                        L"图形为只读 (drawing is read-only): " + path};
    if (!Write(path, writes))
        server_.Journal(L"Unchanged|" + path);
    path_ = path;
    name_ = FileName(path);
}

// The bytes as read, the format code at their start rewritten to the save
// type's (when the host can write that type), then one marker line saying
// whether it was purged.
bool Document::Write(const std::wstring& path, int saveAsType) {
    if (!IsStandInDrawing(content_))
        return false;
    std::string bytes = content_;
    const std::string_view code = FormatCode(saveAsType);
    if (!bytes.starts_with(DrawingMark) && !code.empty())
        bytes.replace(0, code.size(), code);
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += '\n';
    if (userEdits_) {
        bytes += UserEdits;
        bytes += '\n';
    }
    if (nested_) {
        bytes += NestingLeft;
        bytes += std::to_string(levels_);
        bytes += '\n';
    }
    bytes += purged_ ? SavedPurged : SavedOnly;
    bytes += '\n';
    WriteDrawing(path, bytes);
    content_ = std::move(bytes);
    modified_ = 0;
    return true;
}

} // namespace vcad
