// KQ_AV_VideoDecode: the live video thread. It takes access units (MediaUnit) from the live context's video
// input ring while the audio thread reports audio running, decodes them, joins field pairs with the
// deinterlacer, packs each frame as UYVY rows at the surface pitch or as YUY2 rows of twice the width (as the
// pin's accepted connection asks) straight into the pin's delivery buffer, and delivers it on the "Video
// Out" pin with a duration that keeps it in step with the audio clock.
//
// Ownership and threads: the live context creates the object, calls Start and later Stop (after the graph
// was stopped, so no delivery waits in the renderer); the ring, filter and context are borrowed and outlive
// the thread. The thread is the only reader of the video ring and the only user of the decoder and the
// deinterlacer. With nothing to do it waits on the live context (for a unit while audio runs, or the stop).
#pragma once

#include "h264/Decoder.h"
#include "media/VideoPacer.h"
#include "media/VideoPacking.h"
#include "platform/win32/Types.h"

#include <atomic>
#include <memory>

class KQ_AV_LiveContext;
class KQ_AV_RingBuffer;
class KQ_AV_SourceFilter;
struct DeinterlaceState;

class KQ_AV_VideoDecode {
public:
    // More delivery buffers refused in a row than this make the stall message go to the main window.
    static constexpr int kStallFailures = 200;
    static constexpr DWORD kRetryMs = 10;

    KQ_AV_VideoDecode(KQ_AV_RingBuffer* ring, KQ_AV_SourceFilter* filter, KQ_AV_LiveContext* live);
    ~KQ_AV_VideoDecode(); // the thread must have been stopped
    KQ_AV_VideoDecode(const KQ_AV_VideoDecode&) = delete;
    KQ_AV_VideoDecode& operator=(const KQ_AV_VideoDecode&) = delete;

    bool Start();
    // Clears the run flag, sets the stop flag and waits for the thread to end.
    void Stop();

    // Decodes one MediaUnit and delivers every frame that comes out; whether a frame was delivered.
    bool Decode(const BYTE* unit, DWORD length, int durationMs);

private:
    enum class Layout { None, Frame, Fields };

    static DWORD ThreadProc(LPVOID self);
    void Run();
    void pass(VideoPacer& pacer);
    bool handlePicture(int durationMs);
    // Buffers (and the deinterlacer) for pictures of this size and layout; false when they cannot be had.
    bool setUp(Layout layout, int width, int height);
    void release();
    // Bytes from one packed row to the next: the pitch for UYVY, twice the width for YUY2.
    DWORD rowBytes() const;
    // Packs the picture's rows straight into the pin's delivery buffer and delivers it; false when the run
    // flag cleared while waiting for the buffer.
    bool Deliver(const PlanarPicture& picture, int width, int rows, int durationMs);

    KQ_AV_RingBuffer* ring_;
    KQ_AV_SourceFilter* filter_;
    KQ_AV_LiveContext* live_;
    const PackKernels& kernels_;
    DWORD pitch_;

    H264DecoderContext* decoder_ = nullptr;
    DecodedPicture picture_{};
    std::unique_ptr<BYTE[]> input_;

    Layout layout_ = Layout::None;
    int width_ = 0;
    int height_ = 0;                // of the decoded picture (a field for Layout::Fields)
    std::unique_ptr<BYTE[]> frame_; // the deinterlaced frame of a field pair
    DeinterlaceState* deinterlacer_ = nullptr;
    int firstFieldMs_ = 0; // the duration of the unit that brought the pending first field out
    int failures_ = 0;

    std::atomic<bool> run_{true};
    std::atomic<bool> stop_{false};
    HANDLE exitEvent_ = nullptr;
    HANDLE thread_ = nullptr;
};
