#include "decodefilter/TessaneFilter.h"
#include "decodefilter/TessaneFilterHooks.h"

#include "platform/com/Com.h"
#include "platform/win32/DebugOutput.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// The destructor's trace line, in the code page it was written in (GBK).
constexpr const char* kDestructorTrace =
    "\xCA\xD3\xC6\xB5\xBD\xE2\xC2\xEB Filter \xCE\xF6\xB9\xB9\xBA\xAF\xCA\xFD"
    "TessaneFilter::~TessaneFilter\n";

const VIDEOINFOHEADER* videoInfo(const CMediaType* type) {
    if (*type->FormatType() != FORMAT_VideoInfo || type->FormatLength() < sizeof(VIDEOINFOHEADER) ||
        !type->Format())
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type->Format());
}

std::atomic<bool> g_decoderAllocationFails{false};

} // namespace

void SetTessaneDecoderAllocationFails(bool fails) {
    g_decoderAllocationFails = fails;
}

CUnknown* TessaneFilter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    auto* filter = new (std::nothrow) TessaneFilter(outer);
    if (!filter && result)
        *result = E_OUTOFMEMORY;
    return filter;
}

TessaneFilter::TessaneFilter(LPUNKNOWN outer)
    : CTransformFilter(L"TessaneFilter", outer, CLSID_TessaneFilter),
      decoder(g_decoderAllocationFails ? nullptr : new (std::nothrow) Tessane) {}

TessaneFilter::~TessaneFilter() {
    OutputDebugStringA(kDestructorTrace);
    decoder.reset();
}

HRESULT TessaneFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (iid == IID_ITessane)
        return GetInterface(static_cast<ITessane*>(this), out);
    if (iid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
    return CTransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TessaneFilter::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 1;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->pElems[0] = CLSID_TessanePropertyPage;
    return S_OK;
}

HRESULT TessaneFilter::CheckInputType(const CMediaType* in) {
    OutputDebugStringA("TessaneFilter::CheckInputType(const CMediaType *mtIn)\n");
    if (!in)
        return E_POINTER;
    if (*in->Type() != MEDIATYPE_Video || *in->Subtype() != MEDIASUBTYPE_H264)
        return VFW_E_TYPE_NOT_ACCEPTED;
    // The size comes from the file: only what the decoder can give is taken.
    const VIDEOINFOHEADER* vih = videoInfo(in);
    if (!vih)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const LONG w = vih->bmiHeader.biWidth, h = vih->bmiHeader.biHeight;
    if (w <= 0 || w > kMaxWidth || h <= 0 || h > kMaxHeight)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

void TessaneFilter::takeSize(const CMediaType* in) {
    const VIDEOINFOHEADER* vih = videoInfo(in);
    width = vih->bmiHeader.biWidth;
    height = vih->bmiHeader.biHeight;
}

HRESULT TessaneFilter::CheckTransform(const CMediaType* in, const CMediaType* out) {
    OutputDebugStringA("TessaneFilter::CheckTransform(const CMediaType *mtIn,const CMediaType *mtOut)\n");
    if (!in || !out)
        return E_POINTER;
    const HRESULT hr = CheckInputType(in);
    if (FAILED(hr))
        return hr;
    if (*out->FormatType() != FORMAT_VideoInfo)
        return E_INVALIDARG;
    takeSize(in);
    return S_OK;
}

HRESULT TessaneFilter::GetMediaType(int position, CMediaType* type) {
    OutputDebugStringA("TessaneFilter::GetMediaType(int iPosition, CMediaType *pMediaType)\n");
    if (!m_pInput || !m_pInput->IsConnected())
        return E_UNEXPECTED;
    if (!type)
        return E_POINTER;
    const HRESULT copied = type->Set(m_pInput->CurrentMediaType());
    if (FAILED(copied))
        return copied;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 2)
        return VFW_S_NO_MORE_ITEMS;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih)
        return E_OUTOFMEMORY;
    takeSize(&m_pInput->CurrentMediaType());
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    if (position == 0 || position == 1) {
        const int32_t format = position == 0 ? TESSANE_OUTPUT_UYVY : TESSANE_OUTPUT_YUY2;
        bmi.biCompression = position == 0 ? MakeFourCC('U', 'Y', 'V', 'Y') : MakeFourCC('Y', 'U', 'Y', '2');
        bmi.biBitCount = 16;
        // Once connected, the connection's type has decided (SetMediaType); a later enumeration changes
        // nothing.
        if (decoder && !m_pOutput->IsConnected())
            decoder->SetOutputFormat(&format);
    }
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = width;
    bmi.biHeight = height;
    bmi.biPlanes = 1;
    bmi.biSizeImage = GetBitmapSize(&bmi);
    type->SetType(&MEDIATYPE_Video);
    type->SetFormatType(&FORMAT_VideoInfo);
    const GUID subtype = GetBitmapSubtype(&bmi);
    type->SetSubtype(&subtype);
    type->SetTemporalCompression(TRUE);
    type->SetSampleSize(bmi.biSizeImage);
    return S_OK;
}

