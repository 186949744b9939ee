#include "media/AvRingBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kCapacity = 64;

std::vector<BYTE> pattern(DWORD length, BYTE seed) {
    std::vector<BYTE> bytes(length);
    for (DWORD i = 0; i < length; ++i)
        bytes[i] = static_cast<BYTE>(seed + i * 7);
    return bytes;
}

// Moves both positions of an empty ring to offset by writing and reading filler records.
void moveTo(KQ_AV_RingBuffer& ring, DWORD& position, DWORD offset) {
    std::vector<BYTE> scratch(ring.Capacity());
    while (position != offset) {
        const DWORD delta = (offset + ring.Capacity() - position) % ring.Capacity();
        const DWORD step = delta >= 8 ? std::min(delta, ring.Capacity() - 8) : ring.Capacity() - 4;
        DWORD length = 0;
        ASSERT_EQ(ring.Write(scratch.data(), step - 4), AV_RING_OK);
        ASSERT_EQ(ring.Read(scratch.data(), ring.Capacity(), &length), AV_RING_OK);
        position = (position + step) % ring.Capacity();
    }
}

// Writes and reads records of every small length, checking each; shows that positions are still sound.
void exerciseAfter(KQ_AV_RingBuffer& ring) {
    for (DWORD length = 1; length <= 40; ++length) {
        const std::vector<BYTE> data = pattern(length, static_cast<BYTE>(length));
        ASSERT_EQ(ring.Write(data.data(), length), AV_RING_OK) << length;
        std::vector<BYTE> out(length);
        DWORD got = 0;
        ASSERT_EQ(ring.Read(out.data(), length, &got), AV_RING_OK) << length;
        ASSERT_EQ(got, length);
        ASSERT_EQ(out, data) << length;
    }
    EXPECT_EQ(ring.UsedBytes(), 0u);
}

struct WriteCase {
    const char* name;
    DWORD at;     // both positions before the write
    DWORD length; // data bytes written
    DWORD result;
    DWORD recordSize; // bytes the record takes
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class RingEdges : public testing::TestWithParam<WriteCase> {};

TEST_P(RingEdges, WritesAndReadsBack) {
    const WriteCase& c = GetParam();
    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(kCapacity));
    DWORD position = 0;
    moveTo(ring, position, c.at);

    const std::vector<BYTE> data = pattern(c.length, 0x40);
    DWORD size = 0;
    ASSERT_EQ(ring.Write(data.data(), c.length, &size), c.result);
    if (c.result != AV_RING_OK) {
        EXPECT_EQ(ring.UsedBytes(), 0u);
        DWORD length = 0;
        EXPECT_EQ(ring.Read(nullptr, 0, &length), AV_RING_EMPTY);
        exerciseAfter(ring);
        return;
    }
    EXPECT_EQ(size, c.recordSize);
    EXPECT_EQ(ring.UsedBytes(), c.recordSize);
    if (c.length >= 4) {
        DWORD timestamp = 0;
        ASSERT_TRUE(ring.PeekTimestamp(&timestamp));
        EXPECT_EQ(timestamp,
                  DWORD{data[0]} | DWORD{data[1]} << 8 | DWORD{data[2]} << 16 | DWORD{data[3]} << 24);
    }
    // Exactly L bytes come out: the guard bytes behind them stay as they were.
    std::vector<BYTE> out(c.length + 4, 0xEE);
    DWORD length = 0;
    ASSERT_EQ(ring.Read(out.data(), c.length, &length), AV_RING_OK);
    EXPECT_EQ(length, c.length);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
    EXPECT_EQ(std::vector<BYTE>(out.begin() + c.length, out.end()), std::vector<BYTE>(4, 0xEE));
    EXPECT_EQ(ring.UsedBytes(), 0u);
    exerciseAfter(ring);
}

INSTANTIATE_TEST_SUITE_P(AvRing, RingEdges,
                         testing::Values(WriteCase{"ZeroLength", 0, 0, AV_RING_ZERO_LENGTH, 0},
                                         WriteCase{"SizeEqualToFreeRefused", 0, 60, AV_RING_FULL, 0},
                                         WriteCase{"FourBytesSmallerAccepted", 0, 56, AV_RING_OK, 60},
                                         WriteCase{"LargerThanCapacityRefused", 0, 200, AV_RING_FULL, 0},
                                         WriteCase{"EndsExactlyAtTheEnd", 32, 28, AV_RING_OK, 32},
                                         WriteCase{"LengthWordJustBeforeTheEnd", 60, 8, AV_RING_OK, 12},
                                         WriteCase{"PaddingReachesTheEnd", 48, 10, AV_RING_OK, 16},
                                         WriteCase{"DataWraps", 56, 13, AV_RING_OK, 20},
                                         WriteCase{"PaddingAfterWrappedData", 52, 9, AV_RING_OK, 16},
                                         WriteCase{"LengthFiveTakesTwelve", 8, 5, AV_RING_OK, 12}),
                         [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

TEST(AvRing, RecordLargerThanDestinationIsSkippedWithItsOwnResult) {
    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(kCapacity));
    const std::vector<BYTE> big = pattern(10, 1), small = pattern(3, 2);
    ASSERT_EQ(ring.Write(big.data(), 10), AV_RING_OK);
    ASSERT_EQ(ring.Write(small.data(), 3), AV_RING_OK);
    std::vector<BYTE> out(9, 0xEE);
    DWORD length = 0;
    EXPECT_EQ(ring.Read(out.data(), 9, &length), AV_RING_TOO_LARGE);
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(out, std::vector<BYTE>(9, 0xEE));
    ASSERT_EQ(ring.Read(out.data(), 9, &length), AV_RING_OK);
    EXPECT_EQ(length, 3u);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), out.begin()));
}

