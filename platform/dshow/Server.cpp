#include "platform/dshow/Server.h"

#include "platform/com/Com.h"
#include "platform/com/Registry.h"
#include "platform/win32/Text.h"

#include <cstdio>
#include <mutex>

namespace {

// A factory for one template, made on demand; it counts the library's locks like any factory.
class TemplateFactory final : public platform::SingleInterface<IClassFactory, IID_IClassFactory> {
public:
    explicit TemplateFactory(const CFactoryTemplate* t) : template_(t) {}
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return platform::CreateObject(template_->m_lpfnNew, outer, iid, out);
    }
    HRESULT LockServer(BOOL lock) override {
        platform::CClassFactory::LockModule(lock);
        return S_OK;
    }

private:
    ~TemplateFactory() override = default;
    const CFactoryTemplate* template_;
};

// Whether the templates' init routines have been told that the library serves.
std::mutex g_servingMutex;
bool g_serving = false;

void setServing(bool serving) {
    std::lock_guard lock(g_servingMutex);
    if (g_serving == serving)
        return;
    g_serving = serving;
    for (int i = 0; i < g_cTemplates; ++i)
        if (g_Templates[i].m_lpfnInit)
            g_Templates[i].m_lpfnInit(serving ? TRUE : FALSE, g_Templates[i].m_ClsID);
}

} // namespace

HRESULT AMovieDllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory)
        return E_NOINTERFACE;
    setServing(true);
    for (int i = 0; i < g_cTemplates; ++i) {
        if (*g_Templates[i].m_ClsID != clsid || !g_Templates[i].m_lpfnNew)
            continue;
        auto* factory = new TemplateFactory(&g_Templates[i]);
        return factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

BOOL DllEntryPoint(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_PROCESS_DETACH)
        setServing(reason == DLL_PROCESS_ATTACH);
    return TRUE;
}

HRESULT AMovieDllCanUnloadNow() {
    return CUnknown::ObjectCount() == 0 && !platform::CClassFactory::ServerLocked() ? S_OK : S_FALSE;
}

HRESULT AMovieDllRegisterServer2(BOOL registering) {
    const auto library =
        platform::com::LibraryPathOf(reinterpret_cast<const void*>(&AMovieDllRegisterServer2));
    if (!library)
        return SELFREG_E_CLASS;
    for (int i = 0; i < g_cTemplates; ++i) {
        const CFactoryTemplate& t = g_Templates[i];
        if (!registering) {
            if (!platform::com::RemoveClass(*t.m_ClsID))
                return SELFREG_E_CLASS;
            continue;
        }
        bool ok = platform::com::WriteClassValue(*t.m_ClsID, L"InprocServer32",
                                                 platform::FromUtf8(library->string())) &&
                  platform::com::WriteClassValue(*t.m_ClsID, L"ThreadingModel", L"Both") &&
                  platform::com::WriteClassValue(*t.m_ClsID, L"Name", t.m_Name ? t.m_Name : L"");
        if (ok && t.m_pAMovieSetup_Filter) {
            wchar_t merit[16];
            std::swprintf(merit, 16, L"0x%08X", t.m_pAMovieSetup_Filter->dwMerit);
            ok =
                platform::com::WriteClassValue(*t.m_ClsID, L"FilterName", t.m_pAMovieSetup_Filter->strName) &&
                platform::com::WriteClassValue(*t.m_ClsID, L"Merit", merit);
        }
        if (!ok)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}
