// IDispatch by hand for the host's objects: names looked up in a member
// table without regard to letter case, property puts only with the named
// argument DISPID_PROPERTYPUT, gets and methods through DISPATCH_METHOD,
// DISPATCH_PROPERTYGET or both (as scripting clients send), every call
// journaled, host failures returned as DISP_E_EXCEPTION with an EXCEPINFO.
#include "Host.h"
#include "platform/Com.h"

#include <cstdio>
#include <new>

namespace vcad {
namespace {

using Var = varno::win::ComVariant;

// The MinGW headers declare VARIANT sources without const; they are not written.
VARIANT* Src(const VARIANT& v) {
    return const_cast<VARIANT*>(&v);
}

std::wstring Hex(HRESULT hr) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

void Fill(EXCEPINFO* excep, const HostError& e) {
    if (!excep)
        return;
    *excep = EXCEPINFO{};
    excep->bstrSource = SysAllocString(L"vcad");
    excep->bstrDescription =
        SysAllocStringLen(e.description.data(), static_cast<UINT>(e.description.size()));
    excep->scode = e.scode;
}

} // namespace

bool Args::Present(unsigned i) const {
    if (i >= p_.cArgs)
        return false;
    const VARIANT& v = At(i);
    return !(V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND);
}

void Args::Convert(unsigned i, VARTYPE type, Var& out) const {
    if (i >= p_.cArgs)
        throw CallError{DISP_E_PARAMNOTOPTIONAL};
    if (FAILED(VariantChangeType(&out.Get(), Src(At(i)), 0, type)))
        throw CallError{DISP_E_TYPEMISMATCH, p_.cArgs - 1 - i};
}

std::wstring Args::Text(unsigned i) const {
    Var t;
    Convert(i, VT_BSTR, t);
    const BSTR b = V_BSTR(&t.Get());
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

bool Args::Bool(unsigned i) const {
    Var t;
    Convert(i, VT_BOOL, t);
    return V_BOOL(&t.Get()) != VARIANT_FALSE;
}

VARTYPE Args::Type(unsigned i) const {
    if (i >= p_.cArgs)
        return VT_EMPTY;
    return static_cast<VARTYPE>(V_VT(&At(i)) & ~VT_BYREF);
}

int Args::Int(unsigned i) const {
    Var t;
    Convert(i, VT_I4, t);
    return V_I4(&t.Get());
}

std::wstring JournalText(const VARIANT& in) {
    Var plain;
    if (FAILED(VariantCopyInd(&plain.Get(), Src(in))))
        return L"<?>";
    const VARIANT& v = plain.Get();
    switch (V_VT(&v)) {
    case VT_EMPTY:
        return {};
    case VT_BOOL:
        return V_BOOL(&v) ? L"True" : L"False";
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return L"<object>";
    case VT_ERROR:
        if (V_ERROR(&v) == DISP_E_PARAMNOTFOUND)
            return L"<missing>";
        break;
    default:
        break;
    }
    Var t;
    if (FAILED(VariantChangeType(&t.Get(), Src(v), 0, VT_BSTR)))
        return L"<?>";
    std::wstring out;
    const BSTR b = V_BSTR(&t.Get());
    for (UINT k = 0, n = SysStringLen(b); k < n; ++k) {
        const wchar_t c = b[k];
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else if (c == L'\t')
            out += L"\\t";
        else if (c < 0x20) {
            wchar_t buf[8];
            std::swprintf(buf, 8, L"\\x%02X", static_cast<unsigned>(c));
            out += buf;
        } else
            out += c;
    }
    return out;
}

void SetText(VARIANT& v, std::wstring_view text) {
    VariantClear(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SetBool(VARIANT& v, bool b) {
    VariantClear(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetObject(VARIANT& v, IDispatch* object) {
    VariantClear(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    if (object)
        object->AddRef();
}

// ---- IExternalConnection ----
// Wine reports only the first and the last external reference of an object,
// Windows every connection; either way the server sees zero when no client
// holds the object any more.

STDMETHODIMP_(DWORD) DispatchObject::AddConnection(DWORD type, DWORD) {
    if (!(type & EXTCONN_STRONG))
        return 0;
    if (connections_++ == 0)
        server_.Connected();
    return connections_;
}

STDMETHODIMP_(DWORD) DispatchObject::ReleaseConnection(DWORD type, DWORD, BOOL) {
    if (!(type & EXTCONN_STRONG) || connections_ == 0)
        return connections_;
    if (--connections_ == 0)
        server_.Disconnected();
    return connections_;
}

// ---- IDispatch ----

STDMETHODIMP DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                           DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    // Only member names are known; argument names never are.
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const Switches& sw = server_.Current();
    const std::wstring_view name = names[0] ? names[0] : L"";
    for (const Member& m : members_) {
        if (SameText(m.name, name) && !sw.IsMissing(m.name)) {
            ids[0] = m.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    server_.Journal(L"Unknown|" + std::wstring(name) + Tag());
    return DISP_E_UNKNOWNNAME;
}

const Member* DispatchObject::Find(DISPID id) const {
    for (const Member& m : members_)
        if (m.id == id)
            return &m;
    return nullptr;
}

void DispatchObject::Put(const Member&, const VARIANT&) {
    throw CallError{DISP_E_MEMBERNOTFOUND};
}

STDMETHODIMP DispatchObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    AddRef(); // a Close may drop the server's reference while this call runs
    const Member* m = Find(id);
    HRESULT hr = S_OK;
    try {
        if (!m || server_.Current().IsMissing(m->name))
            throw CallError{DISP_E_MEMBERNOTFOUND};
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (m->kind != Kind::GetPut)
                throw CallError{DISP_E_MEMBERNOTFOUND};
            if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                throw CallError{DISP_E_PARAMNOTFOUND};
            if (params->cArgs != 1)
                throw CallError{DISP_E_BADPARAMCOUNT};
            server_.Journal(m->name + (L"=" + JournalText(params->rgvarg[0])) + Tag());
            Put(*m, params->rgvarg[0]);
        } else {
            if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
                throw CallError{DISP_E_MEMBERNOTFOUND};
            if (params->cNamedArgs != 0)
                throw CallError{DISP_E_NONAMEDARGS};
            if (params->cArgs < m->minArgs || params->cArgs > m->maxArgs)
                throw CallError{DISP_E_BADPARAMCOUNT};
            std::wstring line = m->name;
            for (UINT i = params->cArgs; i-- > 0;)
                line += L"|" + JournalText(params->rgvarg[i]);
            server_.Journal(line + Tag());
            Var out;
            Call(*m, Args(*params), out.Get());
            if (result)
                *result = out.Detach();
        }
    } catch (const HostError& e) {
        server_.Journal(L"Error|" + Hex(e.scode) + L"|" + e.description);
        Fill(excep, e);
        hr = DISP_E_EXCEPTION;
    } catch (const CallError& e) {
        server_.Journal(L"Error|" + Hex(e.hr) + L"|" + (m ? m->name : L"#" + std::to_wstring(id)));
        if (argErr)
            *argErr = e.argErr;
        hr = e.hr;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    Release();
    return hr;
}

} // namespace vcad
