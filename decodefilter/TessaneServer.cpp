// libTessane.so as an in-process COM server: its one class, "KQ Video Decode", with the setup data that
// registration writes, and the library's exports (Tessane.map keeps every other symbol inside): the server's
// entry points, DllMain and the deinterlacer's four functions, which the library holds.
#include "decodefilter/TessaneFilter.h"

#include "platform/dshow/Server.h"

#include <dlfcn.h>

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes = {&MEDIATYPE_Video, &GUID_NULL};
const AMOVIESETUP_PIN kPins[] = {
    {L"Input", FALSE, FALSE, FALSE, FALSE, &GUID_NULL, L"Output", 1, &kPinTypes},
    {L"Output", FALSE, TRUE, FALSE, FALSE, &GUID_NULL, L"Input", 1, &kPinTypes},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_TessaneFilter, L"KQ Video Decode", MERIT_DO_NOT_USE, 2, kPins};

HINSTANCE thisModule() {
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&thisModule), &info);
    return static_cast<HINSTANCE>(info.dli_fbase);
}

} // namespace

CFactoryTemplate g_Templates[] = {
    {L"KQ Video Decode", &CLSID_TessaneFilter, &TessaneFilter::CreateInstance, nullptr, &kSetup},
};
int g_cTemplates = 1;

extern "C" {

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return AMovieDllGetClassObject(clsid, iid, out);
}

HRESULT DllCanUnloadNow() {
    return AMovieDllCanUnloadNow();
}

HRESULT DllRegisterServer() {
    return AMovieDllRegisterServer2(TRUE);
}

HRESULT DllUnregisterServer() {
    return AMovieDllRegisterServer2(FALSE);
}

BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return DllEntryPoint(module, reason, reserved);
}

} // extern "C"

// Nothing calls DllMain here: the library's load and unload do its attach and detach work.
__attribute__((constructor)) static void attachLibrary() {
    DllMain(thisModule(), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) static void detachLibrary() {
    DllMain(thisModule(), DLL_PROCESS_DETACH, nullptr);
}
