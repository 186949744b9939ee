#include "media/AccessUnitKind.h"
#include "tests/support/fakes/StreamFixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct KindCase {
    const char* name;
    std::vector<uint8_t> unit; // a MediaUnit: timestamp, then the access unit
    bool idr;
    bool parameterSets;
    bool picture;
};

void PrintTo(const KindCase& c, std::ostream* os) {
    *os << c.name;
}

class UnitKinds : public testing::TestWithParam<KindCase> {};

TEST_P(UnitKinds, ScansEveryNalHeader) {
    const KindCase& c = GetParam();
    const AccessUnitKind kind = ScanMediaUnit(c.unit.data(), c.unit.size());
    EXPECT_EQ(kind.idr, c.idr);
    EXPECT_EQ(kind.parameterSets, c.parameterSets);
    EXPECT_EQ(kind.picture, c.picture);
    if (c.unit.size() > 4) {
        const AccessUnitKind bare = ScanAccessUnit(c.unit.data() + 4, c.unit.size() - 4);
        EXPECT_EQ(bare.idr, c.idr);
        EXPECT_EQ(bare.parameterSets, c.parameterSets);
        EXPECT_EQ(bare.picture, c.picture);
    }
}

INSTANTIATE_TEST_SUITE_P(
    MediaUnit, UnitKinds,
    testing::Values(
        KindCase{"IdrBehindFourByteCode", {1, 2, 3, 4, 0, 0, 0, 1, 0x65, 0x88}, true, false, true},
        KindCase{"IdrBehindThreeByteCode", {1, 2, 3, 4, 0, 0, 1, 0x65, 0x88}, true, false, true},
        KindCase{"ParameterSetsThenIdr",
                 {0, 0, 0, 0, 0, 0, 0, 1, 0x67, 0x42, 0, 0, 1, 0x68, 0xCE, 0, 0, 0, 1, 0x65, 0x88},
                 true,
                 true,
                 true},
        KindCase{"SeiThenPictureParameterSet",
                 {9, 9, 9, 9, 0, 0, 0, 1, 0x06, 0xE0, 0, 0, 0, 1, 0x68, 0xCE},
                 false,
                 true,
                 false},
        KindCase{"IdrAfterNonIdrSlice",
                 {0, 0, 0, 0, 0, 0, 0, 1, 0x41, 0x9A, 0, 0, 1, 0x25, 0xB8},
                 true,
                 false,
                 true},
        KindCase{
            "NonIdrSlices", {0, 0, 0, 0, 0, 0, 0, 1, 0x41, 0x9A, 0, 0, 0, 1, 0x01, 0x9E}, false, false, true},
        // Timestamp bytes that look like a start code and an IDR header are not part of the unit.
        KindCase{"TimestampLooksLikeStartCode", {0, 0, 1, 0x65, 0, 0, 0, 1, 0x41, 0x9A}, false, false, true},
        KindCase{"StartCodeWithoutHeaderAtTheEnd",
                 {0, 0, 0, 0, 0, 0, 0, 1, 0x41, 0x9A, 0, 0, 1},
                 false,
                 false,
                 true},
        KindCase{"OnlyATimestamp", {0, 0, 1, 0x65}, false, false, false},
        KindCase{"Empty", {}, false, false, false}),
    [](const testing::TestParamInfo<KindCase>& info) { return info.param.name; });

TEST(MediaUnit, KindsOfTheFixtureUnits) {
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    int idr = 0, parameterSets = 0;
    for (const streamfixture::Unit& unit : fixture.units()) {
        const AccessUnitKind kind = ScanMediaUnit(unit.media.data(), unit.media.size());
        EXPECT_EQ(kind.idr, unit.kind == "idr") << unit.timestamp;
        EXPECT_EQ(kind.parameterSets, unit.kind == "params") << unit.timestamp;
        EXPECT_EQ(kind.picture, unit.kind != "params") << unit.timestamp;
        idr += kind.idr;
        parameterSets += kind.parameterSets;
    }
    EXPECT_EQ(idr, 3);
    EXPECT_EQ(parameterSets, 3);
}

} // namespace
