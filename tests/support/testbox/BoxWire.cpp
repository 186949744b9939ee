#include "tests/support/testbox/BoxWire.h"

#include <algorithm>
#include <cstring>

namespace testbox {

std::uint32_t Get32(const std::uint8_t* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Checksum(const std::uint8_t* frame) {
    std::uint64_t sum = 0;
    for (int word = 0; word < 92; ++word)
        sum += frame[2 * word] + 256u * frame[2 * word + 1];
    const std::uint32_t s = static_cast<std::uint32_t>(sum);
    const std::uint32_t t = (s >> 16) + (s & 0xFFFF);
    const std::uint32_t u = (t >> 16) + t;
    return static_cast<std::uint16_t>(~u & 0xFFFF);
}

void Reseal(Frame& frame) {
    Put32(frame.data() + 184, 0);
    Put32(frame.data() + 184, Checksum(frame.data()));
}

Frame MakeFrame(std::uint32_t sequence, std::uint32_t command, std::uint32_t value, std::uint32_t value2,
                std::uint32_t value3) {
    Frame f{};
    Put32(f.data(), 12);
    Put32(f.data() + 4, sequence);
    Put32(f.data() + 8, command);
    Put32(f.data() + 12, value);
    Put32(f.data() + 176, value2);
    Put32(f.data() + 180, value3);
    Reseal(f);
    return f;
}

Bytes IrBlock(std::size_t length) {
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    if (length)
        b[0] = 10;
    return b;
}

Bytes FileList(const std::vector<FileRecord>& records, std::int64_t count) {
    Bytes b(5 + 37 * records.size());
    b[0] = 11;
    Put32(b.data() + 1,
          count < 0 ? static_cast<std::uint32_t>(records.size()) : static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::uint8_t* r = b.data() + 5 + 37 * i;
        std::memcpy(r, records[i].name.data(), std::min<std::size_t>(records[i].name.size(), 32));
        r[32] = static_cast<std::uint8_t>(records[i].value);
        r[33] = static_cast<std::uint8_t>(records[i].value >> 8);
        r[34] = static_cast<std::uint8_t>(records[i].pieces);
        r[35] = static_cast<std::uint8_t>(records[i].pieces >> 8);
        r[36] = records[i].flag;
    }
    return b;
}

Bytes BoxInfo() {
    Bytes b(1002);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 13 + 1);
    b[0] = 13;
    return b;
}

Bytes ChannelTable(const std::vector<ChannelEntry>& entries) {
    Bytes b(2 + 8 * entries.size());
    b[0] = 0xAA;
    b[1] = static_cast<std::uint8_t>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Put32(b.data() + 2 + 8 * i, entries[i].number);
        Put32(b.data() + 6 + 8 * i, entries[i].frequency);
    }
    return b;
}

std::vector<Bytes> ScanAnswers(const Frame& request, const std::vector<ChannelEntry>& found) {
    const std::uint32_t sequence = Get32(request.data() + 4);
    std::vector<Bytes> answers;
    const auto add = [&](std::uint32_t value, std::uint32_t value2) {
        const Frame f = MakeFrame(sequence, kStartScan, value, value2);
        answers.emplace_back(f.begin(), f.end());
    };
    for (const ChannelEntry& e : found)
        add(e.number, e.frequency);
    add(201, 0);
    return answers;
}

Bytes TaskNotice(std::uint8_t fill) {
    Bytes b(128, 0);
    b[0] = 0xEB;
    for (int i = 1; i <= 79; ++i)
        b[i] = static_cast<std::uint8_t>(fill + i);
    return b;
}

} // namespace testbox
