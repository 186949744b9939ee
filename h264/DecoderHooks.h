// Hooks for tools, tests and benchmarks: choose the kernel set at creation and read the decoder's
// diagnostics. The media pipeline and the decode filter use Decoder.h only.
#pragma once

#include "h264/Decoder.h"

#include <cstdint>

// Creates a decoder as if the processor probe had answered `featureLevel` (below 2: null; 2 and 3: the
// portable kernels; 4 and above: SSE2 on x86-64). H264DecoderCreate passes the measured level; a level above
// the measured one is lowered to it, so the hook can force the portable set but never an unsupported one.
H264DecoderContext* H264DecoderCreateAtLevel(const H264DecoderConfig* config, unsigned featureLevel);

// Counters since creation; the decoder owns the record, valid while the handle lives.
struct H264DecoderDiagnostics {
    int32_t lastNalResult = 0;    // result of the last complete NAL unit (positive, or an H264ERR_* code)
    uint32_t nalUnits = 0;        // complete, non-empty units handed to the NAL layer
    uint32_t emptyUnits = 0;      // units that held only zero bytes
    uint32_t droppedUnits = 0;    // units longer than the NAL buffer
    uint32_t nalErrors = 0;       // units refused by the NAL layer (headers, parameter sets, unit types)
    uint32_t sliceDataErrors = 0; // slices whose macroblock data failed (0x40000000 + n)
    uint32_t pictures = 0;        // pictures started
    uint32_t incompletePictures = 0;
    uint32_t forcedEvictions = 0; // stores into a full buffer that freed a reference frame
    uint32_t queueOverflows = 0;  // pictures not queued because 63 were waiting
    uint32_t gapFrames = 0;       // frames made up for frame_num gaps
    int32_t kernelLevel = 0;      // 2 portable, 4 SSE2
};

const H264DecoderDiagnostics* H264DecoderGetDiagnostics(const H264DecoderContext* decoder);
