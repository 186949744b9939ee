#include "media/VideoDecode.h"

#include "h264/deinterlace/Deinterlace.h"
#include "media/AvRingBuffer.h"
#include "media/LiveContext.h"
#include "media/PlayerMessages.h"
#include "media/SourceFilter.h"

#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Sync.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The largest picture the box sends (720 x 576), with room for 16 reference frames. Pictures come out in
// decoding order straight from the decoder's frame buffers: each is packed or taken by the deinterlacer
// before the next decode call may reuse its buffer.
constexpr H264DecoderConfig kDecoderConfig{0, 0, 45, 36, 16, H264_FLAG_IN_PLACE_OUTPUT, 0};

DWORD readLe32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

} // namespace

KQ_AV_VideoDecode::KQ_AV_VideoDecode(KQ_AV_RingBuffer* ring, KQ_AV_SourceFilter* filter,
                                     KQ_AV_LiveContext* live)
    : ring_(ring), filter_(filter), live_(live), kernels_(SelectedPackKernels()), pitch_(live->Pitch()),
      input_(new (std::nothrow) BYTE[KQ_AV_LiveContext::kLargestVideoUnit]) {
    decoder_ = H264DecoderCreate(&kDecoderConfig);
}

KQ_AV_VideoDecode::~KQ_AV_VideoDecode() {
    Stop();
    H264DecoderDestroy(decoder_);
    release();
}

bool KQ_AV_VideoDecode::Start() {
    if (thread_ || !input_)
        return false;
    exitEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!exitEvent_)
        return false;
    run_ = true;
    stop_ = false;
    thread_ = CreateThread(nullptr, 0, &KQ_AV_VideoDecode::ThreadProc, this, 0, nullptr);
    if (!thread_) {
        CloseHandle(exitEvent_);
        exitEvent_ = nullptr;
        return false;
    }
    return true;
}

void KQ_AV_VideoDecode::Stop() {
    if (!thread_)
        return;
    run_ = false;
    stop_ = true;
    live_->WakeDecodeThreads();
    WaitForSingleObject(exitEvent_, INFINITE);
    CloseHandle(exitEvent_);
    CloseHandle(thread_);
    exitEvent_ = nullptr;
    thread_ = nullptr;
}

DWORD KQ_AV_VideoDecode::ThreadProc(LPVOID self) {
    static_cast<KQ_AV_VideoDecode*>(self)->Run();
    return 0;
}

void KQ_AV_VideoDecode::Run() {
    SetThreadDescription(GetCurrentThread(), L"video decode");
    VideoPacer pacer;
    while (!stop_) {
        if (!ring_ || ring_->UsedBytes() == 0)
            pacer.Forget(); // the next unit comes after the ring ran empty
        // Video waits while the sound does, and for a unit.
        if (!live_->WaitForVideoUnit(run_))
            break;
        pass(pacer);
    }
    stop_ = true;
    SetEvent(exitEvent_);
}

void KQ_AV_VideoDecode::pass(VideoPacer& pacer) {
    DWORD length = 0;
    const DWORD result = ring_->Read(input_.get(), KQ_AV_LiveContext::kLargestVideoUnit, &length);
    if (result == AV_RING_OK || result == AV_RING_TOO_LARGE)
        live_->UnitTaken();
    if (result != AV_RING_OK || length < 4)
        return; // flushed meanwhile, or a record that is no unit: dropped
    Decode(input_.get(), length, pacer.Next(readLe32(input_.get()), live_->AudioClock()));
}

bool KQ_AV_VideoDecode::Decode(const BYTE* unit, DWORD length, int durationMs) {
    if (!decoder_ || length <= 4)
        return false;
    bool delivered = false;
    int32_t result =
        H264DecoderDecode(decoder_, unit + 4, length - 4, 0, 0, &picture_, DECODE_FLAG_END_OF_UNIT);
    while (result == DECODE_OK) {
        delivered |= handlePicture(durationMs);
        result = H264DecoderDecode(decoder_, nullptr, 0, 0, 0, &picture_, 0);
    }
    return delivered;
}

