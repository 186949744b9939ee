// The property-page face of an object: ISpecifyPropertyPages answers the class identifiers of the pages
// that show its settings.
#pragma once

#include "platform/com/Unknown.h"

// A counted array of identifiers; pElems is CoTaskMemAlloc'd by the callee and freed by the caller.
struct CAUUID {
    ULONG cElems;
    GUID* pElems;
};

inline constexpr IID IID_ISpecifyPropertyPages = platform::MakeGuid("A705043F-A561-44BE-8DEE-BEA323AF3436");

struct ISpecifyPropertyPages : IUnknown {
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};
