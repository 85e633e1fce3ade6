#pragma once
// RAII owners for COM interface pointers, BSTRs and VARIANTs, and the one
// base of the COM objects the program (and the stand-in host) implements.
#include <windows.h>
#include <oleauto.h>

#include "platform/Handle.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace varno::win {

template <class T> class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr From(T* p) {
        if (p)
            p->AddRef();
        return Attach(p);
    }
    void Reset() {
        if (p_)
            std::exchange(p_, nullptr)->Release();
    }
    // Gives up the reference without releasing it.
    [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what it held first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    template <class U> ComPtr<U> As() const {
        ComPtr<U> u;
        if (p_)
            p_->QueryInterface(__uuidof(U), u.PutVoid());
        return u;
    }

  private:
    T* p_ = nullptr;
};

// A string the COM allocator handed out (a moniker's display name).
using CoTaskString = UniqueAny<LPOLESTR, &::CoTaskMemFree>;

// A BSTR, freed when it goes.
class Bstr : public UniqueAny<BSTR, &::SysFreeString> {
  public:
    Bstr() = default;
    explicit Bstr(std::wstring_view s)
        : UniqueAny(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    std::wstring Str() const {
        const BSTR b = Get();
        return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    }
};

// One VARIANT, cleared when it goes.
class ComVariant {
  public:
    ComVariant() { VariantInit(&v_); }
    ~ComVariant() { VariantClear(&v_); }
    ComVariant(const ComVariant&) = delete;
    ComVariant& operator=(const ComVariant&) = delete;
    VARIANT& Get() { return v_; }
    const VARIANT& Get() const { return v_; }
    // For out-parameters: clears what it held first.
    VARIANT* Put() {
        VariantClear(&v_);
        return &v_;
    }
    // Hands the value over to the caller, who then owns it.
    VARIANT Detach() {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

  private:
    VARIANT v_;
};

// VARIANTs side by side, as DISPPARAMS takes them; each cleared when it goes.
class VariantArray {
  public:
    explicit VariantArray(std::size_t count) : v_(count) {
        for (auto& v : v_)
            VariantInit(&v);
    }
    ~VariantArray() {
        for (auto& v : v_)
            VariantClear(&v);
    }
    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;
    VARIANT& operator[](std::size_t i) { return v_[i]; }
    VARIANT* Data() { return v_.empty() ? nullptr : v_.data(); }
    std::size_t Size() const { return v_.size(); }

  private:
    std::vector<VARIANT> v_;
};

// An EXCEPINFO a server fills; its texts are freed when it goes.
class ExcepInfo {
  public:
    ExcepInfo() { Zero(); }
    ~ExcepInfo() { Clear(); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    EXCEPINFO* Put() {
        Clear();
        return &e_;
    }
    // Lets a server that defers filling in do it now.
    const EXCEPINFO& Filled() {
        if (e_.pfnDeferredFillIn) {
            auto fill = e_.pfnDeferredFillIn;
            e_.pfnDeferredFillIn = nullptr;
            fill(&e_);
        }
        return e_;
    }

  private:
    void Zero() { e_ = EXCEPINFO{}; }
    void Clear() {
        SysFreeString(e_.bstrSource);
        SysFreeString(e_.bstrDescription);
        SysFreeString(e_.bstrHelpFile);
        Zero();
    }
    EXCEPINFO e_;
};

// ---- COM objects of our own

// In the interface list of a COM object: the interface I, through which the
// object also answers for the bases of I named after it. A base that two
// listed interfaces share is answered by the one that names it:
// WithBases<IOleInPlaceSite, IOleWindow> beside IOleInPlaceFrame.
template <class I, class... Bases> struct WithBases {};

namespace detail {
template <class Entry> struct ComEntry {
    using Interface = Entry;
    static bool Answers(REFIID iid) { return iid == __uuidof(Entry); }
};
template <class I, class... Bases> struct ComEntry<WithBases<I, Bases...>> {
    static_assert((std::is_base_of_v<Bases, I> && ...), "I answers only for its own bases");
    using Interface = I;
    static bool Answers(REFIID iid) {
        return iid == __uuidof(I) || ((iid == __uuidof(Bases)) || ...);
    }
};
template <class Entry> using ComInterface = typename ComEntry<Entry>::Interface;
template <class First, class...> struct FirstEntry { using Type = First; };
} // namespace detail

// The interfaces of a COM object, listed once, and its QueryInterface from
// that list: IUnknown is answered by the first interface, each listed one
// (and the bases WithBases names) by itself; any other is E_NOINTERFACE. An
// interface handed out carries a reference. How references are kept is the
// business of the two forms below, ComObject and UncountedComObject.
template <class... Entries> class ComInterfaces : public detail::ComInterface<Entries>... {
  public:
    ComInterfaces(const ComInterfaces&) = delete;
    ComInterfaces& operator=(const ComInterfaces&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out)
            return E_POINTER;
        using First = detail::ComInterface<typename detail::FirstEntry<Entries...>::Type>;
        *out = nullptr;
        if (iid == IID_IUnknown)
            *out = static_cast<First*>(this);
        else
            (void)(Answer<Entries>(iid, out) || ...);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override = 0;
    STDMETHODIMP_(ULONG) Release() noexcept override = 0;

  protected:
    ComInterfaces() = default;
    ~ComInterfaces() = default;

  private:
    template <class Entry> bool Answer(REFIID iid, void** out) {
        if (!detail::ComEntry<Entry>::Answers(iid))
            return false;
        *out = static_cast<detail::ComInterface<Entry>*>(this);
        return true;
    }
};

// A COM object owned by its references: it starts with one, its creator's
// (ComPtr::Attach takes it over), and deletes itself when the last goes. The
// count is atomic, so references may come and go on any thread.
template <class... Entries> class ComObject : public ComInterfaces<Entries...> {
  public:
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

  private:
    std::atomic<ULONG> refs_{1};
};

// A COM object whose life its owner decides, not COM's references: one for
// the life of the process, or of the function that registers it and takes
// it back. It keeps no count; AddRef and Release answer the counts of an
// object that is still held (2 and 1).
template <class... Entries> class UncountedComObject : public ComInterfaces<Entries...> {
  public:
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }

  protected:
    UncountedComObject() = default;
    ~UncountedComObject() = default;
};

} // namespace varno::win
