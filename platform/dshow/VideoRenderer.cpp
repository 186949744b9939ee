// The video renderer: the filter, its pins and streaming.
#include "platform/dshow/VideoRenderer.h"

#include "platform/dshow/Allocator.h"
#include "platform/dshow/SystemClock.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/VideoRendererHooks.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace platform::dshow {
namespace {

std::atomic<bool> g_vmr9Fails{false};

constexpr int kMaxPictureSide = 4096;
// The wait for a due sample reads the graph's clock again at least this often: that clock (the audio
// renderer's) may run apart from the one the wait is timed by. A frame's wait is mostly one wake-up.
constexpr REFERENCE_TIME kWaitSlice = 100 * 10000;
constexpr size_t kCacheLine = 64;
constexpr int kRowsAhead = 2;

} // namespace

void SetVmr9CreationFails(bool fails) {
    g_vmr9Fails = fails;
}

VideoRendererPin::VideoRendererPin(VideoRenderer* filter, CCritSec* lock, int stream, LPCWSTR name)
    : CBaseInputPin(L"VideoRendererPin", filter, lock, nullptr, name), renderer_(filter), stream_(stream) {}

HRESULT VideoRendererPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (*type->Type() != MEDIATYPE_Video || *type->FormatType() != FORMAT_VideoInfo ||
        type->FormatLength() < sizeof(VIDEOINFOHEADER) || !type->Format())
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (*type->Subtype() != MEDIASUBTYPE_UYVY && *type->Subtype() != MEDIASUBTYPE_YUY2)
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->Format());
    const LONG width = vih->bmiHeader.biWidth, height = std::abs(vih->bmiHeader.biHeight);
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide || width % 2 != 0)
        return VFW_E_TYPE_NOT_ACCEPTED; // a packed 4:2:2 row holds whole pixel pairs
    return S_OK;
}

HRESULT VideoRendererPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator)
        return E_POINTER;
    {
        CAutoLock lock(m_pLock);
        if (!m_pAllocator) {
            const HRESULT hr =
                platform::QueryNew(new CMemAllocator(L"Video renderer allocator", nullptr, nullptr, true),
                                   IID_IMemAllocator, reinterpret_cast<void**>(&m_pAllocator));
            if (FAILED(hr))
                return hr;
            ownAllocator_ = platform::ComPtr<IMemAllocator>(m_pAllocator);
        }
    }
    return CBaseInputPin::GetAllocator(allocator);
}

HRESULT VideoRendererPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    const HRESULT hr = CBaseInputPin::NotifyAllocator(allocator, readOnly);
    if (SUCCEEDED(hr))
        ownAllocatorUsed_ = allocator == ownAllocator_.Get();
    return hr;
}

HRESULT VideoRendererPin::Receive(IMediaSample* sample) {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    return stream_ == 0 ? renderer_->show(sample) : S_OK; // further mixer streams are taken, not shown
}

HRESULT VideoRendererPin::EndOfStream() {
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK)
        return hr;
    if (stream_ == 0)
        renderer_->endOfStream();
    return S_OK;
}

HRESULT VideoRendererPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    std::lock_guard lock(renderer_->mutex_);
    renderer_->flushing_ = true;
    ++renderer_->generation_;
    renderer_->changed_.notify_all();
    return S_OK;
}

HRESULT VideoRendererPin::EndFlush() {
    {
        std::lock_guard lock(renderer_->mutex_);
        renderer_->flushing_ = false;
        renderer_->endOfStream_ = false;
        renderer_->completionSent_ = false;
    }
    return CBaseInputPin::EndFlush();
}

CUnknown* VideoRenderer::CreateVmr9(IUnknown*, HRESULT* hr) {
    if (g_vmr9Fails) {
        *hr = E_FAIL;
        return nullptr;
    }
    *hr = S_OK;
    return new VideoRenderer(true, CLSID_VideoMixingRenderer9);
}

CUnknown* VideoRenderer::CreateVmr7(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new VideoRenderer(false, CLSID_VideoMixingRenderer);
}

CUnknown* VideoRenderer::CreateDefault(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new VideoRenderer(false, CLSID_VideoRendererDefault);
}

VideoRenderer::VideoRenderer(bool vmr9, REFCLSID clsid)
    : CBaseFilter(L"VideoRenderer", nullptr, &lock_, clsid), vmr9_(vmr9) {
    pins_.push_back(std::make_unique<VideoRendererPin>(this, &lock_, 0, L"VMR Input0"));
}

VideoRenderer::~VideoRenderer() = default;

