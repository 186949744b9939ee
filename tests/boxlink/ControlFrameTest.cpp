// The pieces of the control protocol that stand alone: frame checksum, RC4, the byte ring, the pending
// table's expiry counting and the file-list building.
#include "boxlink/BoxControlFrame.h"
#include "boxlink/BoxRecords.h"
#include "boxlink/PendingRequestTable.h"
#include "boxlink/Rc4.h"
#include "boxlink/RingBuffer.h"
#include "tests/support/testbox/BoxWire.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>

namespace {

struct ChecksumCase {
    const char* name;
    std::vector<std::pair<std::size_t, BYTE>> bytes; // set on a zero frame
    WORD expected;
};

void PrintTo(const ChecksumCase& c, std::ostream* os) {
    *os << c.name;
}

class ChecksumTest : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumTest, MatchesTheWorkedValueAndIgnoresTheChecksumField) {
    BoxControlFrame frame;
    for (auto [at, b] : GetParam().bytes)
        frame.bytes[at] = b;
    frame.bytes[184] = 0x5A; // whatever stood there before does not count
    frame.bytes[187] = 0xA5;
    frame.Seal();
    EXPECT_EQ(frame.U32(BoxControlFrame::kChecksumAt), GetParam().expected);
    EXPECT_EQ(frame.bytes[186], 0);
    EXPECT_EQ(frame.bytes[187], 0);
}

std::vector<std::pair<std::size_t, BYTE>> allBytes(BYTE value) {
    std::vector<std::pair<std::size_t, BYTE>> bytes;
    for (std::size_t i = 0; i < 184; ++i)
        bytes.emplace_back(i, value);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ChecksumTest,
    ::testing::Values(
        // 0x000C + 0xF001 = 0xF00D, complemented.
        ChecksumCase{"FirstFrameOfARun", {{0, 12}, {4, 0x01}, {5, 0xF0}}, 0x0FF2},
        // 92 words of 0xFFFF fold to 0xFFFF.
        ChecksumCase{"AllOnes", allBytes(0xFF), 0x0000},
        // 0x1FFFF: the first fold carries into bit 16, the second adds it back.
        ChecksumCase{"CarryOutOfTheFirstFold", {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}, {4, 1}}, 0xFFFE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChecksumTest, AgreesWithTheTestBoxOnRandomFrames) {
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        BoxControlFrame frame;
        for (BYTE& b : frame.bytes)
            b = static_cast<BYTE>(random());
        EXPECT_EQ(BoxFrameChecksum(frame.bytes.data()), testbox::Checksum(frame.bytes.data()));
    }
}

struct Rc4Case {
    std::string key;
    std::string plain;
    std::vector<BYTE> cipher;
};

TEST(Rc4Test, PublishedVectorsAndRoundTrip) {
    const Rc4Case cases[] = {
        {"Key", "Plaintext", {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}},
        {"Wiki", "pedia", {0x10, 0x21, 0xBF, 0x04, 0x20}},
        {"Secret",
         "Attack at dawn",
         {0x45, 0xA0, 0x1F, 0x64, 0x5F, 0xC3, 0x5B, 0x38, 0x35, 0x52, 0x54, 0x4B, 0x9B, 0xF5}},
    };
    for (const Rc4Case& c : cases) {
        const auto* plain = reinterpret_cast<const BYTE*>(c.plain.data());
        EXPECT_EQ(Rc4Crypt(c.key, plain, c.plain.size()), c.cipher) << c.key;
        EXPECT_EQ(Rc4Crypt(c.key, c.cipher.data(), c.cipher.size()),
                  std::vector<BYTE>(plain, plain + c.plain.size()));
    }
    EXPECT_TRUE(Rc4Crypt(kLoginKey, nullptr, 0).empty());
}

