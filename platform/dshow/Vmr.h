// The interfaces of the video renderer in its two sets: the VMR-9 one (CLSID_VideoMixingRenderer9) and
// the VMR-7 one (CLSID_VideoMixingRenderer, also CLSID_VideoRendererDefault): filter configuration,
// windowless control and mixer bitmap.
#pragma once

#include "platform/dshow/Interfaces.h"

struct NORMALIZEDRECT {
    float left;
    float top;
    float right;
    float bottom;
};

constexpr DWORD VMR9Mode_Windowed = 1;
constexpr DWORD VMR9Mode_Windowless = 2;
constexpr DWORD VMRMode_Windowed = 1;
constexpr DWORD VMRMode_Windowless = 2;
constexpr DWORD VMR9ARMode_None = 0;
constexpr DWORD VMR9ARMode_LetterBox = 1;
constexpr DWORD VMR_ARMODE_NONE = 0;
constexpr DWORD VMR_ARMODE_LETTER_BOX = 1;

constexpr DWORD VMR9AlphaBitmap_Disable = 0x1;
constexpr DWORD VMR9AlphaBitmap_hDC = 0x2;
constexpr DWORD VMR9AlphaBitmap_EntireDDS = 0x4;
constexpr DWORD VMR9AlphaBitmap_SrcColorKey = 0x8;
constexpr DWORD VMR9AlphaBitmap_SrcRect = 0x10;
constexpr DWORD VMRBITMAP_DISABLE = 0x1;
constexpr DWORD VMRBITMAP_HDC = 0x2;
constexpr DWORD VMRBITMAP_ENTIREDDS = 0x4;
constexpr DWORD VMRBITMAP_SRCCOLORKEY = 0x8;
constexpr DWORD VMRBITMAP_SRCRECT = 0x10;

constexpr HRESULT VFW_E_VMR_NO_AP_SUPPLIED = static_cast<HRESULT>(0x80040297u);

// A mixer bitmap: with the hDC flag, the bitmap selected into `hdc` (its `rSrc` part) is copied by
// SetAlphaBitmap; the caller may free it right after. It is blended over every presented frame, scaled to
// `rDest` (0..1 of the picture), pixels equal to the colour key left out, at opacity `fAlpha`.
struct VMR9AlphaBitmap {
    DWORD dwFlags;
    HDC hdc;
    void* pDDS; // surfaces are not supported
    RECT rSrc;
    NORMALIZEDRECT rDest;
    float fAlpha;
    COLORREF clrSrcKey;
    DWORD dwFilterMode;
};

struct VMRALPHABITMAP {
    DWORD dwFlags;
    HDC hdc;
    void* pDDS;
    RECT rSrc;
    NORMALIZEDRECT rDest;
    float fAlpha;
    COLORREF clrSrcKey;
};

inline constexpr IID IID_IVMRFilterConfig9 = platform::MakeGuid("4C4A9371-8804-44CB-97B6-27FEFEE52D7C");
inline constexpr IID IID_IVMRWindowlessControl9 = platform::MakeGuid("F788A22D-E0E4-4FD7-95EE-DE264AB6B892");
inline constexpr IID IID_IVMRMixerBitmap9 = platform::MakeGuid("6D9C50D3-8326-4F89-AF5B-C875149C82AE");
inline constexpr IID IID_IVMRFilterConfig = platform::MakeGuid("8A144D5B-0134-48F3-87AE-60AF74CDA3AE");
inline constexpr IID IID_IVMRWindowlessControl = platform::MakeGuid("A70C4F7B-2432-4553-9C84-01BA360DE1C1");
inline constexpr IID IID_IVMRMixerBitmap = platform::MakeGuid("C212CB29-92F6-46DE-BAC0-206B5CD66AF8");

struct IVMRFilterConfig9 : IUnknown {
    virtual HRESULT SetNumberOfStreams(DWORD streams) = 0;
    virtual HRESULT GetNumberOfStreams(DWORD* streams) = 0;
    virtual HRESULT SetRenderingMode(DWORD mode) = 0;
    virtual HRESULT GetRenderingMode(DWORD* mode) = 0;

protected:
    ~IVMRFilterConfig9() = default;
};

struct IVMRFilterConfig : IUnknown {
    virtual HRESULT SetNumberOfStreams(DWORD streams) = 0;
    virtual HRESULT GetNumberOfStreams(DWORD* streams) = 0;
    virtual HRESULT SetRenderingMode(DWORD mode) = 0;
    virtual HRESULT GetRenderingMode(DWORD* mode) = 0;

protected:
    ~IVMRFilterConfig() = default;
};

// The same operations for both sets. GetCurrentImage hands out a CoTaskMemAlloc'd 32-bit bottom-up DIB
// (BITMAPINFOHEADER then pixels) of the current frame, which the caller frees.
#define VELOQ_WINDOWLESS_METHODS                                                                             \
    virtual HRESULT GetNativeVideoSize(LONG* width, LONG* height, LONG* arWidth, LONG* arHeight) = 0;        \
    virtual HRESULT SetVideoPosition(const RECT* source, const RECT* destination) = 0;                       \
    virtual HRESULT GetVideoPosition(RECT* source, RECT* destination) = 0;                                   \
    virtual HRESULT GetAspectRatioMode(DWORD* mode) = 0;                                                     \
    virtual HRESULT SetAspectRatioMode(DWORD mode) = 0;                                                      \
    virtual HRESULT SetVideoClippingWindow(HWND window) = 0;                                                 \
    virtual HRESULT RepaintVideo(HWND window, HDC dc) = 0;                                                   \
    virtual HRESULT DisplayModeChanged() = 0;                                                                \
    virtual HRESULT GetCurrentImage(BYTE** dib) = 0;                                                         \
    virtual HRESULT SetBorderColor(COLORREF colour) = 0;                                                     \
    virtual HRESULT GetBorderColor(COLORREF* colour) = 0;

struct IVMRWindowlessControl9 : IUnknown {
    VELOQ_WINDOWLESS_METHODS

protected:
    ~IVMRWindowlessControl9() = default;
};

struct IVMRWindowlessControl : IUnknown {
    VELOQ_WINDOWLESS_METHODS

protected:
    ~IVMRWindowlessControl() = default;
};
#undef VELOQ_WINDOWLESS_METHODS

struct IVMRMixerBitmap9 : IUnknown {
    virtual HRESULT SetAlphaBitmap(const VMR9AlphaBitmap* bitmap) = 0;
    virtual HRESULT UpdateAlphaBitmapParameters(const VMR9AlphaBitmap* bitmap) = 0;
    virtual HRESULT GetAlphaBitmapParameters(VMR9AlphaBitmap* bitmap) = 0;

protected:
    ~IVMRMixerBitmap9() = default;
};

struct IVMRMixerBitmap : IUnknown {
    virtual HRESULT SetAlphaBitmap(const VMRALPHABITMAP* bitmap) = 0;
    virtual HRESULT UpdateAlphaBitmapParameters(const VMRALPHABITMAP* bitmap) = 0;
    virtual HRESULT GetAlphaBitmapParameters(VMRALPHABITMAP* bitmap) = 0;

protected:
    ~IVMRMixerBitmap() = default;
};
