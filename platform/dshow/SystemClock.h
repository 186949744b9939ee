// A reference clock on the process's scaled clock (platform/win32/Clock.h): the graph's clock when no
// filter offers one.
#pragma once

#include "platform/dshow/Interfaces.h"

class SystemClock final : public CUnknown, public IReferenceClock {
public:
    DECLARE_IUNKNOWN
    SystemClock() : CUnknown(L"SystemClock", nullptr) {}
    static CUnknown* CreateInstance(IUnknown*, HRESULT* hr) {
        *hr = S_OK;
        return new SystemClock;
    }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    HRESULT GetTime(REFERENCE_TIME* time) override;

    // The scaled clock now, in 100 ns units.
    static REFERENCE_TIME Now();
};
