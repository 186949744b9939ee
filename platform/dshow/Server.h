// For a filter library that is an in-process COM server (the decode filter library). The library
// defines the table of its classes, g_Templates with g_cTemplates entries, and exports thin wrappers:
//
//   extern "C" HRESULT DllGetClassObject(REFCLSID c, REFIID i, LPVOID* o) { return AMovieDllGetClassObject(c,
//   i, o); } extern "C" HRESULT DllCanUnloadNow() { return AMovieDllCanUnloadNow(); } extern "C" HRESULT
//   DllRegisterServer() { return AMovieDllRegisterServer2(TRUE); } extern "C" HRESULT DllUnregisterServer() {
//   return AMovieDllRegisterServer2(FALSE); }
//
// Registering writes, for every class of the table, the library's own path as its in-process server with
// threading model "Both" and, for a filter, its name and merit (platform/com/Registry.h).
#pragma once

#include "platform/dshow/Interfaces.h"

constexpr DWORD MERIT_PREFERRED = 0x800000;
constexpr DWORD MERIT_NORMAL = 0x600000;
constexpr DWORD MERIT_UNLIKELY = 0x400000;
constexpr DWORD MERIT_DO_NOT_USE = 0x200000;

struct AMOVIESETUP_MEDIATYPE {
    const CLSID* clsMajorType;
    const CLSID* clsMinorType;
};

struct AMOVIESETUP_PIN {
    LPCWSTR strName;
    BOOL bRendered;
    BOOL bOutput;
    BOOL bZero;
    BOOL bMany;
    const CLSID* clsConnectsToFilter;
    LPCWSTR strConnectsToPin;
    UINT nMediaTypes;
    const AMOVIESETUP_MEDIATYPE* lpMediaType;
};

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    LPCWSTR strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};

using LPFNNewCOMObject = CUnknown* (*)(LPUNKNOWN outer, HRESULT* hr);
using LPFNInitRoutine = void (*)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
    LPCWSTR m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit; // called when the library starts serving and when it stops; may be null
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;
};

// Defined by the server library.
extern CFactoryTemplate g_Templates[];
extern int g_cTemplates;

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;

// The base classes' part of a server library's DllMain: at process attach the templates' init routines
// hear that the library serves, at detach that it stops (the first DllGetClassObject also starts them).
// TRUE.
BOOL DllEntryPoint(HINSTANCE module, DWORD reason, LPVOID reserved);

HRESULT AMovieDllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out);
HRESULT AMovieDllCanUnloadNow(); // S_OK once no object of the library lives and no client locks it
HRESULT AMovieDllRegisterServer2(BOOL registering);