HRESULT VideoRenderer::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
    if (vmr9_) {
        if (iid == IID_IVMRFilterConfig9)
            return GetInterface(static_cast<IVMRFilterConfig9*>(this), out);
        if (iid == IID_IVMRWindowlessControl9)
            return GetInterface(static_cast<IVMRWindowlessControl9*>(this), out);
        if (iid == IID_IVMRMixerBitmap9)
            return GetInterface(static_cast<IVMRMixerBitmap9*>(this), out);
    } else {
        if (iid == IID_IVMRFilterConfig)
            return GetInterface(static_cast<IVMRFilterConfig*>(this), out);
        if (iid == IID_IVMRWindowlessControl)
            return GetInterface(static_cast<IVMRWindowlessControl*>(this), out);
        if (iid == IID_IVMRMixerBitmap)
            return GetInterface(static_cast<IVMRMixerBitmap*>(this), out);
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

int VideoRenderer::GetPinCount() {
    CAutoLock lock(&lock_);
    return static_cast<int>(pins_.size());
}

CBasePin* VideoRenderer::GetPin(int index) {
    CAutoLock lock(&lock_);
    return index >= 0 && index < static_cast<int>(pins_.size()) ? pins_[static_cast<size_t>(index)].get()
                                                                : nullptr;
}

void VideoRenderer::wakeAll() {
    std::lock_guard lock(mutex_);
    ++generation_;
    changed_.notify_all();
}

HRESULT VideoRenderer::Stop() {
    const HRESULT hr = CBaseFilter::Stop();
    platform::ComPtr<IMediaSample> released;
    {
        std::lock_guard lock(mutex_);
        endOfStream_ = false;
        completionSent_ = false;
        // A stopped producer's allocator wants its samples back (to be decommitted, or sized anew).
        released = copyKeptFrame();
    }
    wakeAll();
    return hr;
}

platform::ComPtr<IMediaSample> VideoRenderer::copyKeptFrame() {
    if (!current_.sample)
        return nullptr;
    const size_t bytes = static_cast<size_t>(current_.pitch) * static_cast<size_t>(current_.height);
    current_.bytes.assign(current_.rows, current_.rows + bytes);
    current_.rows = current_.bytes.data();
    return std::exchange(current_.sample, nullptr);
}

HRESULT VideoRenderer::Pause() {
    const HRESULT hr = CBaseFilter::Pause();
    wakeAll();
    return hr;
}

HRESULT VideoRenderer::Run(REFERENCE_TIME start) {
    const HRESULT hr = CBaseFilter::Run(start);
    {
        CAutoLock filter(&lock_);
        std::lock_guard lock(mutex_);
        clock_ = platform::ComPtr<IReferenceClock>(m_pClock);
        runStart_ = start;
    }
    wakeAll();
    bool complete;
    {
        std::lock_guard lock(mutex_);
        complete = endOfStream_ && !completionSent_;
        completionSent_ = completionSent_ || complete;
    }
    if (complete) // the end came while paused
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    return hr;
}

void VideoRenderer::endOfStream() {
    bool complete;
    {
        std::lock_guard lock(mutex_);
        endOfStream_ = true;
        complete = m_State == State_Running && !completionSent_;
        completionSent_ = completionSent_ || complete;
    }
    if (complete)
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

bool VideoRenderer::waitUntilDue(IMediaSample* sample) {
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = sample->GetTime(&start, &stop) == S_OK;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (m_State == State_Stopped || flushing_)
            return false;
        const int seen = generation_;
        if (m_State == State_Paused) {
            changed_.wait(lock, [&] { return generation_ != seen; });
            continue;
        }
        REFERENCE_TIME now = 0;
        if (!timed || !clock_ || FAILED(clock_->GetTime(&now)))
            return true;
        const REFERENCE_TIME due = runStart_ + start;
        if (now >= due)
            return true;
        const REFERENCE_TIME wait = std::min(due - now, kWaitSlice);
        platform::WaitUntilScaled(changed_, lock, platform::Now() + std::chrono::nanoseconds(wait * 100),
                                  [&] { return generation_ != seen; });
    }
}

HRESULT VideoRenderer::show(IMediaSample* sample) {
    const CMediaType& type = pins_[0]->CurrentMediaType();
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
    BYTE* data = nullptr;
    // A wait that a stop or a flush ended.
    const auto waitEnded = [this] { return IsStopped() ? VFW_E_WRONG_STATE : S_FALSE; };
    if (!vih || FAILED(sample->GetPointer(&data)))
        return waitUntilDue(sample) ? S_OK : waitEnded();
    const int width = vih->bmiHeader.biWidth, height = std::abs(vih->bmiHeader.biHeight);
    const long length = sample->GetActualDataLength();
    const bool uyvy = *type.Subtype() == MEDIASUBTYPE_UYVY;
    // UYVY rows come at the pitch of the producer's surface, which the sample's length tells; YUY2 rows
    // are packed.
    const int pitch = uyvy ? static_cast<int>(length / height) : 2 * width;
    if (pitch < 2 * width || static_cast<long long>(pitch) * height > length)
        return waitUntilDue(sample) ? S_OK : waitEnded(); // too short: dropped
    // The picture is converted before the wait, while the producer's rows are still in the caches (by
    // the time the frame is due they are long gone); it is shown when due unless the layout or the mixer
    // bitmap changed meanwhile, which converts it again.
    const PackedRows incoming{uyvy ? MakeFourCC('U', 'Y', 'V', 'Y') : MakeFourCC('Y', 'U', 'Y', '2'), width,
                              height, pitch, data};
    const std::optional<Layout> early = layoutFor(incoming);
    std::shared_ptr<const VideoPicture> made;
    if (early) {
        std::lock_guard lock(mutex_);
        made = render(incoming, early->source, early->shown);
    }
    if (!waitUntilDue(sample))
        return waitEnded();
    platform::ComPtr<IMediaSample> kept;
    {
        std::lock_guard lock(mutex_);
        // The sample is kept when its allocator has a buffer to spare for it (and Stop, which gives a kept
        // sample back, has not come meanwhile); else its frame is copied.
        if (pins_[0]->OwnAllocator() && m_State != State_Stopped)
            kept = platform::ComPtr<IMediaSample>(sample);
        static_cast<PackedRows&>(current_) = incoming;
        std::swap(current_.sample, kept); // the sample kept before goes back when `kept` goes
        if (!current_.sample) {
            current_.bytes.assign(data, data + static_cast<size_t>(pitch) * static_cast<size_t>(height));
            current_.rows = current_.bytes.data();
        }
        haveFrame_ = true;
    }
    present(std::move(made), early ? &*early : nullptr);
    return S_OK;
}

std::shared_ptr<VideoPicture> VideoRenderer::freePicture(int width, int height) {
    const auto unheld = [&](const std::shared_ptr<VideoPicture>& p) {
        return p->width == width && p->height == height && p.use_count() == 1;
    };
    if (const auto it = std::find_if(pictures_.begin(), pictures_.end(), unheld); it != pictures_.end()) {
        // The surface that held it last let it go with a release; what it read happens before the
        // conversion writes.
        std::atomic_thread_fence(std::memory_order_acquire);
        return *it;
    }
    std::erase_if(pictures_, [&](const std::shared_ptr<VideoPicture>& p) {
        return (p->width != width || p->height != height) && p.use_count() == 1;
    });
    const bool newSize = std::none_of(pictures_.begin(), pictures_.end(), [&](const auto& p) {
        return p->width == width && p->height == height;
    });
    // A new size gets two pictures at once: the surface keeps the one it shows while the next is made.
    pictures_.reserve(kPictures);
    for (int made = 0; made < (newSize ? 2 : 1) && pictures_.size() < kPictures; ++made) {
        auto picture = std::make_shared<VideoPicture>();
        picture->width = width;
        picture->height = height;
        picture->pixels = PictureMemory(static_cast<size_t>(width) * height);
        if (!picture->pixels)
            break;
        pictures_.push_back(std::move(picture));
    }
    const auto it = std::find_if(pictures_.begin(), pictures_.end(), unheld);
    return it != pictures_.end() ? *it : nullptr;
}

std::shared_ptr<const VideoPicture> VideoRenderer::render(const PackedRows& frame, RECT source, SIZE shown) {
    const PackedRowKernel kernel = PackedRowKernelFor(frame.fourcc);
    const int fullWidth = frame.width, fullHeight = frame.height;
    source.left = std::clamp<LONG>(source.left, 0, fullWidth);
    source.right = std::clamp<LONG>(source.right, 0, fullWidth);
    source.top = std::clamp<LONG>(source.top, 0, fullHeight);
    source.bottom = std::clamp<LONG>(source.bottom, 0, fullHeight);
    if (source.left >= source.right || source.top >= source.bottom)
        source = RECT{0, 0, fullWidth, fullHeight};
    const int sourceWidth = source.right - source.left, sourceHeight = source.bottom - source.top;
    const int width = std::clamp<int>(shown.cx, 1, sourceWidth);
    const int height = std::clamp<int>(shown.cy, 1, sourceHeight);
    std::shared_ptr<VideoPicture> picture = kernel ? freePicture(width, height) : nullptr;
    if (!picture)
        return nullptr; // every picture is still shown: this frame is not
    const bool blend = mixer_.enabled && mixer_.haveBitmap;
    if (blend && (overlayRunsAt_ != mixerChanges_ || !overlayRuns_.PreparedFor(width, height))) {
        overlayRuns_.Prepare(mixer_.overlay, width, height);
        overlayRunsAt_ = mixerChanges_;
    }
    const bool runs = blend && !overlayRuns_.Empty();
    const bool whole = width == fullWidth && height == fullHeight;
    // Otherwise each picture pixel takes the nearest source pixel: the pixel pairs of the source's columns
    // of one row are converted once, and the picture's columns picked from them.
    const int pairsFrom = source.left & ~1, pairsTo = std::min(fullWidth, (source.right + 1) & ~1);
    if (!whole) {
        if (scratch_.size() < static_cast<size_t>(fullWidth))
            scratch_.resize(static_cast<size_t>(fullWidth)); // only when the picture size grows
        if (columns_.size() < static_cast<size_t>(width))
            columns_.resize(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x)
            columns_[static_cast<size_t>(x)] =
                source.left + static_cast<int>(static_cast<long long>(x) * sourceWidth / width);
    }
    const BYTE* rows = frame.rows;
    const size_t pitch = static_cast<size_t>(frame.pitch);
    const auto sourceRowOf = [&](int y) {
        return source.top + static_cast<int>(static_cast<long long>(y) * sourceHeight / height);
    };
    // The conversion waits on the source rows far more than it computes: the rows it reads are a page or
    // more apart, and the processor fetches nothing ahead across a page. So each row is asked for two rows
    // before it is converted.
    const size_t fetchFrom = whole ? 0 : 2 * static_cast<size_t>(pairsFrom);
    const size_t fetchTo = whole ? 2 * static_cast<size_t>(width) : 2 * static_cast<size_t>(pairsTo);
    int converted = -1;
    for (int y = -kRowsAhead; y < height; ++y) {
        if (y + kRowsAhead < height) {
            const BYTE* ahead = rows + static_cast<size_t>(sourceRowOf(y + kRowsAhead)) * pitch;
            for (size_t at = fetchFrom; at < fetchTo; at += kCacheLine)
                __builtin_prefetch(ahead + at);
        }
        if (y < 0)
            continue;
        std::uint32_t* row = picture->pixels.get() + static_cast<size_t>(y) * static_cast<size_t>(width);
        const int sourceRow = sourceRowOf(y);
        const BYTE* packed = rows + static_cast<size_t>(sourceRow) * pitch;
        if (whole) {
            kernel(packed, row, width);
        } else {
            if (sourceRow != converted)
                kernel(packed + 2 * pairsFrom, scratch_.data() + pairsFrom, pairsTo - pairsFrom);
            converted = sourceRow;
            for (int x = 0; x < width; ++x)
                row[x] = scratch_[static_cast<size_t>(columns_[static_cast<size_t>(x)])];
        }
        if (runs)
            overlayRuns_.BlendRow(y, row);
    }
    return picture;
}

std::optional<VideoRenderer::Layout> VideoRenderer::layoutFor(const PackedRows& frame) {
    Layout layout;
    bool positioned;
    {
        std::lock_guard lock(mutex_);
        if (!window_)
            return std::nullopt;
        layout.window = window_;
        positioned = positionSet_;
        layout.source = positionSet_ ? source_ : RECT{0, 0, frame.width, frame.height};
        layout.destination = destination_;
        layout.border = border_;
        layout.mixer = mixerChanges_;
    }
    if (!positioned)
        GetClientRect(layout.window, &layout.destination);
    layout.shown = ShownSizeForWindow(layout.window, layout.source, layout.destination);
    return layout;
}

bool VideoRenderer::Layout::SamePicture(const Layout& other) const {
    return window == other.window && source.left == other.source.left && source.top == other.source.top &&
           source.right == other.source.right && source.bottom == other.source.bottom &&
           shown.cx == other.shown.cx && shown.cy == other.shown.cy && mixer == other.mixer;
}

void VideoRenderer::present(std::shared_ptr<const VideoPicture> made, const Layout* madeFor) {
    {
        std::lock_guard lock(mutex_);
        if (!haveFrame_)
            return;
    }
    const std::optional<Layout> layout = layoutFor(current_);
    if (!layout)
        return;
    VideoFrame frame;
    frame.destination = layout->destination;
    frame.border = layout->border;
    if (made && madeFor && madeFor->SamePicture(*layout)) {
        frame.picture = std::move(made);
    } else {
        made.reset(); // made for a layout that changed meanwhile
        std::lock_guard lock(mutex_);
        frame.picture = render(current_, layout->source, layout->shown);
    }
    if (!frame.picture)
        return;
    frame.source = RECT{0, 0, frame.picture->width, frame.picture->height};
    PresentToWindow(layout->window, frame);
}

} // namespace platform::dshow
