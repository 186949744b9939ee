#include "platform/dshow/MediaType.h"

#include "platform/com/Com.h"

#include <cstdlib>
#include <cstring>

void FreeMediaType(AM_MEDIA_TYPE& type) {
    if (type.cbFormat != 0 || type.pbFormat)
        CoTaskMemFree(type.pbFormat);
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (!target || !source)
        return E_POINTER;
    *target = *source;
    if (source->cbFormat && source->pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            target->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->pbFormat = nullptr;
        target->cbFormat = 0;
    }
    if (target->pUnk)
        target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type)
        return nullptr;
    if (FAILED(CopyMediaType(type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

GUID GetBitmapSubtype(const BITMAPINFOHEADER* header) {
    if (!header)
        return GUID_NULL;
    switch (header->biCompression) {
    case BI_RGB:
        switch (header->biBitCount) {
        case 16:
            return MEDIASUBTYPE_RGB555;
        case 24:
            return MEDIASUBTYPE_RGB24;
        case 32:
            return MEDIASUBTYPE_RGB32;
        default:
            return GUID_NULL;
        }
    case BI_BITFIELDS:
        if (header->biBitCount == 16) {
            const auto* masks = reinterpret_cast<const DWORD*>(header + 1);
            return masks[1] == 0x07E0 ? MEDIASUBTYPE_RGB565 : MEDIASUBTYPE_RGB555;
        }
        return header->biBitCount == 32 ? MEDIASUBTYPE_RGB32 : GUID_NULL;
    default:
        return FourCCGuid(header->biCompression);
    }
}

DWORD GetBitmapSize(const BITMAPINFOHEADER* header) {
    if (!header)
        return 0;
    const unsigned long long stride =
        ((static_cast<unsigned long long>(static_cast<unsigned>(std::abs(header->biWidth))) *
              header->biBitCount +
          31) /
         32) *
        4;
    return static_cast<DWORD>(stride * static_cast<unsigned>(std::abs(header->biHeight)));
}

CMediaType::CMediaType() : AM_MEDIA_TYPE{} {
    InitMediaType();
}

CMediaType::CMediaType(const GUID* majorType) : CMediaType() {
    if (majorType)
        majortype = *majorType;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& type) : AM_MEDIA_TYPE{} {
    InitMediaType();
    Set(type);
}

CMediaType::CMediaType(const CMediaType& type) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(type)) {}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& type) {
    Set(type);
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& type) {
    Set(type);
    return *this;
}

CMediaType::~CMediaType() {
    FreeMediaType(*this);
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& type) {
    if (&type == this)
        return S_OK;
    FreeMediaType(*this);
    const HRESULT hr = CopyMediaType(this, &type);
    if (FAILED(hr))
        InitMediaType();
    return hr;
}

bool CMediaType::operator==(const CMediaType& other) const {
    return majortype == other.majortype && subtype == other.subtype && formattype == other.formattype &&
           cbFormat == other.cbFormat &&
           (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

void CMediaType::SetSampleSize(ULONG size) {
    if (size == 0) {
        SetVariableSize();
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = size;
    }
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    ResetFormatBuffer();
    if (length == 0)
        return nullptr;
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!pbFormat)
        return nullptr;
    std::memset(pbFormat, 0, length);
    cbFormat = length;
    return pbFormat;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
    if (length == 0) {
        ResetFormatBuffer();
        return nullptr;
    }
    auto* grown = static_cast<BYTE*>(CoTaskMemRealloc(pbFormat, length));
    if (!grown)
        return nullptr;
    if (length > cbFormat)
        std::memset(grown + cbFormat, 0, length - cbFormat);
    pbFormat = grown;
    cbFormat = length;
    return pbFormat;
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length) {
    if (length && !format)
        return false;
    if (length && !AllocFormatBuffer(length))
        return false;
    if (!length)
        ResetFormatBuffer();
    else
        std::memcpy(pbFormat, format, length);
    return true;
}

void CMediaType::ResetFormatBuffer() {
    CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}

void CMediaType::InitMediaType() {
    ResetFormatBuffer();
    if (pUnk)
        pUnk->Release();
    majortype = GUID_NULL;
    subtype = GUID_NULL;
    formattype = GUID_NULL;
    bFixedSizeSamples = TRUE;
    bTemporalCompression = FALSE;
    lSampleSize = 1;
    pUnk = nullptr;
}

bool CMediaType::IsPartiallySpecified() const {
    return majortype == GUID_NULL || subtype == GUID_NULL || formattype == GUID_NULL;
}

bool CMediaType::MatchesPartial(const CMediaType* other) const {
    if (majortype != GUID_NULL && majortype != other->majortype)
        return false;
    if (subtype != GUID_NULL && subtype != other->subtype)
        return false;
    if (formattype != GUID_NULL) {
        if (formattype != other->formattype || cbFormat != other->cbFormat)
            return false;
        if (cbFormat && std::memcmp(pbFormat, other->pbFormat, cbFormat) != 0)
            return false;
    }
    return true;
}