TEST(RingBufferTest, BoundsWrapAndReset) {
    KQ_TCP_RingBuffer ring(16);
    BYTE data[16];
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<BYTE>(i + 1);
    BYTE out[16] = {};
    DWORD written = 0;

    // Never more than size - 1 bytes: a write equal to the free space fails.
    EXPECT_EQ(ring.Write(data, 16), 0);
    EXPECT_EQ(ring.Write(data, 0), 0);
    EXPECT_EQ(ring.Write(data, 15, &written), 1);
    EXPECT_EQ(written, 15u);
    EXPECT_EQ(ring.Free(), 1u);
    EXPECT_EQ(ring.Write(data, 1), 0);

    // Reading more than is stored changes nothing.
    EXPECT_EQ(ring.Read(16, out), 0);
    EXPECT_EQ(ring.Read(0, out), 0);
    EXPECT_EQ(ring.Stored(), 15u);
    EXPECT_EQ(ring.Read(10, out), 1);
    EXPECT_EQ(out[9], 10);

    // A write that ends exactly at the end of the buffer leaves the write position at 0; then one wraps.
    EXPECT_EQ(ring.Write(data, 1), 1); // positions 15 -> 0
    EXPECT_EQ(ring.Stored(), 6u);
    EXPECT_EQ(ring.Write(data + 4, 9), 1); // free was 10: 9 fits
    EXPECT_EQ(ring.Peek(15, out), 1);
    const BYTE expected[15] = {11, 12, 13, 14, 15, 1, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(std::memcmp(out, expected, sizeof expected), 0);
    EXPECT_EQ(ring.Stored(), 15u);

    ring.Reset();
    EXPECT_EQ(ring.Stored(), 0u);
    EXPECT_EQ(ring.Free(), 16u);
    EXPECT_EQ(ring.Peek(1, out), 0);

    KQ_TCP_RingBuffer none(0);
    EXPECT_EQ(none.Write(data, 1), 0);
    EXPECT_EQ(none.Read(1, out), 0);
}

// The reader resets while the writer keeps writing: the reset only moves the read position to the write
// position, so what the reader gets afterwards is whole values the writer wrote after them, in order.
TEST(RingBufferTest, ResetByTheReaderWhileTheWriterWrites) {
    KQ_TCP_RingBuffer ring(1000);
    constexpr DWORD kValues = 300000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (DWORD next = 1; next <= kValues;) {
            const DWORD values[3] = {next, next + 1, next + 2};
            if (ring.Write(values, sizeof values))
                next += 3;
            else
                std::this_thread::yield();
        }
        done = true;
    });
    DWORD last = 0, reads = 0, faults = 0;
    bool resetSinceLast = false;
    while (!done || ring.Stored() > 0) {
        DWORD value = 0;
        if (!ring.Read(sizeof value, &value)) {
            std::this_thread::yield();
            continue;
        }
        faults += resetSinceLast ? value <= last : value != last + 1;
        last = value;
        resetSinceLast = false;
        if (++reads % 97 == 0) {
            ring.Reset();
            resetSinceLast = true;
        }
    }
    writer.join();
    EXPECT_EQ(faults, 0u);
    EXPECT_GT(reads, 0u);
}

TEST(PendingRequestTableTest, ExpiriesFollowTheMaximumSends) {
    using Expiry = PendingRequestTable::Expiry;
    const struct {
        BYTE maxSends;
        std::vector<Expiry> expiries;
        int resends;
    } cases[] = {
        {2, {Expiry::Resent, Expiry::Expired, Expiry::Missing}, 1},
        {1, {Expiry::Expired, Expiry::Missing}, 0},
        {0, {Expiry::Expired, Expiry::Missing}, 0},
    };
    for (const auto& c : cases) {
        PendingRequestTable table;
        BoxControlFrame frame;
        frame.SetU32(BoxControlFrame::kSequenceAt, 0xF00A);
        table.Add(frame, nullptr, c.maxSends);
        int resends = 0;
        PendingRequest expired;
        for (Expiry expected : c.expiries)
            EXPECT_EQ(table.Expire(
                          0xF00A, [&](const BoxControlFrame&) { ++resends; }, &expired),
                      expected)
                << int(c.maxSends);
        EXPECT_EQ(resends, c.resends);
        EXPECT_EQ(expired.sequence, 0xF00Au);
        EXPECT_EQ(table.Count(), 0u);
    }

    // The reply and the expiry each claim: whichever comes second finds nothing.
    PendingRequestTable table;
    BoxControlFrame frame;
    frame.SetU32(BoxControlFrame::kSequenceAt, 7);
    table.Add(frame, nullptr, 1);
    EXPECT_TRUE(table.Claim(7).has_value());
    PendingRequest expired;
    EXPECT_EQ(table.Expire(
                  7, [](const BoxControlFrame&) {}, &expired),
              Expiry::Missing);
    EXPECT_FALSE(table.Claim(7).has_value());
}

