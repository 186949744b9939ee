#include "media/SourceFilter.h"

#include "platform/com/Guid.h"

const CLSID CLSID_KqNetSource = platform::MakeGuid("0E5BE769-0864-44CC-A165-918EDE780243");

namespace {

constexpr LONGLONG kTicksPerMs = 10000;
constexpr int kDefaultVideoMs = 40;
constexpr int kDefaultAudioMs = 32;
constexpr int kLongestAudioMs = 2000;

// Drops a held sample and asks the pin for a free one without waiting.
HRESULT takeSample(CBaseOutputPin* pin, IMediaSample*& held, BYTE** data, LONG* size) {
    if (held) {
        held->Release();
        held = nullptr;
    }
    IMediaSample* sample = nullptr;
    HRESULT hr = pin->GetDeliveryBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT);
    if (FAILED(hr))
        return hr;
    if (!sample)
        return E_FAIL;
    BYTE* pointer = nullptr;
    hr = sample->GetPointer(&pointer);
    if (FAILED(hr) || !pointer) {
        sample->Release();
        return FAILED(hr) ? hr : E_POINTER;
    }
    held = sample;
    *data = pointer;
    *size = sample->GetSize();
    return S_OK;
}

} // namespace

KQ_AV_SourceFilter::KQ_AV_SourceFilter() : CBaseFilter(L"", nullptr, &lock_, CLSID_KqNetSource) {
    HRESULT hr = S_OK;
    videoPin_ = std::make_unique<KQ_AV_VideoOutputPin>(this, &lock_, &hr);
    audioPin_ = std::make_unique<KQ_AV_AudioOutputPin>(this, &lock_, &hr);
}

KQ_AV_SourceFilter::~KQ_AV_SourceFilter() {
    if (videoSample_)
        videoSample_->Release();
    if (audioSample_)
        audioSample_->Release();
}

CBasePin* KQ_AV_SourceFilter::GetPin(int index) {
    if (index == 0)
        return videoPin_.get();
    if (index == 1)
        return audioPin_.get();
    return nullptr;
}

HRESULT KQ_AV_SourceFilter::GetVideoBuffer(BYTE** data, LONG* size) {
    return takeSample(videoPin_.get(), videoSample_, data, size);
}

int KQ_AV_SourceFilter::GetAudioBuffer(BYTE** data, LONG* size) {
    return takeSample(audioPin_.get(), audioSample_, data, size) == S_OK ? 1 : 0;
}

HRESULT KQ_AV_SourceFilter::DeliverVideo(int duration, LONG length) {
    return deliver(videoPin_.get(), videoSample_, videoTime_, duration <= 0 ? kDefaultVideoMs : duration,
                   length);
}

HRESULT KQ_AV_SourceFilter::DeliverAudio(int duration, LONG length) {
    if (duration <= 0 || duration > kLongestAudioMs)
        duration = kDefaultAudioMs;
    return deliver(audioPin_.get(), audioSample_, audioTime_, duration, length);
}

HRESULT KQ_AV_SourceFilter::deliver(CBaseOutputPin* pin, IMediaSample*& sample, std::atomic<LONGLONG>& time,
                                    int duration, LONG length) {
    if (!sample)
        return E_FAIL;
    IMediaSample* delivering = sample;
    sample = nullptr;
    HRESULT hr = delivering->SetActualDataLength(length);
    if (SUCCEEDED(hr)) {
        delivering->SetSyncPoint(TRUE);
        REFERENCE_TIME start = time;
        REFERENCE_TIME stop = start + duration * kTicksPerMs;
        time = stop;
        hr = delivering->SetTime(&start, &stop);
        if (SUCCEEDED(hr))
            hr = pin->Deliver(delivering);
    }
    delivering->Release();
    return hr;
}

void KQ_AV_SourceFilter::ResetRunningTimes() {
    videoTime_ = 0;
    audioTime_ = 0;
}
