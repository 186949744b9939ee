// Test support: what a player must show of an H.264 stream, made without our decoder: ffmpeg's decode of
// the file (planar 4:2:0 pictures), each field pair joined by a fresh deinterlacer of ours, and the rows
// packed by the live path's portable kernels (UYVY at a pitch, YUY2 packed). Also streams made at test
// time with x264, marked as field pairs the way the box marks them. Users link h264_deinterlace and media.
#pragma once

#include "h264/deinterlace/Deinterlace.h"
#include "media/VideoPacking.h"
#include "tests/support/ReadFile.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace picref {

using ::readFile;

using Bytes = std::vector<uint8_t>;

inline bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// The pictures ffmpeg decodes from `input` (any file it reads), each `width` x `height` as planar 4:2:0 (Y,
// then U, then V); `raw` is the work file. Empty when ffmpeg fails.
inline std::vector<Bytes> ffmpegPictures(const std::string& input, const std::string& raw, int width,
                                         int height) {
    if (!run("ffmpeg -v error -y -i '" + input + "' -f rawvideo -pix_fmt yuv420p '" + raw + "'"))
        return {};
    const Bytes all = readFile(raw);
    const size_t size = static_cast<size_t>(width) * height * 3 / 2;
    std::vector<Bytes> pictures;
    for (size_t at = 0; at + size <= all.size(); at += size)
        pictures.emplace_back(all.begin() + static_cast<long>(at),
                              all.begin() + static_cast<long>(at + size));
    return pictures;
}

// Field pictures (width x fieldHeight) two by two joined into frames of twice the height.
inline std::vector<Bytes> joinFieldPairs(const std::vector<Bytes>& fields, int width, int fieldHeight) {
    DeinterlaceState* deinterlacer = nullptr;
    if (VD_InitDeinterlace(&deinterlacer, width, fieldHeight, width, width / 2, width, width / 2) != 0)
        return {};
    const size_t lumaField = static_cast<size_t>(width) * fieldHeight;
    std::vector<Bytes> frames;
    for (size_t pair = 0; pair + 1 < fields.size(); pair += 2) {
        Bytes frame(4 * lumaField * 3 / 2);
        BYTE* y = frame.data();
        BYTE* u = y + 2 * lumaField;
        BYTE* v = u + lumaField / 2;
        for (int kind : {1, 2}) {
            const BYTE* field = fields[pair + static_cast<size_t>(kind - 1)].data();
            const BYTE* fu = field + lumaField;
            VD_Deinterlace(deinterlacer, y, u, v, field, fu, fu + lumaField / 4, kind);
        }
        frames.push_back(std::move(frame));
    }
    VD_ReleaseDeinterlace(deinterlacer);
    return frames;
}

// A planar picture as the live path packs it: UYVY rows `pitch` bytes apart (the padding zero), or
// YUY2 rows of 2 x width.
inline Bytes pack(const Bytes& planar, int width, int lines, bool uyvy, int pitch) {
    const int rowBytes = uyvy ? pitch : 2 * width;
    Bytes out(static_cast<size_t>(rowBytes) * lines);
    const BYTE* y = planar.data();
    const BYTE* u = y + static_cast<size_t>(width) * lines;
    const BYTE* v = u + static_cast<size_t>(width) * lines / 4;
    const PackKernels& kernels = PortablePackKernels();
    (uyvy ? kernels.uyvy : kernels.yuy2)({y, u, v, width, width / 2}, out.data(), width, lines, rowBytes);
    return out;
}

// The private SEI by which the box tells that its pictures are field pairs (1) or frames (0).
inline Bytes fieldPairSei(bool fields) {
    return {0, 0, 0, 1, 0x06, 0xE0, 0x01, static_cast<uint8_t>(fields ? 1 : 0), 0x80};
}

// `pictures` pictures of a moving test pattern, width x height, as x264 baseline (an IDR every 32, no
// scene cut) with the field-pair SEI in front; written to `path`. Empty when ffmpeg or x264 fails.
inline Bytes makeStream(const std::string& path, int width, int height, int pictures, bool fields) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string encoded = path + ".x264";
    if (!run("ffmpeg -v error -f lavfi -i testsrc2=size=" + size + ":rate=50 -frames:v " +
             std::to_string(pictures) + " -pix_fmt yuv420p -f yuv4mpegpipe - 2>/dev/null | x264 --quiet " +
             "--no-progress --threads 1 --demuxer y4m --profile baseline --keyint 32 --min-keyint 32 " +
             "--scenecut 0 -o '" + encoded + "' - 2>/dev/null"))
        return {};
    Bytes stream = fieldPairSei(fields);
    const Bytes coded = readFile(encoded);
    stream.insert(stream.end(), coded.begin(), coded.end());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    return coded.empty() ? Bytes{} : stream;
}

// The inputs a demultiplexer hands the decode filter: one picture each, behind the NAL units (SEIs,
// parameter sets, delimiters) that come before it; filler data stays with its picture. Start codes are kept.
inline std::vector<Bytes> accessUnits(const Bytes& stream) {
    std::vector<size_t> starts; // each 00 00 01, with a zero before it taken in
    for (size_t i = 0; i + 3 < stream.size(); ++i)
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1)
            starts.push_back(i > 0 && stream[i - 1] == 0 ? i - 1 : i);
    std::vector<Bytes> units;
    bool unitHasSlice = false;
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t header = starts[k] + (stream[starts[k] + 2] == 0 ? 4 : 3);
        const uint8_t type = stream[header] & 0x1F;
        const bool slice = type == 1 || type == 5;
        const bool firstSlice = slice && (stream[header + 1] & 0x80); // first_mb_in_slice 0
        if (units.empty() || (unitHasSlice && (firstSlice || (type >= 6 && type <= 9)))) {
            units.emplace_back();
            unitHasSlice = false;
        }
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : stream.size();
        units.back().insert(units.back().end(), stream.begin() + static_cast<long>(starts[k]),
                            stream.begin() + static_cast<long>(end));
        unitHasSlice |= slice;
    }
    return units;
}

} // namespace picref
