// The identifiers of the decode filter library: the class of "KQ Video Decode", its own interface ITessane
// (three reserved methods that answer S_OK and do nothing) and the class of the property page it names.
#pragma once

#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_TessaneFilter = platform::MakeGuid("7CD26C67-3858-46B4-9A46-2426537AB81B");
inline constexpr CLSID CLSID_TessanePropertyPage = platform::MakeGuid("7974D845-92BE-4E6E-B964-38BAEA37C0BD");
inline constexpr IID IID_ITessane = platform::MakeGuid("89AE857A-9769-46AE-87AB-8D4553AE50E7");

struct ITessane : IUnknown {
    virtual HRESULT Reserved1(LPVOID argument) = 0;
    virtual HRESULT Reserved2(LPVOID first, LPVOID second) = 0;
    virtual HRESULT Reserved3() = 0;

protected:
    ~ITessane() = default;
};
