// An in-process server library with one class, registered by the regsvr tool in the tests.
#include "TestServer.h"

#include "platform/com/Com.h"
#include "platform/com/Registry.h"
#include "platform/win32/Text.h"

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_TestCounter)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new platform::CClassFactory(&platform::CreateCUnknown<TestCounter>);
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

extern "C" HRESULT DllCanUnloadNow() {
    return CUnknown::ObjectCount() == 0 && !platform::CClassFactory::ServerLocked() ? S_OK : S_FALSE;
}

extern "C" HRESULT DllRegisterServer() {
    const auto self = platform::com::LibraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (!self)
        return SELFREG_E_CLASS;
    const bool ok = platform::com::WriteClassValue(CLSID_TestCounter, L"InprocServer32",
                                                   platform::FromUtf8(self->string())) &&
                    platform::com::WriteClassValue(CLSID_TestCounter, L"ThreadingModel", L"Both");
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT DllUnregisterServer() {
    return platform::com::RemoveClass(CLSID_TestCounter) ? S_OK : SELFREG_E_CLASS;
}
