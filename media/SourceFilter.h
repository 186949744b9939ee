// KQ_AV_SourceFilter: the live view's own source filter "NetSource Video". It has no thread of its own: the
// video and audio decode threads fill samples of its two output pins ("Video Out", "Audio Out") and deliver
// them, each sample stamped with times that run on by its duration, so the renderers play at the pace the
// decode threads set.
//
// Ownership: created with a reference by the live context, which adds it to the graph and releases it after
// the graph has let go of it (a COM object, freed at its last release). Threads: the video thread alone uses
// the video sample and running time, the audio thread the audio ones; the user-interface thread may reset
// both running times at any time. State changes and connection take the filter lock.
#pragma once

#include "platform/dshow/BasePin.h"

#include <atomic>
#include <memory>

class KQ_AV_SourceFilter;

// What the video pin's accepted connection type asks of the packing: UYVY rows at the surface pitch, or
// YUY2 byte order (YUY2 and YUYV) in rows of twice the width.
enum VideoSubtypeCode : int { VIDEO_SUBTYPE_UYVY = 0, VIDEO_SUBTYPE_YUY2 = 1, VIDEO_SUBTYPE_YUYV = 3 };

class KQ_AV_VideoOutputPin final : public CBaseOutputPin {
public:
    KQ_AV_VideoOutputPin(KQ_AV_SourceFilter* filter, CCritSec* lock, HRESULT* hr);

    // Written by the live context before connection, only when all three are non-zero.
    void SetPictureFormat(DWORD width, DWORD height, DWORD pitch);
    DWORD Width() const { return width_; }
    DWORD Height() const { return height_; }
    DWORD Pitch() const { return pitch_; }

    // Five types: UYVY, YUY2, RGB 5:6:5, YUYV and one without a pixel format, all of the pin's size.
    HRESULT GetMediaType(int position, CMediaType* type) override;
    // Takes only the byte orders the video thread packs (UYVY, YUY2, YUYV) with fixed-size samples and a
    // VideoInfo format; an RGB or YVYU type would receive YUY2 bytes and is refused.
    HRESULT CheckMediaType(const CMediaType* type) override;
    // The accepted type gets the pin's size and names the packing (VideoSubtypeCode).
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Notify(IBaseFilter* self, Quality quality) override;

private:
    KQ_AV_SourceFilter* filter_;
    DWORD width_ = 0;
    DWORD height_ = 0;
    DWORD pitch_ = 0;
};

class KQ_AV_AudioOutputPin final : public CBaseOutputPin {
public:
    static constexpr DWORD kSampleRate = 32000;
    static constexpr LONG kBufferSize = 128000; // bytes per second of 16-bit stereo at 32000 Hz

    KQ_AV_AudioOutputPin(KQ_AV_SourceFilter* filter, CCritSec* lock, HRESULT* hr);

    HRESULT GetMediaType(int position, CMediaType* type) override; // one type: PCM 32000 Hz 16-bit stereo
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Notify(IBaseFilter* self, Quality quality) override;
};

// {0E5BE769-0864-44CC-A165-918EDE780243}
extern const CLSID CLSID_KqNetSource;

class KQ_AV_SourceFilter final : public CBaseFilter {
public:
    // With no reference: the creator takes the first one.
    KQ_AV_SourceFilter();
    ~KQ_AV_SourceFilter() override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int index) override; // 0 video, 1 audio, else null; no reference added

    KQ_AV_VideoOutputPin* VideoPin() const { return videoPin_.get(); }
    KQ_AV_AudioOutputPin* AudioPin() const { return audioPin_.get(); }
    // The packing the video connection asks for; UYVY until connected.
    int VideoSubtypeCode() const { return videoSubtype_; }

    // Video thread: drops the sample it holds and asks for a free one without waiting. S_OK with the data
    // pointer and size of the sample now held; VFW_E_TIMEOUT while the renderer holds it; another failure
    // when there is none (not connected, stopped).
    HRESULT GetVideoBuffer(BYTE** data, LONG* size);
    // Delivers the held video sample with length bytes (at most its size) lasting duration ms (0: 40 ms).
    HRESULT DeliverVideo(int duration, LONG length);
    // Audio thread: as GetVideoBuffer; 1 when a sample is ready to fill, else 0.
    int GetAudioBuffer(BYTE** data, LONG* size);
    // Duration 0 or above 2000 ms means 32 ms.
    HRESULT DeliverAudio(int duration, LONG length);

    // Both running times back to 0.
    void ResetRunningTimes();
    LONGLONG VideoRunningTime() const { return videoTime_; }
    LONGLONG AudioRunningTime() const { return audioTime_; }

private:
    friend class KQ_AV_VideoOutputPin;

    void setVideoSubtype(int code) { videoSubtype_ = code; }
    HRESULT deliver(CBaseOutputPin* pin, IMediaSample*& sample, std::atomic<LONGLONG>& time, int duration,
                    LONG length);

    CCritSec lock_; // handed to the base and both pins, which only keep its address while constructing
    std::unique_ptr<KQ_AV_VideoOutputPin> videoPin_;
    std::unique_ptr<KQ_AV_AudioOutputPin> audioPin_;
    std::atomic<int> videoSubtype_{VIDEO_SUBTYPE_UYVY};
    IMediaSample* videoSample_ = nullptr; // with a reference while held
    IMediaSample* audioSample_ = nullptr;
    std::atomic<LONGLONG> videoTime_{0}; // 100 ns units: start of the next sample
    std::atomic<LONGLONG> audioTime_{0};
};
