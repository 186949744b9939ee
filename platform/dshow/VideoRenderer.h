// Inside the DirectShow layer: the video renderer, one class behind both interface sets. Created as the
// VMR-9 it answers the VMR-9 interfaces, as the VMR-7 (or the default video renderer) the VMR-7 ones.
// Its input pins offer no types and take UYVY and YUY2 (of an even width) with a VideoInfo format; the
// first pin's samples are shown: Receive converts the frame to RGB with the mixer bitmap blended in, in
// one pass into a picture of its own at the size the window's VideoSurface shows it in (nearest pixel when
// smaller), while its rows are still in the caches; waits until the sample is due by the graph's clock
// (while paused, until Run, Stop or a flush); keeps the packed frame for repaints and the current image
// (the sample itself when it comes from the pin's own allocator, which has a spare buffer for it, until
// the next sample or Stop, else a copy of it); presents the picture to the surface (converted again if the
// layout or the mixer bitmap changed during the wait), and returns. A late sample is shown at once. The
// pictures are allocated once per size and reused once no surface holds them.
#pragma once

#include "platform/dshow/BasePin.h"
#include "platform/dshow/VideoPixels.h"
#include "platform/dshow/VideoSurface.h"
#include "platform/dshow/Vmr.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::dshow {

class VideoRenderer;

class VideoRendererPin final : public CBaseInputPin {
public:
    VideoRendererPin(VideoRenderer* filter, CCritSec* lock, int stream, LPCWSTR name);
    HRESULT CheckMediaType(const CMediaType* type) override;
    // The pin's own allocator grants a spare buffer: the one the renderer keeps.
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    // Whether the samples come from the pin's own allocator, so that the renderer may keep one.
    bool OwnAllocator() const { return ownAllocatorUsed_; }
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

private:
    VideoRenderer* renderer_;
    int stream_;
    platform::ComPtr<IMemAllocator> ownAllocator_;
    std::atomic<bool> ownAllocatorUsed_{false};
};

