// Media types: AM_MEDIA_TYPE with its format blocks (VIDEOINFOHEADER, WAVEFORMATEX) at their exact field
// widths, the major types, subtypes and format types the program uses, and CMediaType, which owns its
// format block. A format block and the AM_MEDIA_TYPE that a method hands out are CoTaskMemAlloc'd; the
// receiver frees them (FreeMediaType, DeleteMediaType).
#pragma once

#include "platform/com/Unknown.h"
#include "platform/gdi/Gdi.h"

using REFERENCE_TIME = LONGLONG; // 100 ns units

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

#pragma pack(push, 2)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize; // extra format bytes after the structure
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_RAW_AAC1 = 0x00FF;

constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
    return static_cast<DWORD>(static_cast<BYTE>(a)) | static_cast<DWORD>(static_cast<BYTE>(b)) << 8 |
           static_cast<DWORD>(static_cast<BYTE>(c)) << 16 | static_cast<DWORD>(static_cast<BYTE>(d)) << 24;
}

// The subtype of a FOURCC (or wave format tag): {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID FourCCGuid(DWORD fourcc) {
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

inline constexpr GUID MEDIATYPE_Video = FourCCGuid(MakeFourCC('v', 'i', 'd', 's'));
inline constexpr GUID MEDIATYPE_Audio = FourCCGuid(MakeFourCC('a', 'u', 'd', 's'));
inline constexpr GUID MEDIATYPE_Stream = platform::MakeGuid("E436EB83-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIATYPE_NULL = GUID_NULL;
inline constexpr GUID MEDIASUBTYPE_NULL = GUID_NULL;
inline constexpr GUID MEDIASUBTYPE_UYVY = FourCCGuid(MakeFourCC('U', 'Y', 'V', 'Y'));
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourCCGuid(MakeFourCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_YUYV = FourCCGuid(MakeFourCC('Y', 'U', 'Y', 'V'));
inline constexpr GUID MEDIASUBTYPE_YVYU = FourCCGuid(MakeFourCC('Y', 'V', 'Y', 'U'));
inline constexpr GUID MEDIASUBTYPE_H264 = FourCCGuid(MakeFourCC('H', '2', '6', '4'));
inline constexpr GUID MEDIASUBTYPE_RGB565 = platform::MakeGuid("E436EB7B-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB555 = platform::MakeGuid("E436EB7C-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB24 = platform::MakeGuid("E436EB7D-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB32 = platform::MakeGuid("E436EB7E-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_PCM = FourCCGuid(WAVE_FORMAT_PCM);
inline constexpr GUID MEDIASUBTYPE_RAW_AAC1 = FourCCGuid(WAVE_FORMAT_RAW_AAC1);
inline constexpr GUID FORMAT_VideoInfo = platform::MakeGuid("05589F80-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID FORMAT_WaveFormatEx = platform::MakeGuid("05589F81-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID FORMAT_None = platform::MakeGuid("0F6417D6-C318-11D0-A43F-00A0C9223196");

// Frees the format block (and releases pUnk) of a type, leaving it empty.
void FreeMediaType(AM_MEDIA_TYPE& type);
// Frees a type made by CreateMediaType, with its format block.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// A CoTaskMemAlloc'd copy of a type (null when memory runs out).
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// The subtype a bitmap header describes: the FOURCC subtype for a compression code, RGB565 (with masks),
// RGB555, RGB24 or RGB32 for uncompressed 16, 24 and 32 bits, GUID_NULL otherwise.
GUID GetBitmapSubtype(const BITMAPINFOHEADER* header);
// The bytes of the bitmap's pixels: rows of 32-bit multiples times the absolute height.
DWORD GetBitmapSize(const BITMAPINFOHEADER* header);

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID* majorType);
    CMediaType(const AM_MEDIA_TYPE& type);
    CMediaType(const CMediaType& type);
    CMediaType& operator=(const AM_MEDIA_TYPE& type);
    CMediaType& operator=(const CMediaType& type);
    ~CMediaType();

    bool operator==(const CMediaType& other) const;
    bool operator!=(const CMediaType& other) const { return !(*this == other); }

    HRESULT Set(const AM_MEDIA_TYPE& type);
    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* type) { majortype = *type; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* type) { formattype = *type; }
    bool IsFixedSize() const { return bFixedSizeSamples != FALSE; }
    bool IsTemporalCompressed() const { return bTemporalCompression != FALSE; }
    ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }
    // A size of 0 means variable-size samples.
    void SetSampleSize(ULONG size);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    // Replaces the format block with a zero-filled one of the given length; null when memory runs out.
    BYTE* AllocFormatBuffer(ULONG length);
    // Grows or shrinks it, keeping its bytes.
    BYTE* ReallocFormatBuffer(ULONG length);
    bool SetFormat(const BYTE* format, ULONG length);
    void ResetFormatBuffer();
    void InitMediaType();
    // Whether this (a possibly partial type with GUID_NULL parts) admits the full type `other`.
    bool MatchesPartial(const CMediaType* other) const;
    bool IsPartiallySpecified() const;
};
