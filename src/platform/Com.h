#pragma once
// RAII owners for COM interface pointers, BSTRs and VARIANTs.
#include <windows.h>
#include <oleauto.h>

#include "platform/Handle.h"

#include <cstddef>
#include <string>
#include <string_view>
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

} // namespace varno::win
