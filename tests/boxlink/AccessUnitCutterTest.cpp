#include "boxlink/AccessUnitCutter.h"
#include "boxlink/AccessUnitAssembler.h"
#include "tests/support/NalBuilder.h"
#include "tests/support/fakes/StreamFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes slice(uint8_t type, uint32_t firstMb, bool reference = true, uint32_t pps = 0, int startCode = 4) {
    BitWriter w;
    w.ue(firstMb);
    w.ue(type == 5 ? 7 : 5);
    w.ue(pps);
    w.bits(0x2D, 6);
    w.trailing();
    return makeNal(static_cast<uint8_t>((reference ? 0x60 : 0) | type), w.bytes(), startCode);
}
Bytes idr(uint32_t firstMb, int startCode = 4) {
    return slice(5, firstMb, true, 0, startCode);
}
Bytes p(uint32_t firstMb, int startCode = 4) {
    return slice(1, firstMb, true, 0, startCode);
}
Bytes nal(uint8_t header, Bytes payload, int startCode = 4) {
    return makeNal(header, payload, startCode);
}
Bytes sps(int startCode = 4) {
    return nal(0x67, {0x42, 0x00, 0x1E, 0xAB}, startCode);
}
Bytes pps(int startCode = 4) {
    return nal(0x68, {0xCE, 0x38, 0x80}, startCode);
}
const Bytes kSei = nal(0x06, {0xE0, 0x01, 0x01, 0x80});
const Bytes kAud = nal(0x09, {0xF0});
const Bytes kEndOfSequence = nal(0x0A, {});

struct CutCase {
    const char* name;
    std::vector<Bytes> nals;
    std::vector<size_t> units; // NAL counts of the complete units, in order; the rest is still open
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class Cutter : public testing::TestWithParam<CutCase> {};

// The NAL units arrive one at a time, as the receiver appends them: each unit must come out exactly when
// the first NAL unit of the next one is in the buffer, and hold exactly its own bytes.
TEST_P(Cutter, CutsUnitsAsTheirSuccessorArrives) {
    const CutCase& c = GetParam();
    Bytes buffer;
    size_t consumed = 0; // bytes already handed out
    std::vector<Bytes> units;
    std::vector<size_t> completedBy;
    for (size_t i = 0; i < c.nals.size(); ++i) {
        buffer.insert(buffer.end(), c.nals[i].begin(), c.nals[i].end());
        for (;;) {
            BitstreamRecord record{buffer.data() + consumed, buffer.data() + buffer.size()};
            const int result = VD_BITSTREAM_load_AU(&record);
            if (result != VD_AU_READY) {
                ASSERT_EQ(result, VD_AU_NEED_MORE);
                break;
            }
            ASSERT_EQ(record.unit, buffer.data() + consumed);
            units.emplace_back(record.unit, record.unit + record.unitLength);
            completedBy.push_back(i);
            consumed = record.start - buffer.data();
        }
    }
    ASSERT_EQ(units.size(), c.units.size());
    size_t first = 0;
    for (size_t u = 0; u < units.size(); ++u) {
        Bytes expected;
        for (size_t i = first; i < first + c.units[u]; ++i)
            expected.insert(expected.end(), c.nals[i].begin(), c.nals[i].end());
        EXPECT_EQ(units[u], expected) << "unit " << u;
        first += c.units[u];
        EXPECT_EQ(completedBy[u], first) << "unit " << u;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AccessUnits, Cutter,
    testing::Values(
        CutCase{"ParameterSetsAreAUnitOfTheirOwn", {sps(), pps(), idr(0), idr(30), p(0)}, {2, 2}},
        CutCase{"DelimiterAndSeiGoWithTheParameterSets", {kAud, kSei, sps(), pps(), idr(0), p(0)}, {4, 1}},
        CutCase{"SeiWithoutParameterSetsStaysWithItsPicture", {p(0), p(5), kSei, p(0), p(3), kSei}, {2, 3}},
        CutCase{"ParameterSetsAfterAPicture", {idr(0), idr(10), sps(), pps(), idr(0)}, {2, 2}},
        CutCase{"FirstMacroblockZeroOpensAPicture", {p(0), p(0), p(0)}, {1, 1}},
        CutCase{"ReferenceToNonReference", {p(0), slice(1, 7, false)}, {1}},
        CutCase{"IdrToNonIdr", {idr(0), p(9)}, {1}},
        CutCase{"OtherPictureParameterSet", {p(0), slice(1, 4, true, 1)}, {1}},
        CutCase{"EndOfSequenceClosesItsUnit", {p(0), kEndOfSequence, p(3)}, {2}},
        CutCase{"EveryDelimiterOpensAUnit", {kAud, kAud, p(0), kAud}, {1, 2}},
        CutCase{"UnreadableSliceHeaderOpensAPicture", {p(0), nal(0x41, {}), p(2)}, {1}},
        CutCase{"ThreeByteStartCodes", {sps(3), pps(3), idr(0, 3), idr(30, 3), p(0, 3)}, {2, 2}},
        CutCase{"BytesBeforeTheFirstStartCodeBelongToTheFirstUnit", {{0x12, 0x34}, p(0), p(0)}, {2}}),
    [](const testing::TestParamInfo<CutCase>& info) { return info.param.name; });

TEST(AccessUnits, BadRecordsAndEmptyBuffers) {
    EXPECT_EQ(VD_BITSTREAM_load_AU(nullptr), VD_AU_BAD_RECORD);
    const Bytes data = p(0);
    BitstreamRecord reversed{data.data() + 4, data.data()};
    EXPECT_EQ(VD_BITSTREAM_load_AU(&reversed), VD_AU_BAD_RECORD);
    BitstreamRecord empty{data.data(), data.data()};
    EXPECT_EQ(VD_BITSTREAM_load_AU(&empty), VD_AU_NEED_MORE);
    const Bytes codeOnly = {0, 0, 0, 1};
    BitstreamRecord bare{codeOnly.data(), codeOnly.data() + codeOnly.size()};
    EXPECT_EQ(VD_BITSTREAM_load_AU(&bare), VD_AU_NEED_MORE);
}

// A video record body as the parser hands it on: timestamp, then the NAL unit without start code.
Bytes body(uint32_t timestamp, const Bytes& nalUnit) {
    Bytes out;
    streamfixture::appendLe(out, timestamp, 4);
    out.insert(out.end(), nalUnit.begin(), nalUnit.end());
    return out;
}

Bytes withoutStartCode(const Bytes& annexB) {
    return Bytes(annexB.begin() + (annexB[2] == 1 ? 3 : 4), annexB.end());
}

TEST(AccessUnitAssembly, FixtureUnitsWithTheTimestampOfTheRecordThatCompletesThem) {
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    AccessUnitAssembler assembler;
    std::vector<Bytes> out;
    for (const streamfixture::Record& record : fixture.records()) {
        if (!record.video)
            continue;
        const Bytes b = body(record.timestamp, record.payload);
        const std::span<const BYTE> unit = assembler.Push(b.data(), static_cast<DWORD>(b.size()));
        if (!unit.empty()) {
            out.emplace_back(unit.begin(), unit.end());
            assembler.Settle(true);
        }
    }
    ASSERT_EQ(out.size(), fixture.units().size());
    for (size_t u = 0; u < out.size(); ++u)
        ASSERT_EQ(out[u], fixture.units()[u].media) << "unit " << u << " of kind " << fixture.units()[u].kind;
}

TEST(AccessUnitAssembly, DroppedTypesAndEmptyBodiesLeaveTheUnitsAlone) {
    AccessUnitAssembler assembler;
    const std::vector<Bytes> stream = {withoutStartCode(sps()),
                                       withoutStartCode(pps()),
                                       {0x00, 0x11},
                                       {0x42, 0x11},
                                       {0x0B},
                                       {0x7F, 0x11},
                                       {},
                                       withoutStartCode(idr(0))};
    std::vector<Bytes> out;
    for (const Bytes& nalUnit : stream) {
        const Bytes b = body(1000, nalUnit);
        const std::span<const BYTE> unit = assembler.Push(b.data(), static_cast<DWORD>(b.size()));
        if (!unit.empty()) {
            out.emplace_back(unit.begin(), unit.end());
            assembler.Settle(true);
        }
    }
    Bytes expected = {0xE8, 0x03, 0, 0};
    for (const Bytes& part : {sps(), pps()})
        expected.insert(expected.end(), part.begin(), part.end());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], expected);
    EXPECT_EQ(assembler.Assembled(), idr(0).size());
}

