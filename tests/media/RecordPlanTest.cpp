// The recording's arithmetic and choices: frame rates, rollover period and names, the audio step, the
// share of a cycle's audio time among its video units, and the first units a file takes.
#include "media/RecordPlan.h"

#include "tests/support/NalBuilder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(RecordPlanTest, FrameRateByRowsAndPictureSize) {
    struct Row {
        bool rows50Hz, large;
        double rate;
        DWORD duration;
    };
    const Row rows[] = {
        {false, true, 60, 1500}, {false, false, 30, 3000}, {true, true, 50, 1800}, {true, false, 25, 3600}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.rows50Hz << row.large);
        const RecordFrameRate rate = LookUpRecordFrameRate(row.rows50Hz, row.large);
        EXPECT_EQ(rate.rate, row.rate);
        EXPECT_EQ(rate.duration, row.duration);
    }
}

TEST(RecordPlanTest, RolloverPeriodBySizeClass) {
    for (int sizeClass = 0; sizeClass <= 4; ++sizeClass)
        EXPECT_EQ(RolloverPeriodMs(sizeClass), sizeClass == 4 ? 5400000u : 7200000u) << sizeClass;
}

TEST(RecordPlanTest, RolloverNames) {
    struct Row {
        const wchar_t* path;
        int index;
        const wchar_t* name;
    };
    const Row rows[] = {
        {L"D:\\Rec\\CH5_1200.mp4", 1, L"D:\\Rec\\CH5_1200_01.mp4"},
        {L"D:\\Rec\\CH5_1200.mp4", 2, L"D:\\Rec\\CH5_1200_02.mp4"},
        {L"D:\\Rec\\CH5_1200.mp4", 99, L"D:\\Rec\\CH5_1200_99.mp4"},
        {L"D:\\Rec\\CH5_1200.mp4", 100, L"D:\\Rec\\CH5_1200_100.mp4"},
        {L"D:\\Rec.2009\\CH5_1200", 1, L"D:\\Rec.2009\\CH5_1200_01.mp4"},
        {L"/tmp/rec.d/live.v1.mp4", 3, L"/tmp/rec.d/live.v1_03.mp4"},
        {L"rec", 7, L"rec_07.mp4"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RolloverFileName(row.path, row.index), row.name) << row.index;
}

TEST(RecordPlanTest, RecordFolder) {
    EXPECT_EQ(RecordFolder(L"D:\\Rec.2009\\CH5.mp4"), L"D:\\Rec.2009");
    EXPECT_EQ(RecordFolder(L"/tmp/rec/a.mp4"), L"/tmp/rec");
    EXPECT_EQ(RecordFolder(L"/a.mp4"), L"/");
    EXPECT_EQ(RecordFolder(L"a.mp4"), L".");
}

// An audio unit of 1024 samples lasts 32 ms at 32000 Hz (2880 ticks of 90 kHz); its rate comes from its
// ADTS header, wherever the header begins.
TEST(RecordPlanTest, AudioUnitTimes) {
    EXPECT_EQ(AudioUnitsTicks(1, 32000), 2880u);
    EXPECT_EQ(AudioUnitsTicks(3, 48000), 5760u);
    EXPECT_EQ(AudioUnitsTicks(10, 44100), 20897u) << "10 x 1024 / 44100 s, rounded down";
    EXPECT_EQ(AudioUnitsTicks(5, 0), 0u);

    // MPEG-4 AAC LC, sampling index 5 (32000 Hz), stereo, a 10-byte frame; then index 3 (48000 Hz).
    const std::vector<BYTE> frame32k = {0xFF, 0xF1, 0x54, 0x80, 0x01, 0x5F, 0xFC, 1, 2, 3};
    const std::vector<BYTE> frame48k = {0xFF, 0xF1, 0x4C, 0x80, 0x01, 0x5F, 0xFC, 1, 2, 3};
    EXPECT_EQ(AdtsUnitRate(frame32k.data(), static_cast<DWORD>(frame32k.size())), 32000u);
    EXPECT_EQ(AdtsUnitRate(frame48k.data(), static_cast<DWORD>(frame48k.size())), 48000u);
    std::vector<BYTE> behindJunk = {0x12, 0x34};
    behindJunk.insert(behindJunk.end(), frame32k.begin(), frame32k.end());
    EXPECT_EQ(AdtsUnitRate(behindJunk.data(), static_cast<DWORD>(behindJunk.size())), 32000u);
    EXPECT_EQ(AdtsUnitRate(frame32k.data(), 4), 0u) << "the header cut short";
    const std::vector<BYTE> index13 = {0xFF, 0xF1, 0x74, 0x80, 0x01, 0x5F, 0xFC, 1, 2, 3};
    EXPECT_EQ(AdtsUnitRate(index13.data(), static_cast<DWORD>(index13.size())), 0u);

    const BYTE unit[] = {0x78, 0x56, 0x34, 0x12, 0x00};
    EXPECT_EQ(ReadUnitTimestamp(unit), 0x12345678u);
}

// Units named P0 (parameter sets), I (IDR) and P (other pictures), each with its position as timestamp.
std::vector<BYTE> unitOf(const std::string& kind, DWORD position) {
    std::vector<BYTE> unit = {BYTE(position), 0, 0, 0, 0, 0, 0, 1};
    if (kind == "I")
        unit.push_back(0x65);
    else if (kind == "P0")
        unit.insert(unit.end(), {0x67, 0x42, 0, 0, 0, 1, 0x68});
    else
        unit.push_back(0x41);
    unit.push_back(0x88);
    return unit;
}

TEST(RecordPlanTest, FirstUnitsOfAFile) {
    struct Row {
        const char* offered;
        const char* taken; // positions among the offered units
    };
    const Row rows[] = {
        {"P0 I P P P P P P P P P P", "0 1 2 3 4 5 6 7 8 9"},
        {"I P P0 I P P P P P P P P P", "2 3 4 5 6 7 8 9 10 11"},
        {"P P P0 I P P P P P P P P", "2 3 4 5 6 7 8 9 10 11"},
        {"I I P0 I I P P P P P P P", "2 3 4 5 6 7 8 9 10 11"},
        {"I I I I", ""},
        {"P0 P P", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.offered);
        RecordStartCollector collector;
        std::istringstream kinds(row.offered);
        std::vector<std::vector<BYTE>> taken;
        DWORD position = 0;
        for (std::string kind; kinds >> kind; ++position) {
            const std::vector<BYTE> unit = unitOf(kind, position);
            collector.Offer(unit.data(), static_cast<DWORD>(unit.size()), taken);
        }
        std::ostringstream positions;
        for (const auto& unit : taken)
            positions << (positions.tellp() > 0 ? " " : "") << int(unit[0]);
        EXPECT_EQ(positions.str(), row.taken);
        EXPECT_EQ(collector.Done(), taken.size() == 10);
    }
}

// A sequence parameter set of that size, without its start code.
std::vector<BYTE> spsOf(uint32_t width, uint32_t height) {
    SpsFields fields;
    fields.width_mbs = width / 16;
    fields.height_map_units = height / 16;
    const std::vector<uint8_t> nal = makeSps(fields);
    return {nal.begin() + 4, nal.end()};
}

TEST(RecordPlanTest, SequenceParameterSetGivesThePicture) {
    struct Row {
        std::vector<BYTE> sps;
        DWORD width, height;
        bool largePicture;
        bool gives;
    };
    const Row rows[] = {
        {spsOf(720, 240), 720, 480, true, true},   // the field pictures of a large picture
        {spsOf(720, 288), 720, 576, true, true},   //
        {spsOf(720, 480), 720, 480, true, true},   // whole frames
        {spsOf(720, 240), 720, 240, false, true},  //
        {spsOf(352, 240), 352, 240, false, true},  //
        {spsOf(720, 112), 720, 224, false, false}, // half height only for a large picture
        {spsOf(352, 240), 720, 480, true, false},  // the size before a change
        {spsOf(720, 240), 352, 240, false, false}, //
        {{}, 720, 480, true, false},               // none
        {{0x67, 0x42}, 720, 480, true, false},     // cut short
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.sps.size() << " bytes for " << row.width << "x" << row.height);
        EXPECT_EQ(SpsGivesPicture(row.sps, row.width, row.height, row.largePicture), row.gives);
    }

    // The first sequence parameter set of a unit, behind the timestamp and among other NAL units.
    std::vector<BYTE> unit = {1, 2, 3, 4, 0, 0, 1, 0x09, 0x10};
    for (const std::vector<BYTE>& sps : {spsOf(720, 240), spsOf(352, 240)}) {
        unit.insert(unit.end(), {0, 0, 0, 1});
        unit.insert(unit.end(), sps.begin(), sps.end());
    }
    EXPECT_EQ(UnitSequenceParameterSet(unit.data(), static_cast<DWORD>(unit.size())), spsOf(720, 240));
    EXPECT_TRUE(UnitSequenceParameterSet(unit.data(), 9).empty()) << "no sequence parameter set";
    EXPECT_TRUE(UnitSequenceParameterSet(unit.data(), 4).empty()) << "a timestamp only";
}

} // namespace
