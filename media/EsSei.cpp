#include "media/EsH264.h"

#include <algorithm>

namespace {

bool isStrippedPayload(uint64_t type) {
    return type == 3 || type == 10 || type == 11 || type == 12;
}

// A payload type or size: a run of 0xFF bytes (255 each) and a final byte.
bool readSeiNumber(const std::vector<uint8_t>& rbsp, size_t& position, uint64_t& value) {
    value = 0;
    while (position < rbsp.size() && rbsp[position] == 0xFF) {
        value += 255;
        ++position;
    }
    if (position >= rbsp.size())
        return false;
    value += rbsp[position++];
    return true;
}

bool onlyTrailingBits(const uint8_t* bytes, size_t length) {
    return length == 0 ||
           (bytes[0] == 0x80 && std::all_of(bytes + 1, bytes + length, [](uint8_t b) { return b == 0; }));
}

// Puts emulation prevention back: a 03 before any byte of 0 to 3 that follows two zero bytes, and
// behind a final zero byte.
void appendEscaped(std::vector<uint8_t>& out, const std::vector<uint8_t>& rbsp) {
    int zeros = 0;
    for (uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    if (!rbsp.empty() && rbsp.back() == 0)
        out.push_back(3);
}

} // namespace

// Payload sizes count the bytes without emulation prevention, so the messages are cut on the
// converted payload and the unit is escaped again when anything was removed.
bool EsStripSeiMessages(EsNalReader& reader, uint32_t startCodeLength) {
    std::vector<uint8_t>& unit = reader.Unit();
    const size_t body = size_t{startCodeLength} + 1;
    if (unit.size() <= body)
        return false;
    std::vector<uint8_t> rbsp(unit.size() - body);
    rbsp.resize(EsRemoveEmulationBytes(unit.data() + body, rbsp.size(), rbsp.data()));

    std::vector<uint8_t> kept;
    size_t keptMessages = 0;
    bool stripped = false;
    size_t position = 0;
    while (rbsp.size() - position >= 3 && rbsp[position] != 0x80) {
        const size_t start = position;
        uint64_t type = 0;
        uint64_t size = 0;
        if (!readSeiNumber(rbsp, position, type) || !readSeiNumber(rbsp, position, size) ||
            size > rbsp.size() - position)
            return false; // a message runs past the end of the unit
        position += size;
        if (isStrippedPayload(type)) {
            stripped = true;
        } else {
            kept.insert(kept.end(), rbsp.begin() + start, rbsp.begin() + position);
            ++keptMessages;
        }
    }
    if (!stripped)
        return true;
    const bool keep = keptMessages > 0 || !onlyTrailingBits(rbsp.data() + position, rbsp.size() - position);
    kept.insert(kept.end(), rbsp.begin() + position, rbsp.end());
    unit.resize(body);
    appendEscaped(unit, kept);
    return keep;
}
