#include "platform/com/Com.h"

#include "platform/com/Registry.h"

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

std::mutex& builtinMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<GUID, platform::ClassCreator, platform::GuidHash>& builtins() {
    static std::unordered_map<GUID, platform::ClassCreator, platform::GuidHash> table;
    return table;
}

platform::ClassCreator findBuiltin(REFCLSID clsid) {
    std::lock_guard lock(builtinMutex());
    auto it = builtins().find(clsid);
    return it == builtins().end() ? nullptr : it->second;
}

// Loaded server libraries by path; never unloaded, so objects and factories they made stay valid.
std::mutex g_libraryMutex;
std::map<std::string, DllGetClassObjectFn> g_libraries;

HRESULT serverFactory(REFCLSID clsid, REFIID iid, void** out) {
    const auto path = platform::com::InprocServerPath(clsid);
    if (!path)
        return REGDB_E_CLASSNOTREG;
    DllGetClassObjectFn entry = nullptr;
    {
        std::lock_guard lock(g_libraryMutex);
        auto it = g_libraries.find(path->string());
        if (it != g_libraries.end()) {
            entry = it->second;
        } else {
            void* library = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!library)
                return CO_E_DLLNOTFOUND;
            entry = reinterpret_cast<DllGetClassObjectFn>(dlsym(library, "DllGetClassObject"));
            if (!entry) {
                dlclose(library);
                return CO_E_ERRORINDLL;
            }
            g_libraries.emplace(path->string(), entry);
        }
    }
    return entry(clsid, iid, out);
}

std::atomic<long> g_serverLocks{0};

} // namespace

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && iid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC))
        return CLASS_E_CLASSNOTAVAILABLE;
    if (platform::ClassCreator creator = findBuiltin(clsid))
        return creator(outer, iid, out);
    IClassFactory* factory = nullptr;
    HRESULT hr = serverFactory(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    if (!factory)
        return CO_E_ERRORINDLL;
    hr = factory->CreateInstance(outer, iid, out);
    factory->Release();
    return hr;
}

LPVOID CoTaskMemAlloc(SIZE_T size) {
    return std::malloc(size ? size : 1);
}

LPVOID CoTaskMemRealloc(LPVOID memory, SIZE_T size) {
    return std::realloc(memory, size ? size : 1);
}

void CoTaskMemFree(LPVOID memory) {
    std::free(memory);
}

namespace platform {

void RegisterBuiltinClass(REFCLSID clsid, ClassCreator creator) {
    std::lock_guard lock(builtinMutex());
    if (creator)
        builtins()[clsid] = creator;
    else
        builtins().erase(clsid);
}

HRESULT CreateObject(ObjectMaker make, IUnknown* outer, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && iid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    CUnknown* object = make(outer, &hr);
    if (!object)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    return QueryNew(object, iid, out);
}

CClassFactory::CClassFactory(ClassCreator creator) : creator_(creator) {}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    return creator_(outer, iid, out);
}

HRESULT CClassFactory::LockServer(BOOL lock) {
    LockModule(lock);
    return S_OK;
}

void CClassFactory::LockModule(BOOL lock) {
    if (lock)
        ++g_serverLocks;
    else if (g_serverLocks > 0)
        --g_serverLocks;
}

bool CClassFactory::ServerLocked() {
    return g_serverLocks > 0;
}

} // namespace platform
