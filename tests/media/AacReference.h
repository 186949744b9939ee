// Test support: ADTS frames of a file, and FAAD2's own decode of them, against which the PCM the live audio
// thread delivers is compared.
#pragma once

#include "platform/win32/Types.h"

#include <neaacdec.h>

#include <cstdint>
#include <vector>

namespace aacref {

using Bytes = std::vector<uint8_t>;

inline std::vector<Bytes> adtsFrames(const Bytes& stream) {
    std::vector<Bytes> frames;
    size_t at = 0;
    while (at + 7 <= stream.size() && stream[at] == 0xFF && (stream[at + 1] & 0xF6) == 0xF0) {
        const size_t length = (stream[at + 3] & 3u) << 11 | stream[at + 4] << 3 | stream[at + 5] >> 5;
        if (length < 7 || at + length > stream.size())
            break;
        frames.emplace_back(stream.begin() + static_cast<long>(at),
                            stream.begin() + static_cast<long>(at + length));
        at += length;
    }
    return frames;
}

// The 16-bit PCM of each frame, decoded one frame per call after opening on the first (FAAD2's first
// decode gives no samples).
inline std::vector<Bytes> decode(const std::vector<Bytes>& frames) {
    std::vector<Bytes> pcm;
    NeAACDecHandle decoder = NeAACDecOpen();
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder);
    config->defObjectType = LC;
    config->outputFormat = FAAD_FMT_16BIT;
    NeAACDecSetConfiguration(decoder, config);
    Bytes first = frames.at(0);
    unsigned long rate = 0;
    unsigned char channels = 0;
    if (NeAACDecInit(decoder, first.data(), static_cast<unsigned long>(first.size()), &rate, &channels) >=
        0) {
        for (Bytes frame : frames) {
            NeAACDecFrameInfo info{};
            const auto* samples = static_cast<const uint8_t*>(
                NeAACDecDecode(decoder, &info, frame.data(), static_cast<unsigned long>(frame.size())));
            if (samples && info.error == 0 && info.samples > 0)
                pcm.emplace_back(samples, samples + info.samples * 2);
        }
    }
    NeAACDecClose(decoder);
    return pcm;
}

} // namespace aacref
