// The decode filter's decoder object fed a stream cut into access units, as a demultiplexer hands them on:
// whatever the pictures' kinds and sizes, the output format, the pitch the probe answers and the size of the
// sample, nothing may be written past a buffer. The first two bytes choose the format, pitch and capacity.
#include "decodefilter/Tessane.h"

#include "platform/ddraw/DirectDraw.h"

#include <cstdint>
#include <vector>

namespace {

// Where a new input begins: before the start code of a delimiter, SEI or parameter set, or of a picture's
// first slice, once the input holds a slice.
std::vector<size_t> unitStarts(const uint8_t* data, size_t size) {
    std::vector<size_t> starts{0};
    bool slice = false;
    for (size_t i = 0; i + 4 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        const uint8_t type = data[i + 3] & 0x1F;
        const bool isSlice = type == 1 || type == 5;
        if (slice && ((isSlice && (data[i + 4] & 0x80)) || (type >= 6 && type <= 9))) {
            starts.push_back(i);
            slice = false;
        }
        slice |= isSlice;
    }
    starts.push_back(size);
    return starts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    static const DWORD kPitches[] = {0, 1472, 20000, 10240};
    platform::ddraw::SetProbeHook({0, kPitches[(data[0] >> 1) & 3]});
    const int32_t format = data[0] & 1;
    const size_t capacity = 1 + static_cast<size_t>(data[1]) * 23 * 1024;
    data += 2;
    size -= 2;
    Tessane decoder;
    decoder.SetOutputFormat(&format);
    std::vector<BYTE> sample(capacity);
    const std::vector<size_t> starts = unitStarts(data, size);
    for (size_t k = 0; k + 1 < starts.size(); ++k) {
        LONG written = 0;
        decoder.Decode(data + starts[k], sample.data(), static_cast<LONG>(starts[k + 1] - starts[k]),
                       static_cast<LONG>(capacity), &written);
        if (written < 0 || static_cast<size_t>(written) > capacity)
            __builtin_trap();
    }
    return 0;
}