TEST(AvRing, FreshFlushedAndUnallocatedRings) {
    KQ_AV_RingBuffer none;
    BYTE byte = 7;
    DWORD length = 0, timestamp = 0;
    EXPECT_EQ(none.Write(&byte, 1), AV_RING_FULL);
    EXPECT_EQ(none.Read(&byte, 1, &length), AV_RING_EMPTY);
    EXPECT_FALSE(none.PeekTimestamp(&timestamp));
    EXPECT_EQ(none.FreePercent(), 100u);
    EXPECT_EQ(none.UsedBytes(), 0u);

    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(kCapacity + 3)); // rounded down to a multiple of 4
    EXPECT_EQ(ring.Capacity(), kCapacity);
    EXPECT_EQ(ring.Read(&byte, 1, &length), AV_RING_EMPTY);
    EXPECT_EQ(ring.FreePercent(), 100u);
    const std::vector<BYTE> unit = pattern(12, 3);
    ASSERT_EQ(ring.Write(unit.data(), 12), AV_RING_OK);
    ASSERT_EQ(ring.Write(unit.data(), 2), AV_RING_OK);
    ring.Flush();
    EXPECT_EQ(ring.UsedBytes(), 0u);
    EXPECT_FALSE(ring.PeekTimestamp(&timestamp));
    EXPECT_EQ(ring.Read(&byte, 1, &length), AV_RING_EMPTY);
    ASSERT_EQ(ring.Write(unit.data(), 1), AV_RING_OK);
    ASSERT_EQ(ring.Read(&byte, 1, &length), AV_RING_OK);
    EXPECT_EQ(byte, unit[0]);
}

TEST(AvRing, FreeShareAndTimestampAcrossTheWrap) {
    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(400));
    const std::vector<BYTE> half = pattern(196, 9);
    ASSERT_EQ(ring.Write(half.data(), 196), AV_RING_OK);
    EXPECT_EQ(ring.FreePercent(), 50u);
    DWORD length = 0;
    std::vector<BYTE> out(400);
    ASSERT_EQ(ring.Read(out.data(), 400, &length), AV_RING_OK);
    // Positions at 200: a record of 196 bytes reaches 4 bytes short of the end, the next one's length word
    // sits there and its data (a timestamp) starts at offset 0.
    ASSERT_EQ(ring.Write(half.data(), 192), AV_RING_OK);
    ASSERT_EQ(ring.Read(out.data(), 400, &length), AV_RING_OK);
    const BYTE unit[6] = {0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB};
    ASSERT_EQ(ring.Write(unit, sizeof unit), AV_RING_OK);
    DWORD timestamp = 0;
    ASSERT_TRUE(ring.PeekTimestamp(&timestamp));
    EXPECT_EQ(timestamp, 0x12345678u);
    EXPECT_EQ(ring.UsedBytes(), 12u);
    EXPECT_EQ(ring.FreePercent(), 97u); // 388 * 100 / 400, rounded down
    const BYTE tiny[3] = {1, 2, 3};
    ASSERT_EQ(ring.Read(out.data(), 400, &length), AV_RING_OK);
    ASSERT_EQ(ring.Write(tiny, 3), AV_RING_OK);
    EXPECT_FALSE(ring.PeekTimestamp(&timestamp)); // shorter than a timestamp
}

