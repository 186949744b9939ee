#include "platform/com/Unknown.h"

namespace {
std::atomic<long> g_objects{0};
}

CUnknown::CUnknown(LPCWSTR, IUnknown* outer) : owner_(outer ? outer : &face_) {
    ++g_objects;
}

CUnknown::~CUnknown() {
    --g_objects;
}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(&face_);
        NonDelegatingAddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() {
    return ++m_cRef;
}

ULONG CUnknown::NonDelegatingRelease() {
    const ULONG count = --m_cRef;
    if (count == 0) {
        m_cRef = 1; // a release from inside the destructor must not delete again
        delete this;
    }
    return count;
}

long CUnknown::ObjectCount() {
    return g_objects;
}

HRESULT GetInterface(IUnknown* object, void** out) {
    if (!out)
        return E_POINTER;
    *out = object;
    object->AddRef();
    return S_OK;
}

HRESULT platform::QueryNew(CUnknown* object, REFIID iid, void** out) {
    object->NonDelegatingAddRef();
    const HRESULT hr = object->NonDelegatingQueryInterface(iid, out);
    object->NonDelegatingRelease();
    return hr;
}
