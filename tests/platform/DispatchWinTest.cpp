// Late-bound calls through a scripted in-process IDispatch: what reaches the
// server (flags, argument order, the named argument of a put), what comes
// back, how failures become runtime errors, and the rejected-call rule.
#include "platform/Dispatch.h"

#include "app/Error.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace varno::win {
namespace {

// One recorded Invoke.
struct Seen {
    std::wstring member;
    WORD flags = 0;
    std::vector<DISPID> named;
    std::vector<std::wstring> args; // as the server sees rgvarg: last argument first
};

std::wstring Describe(const VARIANT& v) {
    switch (v.vt) {
    case VT_BOOL:
        return v.boolVal == VARIANT_TRUE ? L"bool:true" : L"bool:false";
    case VT_I4:
        return L"i4:" + std::to_wstring(v.lVal);
    case VT_BSTR:
        return L"bstr:" + std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
    case VT_DISPATCH:
        return v.pdispVal ? L"dispatch" : L"dispatch:null";
    case VT_EMPTY:
        return L"empty";
    default:
        return L"vt:" + std::to_wstring(v.vt);
    }
}

class Scripted final : public IDispatch {
  public:
    using Answer = std::function<HRESULT(VARIANT* result, EXCEPINFO* info)>;
    std::vector<std::wstring> members{L"M", L"P", L"R"};
    Answer answer = [](VARIANT*, EXCEPINFO*) { return S_OK; };
    std::vector<Seen> seen;
    int lookups = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        ++lookups;
        for (size_t i = 0; i < members.size(); ++i)
            if (members[i] == names[0]) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p,
                                     VARIANT* result, EXCEPINFO* info, UINT*) override {
        Seen s;
        s.member = members.at(static_cast<size_t>(id - 1));
        s.flags = flags;
        s.named.assign(p->rgdispidNamedArgs, p->rgdispidNamedArgs + p->cNamedArgs);
        for (UINT i = 0; i < p->cArgs; ++i)
            s.args.push_back(Describe(p->rgvarg[i]));
        seen.push_back(s);
        return answer(result, info);
    }
    long refs = 1;
};

class DispatchTest : public testing::Test {
  protected:
    AutoRef Object() { return std::make_shared<DispatchObject>(ComPtr<IDispatch>::From(&server)); }
    static long NumberOf(const std::function<void()>& f, std::wstring* description = nullptr) {
        try {
            f();
        } catch (const Error& e) {
            if (description)
                *description = e.Description();
            return e.Number();
        }
        return 0;
    }
    Scripted server;
};