// Random lengths against a queue model: every geometry of wrap and refusal comes up.
TEST(AvRing, MatchesAQueueModel) {
    std::mt19937 random(5);
    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(256));
    std::deque<std::vector<BYTE>> model;
    DWORD modelUsed = 0;
    std::vector<BYTE> out(256);
    for (int step = 0; step < 20000; ++step) {
        if (random() % 2) {
            const DWORD length = 1 + random() % 80;
            const std::vector<BYTE> data = pattern(length, static_cast<BYTE>(step));
            const DWORD size = 4 + ((length + 3) & ~3u);
            const DWORD result = ring.Write(data.data(), length);
            ASSERT_EQ(result, size < 256 - modelUsed ? AV_RING_OK : AV_RING_FULL) << step;
            if (result == AV_RING_OK) {
                model.push_back(data);
                modelUsed += size;
            }
        } else {
            DWORD length = 0;
            const DWORD result = ring.Read(out.data(), out.size(), &length);
            if (model.empty()) {
                ASSERT_EQ(result, AV_RING_EMPTY) << step;
                continue;
            }
            ASSERT_EQ(result, AV_RING_OK) << step;
            ASSERT_EQ(std::vector<BYTE>(out.begin(), out.begin() + length), model.front()) << step;
            modelUsed -= 4 + ((length + 3) & ~3u);
            model.pop_front();
        }
        ASSERT_EQ(ring.UsedBytes(), modelUsed) << step;
    }
}
// A reader waiting for timestamps: a record too short to hold one is removed; a unit is never taken for
// one, even when it arrives while the reader looks (the writer races the reader here).
TEST(AvRing, PeekUnitTimestampDropsOnlyShortRecords) {
    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(64));
    DWORD timestamp = 0;
    EXPECT_FALSE(ring.PeekUnitTimestamp(&timestamp)) << "empty";
    const BYTE shortRecord[2] = {1, 2};
    const BYTE unit[8] = {0x10, 0x20, 0, 0, 9, 9, 9, 9};
    ASSERT_EQ(ring.Write(shortRecord, 2), AV_RING_OK);
    ASSERT_EQ(ring.Write(unit, 8), AV_RING_OK);
    EXPECT_FALSE(ring.PeekUnitTimestamp(&timestamp)) << "the short record goes";
    ASSERT_TRUE(ring.PeekUnitTimestamp(&timestamp));
    EXPECT_EQ(timestamp, 0x2010u);
    EXPECT_TRUE(ring.PeekUnitTimestamp(&timestamp)) << "a peek takes nothing";

    KQ_AV_RingBuffer racing;
    ASSERT_TRUE(racing.Allocate(4096));
    constexpr DWORD kUnits = 20000;
    std::atomic<bool> written{false};
    std::thread writer([&] {
        for (DWORD i = 0; i < kUnits;) {
            BYTE data[12] = {};
            std::memcpy(data, &i, 4);
            if (racing.Write(data, 4 + i % 9) == AV_RING_OK)
                ++i;
        }
        written = true;
    });
    DWORD expected = 0;
    bool inOrder = true;
    BYTE data[12];
    DWORD length = 0;
    while (inOrder && expected < kUnits) {
        if (!racing.PeekUnitTimestamp(&timestamp))
            continue;
        inOrder = timestamp == expected && racing.Read(data, sizeof data, &length) == AV_RING_OK;
        ++expected;
    }
    while (!written) // a writer left behind a failure still ends
        racing.Read(data, sizeof data, &length);
    writer.join();
    EXPECT_TRUE(inOrder) << "unit " << expected - 1;
}

// One writer, one reader and a third thread that flushes: whatever the reader gets is a whole record in
// order, never bytes the writer was already reusing.
TEST(AvRing, FlushFromAThirdThreadNeverYieldsATornRecord) {
    KQ_AV_RingBuffer ring;
    ASSERT_TRUE(ring.Allocate(4096));
    constexpr DWORD kRecords = 200000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<BYTE> data(300);
        for (DWORD sequence = 1; sequence <= kRecords;) {
            const DWORD length = 4 + sequence % 290;
            std::memcpy(data.data(), &sequence, 4);
            std::memset(data.data() + 4, static_cast<BYTE>(sequence), length - 4);
            if (ring.Write(data.data(), length) == AV_RING_OK)
                ++sequence;
            else
                std::this_thread::yield();
        }
        done = true;
    });
    std::thread flusher([&] {
        while (!done) {
            ring.Flush();
            std::this_thread::yield();
        }
    });
    DWORD last = 0, reads = 0;
    std::vector<BYTE> out(300);
    bool torn = false;
    while (!done || ring.UsedBytes() > 0) {
        DWORD length = 0;
        if (ring.Read(out.data(), out.size(), &length) != AV_RING_OK)
            continue;
        DWORD sequence = 0;
        std::memcpy(&sequence, out.data(), 4);
        bool whole = sequence > last && length == 4 + sequence % 290;
        for (DWORD i = 4; whole && i < length; ++i)
            whole = out[i] == static_cast<BYTE>(sequence);
        torn |= !whole;
        last = sequence;
        ++reads;
    }
    writer.join();
    flusher.join();
    EXPECT_FALSE(torn);
    EXPECT_GT(reads, 0u);
}

} // namespace
