// Inside the DirectShow layer: the audio renderer ("Default DirectSound Device") on SDL2 audio. It takes
// PCM of any rate and channel count in 8 or 16 bits, queues it on an SDL device, and paces its producer:
// Receive keeps the sample while the device's queue already holds more than kLeadMs of sound, so audio
// is taken in real time. It is the graph's reference clock, advanced by the sound actually played while
// it plays and by the scaled system clock otherwise, never backwards. Volume is in hundredths of a
// decibel. Without a usable sound device SDL's dummy driver is used, which plays nothing but keeps time.
#pragma once

#include "platform/dshow/BasePin.h"
#include "platform/win32/Clock.h"

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform::dshow {

class AudioRenderer;

class AudioRendererPin final : public CBaseInputPin {
public:
    AudioRendererPin(AudioRenderer* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CompleteConnect(IPin* receive) override;
    HRESULT BreakConnect() override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

private:
    AudioRenderer* renderer_;
};

class AudioRenderer final : public CBaseFilter,
                            public IAMFilterMiscFlags,
                            public IBasicAudio,
                            public IReferenceClock {
public:
    DECLARE_IUNKNOWN
    static constexpr int kLeadMs = 150;
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);
    ~AudioRenderer() override;

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;
    HRESULT GetTime(REFERENCE_TIME* time) override;

private:
    friend class AudioRendererPin;
    AudioRenderer();

    HRESULT open(const WAVEFORMATEX& format);
    void close();
    HRESULT queue(IMediaSample* sample);
    void endOfStream();
    void clearLocked();
    Uint32 queuedLocked() const;
    // When the running device will have played `bytes` more of its queue, or a chunk when that is more (at
    // least 1 ms, at most 1 s on).
    platform::Duration drainDeadlineLocked(Uint32 bytes) const;
    void changed();

    CCritSec lock_;
    AudioRendererPin pin_;
    std::atomic<LONG> volume_{0};

    // Guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int generation_ = 0;
    bool flushing_ = false;
    SDL_AudioDeviceID device_ = 0;
    int bytesPerSecond_ = 0;
    int bytesPerSample_ = 2;
    Uint32 chunkBytes_ = 0;  // what the device takes from the queue at a time
    Uint64 queuedTotal_ = 0; // bytes ever queued, less what a flush or stop threw away
    bool running_ = false;
    std::vector<BYTE> scaled_; // a sample at the volume set

    // The clock, guarded by clockMutex_.
    mutable std::mutex clockMutex_;
    REFERENCE_TIME last_ = 0;
    bool audioMode_ = false;
    bool anchored_ = false;
    REFERENCE_TIME offset_ = 0; // clock = offset_ + played time (audio mode) or system time
    Uint64 lastPlayed_ = 0;
    REFERENCE_TIME playedChangedAt_ = 0;
};

} // namespace platform::dshow
