// Inside the DirectShow layer: "KQ MP4 DeMux", the MP4 demultiplexer of the box maker, on libavformat's
// MP4 reader (nothing else is probed). Its input pin pulls the file through the upstream pin's
// IAsyncReader; once connected, it offers the file's first H.264 track on an output pin named "Video n"
// (n the track number) as Annex B access units with their parameter sets in front of the first one, and
// its first AAC track on "Audio n" as raw AAC frames with the AudioSpecificConfig after the WAVEFORMATEX.
// Each output pin streams on its own thread from Pause until Stop, so each renderer paces its own
// stream. Seeking (IMediaSeeking on the filter) flushes downstream and restarts at the key frame at or
// before the position; sample times count from the position sought.
#pragma once

#include "platform/dshow/AvcSamples.h"
#include "platform/dshow/BasePin.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace platform::dshow {

class Mp4Demux;

class DemuxInputPin final : public CBasePin {
public:
    DemuxInputPin(Mp4Demux* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* receive) override;
    HRESULT BreakConnect() override;
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }
    IAsyncReader* reader() const { return reader_.Get(); }

private:
    Mp4Demux* demux_;
    platform::ComPtr<IAsyncReader> reader_;
};

struct DemuxTrack {
    int stream = -1; // index in the container
    bool video = false;
    CMediaType type;
    AvcConfig avc;
    LONG bufferSize = 0;
    LONG buffers = 0;
};

class DemuxOutputPin final : public CBaseOutputPin {
public:
    DemuxOutputPin(Mp4Demux* filter, CCritSec* lock, LPCWSTR name, DemuxTrack track);
    ~DemuxOutputPin() override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Notify(IBaseFilter*, Quality) override { return S_OK; }

    void startStreaming();
    void stopStreaming(); // flag, then join; the caller has woken the thread (decommit or flush)

private:
    void stream();

    Mp4Demux* demux_;
    DemuxTrack track_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

class Mp4Demux final : public CBaseFilter, public IMediaSeeking {
public:
    DECLARE_IUNKNOWN
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);
    ~Mp4Demux() override;
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    int GetPinCount() override;
    CBasePin* GetPin(int index) override;

    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;

    REFERENCE_TIME start() const { return start_; }
    REFERENCE_TIME duration() const { return duration_; }
    IAsyncReader* reader() const { return input_.reader(); }

private:
    friend class DemuxInputPin;
    Mp4Demux();
    HRESULT openTracks(IAsyncReader* reader);
    void dropTracks();

    CCritSec lock_;
    DemuxInputPin input_;
    std::vector<std::unique_ptr<DemuxOutputPin>> outputs_;
    std::vector<std::unique_ptr<DemuxOutputPin>>
        retired_; // pins once offered stay valid for the filter's life
    std::atomic<REFERENCE_TIME> start_{0};
    std::atomic<REFERENCE_TIME> duration_{0};
};

} // namespace platform::dshow
