#include "dialogs/records/CountryScanRange.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(CountryTableTest, ThirtyFourPalThenElevenMnCountriesEachWithItsBands) {
    const auto rows = CountryTable();
    ASSERT_EQ(rows.size(), 45u);
    std::set<std::int32_t> codes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CountryRow& row = rows[i];
        const bool pal = i < 34;
        EXPECT_TRUE(codes.insert(row.country).second) << row.country << " once";
        EXPECT_GE(row.country, 1);
        EXPECT_LE(row.country, 255) << "the box takes the code in a byte";
        EXPECT_EQ(row.tvSystem <= TV_SYSTEM_PAL_DK, pal) << row.country;
        EXPECT_GE(row.low, 40 * 16) << row.country;
        EXPECT_LT(row.low, row.high) << row.country;
        EXPECT_LE(row.high, 960 * 16) << row.country;
    }
}

TEST(CountryTableTest, TheLookupGivesTheBandsAndTheSystemOrLeavesAnUnknownCodeAlone) {
    struct Case {
        std::int32_t country;
        std::int32_t low, high, system; // -1: untouched
    };
    const Case cases[] = {
        {39, 45 * 16, 863 * 16, TV_SYSTEM_PAL_BG}, // Italy, the default country
        {44, 470 * 16, 862 * 16, TV_SYSTEM_PAL_I},
        {86, 48 * 16, 958 * 16, TV_SYSTEM_PAL_DK},
        {1, 54 * 16, 806 * 16, TV_SYSTEM_NTSC_M},
        {55, 54 * 16, 806 * 16, TV_SYSTEM_PAL_M},
        {81, 90 * 16, 770 * 16, TV_SYSTEM_NTSC_M},
        {33, -1, -1, -1}, // SECAM: not in the table
        {0, -1, -1, -1},
        {353, -1, -1, -1},
    };
    for (const Case& c : cases) {
        std::int32_t low = -1, high = -1, system = -1;
        LookupCountryScanRange(c.country, &low, &high, &system);
        EXPECT_EQ(low, c.low) << c.country;
        EXPECT_EQ(high, c.high) << c.country;
        EXPECT_EQ(system, c.system) << c.country;
        std::int32_t bandOnly[2] = {-1, -1};
        LookupCountryScanRange(c.country, &bandOnly[0], &bandOnly[1]);
        EXPECT_EQ(bandOnly[0], c.low) << c.country;
    }
}

} // namespace
