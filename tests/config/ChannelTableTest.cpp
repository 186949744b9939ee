#include "ConfigFixture.h"

#include <cstring>

namespace {

struct LoadCase {
    const char* file;
    int result;
    std::size_t entries; // after the load; the table held one entry before
};

class LoadTableTest : public ConfigFixture, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTableTest, ResultAndTable) {
    KQ_AppConfig config;
    config.m_channelTable.push_back({0, L"before", 9, 99});
    EXPECT_EQ(config.LoadChannelTable(fixture(GetParam().file)), GetParam().result);
    EXPECT_EQ(config.m_channelTable.size(), GetParam().entries);
    if (GetParam().result == kChannelTableEmpty) {
        EXPECT_EQ(config.m_channelTable.at(0).name, L"before");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, LoadTableTest,
    ::testing::Values(LoadCase{"three.tlb", 0, 3}, LoadCase{"c2_without_is_fav.tlb", 220, 0},
                      LoadCase{"no_table_info.tlb", 1, 1}, LoadCase{"count_zero.tlb", 1, 1},
                      LoadCase{"id_65535.tlb", 220, 0}, LoadCase{"empty_freq.tlb", 220, 0},
                      LoadCase{"name_absent.tlb", 220, 0}, LoadCase{"count_beyond_sections.tlb", 220, 0},
                      LoadCase{"no_such_file.tlb", 1, 1}),
    [](const auto& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

TEST_F(ConfigFixture, EntriesLoadWithTheirFieldsAndAnEmptyNameLoadsBack) {
    KQ_AppConfig config;
    ASSERT_EQ(config.LoadChannelTable(fixture("three.tlb")), 0);
    const auto& t = config.m_channelTable;
    EXPECT_EQ(t[0].name, L"News 24");
    EXPECT_EQ(t[0].channel, 1);
    EXPECT_EQ(t[0].frequency, 3632u);
    EXPECT_EQ(t[0].isFavourite, 1);
    EXPECT_EQ(t[1].name, L"");
    EXPECT_EQ(t[2].name, L"  Sport  ");
    EXPECT_EQ(t[2].frequency, 0xFFFFFFFFu); // the low 32 bits of the 64-bit parse

    // What Save writes comes back whole, the empty name included.
    const std::wstring path = L".\\Setup\\round.tlb";
    ASSERT_EQ(config.SaveChannelTable(path), 0);
    KQ_AppConfig again;
    ASSERT_EQ(again.LoadChannelTable(path), 0);
    ASSERT_EQ(again.m_channelTable.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(again.m_channelTable[i].name, t[i].name);
        EXPECT_EQ(again.m_channelTable[i].frequency, t[i].frequency);
    }
}

TEST_F(ConfigFixture, SavingAShorterTableLeavesTheOldSectionsAndCount) {
    const std::wstring path = copyFixture("five.tlb");
    KQ_AppConfig config;
    config.m_channelTable = {{0, L"a", 1, 10}, {1, L"b", 2, 20}, {0, L"c", 3, 30}};
    EXPECT_EQ(config.SaveChannelTable(path), 0);
    const std::string text = temp.read("five.tlb");
    EXPECT_NE(text.find("Count=3\r\n"), std::string::npos);
    EXPECT_NE(text.find("[C4]\r\nName=Old 4"), std::string::npos);
    KQ_AppConfig again;
    EXPECT_EQ(again.LoadChannelTable(path), 0);
    EXPECT_EQ(again.m_channelTable.size(), 3u);

    config.m_channelTable.clear();
    EXPECT_EQ(config.SaveChannelTable(L".\\Setup\\none.tlb"), 0);
    EXPECT_EQ(temp.read("Setup/none.tlb"), "[Table Info]\r\nCount=0\r\n");
    EXPECT_EQ(config.SaveChannelTable(L".\\NoFolder\\t.tlb"), kChannelTableIncomplete);
    EXPECT_EQ(config.SaveChannelTable(L""), kChannelTableIncomplete); // never into the property file
    EXPECT_FALSE(temp.exists("Setup/property.ini"));
}

} // namespace

namespace {

TEST_F(ConfigFixture, AnEntryThatCannotBeWrittenStopsTheSave) {
    KQ_AppConfig config;
    // Count goes in; the first name (18 MiB in UTF-8) would make the file larger than an INI file may be.
    config.m_channelTable = {{0, std::wstring(6u << 20, L'\u4e2d'), 1, 10}, {0, L"never", 2, 20}};
    EXPECT_EQ(config.SaveChannelTable(L".\\Setup\\big.tlb"), kChannelTableWriteFailed);
    EXPECT_EQ(temp.read("Setup/big.tlb"), "[Table Info]\r\nCount=2\r\n");
}

} // namespace
