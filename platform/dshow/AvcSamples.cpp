#include "platform/dshow/AvcSamples.h"

namespace platform::dshow {
namespace {

constexpr std::uint8_t kStartCode[4] = {0, 0, 0, 1};

void appendUnit(std::span<const std::uint8_t> unit, std::vector<std::uint8_t>* out) {
    out->insert(out->end(), kStartCode, kStartCode + 4);
    out->insert(out->end(), unit.begin(), unit.end());
}

} // namespace

bool ParseAvcConfig(std::span<const std::uint8_t> r, AvcConfig* config) {
    if (r.size() < 7 || r[0] != 1)
        return false;
    AvcConfig parsed;
    parsed.lengthSize = (r[4] & 3) + 1;
    size_t at = 5;
    for (int kind = 0; kind < 2; ++kind) { // the sequence parameter sets, then the picture ones
        if (at >= r.size())
            return false;
        const int count = kind == 0 ? (r[at] & 0x1F) : r[at];
        ++at;
        for (int i = 0; i < count; ++i) {
            if (at + 2 > r.size())
                return false;
            const size_t length = static_cast<size_t>(r[at] << 8 | r[at + 1]);
            at += 2;
            if (length > r.size() - at)
                return false;
            appendUnit(r.subspan(at, length), &parsed.parameterSets);
            at += length;
        }
    }
    *config = std::move(parsed);
    return true;
}

bool AppendAnnexB(std::span<const std::uint8_t> sample, int lengthSize, std::vector<std::uint8_t>* out) {
    if (lengthSize < 1 || lengthSize > 4)
        return false;
    const size_t n = static_cast<size_t>(lengthSize);
    size_t at = 0;
    while (at < sample.size()) {
        if (n > sample.size() - at)
            return false;
        size_t length = 0;
        for (size_t i = 0; i < n; ++i)
            length = length << 8 | sample[at + i];
        at += n;
        if (length > sample.size() - at)
            return false;
        appendUnit(sample.subspan(at, length), out);
        at += length;
    }
    return true;
}

} // namespace platform::dshow
