// The COM runtime: creating objects by class identifier, class factories and task memory.
//
// CoCreateInstance looks a class up among the built-in classes of the process first (the platform's own
// filters register theirs), then among the in-process servers of the registry file (platform/com/Registry.h):
// the server library is loaded with dlopen, stays loaded for the rest of the process, and its exported
// DllGetClassObject gives the factory.
#pragma once

#include "platform/com/Unknown.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

inline constexpr IID IID_IClassFactory = platform::MakeGuid("00000001-0000-0000-C000-000000000046");

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// With an outer object only IID_IUnknown may be asked for (CLASS_E_NOAGGREGATION otherwise).
// REGDB_E_CLASSNOTREG for an unknown class; CO_E_DLLNOTFOUND when the registered library cannot be
// loaded; CO_E_ERRORINDLL when it has no DllGetClassObject.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* out);

// Memory handed between objects: what one side allocates the other frees. Null frees nothing.
LPVOID CoTaskMemAlloc(SIZE_T size);
LPVOID CoTaskMemRealloc(LPVOID memory, SIZE_T size);
void CoTaskMemFree(LPVOID memory);

// The exports of an in-process server library.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, LPVOID* out);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

namespace platform {

// Creates an object of a built-in class, as IClassFactory::CreateInstance would.
using ClassCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// Adds a built-in class; a later registration of the same class replaces it, a null creator removes it.
// Safe from static initialisers.
void RegisterBuiltinClass(REFCLSID clsid, ClassCreator creator);

// What IClassFactory::CreateInstance does with a function that returns a new CUnknown-derived object without
// a reference (or null with the failure in *hr): only IID_IUnknown with an outer object, and the object
// deleted when it reports a failure or the query fails.
using ObjectMaker = CUnknown* (*)(IUnknown* outer, HRESULT* hr);
HRESULT CreateObject(ObjectMaker make, IUnknown* outer, REFIID iid, void** out);

// A creator over such a function, and the same for a class with such a static CreateInstance.
template <ObjectMaker Make> HRESULT CreateWith(IUnknown* outer, REFIID iid, void** out) {
    return CreateObject(Make, outer, iid, out);
}

template <class T> HRESULT CreateCUnknown(IUnknown* outer, REFIID iid, void** out) {
    return CreateWith<&T::CreateInstance>(outer, iid, out);
}

// A class factory over a creator; DllGetClassObject of a server library hands these out. LockServer counts
// towards ServerLocked.
class CClassFactory final : public SingleInterface<IClassFactory, IID_IClassFactory> {
public:
    explicit CClassFactory(ClassCreator creator);
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT LockServer(BOOL lock) override;

    // True while a client holds a LockServer lock in this module.
    static bool ServerLocked();
    // What LockServer does, for other factories of the module.
    static void LockModule(BOOL lock);

private:
    ~CClassFactory() override = default;
    ClassCreator creator_;
};

} // namespace platform
