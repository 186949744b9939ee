#include "platform/dshow/AacDecoder.h"

#include "platform/dshow/Uuids.h"

#include <algorithm>
#include <cstring>

namespace platform::dshow {
namespace {

constexpr LONG kMaxFrameBytes = 2048 * 8 * 2; // 2048 samples (with SBR) of 8 channels, 16 bits
constexpr DWORD kMaxAscBytes = 64;

const WAVEFORMATEX* waveOf(const CMediaType* type) {
    if (*type->FormatType() != FORMAT_WaveFormatEx || type->FormatLength() < sizeof(WAVEFORMATEX) ||
        !type->Format())
        return nullptr;
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->Format());
    return sizeof(WAVEFORMATEX) + wave->cbSize <= type->FormatLength() ? wave : nullptr;
}

} // namespace

CUnknown* AacDecoder::CreateInstance(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new AacDecoder;
}

AacDecoder::AacDecoder() : CTransformFilter(L"AacDecoder", nullptr, CLSID_KqAudioDecode) {}

AacDecoder::~AacDecoder() {
    closeDecoder();
}

void AacDecoder::closeDecoder() {
    decoder_.close();
    rate_ = 0;
    channels_ = 0;
    needsAdtsInit_ = false;
}

HRESULT AacDecoder::CheckInputType(const CMediaType* in) {
    if (!in)
        return E_POINTER;
    if (*in->Type() != MEDIATYPE_Audio || *in->Subtype() != MEDIASUBTYPE_RAW_AAC1 || !waveOf(in))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const WAVEFORMATEX* wave = waveOf(in);
    if (wave->cbSize > kMaxAscBytes || wave->nChannels > 8)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT AacDecoder::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
    if (direction != PINDIR_INPUT)
        return S_OK;
    closeDecoder();
    const WAVEFORMATEX* wave = waveOf(type);
    if (!decoder_.open())
        return E_OUTOFMEMORY;
    if (wave->cbSize > 0) {
        const auto* asc = reinterpret_cast<const unsigned char*>(wave + 1);
        if (!decoder_.initFromConfig(asc, wave->cbSize, &rate_, &channels_)) {
            closeDecoder();
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
    } else {
        // ADTS frames carry their configuration: the format's own values stand until the first one.
        rate_ = wave->nSamplesPerSec;
        channels_ = static_cast<unsigned char>(wave->nChannels);
        needsAdtsInit_ = true;
    }
    return channels_ > 0 && rate_ > 0 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AacDecoder::BreakConnect(PIN_DIRECTION direction) {
    if (direction == PINDIR_INPUT)
        closeDecoder();
    return S_OK;
}

HRESULT AacDecoder::GetMediaType(int position, CMediaType* type) {
    if (!m_pInput->IsConnected())
        return E_UNEXPECTED;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = channels_;
    wave.nSamplesPerSec = static_cast<DWORD>(rate_);
    wave.nBlockAlign = static_cast<WORD>(channels_ * 2);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    wave.wBitsPerSample = 16;
    type->InitMediaType();
    type->SetType(&MEDIATYPE_Audio);
    type->SetSubtype(&MEDIASUBTYPE_PCM);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    type->SetSampleSize(wave.nBlockAlign);
    return type->SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof wave) ? S_OK : E_OUTOFMEMORY;
}

HRESULT AacDecoder::CheckTransform(const CMediaType* in, const CMediaType* out) {
    if (!in || !out)
        return E_POINTER;
    const HRESULT hr = CheckInputType(in);
    if (FAILED(hr))
        return hr;
    const WAVEFORMATEX* wave = waveOf(out);
    if (*out->Type() != MEDIATYPE_Audio || *out->Subtype() != MEDIASUBTYPE_PCM || !wave ||
        wave->wFormatTag != WAVE_FORMAT_PCM || wave->wBitsPerSample != 16 || wave->nChannels != channels_ ||
        wave->nSamplesPerSec != rate_)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT AacDecoder::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request)
        return E_POINTER;
    request->cBuffers = std::max<LONG>(request->cBuffers, 4);
    request->cbBuffer = std::max<LONG>(request->cbBuffer, kMaxFrameBytes);
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer < kMaxFrameBytes ? E_FAIL : S_OK;
}

HRESULT AacDecoder::Transform(IMediaSample* in, IMediaSample* out) {
    BYTE* data = nullptr;
    BYTE* pcm = nullptr;
    if (!decoder_.isOpen() || FAILED(in->GetPointer(&data)) || FAILED(out->GetPointer(&pcm)))
        return S_FALSE;
    const LONG length = in->GetActualDataLength();
    if (length <= 0)
        return S_FALSE;
    if (needsAdtsInit_) {
        if (!decoder_.initFromAdts(data, static_cast<unsigned long>(length), nullptr, nullptr))
            return S_FALSE;
        needsAdtsInit_ = false;
    }
    platform::aac::DecodedFrame frame;
    if (!decoder_.decode(data, static_cast<unsigned long>(length), &frame) || frame.channels != channels_)
        return S_FALSE; // a damaged frame, or one whose layout the connection does not carry, is dropped
    const unsigned long bytes = frame.samples * 2;
    if (bytes > static_cast<unsigned long>(out->GetSize()))
        return S_FALSE;
    std::memcpy(pcm, frame.pcm, bytes);
    out->SetActualDataLength(static_cast<LONG>(bytes));
    return S_OK;
}

HRESULT AacDecoder::EndFlush() {
    decoder_.resetAfterSeek();
    return CTransformFilter::EndFlush();
}

} // namespace platform::dshow
