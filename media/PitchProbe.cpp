#include "media/LiveContext.h"

#include "platform/ddraw/DirectDraw.h"

DWORD KQ_AV_LiveContext::ProbePitch(HWND window, DWORD width, DWORD height) {
    CVD_DIRECTX_Draw probe;
    probe.Create(window, static_cast<int>(width), static_cast<int>(height), nullptr);
    return probe.GetPitch();
}