TEST_F(DispatchTest, CallsPassArgumentsLastFirstAsMethodOrGet) {
    server.answer = [](VARIANT* r, EXCEPINFO*) {
        r->vt = VT_BSTR;
        r->bstrVal = SysAllocString(L"图纸");
        return S_OK;
    };
    AutoRef o = Object();
    const Variant v = o->Call(L"M", {std::int32_t{1}, std::wstring(L"two"), true});
    EXPECT_EQ(std::get<std::wstring>(v), L"图纸");
    ASSERT_EQ(server.seen.size(), 1u);
    EXPECT_EQ(server.seen[0].flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_TRUE(server.seen[0].named.empty());
    EXPECT_EQ(server.seen[0].args, (std::vector<std::wstring>{L"bool:true", L"bstr:two", L"i4:1"}));
    o->Get(L"P");
    EXPECT_EQ(server.seen[1].flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_TRUE(server.seen[1].args.empty());
    // Every call looks its member up again, as a scripting client does.
    EXPECT_EQ(server.lookups, 2);
}

TEST_F(DispatchTest, PutsNameTheirValueDispidPropertyPut) {
    AutoRef o = Object();
    o->Put(L"P", true);
    ASSERT_EQ(server.seen.size(), 1u);
    EXPECT_EQ(server.seen[0].flags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(server.seen[0].named, std::vector<DISPID>{DISPID_PROPERTYPUT});
    EXPECT_EQ(server.seen[0].args, std::vector<std::wstring>{L"bool:true"});
    o->Put(L"P", Object()); // an object is put by reference
    EXPECT_EQ(server.seen[1].flags, DISPATCH_PROPERTYPUTREF);
    EXPECT_EQ(server.seen[1].args, std::vector<std::wstring>{L"dispatch"});
}

TEST_F(DispatchTest, ResultsArriveAsTheSmallVariant) {
    AutoRef o = Object();
    const auto answer = [&](auto fill) {
        server.answer = [fill](VARIANT* r, EXCEPINFO*) {
            fill(*r);
            return S_OK;
        };
        return o->Get(L"R");
    };
    EXPECT_TRUE(std::holds_alternative<std::monostate>(answer([](VARIANT&) {})));
    Variant v = answer([](VARIANT& r) {
        r.vt = VT_I2;
        r.iVal = -7;
    });
    EXPECT_EQ(std::get<std::int32_t>(v), -7);
    v = answer([](VARIANT& r) {
        r.vt = VT_BOOL;
        r.boolVal = VARIANT_TRUE;
    });
    EXPECT_TRUE(std::get<bool>(v));
    v = answer([](VARIANT& r) {
        r.vt = VT_R8;
        r.dblVal = 2.5;
    });
    EXPECT_FALSE(std::get<std::wstring>(v).empty()); // text in the locale's format
    v = answer([](VARIANT& r) {
        r.vt = VT_DISPATCH;
        r.pdispVal = nullptr;
    });
    EXPECT_FALSE(std::get<AutoRef>(v)); // Nothing
    v = answer([&](VARIANT& r) {
        r.vt = VT_DISPATCH;
        r.pdispVal = &server;
        server.AddRef();
    });
    AutoRef inner = std::get<AutoRef>(v);
    ASSERT_TRUE(inner);
    server.answer = [](VARIANT*, EXCEPINFO*) { return S_OK; };
    inner->Call(L"M", {});
    EXPECT_EQ(server.seen.back().member, L"M");
    inner.reset();
    v = Variant();
    o.reset();
    EXPECT_EQ(server.refs, 1); // every reference given back
}

TEST_F(DispatchTest, FailuresBecomeTheRuntimesErrors) {
    AutoRef o = Object();
    std::wstring text;
    EXPECT_EQ(NumberOf([&] { o->Call(L"PurgeAll", {}); }, &text), 438);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(server.seen.size(), 0u); // never invoked

    server.answer = [](VARIANT*, EXCEPINFO* e) {
        e->scode = static_cast<SCODE>(0x800A0035);
        e->bstrDescription = SysAllocString(L"找不到文件");
        return DISP_E_EXCEPTION;
    };
    EXPECT_EQ(NumberOf([&] { o->Call(L"M", {std::wstring(L"x.dwg")}); }, &text), 53);
    EXPECT_EQ(text, L"找不到文件");

    // A server that fills in its EXCEPINFO only when asked.
    server.answer = [](VARIANT*, EXCEPINFO* e) {
        e->pfnDeferredFillIn = [](EXCEPINFO* x) -> HRESULT {
            x->scode = DISP_E_MEMBERNOTFOUND;
            x->bstrDescription = SysAllocString(L"later");
            return S_OK;
        };
        return DISP_E_EXCEPTION;
    };
    EXPECT_EQ(NumberOf([&] { o->Get(L"P"); }, &text), 438);
    EXPECT_EQ(text, L"later");

    server.answer = [](VARIANT*, EXCEPINFO*) { return RPC_E_DISCONNECTED; };
    EXPECT_EQ(NumberOf([&] { o->Get(L"P"); }, &text), -2147417848);
    EXPECT_FALSE(text.empty()); // the system's message or the runtime's text

    // An object from elsewhere cannot be passed to the server.
    struct Foreign : AutoObject {
        Variant Get(std::wstring_view) override { return {}; }
        void Put(std::wstring_view, const Variant&) override {}
        Variant Call(std::wstring_view, std::initializer_list<Variant>) override { return {}; }
    };
    EXPECT_EQ(NumberOf([&] { o->Put(L"P", AutoRef(std::make_shared<Foreign>())); }), 13);
}

TEST_F(DispatchTest, RejectedCallsAreTriedAgainUntilTheServerTakesThem) {
    int rejections = 3;
    server.answer = [&](VARIANT* r, EXCEPINFO*) {
        if (rejections-- > 0)
            return RPC_E_CALL_REJECTED;
        r->vt = VT_I4;
        r->lVal = 42;
        return S_OK;
    };
    EXPECT_EQ(std::get<std::int32_t>(Object()->Get(L"R")), 42);
    EXPECT_EQ(server.seen.size(), 4u);
}

TEST(ComAutomation, UnknownIdentifiersCannotBeAttachedToOrCreated) {
    std::wstring text;
    try {
        TheAutomation().AttachRunning(L"Varno.NoSuchClass.Application");
        FAIL() << "attached to nothing";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), 429);
        EXPECT_FALSE(e.Description().empty());
    }
    try {
        TheAutomation().Launch(L"Varno.NoSuchClass.Application");
        FAIL() << "created nothing";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), 429);
    }
    EXPECT_FALSE(SystemMessage(E_ACCESSDENIED).empty());
}

TEST(MessageFilter, RetriesRejectedCallsForAMinuteAndIsInstalled) {
    IMessageFilter& f = TheMessageFilter();
    EXPECT_EQ(f.RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 100u);
    EXPECT_EQ(f.RetryRejectedCall(nullptr, 59999, SERVERCALL_REJECTED), 100u);
    EXPECT_EQ(f.RetryRejectedCall(nullptr, 60000, SERVERCALL_RETRYLATER), static_cast<DWORD>(-1));
    EXPECT_EQ(f.MessagePending(nullptr, 10, PENDINGTYPE_TOPLEVEL),
              static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    EXPECT_EQ(f.HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr),
              static_cast<DWORD>(SERVERCALL_ISHANDLED));
    // The test program installs it at start-up, as the program does.
    IMessageFilter* previous = nullptr;
    ASSERT_EQ(CoRegisterMessageFilter(nullptr, &previous), S_OK);
    EXPECT_EQ(previous, &f);
    InstallMessageFilter();
}

} // namespace
} // namespace varno::win