class VideoRenderer final : public CBaseFilter,
                            public IAMFilterMiscFlags,
                            public IVMRFilterConfig9,
                            public IVMRWindowlessControl9,
                            public IVMRMixerBitmap9,
                            public IVMRFilterConfig,
                            public IVMRWindowlessControl,
                            public IVMRMixerBitmap {
public:
    DECLARE_IUNKNOWN
    static CUnknown* CreateVmr9(IUnknown* outer, HRESULT* hr);
    static CUnknown* CreateVmr7(IUnknown* outer, HRESULT* hr);
    static CUnknown* CreateDefault(IUnknown* outer, HRESULT* hr);
    ~VideoRenderer() override;

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    int GetPinCount() override;
    CBasePin* GetPin(int index) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

    // Filter configuration of both sets. More streams give more input pins (only before any connects).
    HRESULT SetNumberOfStreams(DWORD streams) override;
    HRESULT GetNumberOfStreams(DWORD* streams) override;
    HRESULT SetRenderingMode(DWORD mode) override;
    HRESULT GetRenderingMode(DWORD* mode) override;

    // Windowless control of both sets.
    HRESULT GetNativeVideoSize(LONG* width, LONG* height, LONG* arWidth, LONG* arHeight) override;
    HRESULT SetVideoPosition(const RECT* source, const RECT* destination) override;
    HRESULT GetVideoPosition(RECT* source, RECT* destination) override;
    HRESULT GetAspectRatioMode(DWORD* mode) override;
    HRESULT SetAspectRatioMode(DWORD mode) override;
    HRESULT SetVideoClippingWindow(HWND window) override;
    HRESULT RepaintVideo(HWND window, HDC dc) override;
    HRESULT DisplayModeChanged() override;
    HRESULT GetCurrentImage(BYTE** dib) override;
    HRESULT SetBorderColor(COLORREF colour) override;
    HRESULT GetBorderColor(COLORREF* colour) override;

    // Mixer bitmap of both sets.
    HRESULT SetAlphaBitmap(const VMR9AlphaBitmap* bitmap) override;
    HRESULT UpdateAlphaBitmapParameters(const VMR9AlphaBitmap* bitmap) override;
    HRESULT GetAlphaBitmapParameters(VMR9AlphaBitmap* bitmap) override;
    HRESULT SetAlphaBitmap(const VMRALPHABITMAP* bitmap) override;
    HRESULT UpdateAlphaBitmapParameters(const VMRALPHABITMAP* bitmap) override;
    HRESULT GetAlphaBitmapParameters(VMRALPHABITMAP* bitmap) override;

private:
    friend class VideoRendererPin;
    VideoRenderer(bool vmr9, REFCLSID clsid);

    struct Mixer {
        bool enabled = false;
        bool haveBitmap = false;
        Overlay overlay;
        RECT source{};
        DWORD filterMode = 0;
    };
    struct AlphaParams {
        DWORD flags;
        HDC dc;
        void* surface;
        RECT source;
        NORMALIZEDRECT destination;
        float alpha;
        COLORREF key;
        DWORD filterMode;
    };
    HRESULT setAlpha(const AlphaParams& params, bool update);
    AlphaParams alphaParams() const;

    // A packed frame: rows `pitch` apart from `rows`.
    struct PackedRows {
        DWORD fourcc = 0;
        int width = 0;
        int height = 0;
        int pitch = 0;
        const BYTE* rows = nullptr;
    };
    // The packed frame last received, its rows in its sample (held) or in bytes.
    struct PackedFrame : PackedRows {
        platform::ComPtr<IMediaSample> sample;
        std::vector<BYTE> bytes;
    };
    // Where and how a frame is shown now.
    struct Layout {
        HWND window = nullptr;
        RECT source{};
        RECT destination{};
        COLORREF border = 0;
        SIZE shown{};
        unsigned mixer = 0; // mixerChanges_
        // Whether a picture made for one is the picture for the other.
        bool SamePicture(const Layout& other) const;
    };
    // At most this many pictures: the one being converted, the two a surface may hold, and the last one
    // of the surface shown before (the main window's box while the full-screen window shows the video).
    static constexpr std::size_t kPictures = 4;

    // Streaming: waits until the sample is due; false when a stop or a flush ended the wait.
    bool waitUntilDue(IMediaSample* sample);
    HRESULT show(IMediaSample* sample);
    // The layout of a frame of that size now; none without a clipping window.
    std::optional<Layout> layoutFor(const PackedRows& frame);
    // Shows the current frame: the picture made for it when its layout has not changed since, else one
    // converted now.
    void present(std::shared_ptr<const VideoPicture> made = nullptr, const Layout* madeFor = nullptr);
    // The source part of the frame converted, at the size the surface shows it in and with the mixer
    // bitmap over it, into a picture nobody holds; null when all are held. Under mutex_.
    std::shared_ptr<const VideoPicture> render(const PackedRows& frame, RECT source, SIZE shown);
    // The kept sample's rows copied into the frame's own bytes; the sample is handed back to the caller,
    // who releases it outside mutex_. Under mutex_.
    platform::ComPtr<IMediaSample> copyKeptFrame();
    std::shared_ptr<VideoPicture> freePicture(int width, int height);
    void endOfStream();
    void wakeAll();

    const bool vmr9_;
    CCritSec lock_;
    std::vector<std::unique_ptr<VideoRendererPin>> pins_;
    DWORD streams_ = 0;
    DWORD mode_ = 0;

    // Guarded by mutex_: what streaming and the controls share.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int generation_ = 0; // raised by every state change and flush, to end waits
    bool flushing_ = false;
    platform::ComPtr<IReferenceClock> clock_; // the graph's, and stream time 0 on it, taken at Run
    REFERENCE_TIME runStart_ = 0;
    bool endOfStream_ = false;
    bool completionSent_ = false;
    HWND window_ = nullptr;
    DWORD aspectMode_ = 0;
    COLORREF border_ = 0;
    bool positionSet_ = false;
    RECT source_{}, destination_{};
    PackedFrame current_;
    bool haveFrame_ = false;
    Mixer mixer_;
    OverlayRuns overlayRuns_;      // the mixer bitmap prepared for the current picture size
    unsigned mixerChanges_ = 0;    // raised by every change of the mixer bitmap
    unsigned overlayRunsAt_ = ~0u; // the mixerChanges_ that overlayRuns_ were prepared at
    std::vector<std::shared_ptr<VideoPicture>> pictures_;
    std::vector<std::uint32_t> scratch_; // a converted source row, when the picture is shown smaller
    std::vector<int> columns_;           // the source column of each picture column then
};

} // namespace platform::dshow
