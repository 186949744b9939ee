// The file header the snapshot writes in front of the renderer's image (a BITMAPINFOHEADER, any bit-field
// masks and colour table, then the pixels) to make a bitmap file of it.
#pragma once

#include "platform/gdi/Gdi.h"

// The palette counts biClrUsed entries (2^bits when that is 0 and the bit count is 8 or less, none
// otherwise), the pixels biSizeImage bytes (rows of 32-bit multiples times the height when 0), and an
// info header with BI_BITFIELDS is followed by its three masks. `imageBytes` gets the length of the
// image behind the header. False for a header no renderer gives (or too large to be one).
bool BuildSnapshotFileHeader(const BITMAPINFOHEADER& info, BITMAPFILEHEADER* header, DWORD* imageBytes);