HRESULT TessaneFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
    if (direction != PINDIR_OUTPUT || !decoder || !type)
        return S_OK;
    int32_t format = -1;
    if (*type->Subtype() == MEDIASUBTYPE_UYVY)
        format = TESSANE_OUTPUT_UYVY;
    else if (*type->Subtype() == MEDIASUBTYPE_YUY2)
        format = TESSANE_OUTPUT_YUY2;
    if (format >= 0)
        decoder->SetOutputFormat(&format);
    return S_OK;
}

HRESULT TessaneFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
    OutputDebugStringA(
        "TessaneFilter::DecideBufferSize(IMemAllocator *pAlloc,ALLOCATOR_PROPERTIES *pProperties)\n");
    if (!allocator || !properties)
        return E_POINTER;
    if (!m_pInput || !m_pInput->IsConnected())
        return E_UNEXPECTED;
    const CMediaType& in = m_pInput->CurrentMediaType();
    const VIDEOINFOHEADER* vih = videoInfo(&in);
    // One packed picture of the announced size at the UYVY pitch must fit, whatever the input's samples.
    LONGLONG picture = 0;
    if (decoder && vih) {
        const LONG lines = std::abs(vih->bmiHeader.biHeight);
        picture = static_cast<LONGLONG>(decoder->LearnPitch(vih->bmiHeader.biWidth, lines)) * lines;
    }
    LONGLONG size = in.GetSampleSize();
    if (size < kSmallestBuffer)
        size = kDefaultBuffer;
    size = std::min(size, std::max<LONGLONG>(picture, kDefaultBuffer)); // larger input samples buy nothing
    size = std::max(size, picture);
    properties->cBuffers = 1;
    properties->cbBuffer = static_cast<LONG>(size);
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(properties, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cBuffers < properties->cBuffers || actual.cbBuffer < properties->cbBuffer ? E_FAIL : S_OK;
}

HRESULT TessaneFilter::Transform(IMediaSample* in, IMediaSample* out) {
    return DecodeSample(in, out);
}

HRESULT TessaneFilter::DecodeSample(IMediaSample* in, IMediaSample* out) {
    if (!in || !out)
        return E_POINTER;
    BYTE* data = nullptr;
    BYTE* destination = nullptr;
    if (FAILED(in->GetPointer(&data)) || FAILED(out->GetPointer(&destination)))
        return S_FALSE;
    const LONG length = in->GetActualDataLength();
    LONG written = 0;
    if (!decoder || FAILED(decoder->Decode(data, destination, length, out->GetSize(), &written)))
        return S_FALSE;

    REFERENCE_TIME start = 0, stop = 0;
    if (in->GetTime(&start, &stop) == S_OK)
        out->SetTime(&start, &stop);
    LONGLONG mediaStart = 0, mediaStop = 0;
    if (in->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        out->SetMediaTime(&mediaStart, &mediaStop);
    out->SetSyncPoint(in->IsSyncPoint() == S_OK);
    out->SetPreroll(in->IsPreroll() == S_OK);
    out->SetDiscontinuity(in->IsDiscontinuity() == S_OK);
    // The picture is uncompressed: it never carries the input's H.264 type.
    out->SetMediaType(nullptr);
    out->SetActualDataLength(written);
    return S_OK;
}