bool KQ_AV_VideoDecode::handlePicture(int durationMs) {
    const DecodedPicture& p = picture_;
    if (p.width <= 0 || p.height <= 0 || p.width % 2 != 0 || !p.lumaPlane || !p.cbPlane || !p.crPlane)
        return false;
    const bool fields = p.kind == PICTURE_KIND_FIELD_1 || p.kind == PICTURE_KIND_FIELD_2;
    if (!setUp(fields ? Layout::Fields : Layout::Frame, p.width, p.height))
        return false;
    if (!fields)
        return Deliver({p.lumaPlane, p.cbPlane, p.crPlane, p.lumaStride, p.chromaStride}, p.width, p.height,
                       durationMs);

    const size_t lumaSize = static_cast<size_t>(width_) * 2 * height_;
    BYTE* y = frame_.get();
    BYTE* u = y + lumaSize;
    BYTE* v = u + lumaSize / 4;
    if (VD_Deinterlace(deinterlacer_, y, u, v, p.lumaPlane, p.cbPlane, p.crPlane, p.kind) != DEINTERLACE_OK)
        return false;
    if (p.kind == PICTURE_KIND_FIELD_1) {
        firstFieldMs_ = durationMs; // the first field of a pair is only stored
        return false;
    }
    // The frame shows both fields: it lasts as long as the units of both.
    const int frameMs = firstFieldMs_ + durationMs;
    firstFieldMs_ = 0;
    return Deliver({y, u, v, width_, width_ / 2}, width_, 2 * height_, frameMs);
}

DWORD KQ_AV_VideoDecode::rowBytes() const {
    const DWORD packed = 2 * static_cast<DWORD>(width_);
    if (filter_->VideoSubtypeCode() != VIDEO_SUBTYPE_UYVY)
        return packed; // YUY2 rows are packed without the pitch
    return std::max(pitch_, packed);
}

bool KQ_AV_VideoDecode::setUp(Layout layout, int width, int height) {
    if (layout == layout_ && width == width_ && height == height_)
        return layout == Layout::Frame || deinterlacer_;
    release();
    layout_ = layout;
    width_ = width;
    height_ = height;
    if (layout == Layout::Frame)
        return true; // packed straight from the decoder's picture
    const size_t rows = 2 * static_cast<size_t>(height);
    frame_.reset(new (std::nothrow) BYTE[static_cast<size_t>(width) * rows * 3 / 2]);
    if (!frame_)
        return false;
    return VD_InitDeinterlace(&deinterlacer_, width, height, picture_.lumaStride, picture_.chromaStride,
                              width, width / 2) == DEINTERLACE_OK;
}

void KQ_AV_VideoDecode::release() {
    if (deinterlacer_)
        VD_ReleaseDeinterlace(deinterlacer_);
    deinterlacer_ = nullptr;
    frame_.reset();
}

bool KQ_AV_VideoDecode::Deliver(const PlanarPicture& picture, int width, int rows, int durationMs) {
    BYTE* data = nullptr;
    LONG size = 0;
    while (FAILED(filter_->GetVideoBuffer(&data, &size))) {
        if (++failures_ > kStallFailures) {
            PostMessage(live_->MainWindow(), WM_AV_VIDEO_STALLED, 0, 0);
            failures_ = 0;
        }
        if (!run_)
            return false;
        Sleep(kRetryMs);
    }
    failures_ = 0;
    // The pin's sample holds the negotiated picture; a larger decoded picture is cut to it.
    const DWORD stride = rowBytes();
    const int fit =
        static_cast<int>(std::min<DWORD>(static_cast<DWORD>(rows), static_cast<DWORD>(size) / stride));
    const PackKernel kernel =
        filter_->VideoSubtypeCode() == VIDEO_SUBTYPE_UYVY ? kernels_.uyvy : kernels_.yuy2;
    kernel(picture, data, width, fit, static_cast<int>(stride));
    return SUCCEEDED(filter_->DeliverVideo(durationMs, static_cast<LONG>(static_cast<DWORD>(fit) * stride)));
}
