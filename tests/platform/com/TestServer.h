// The interface and class identifier of the small in-process server the COM tests load.
#pragma once

#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_TestCounter = platform::MakeGuid("5C0F3A52-8E1D-4B7A-9F26-3D4E5A6B7C81");
inline constexpr IID IID_ITestCounter = platform::MakeGuid("5C0F3A53-8E1D-4B7A-9F26-3D4E5A6B7C81");

struct ITestCounter : IUnknown {
    virtual LONG Increment() = 0;

protected:
    ~ITestCounter() = default;
};

// A CUnknown-derived counter, usable aggregated.
class TestCounter : public CUnknown, public ITestCounter {
public:
    DECLARE_IUNKNOWN
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr) {
        *hr = S_OK;
        return new TestCounter(outer);
    }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (iid == IID_ITestCounter)
            return GetInterface(static_cast<ITestCounter*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }
    LONG Increment() override { return ++value_; }

private:
    explicit TestCounter(IUnknown* outer) : CUnknown(L"TestCounter", outer) {}
    LONG value_ = 0;
};