TEST(AccessUnitAssembly, DroppingTheRestLosesTheNalUnitThatCompletedTheUnit) {
    AccessUnitAssembler assembler;
    const std::vector<Bytes> stream = {sps(), pps(), idr(0), idr(30), p(0), p(0)};
    std::vector<Bytes> out;
    for (const Bytes& nalUnit : stream) {
        const Bytes b = body(7, withoutStartCode(nalUnit));
        const std::span<const BYTE> unit = assembler.Push(b.data(), static_cast<DWORD>(b.size()));
        if (!unit.empty()) {
            out.emplace_back(unit.begin() + 4, unit.end());
            assembler.Settle(false);
        }
    }
    Bytes parameterSets = sps();
    const Bytes second = pps();
    parameterSets.insert(parameterSets.end(), second.begin(), second.end());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], parameterSets);
    EXPECT_EQ(out[1], idr(30)); // idr(0) completed the parameter sets and was dropped with the rest
    EXPECT_EQ(assembler.Assembled(), p(0).size()); // the first p(0) went the same way
}

TEST(AccessUnitAssembly, AFullBufferIsEmptiedBeforeTheNextNalUnit) {
    AccessUnitAssembler assembler;
    Bytes slicePayload = withoutStartCode(p(1)); // never opens a picture: the unit never completes
    slicePayload.resize(2000, 0x5A);
    const Bytes b = body(1, slicePayload);
    const DWORD perNal = static_cast<DWORD>(b.size()); // start code and NAL unit
    DWORD expected = 0;
    for (int i = 0; i < 600; ++i) {
        EXPECT_TRUE(assembler.Push(b.data(), perNal).empty());
        expected = perNal > AccessUnitAssembler::kBufferSize - expected ? perNal : expected + perNal;
        ASSERT_EQ(assembler.Assembled(), expected) << i;
    }
    EXPECT_LT(expected, 600 * perNal);
}

} // namespace
