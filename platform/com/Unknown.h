// The object model: IUnknown, the result codes of the COM layer, CUnknown (the base of every object, with
// aggregation: an inner object delegates its IUnknown to the outer one), SingleInterface (the base of a small
// helper object that offers one interface) and ComPtr, which owns one reference.
//
// Reference rules: a method that hands out an interface pointer (QueryInterface, an out parameter) has
// added a reference that the receiver releases; a pointer passed in is borrowed for the call.
#pragma once

#include "platform/com/Guid.h"

#include <atomic>
#include <utility>

constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);

inline constexpr IID IID_IUnknown = platform::MakeGuid("00000000-0000-0000-C000-000000000046");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default; // objects are destroyed by Release, never through an interface pointer
};
using LPUNKNOWN = IUnknown*;

// The object's own IUnknown, which an aggregating outer object holds; the public IUnknown of an inner
// object forwards to its owner.
struct INonDelegatingUnknown {
    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;

protected:
    ~INonDelegatingUnknown() = default;
};

// Base of every object. The reference count starts at 0; the creator takes the first reference. Without an
// outer object the owner is the object itself. Live objects are counted per module (DllCanUnloadNow).
class CUnknown : public INonDelegatingUnknown {
public:
    CUnknown(LPCWSTR name, IUnknown* outer);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override; // IUnknown only
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override; // deletes the object at 0

    IUnknown* GetOwner() const { return owner_; }
    static long ObjectCount();

protected:
    std::atomic<ULONG> m_cRef{0};

private:
    // The non-delegating IUnknown as a real IUnknown: what an outer object holds of its inner one, and the
    // owner of an object that is not aggregated.
    struct Face final : IUnknown {
        CUnknown* self;
        explicit Face(CUnknown* object) : self(object) {}
        HRESULT QueryInterface(REFIID iid, void** out) override {
            return self->NonDelegatingQueryInterface(iid, out);
        }
        ULONG AddRef() override { return self->NonDelegatingAddRef(); }
        ULONG Release() override { return self->NonDelegatingRelease(); }
    };
    Face face_{this};
    IUnknown* owner_;
};

// The three IUnknown methods of a class that derives from CUnknown and from interfaces: they go to the
// owner, so an aggregated object answers for its outer object.
#define DECLARE_IUNKNOWN                                                                                     \
    HRESULT QueryInterface(REFIID iid, void** out) override {                                                \
        return GetOwner()->QueryInterface(iid, out);                                                         \
    }                                                                                                        \
    ULONG AddRef() override {                                                                                \
        return GetOwner()->AddRef();                                                                         \
    }                                                                                                        \
    ULONG Release() override {                                                                               \
        return GetOwner()->Release();                                                                        \
    }

// Hands out `object` as an interface pointer with a new reference (for NonDelegatingQueryInterface).
HRESULT GetInterface(IUnknown* object, void** out);

namespace platform {

// Hands out a new object, made without a reference, as the interface. The query holds a reference of its own
// meanwhile, so the object is deleted when the query fails.
HRESULT QueryNew(CUnknown* object, REFIID iid, void** out);

// Base of a small object that offers one interface and is never aggregated (enumerators, class factories):
// QueryInterface answers IUnknown and that interface, and the last Release deletes the object. The reference
// count starts at 0; the creator takes the first reference.
template <class Interface, const IID& InterfaceIid> class SingleInterface : public Interface {
public:
    SingleInterface(const SingleInterface&) = delete;
    SingleInterface& operator=(const SingleInterface&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceIid) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG count = --refs_;
        if (count == 0)
            delete this;
        return count;
    }

protected:
    SingleInterface() = default;
    virtual ~SingleInterface() = default; // only Release deletes

private:
    std::atomic<ULONG> refs_{0};
};

// Owns one reference to an interface.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to a borrowed pointer.
    explicit ComPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Adopts a pointer whose reference the caller already holds.
    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out parameter: releases what is held first.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &p_;
    }
    void** ReleaseAndGetVoidAddressOf() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

    // QueryInterface into another ComPtr.
    template <class U> HRESULT As(REFIID iid, ComPtr<U>* out) const {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(iid, out->ReleaseAndGetVoidAddressOf());
    }

private:
    T* p_ = nullptr;
};

// QueryInterface of any object for a typed ComPtr; null when it doesn't offer the interface.
template <class U, class T> ComPtr<U> Query(T* object, REFIID iid) {
    ComPtr<U> out;
    if (object)
        object->QueryInterface(iid, out.ReleaseAndGetVoidAddressOf());
    return out;
}

} // namespace platform
