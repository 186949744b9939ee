#include "platform/dshow/SystemClock.h"

#include "platform/win32/Clock.h"

HRESULT SystemClock::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IReferenceClock)
        return GetInterface(static_cast<IReferenceClock*>(this), out);
    return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
    if (!time)
        return E_POINTER;
    *time = Now();
    return S_OK;
}

REFERENCE_TIME SystemClock::Now() {
    return platform::Now().count() / 100;
}
