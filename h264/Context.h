// The decoder context: every piece of decoder state, owned by the handle. Blocks that hold samples are
// separate aligned allocations made at creation; everything else lives in the context itself.
#pragma once

#include "h264/BitReader.h"
#include "h264/Decoder.h"
#include "h264/DecoderHooks.h"
#include "h264/Dpb.h"
#include "h264/Macroblock.h"
#include "h264/ParameterSets.h"
#include "h264/SliceHeader.h"
#include "h264/kernels/KernelTable.h"

#include <cstdint>

namespace h264 {

// Annex B input scanner.
struct Scanner {
    const uint8_t* input = nullptr;
    uint32_t length = 0;
    uint32_t position = 0;
    uint32_t shift = 0x1010100; // the last bytes seen; only the low 24 bits matter
    uint32_t startCodes = 0;
    bool flushed = false;
};

enum ParameterSetState : uint32_t { PS_NONE = 0, PS_SPS = 1, PS_PPS = 2, PS_DECODING = 3 };

} // namespace h264

struct H264DecoderContext {
    // Limits as read from the configuration.
    uint32_t maxWidthInMbs = 45;
    uint32_t maxHeightInMbs = 36;
    uint32_t dpbFrames = 4;
    bool zeroCopy = false;

    // Frame buffers: Y, then Cb, then Cr, buffer after buffer, in one block. A buffer is filled (luma 0,
    // chroma 128) when it is first taken, so a stream that needs few buffers never touches the others.
    uint8_t* framePool = nullptr;
    bool bufferFilled[h264::kMaxFrameBuffers] = {};
    uint32_t numFrameBuffers = 0; // 2 x dpbFrames + 4; also the consumed mark of the output queue
    uint8_t* planeY[h264::kMaxFrameBuffers] = {};
    uint8_t* planeCb[h264::kMaxFrameBuffers] = {};
    uint8_t* planeCr[h264::kMaxFrameBuffers] = {};
    uint8_t* outputPlanes = nullptr; // null with zero-copy or in-place output
    uint32_t lumaStride = 0;

    h264::H264BitReader reader;
    h264::Scanner scanner;
    int32_t userValue1 = 0, userValue2 = 0;
    h264::OutputQueue outputQueue;

    // Parameter sets.
    h264::Sps spsTable[32];
    h264::Pps ppsTable[256];
    h264::Sps activeSps;
    h264::Pps activePps;
    uint32_t activeSpsId = 32;
    uint32_t activePpsId = 256;
    uint32_t psState = h264::PS_NONE;
    uint32_t nalRefIdc = 0;
    uint32_t fieldPairFlag = 0;
    UserDataRecord userData;

    // Slices and pictures.
    h264::SliceHeader slice;
    h264::PrevSliceValues prev;
    h264::Picture pictures[h264::kMaxFrameBuffers];
    h264::Picture* current = nullptr; // the picture under construction
    uint32_t mbsDecoded = 0;
    h264::Dpb dpb;
    h264::Picture* refList0[h264::kMaxRefIdx] = {};
    uint32_t refList0Size = 0;

    // Macroblock layer; the current macroblock is a separate aligned block.
    h264::MacroblockLayer mb;
    h264::CurrentMacroblock* cur = nullptr;

    h264::H264KernelTable kernels{};
    const h264::PictureMcKernels* pictureMc = nullptr; // of the same set as the table
    H264DecoderDiagnostics diagnostics;
};

namespace h264 {

// The initial state of a new context; the context must already hold its buffers.
void InitDecoderDefaults(H264DecoderContext& ctx);

// Fills frame buffer `index` as a new decoder's buffers read (luma 0, chroma 128) unless it has been taken
// before; called whenever a buffer is taken for a picture.
void PrepareFrameBuffer(H264DecoderContext& ctx, uint32_t index);

// Handles one complete unit in the NAL buffer.
int32_t DecodeNalUnit(H264DecoderContext& ctx);

} // namespace h264
