// Decodes whole streams for the tests and keeps every picture handed out.
#pragma once

#include "h264/Decoder.h"
#include "h264/DecoderHooks.h"
#include "tests/support/ReadFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace h264test {

struct Frame {
    int width = 0, height = 0, poc = 0, kind = 0, idr = 0, incomplete = 0;
    int crop[4] = {}; // left, right, top, bottom as coded
    std::vector<uint8_t> y, cb, cr;
};

struct Decoded {
    std::vector<Frame> frames;
    H264DecoderDiagnostics diagnostics;
};

H264DecoderConfig smallConfig(int32_t dpbFrames = 16, int32_t flags = 0);

// Feeds `chunk` bytes per call (0: the whole stream), drains after each, then flushes.
Decoded decodeStream(const std::vector<uint8_t>& stream, const H264DecoderConfig& config, unsigned level = 2,
                     size_t chunk = 0);

std::string
md5Hex(const std::vector<Frame>& frames); // of the cropped-free planes, as h264dec --md5 without crop

using ::readFile;

} // namespace h264test
