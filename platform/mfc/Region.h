// Window regions: the shape of a shaped top-level window, as a set of rectangles.
#pragma once

#include "platform/mfc/WinUser.h"

#include <vector>

class CBitmap;

class CRgn {
public:
    // Every pixel of the bitmap that is not the key colour, as runs of rows.
    BOOL CreateFromBitmap(const CBitmap& bitmap, COLORREF key);
    BOOL PtInRegion(int x, int y) const;
    const std::vector<RECT>& rects() const { return rects_; }

private:
    std::vector<RECT> rects_;
};
