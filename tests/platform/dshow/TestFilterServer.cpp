// A filter library served through COM, as the decode filter library is: one transform filter class,
// registered by the regsvr tool in the tests.
#include "TestFilterServer.h"
#include "tests/support/TestFilters.h"

#include "platform/dshow/Server.h"

namespace {

CUnknown* createTransform(LPUNKNOWN, HRESULT* hr) {
    *hr = S_OK;
    return testfilters::TestTransform::create(FourCCGuid(MakeFourCC('A', 'A', 'A', 'A')),
                                              FourCCGuid(MakeFourCC('B', 'B', 'B', 'B')));
}

const AMOVIESETUP_MEDIATYPE kVideo = {&MEDIATYPE_Video, &GUID_NULL};
const AMOVIESETUP_PIN kPins[] = {{L"Input", FALSE, FALSE, FALSE, FALSE, &GUID_NULL, L"Output", 1, &kVideo},
                                 {L"Output", FALSE, TRUE, FALSE, FALSE, &GUID_NULL, L"Input", 1, &kVideo}};
const AMOVIESETUP_FILTER kSetup = {&CLSID_TestServedTransform, L"Served Transform", MERIT_DO_NOT_USE, 2,
                                   kPins};

} // namespace

CFactoryTemplate g_Templates[] = {
    {L"Served Transform", &CLSID_TestServedTransform, createTransform, nullptr, &kSetup}};
int g_cTemplates = 1;

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return AMovieDllGetClassObject(clsid, iid, out);
}
extern "C" HRESULT DllCanUnloadNow() {
    return AMovieDllCanUnloadNow();
}
extern "C" HRESULT DllRegisterServer() {
    return AMovieDllRegisterServer2(TRUE);
}
extern "C" HRESULT DllUnregisterServer() {
    return AMovieDllRegisterServer2(FALSE);
}