struct FileListCase {
    const char* name;
    std::vector<testbox::FileRecord> records;
    std::int64_t count; // -1: the number of records
    bool malformed;
    std::vector<std::pair<std::string, std::size_t>> folders; // name, item count
};

void PrintTo(const FileListCase& c, std::ostream* os) {
    *os << c.name;
}

class FileListTest : public ::testing::TestWithParam<FileListCase> {};

TEST_P(FileListTest, FoldersFromPieceCounts) {
    const testbox::Bytes message = testbox::FileList(GetParam().records, GetParam().count);
    const std::optional<BoxFileList> list = ParseBoxFileList(message.data(), message.size());
    ASSERT_EQ(!list, GetParam().malformed);
    if (!list)
        return;
    ASSERT_EQ(list->size(), GetParam().folders.size());
    std::size_t record = 0;
    for (std::size_t i = 0; i < list->size(); ++i) {
        const BoxFileFolder& folder = (*list)[i];
        EXPECT_EQ(std::string(folder.name.data()), GetParam().folders[i].first);
        ASSERT_EQ(folder.items.size(), GetParam().folders[i].second);
        EXPECT_EQ(folder.index, i);
        for (const BoxFileItem& item : folder.items) {
            const testbox::FileRecord& r = GetParam().records[record++];
            EXPECT_EQ(std::string(item.name.data(), ::strnlen(item.name.data(), 32)), r.name);
            EXPECT_EQ(item.index, i);
            EXPECT_EQ(item.value, r.value);
            EXPECT_EQ(item.pieces, r.pieces);
            EXPECT_EQ(item.flag, r.flag);
        }
        EXPECT_EQ(folder.flag, folder.items.back().flag);
    }
}

const std::vector<testbox::FileRecord> kThreePieces = {
    {"news_0801_a_part01", 5, 2, 1}, {"news_0801_a_part02", 6, 2, 2}, {"film_0802_part01", 7, 1, 3}};

INSTANTIATE_TEST_SUITE_P(
    Lists, FileListTest,
    ::testing::Values(
        FileListCase{
            "TwoRecordings", kThreePieces, -1, false, {{"news_0801_a.mp4", 2}, {"film_0802.mp4", 1}}},
        FileListCase{"CountBeyondTheLengthIsCut",
                     kThreePieces,
                     1000,
                     false,
                     {{"news_0801_a.mp4", 2}, {"film_0802.mp4", 1}}},
        FileListCase{"CountBelowTheRecordsStopsEarly", kThreePieces, 2, false, {{"news_0801_a.mp4", 2}}},
        FileListCase{"PieceCountZero", {{"a_part01", 0, 0, 0}}, -1, true, {}},
        FileListCase{"PiecesRunPastTheEnd", {{"a_part01", 0, 2, 0}}, -1, true, {}},
        FileListCase{"ShortNameKeptWhole", {{"abc", 0, 1, 0}}, -1, false, {{"abc.mp4", 1}}},
        FileListCase{"SevenCharacterName", {{"_part01", 0, 1, 0}}, -1, false, {{".mp4", 1}}},
        FileListCase{"FullLengthName",
                     {{std::string(32, 'x'), 0, 1, 0}},
                     -1,
                     false,
                     {{std::string(25, 'x') + ".mp4", 1}}},
        FileListCase{"Empty", {}, -1, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileListTest, TooShortForItsCountIsMalformed) {
    const BYTE message[4] = {11, 1, 0, 0};
    EXPECT_FALSE(ParseBoxFileList(message, sizeof message).has_value());
}

TEST(FileListTest, RecordRoundTripsFromAnItem) {
    BoxFileItem item;
    std::memcpy(item.name.data(), "clip_part03", 11);
    item.value = 0x1234;
    item.pieces = 0x00050003; // only the low 16 bits travel
    item.flag = 9;
    BYTE record[kBoxFileRecordSize] = {};
    StoreBoxFileRecord(item, record);
    EXPECT_EQ(std::memcmp(record, "clip_part03", 11), 0);
    EXPECT_EQ(LoadU16(record + 32), 0x1234);
    EXPECT_EQ(LoadU16(record + 34), 3);
    EXPECT_EQ(record[36], 9);
}

} // namespace
