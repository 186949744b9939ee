#include "media/LiveContext.h"

DWORD KQ_AV_LiveContext::ProbePitch(HWND, DWORD width, DWORD) {
    return 2 * width;
}
