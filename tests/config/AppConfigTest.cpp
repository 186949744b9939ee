#include "ConfigFixture.h"

#include <cstring>
#include <functional>

namespace {

struct IntKey {
    const char* name;
    std::int32_t KQ_AppConfig::*member;
    std::int32_t fallback;
};

// Every integer of the key table with its default on load.
const IntKey kIntKeys[] = {
    {"CountryID", &KQ_AppConfig::m_countryId, 39},
    {"TV Mode", &KQ_AppConfig::m_tvMode, 0},
    {"Signal", &KQ_AppConfig::m_signal, 1},
    {"CurChannel", &KQ_AppConfig::m_curChannel, -1},
    {"snap format", &KQ_AppConfig::m_snapFormat, 1},
    {"jpeg quality", &KQ_AppConfig::m_jpegQuality, 1},
    {"Language", &KQ_AppConfig::m_language, 0},
    {"brightness", &KQ_AppConfig::m_brightness, 32},
    {"contrast", &KQ_AppConfig::m_contrast, 32},
    {"hue", &KQ_AppConfig::m_hue, 32},
    {"saturation", &KQ_AppConfig::m_saturation, 32},
    {"video_quality", &KQ_AppConfig::m_videoQuality, 50},
    {"auto", &KQ_AppConfig::m_qualityAuto, 1},
    {"manual", &KQ_AppConfig::m_qualityManual, 0},
    {"cv", &KQ_AppConfig::m_remoterCv, 1},
    {"sv", &KQ_AppConfig::m_remoterSv, 0},
    {"ntsc", &KQ_AppConfig::m_remoterNtsc, 0},
    {"pal", &KQ_AppConfig::m_remoterPal, 1},
    {"mute", &KQ_AppConfig::m_remoterMute, 0},
    {"FrameRate", &KQ_AppConfig::m_frameRate, 30},
    {"BitsRate", &KQ_AppConfig::m_bitsRate, 0},
    {"Resolv", &KQ_AppConfig::m_resolv, 0},
    {"BufferTime", &KQ_AppConfig::m_bufferTime, 0},
    {"Source", &KQ_AppConfig::m_lastSource, 0},
    {"Source shown", &KQ_AppConfig::m_lastSourceShown, 0},
    {"TopMost", &KQ_AppConfig::m_topMost, 0},
    {"OSD", &KQ_AppConfig::m_osdEnable, 1},
    {"Volume", &KQ_AppConfig::m_volume, 500},
};

class DefaultsTest : public ConfigFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(DefaultsTest, AnEmptyOrMissingFileGivesTheKeyTableDefaultsAndTheBuiltInSkin) {
    if (GetParam())
        writeProperty(GetParam());
    KQ_AppConfig config;
    EXPECT_EQ(config.Load(), 0);
    for (const IntKey& key : kIntKeys)
        EXPECT_EQ(config.*key.member, key.fallback) << key.name;
    const std::wstring folder = platform::BackslashPath(temp.root()) + L"\\";
    EXPECT_EQ(config.m_snapPath, folder + L"snap");
    EXPECT_EQ(config.m_recordPath, folder + L"record");
    EXPECT_EQ(config.m_strLanguage, L"");
    EXPECT_EQ(config.m_skinDir, L".");
    EXPECT_EQ(config.m_skinExtBitmaps, (std::array<std::int32_t, 6>{174, 180, 182, 181, 183, 187}));
    EXPECT_EQ(config.m_clockLabel.text, L"00:00:00");
    EXPECT_EQ(config.m_infoBarLabel.text, L"CIF 1200kbps");
    EXPECT_EQ(config.m_infoBarLabel.cy, 21);
    EXPECT_NE(config.m_mainButtons[16].cx, 0);
    EXPECT_NE(config.m_remoteKeys[35].cx, 0);
    EXPECT_EQ(config.m_remoterMapping.keys.size(), 36u);
    EXPECT_TRUE(config.m_schedule.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, DefaultsTest,
                         ::testing::Values(nullptr, "", "; only a comment\r\n[Global]\r\n[Channel]\r\n"),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(ConfigFixture, EmptyValuesAndTheSentinelReadAsAbsent) {
    writeProperty("[Global]\r\nSkinDir=\r\n[Channel]\r\nCountryID=65535\r\nSignal=\r\nCurChannel=5zz\r\n"
                  "[Save]\r\nSnap Path=\r\nRecord Path=  \"/data/rec\"  \r\n[OSD]\r\nEnable=65535\r\n");
    KQ_AppConfig config;
    config.Load();
    EXPECT_EQ(config.m_skinDir, L"."); // empty: the built-in skin
    EXPECT_EQ(config.m_countryId, 39); // 65535 is "absent" for the access operations
    EXPECT_EQ(config.m_signal, 0);     // present but empty integer: 0
    EXPECT_EQ(config.m_curChannel, 5);
    EXPECT_EQ(config.m_snapPath.substr(config.m_snapPath.size() - 5), L"\\snap");
    EXPECT_EQ(config.m_recordPath, L"/data/rec"); // trimmed and unquoted
    EXPECT_EQ(config.m_osdEnable, 65535);         // the direct reads take it as a value

    HRESULT hr = config.ReadProfileInt64(L"Channel", L"Signal", L"", config.m_signal);
    EXPECT_EQ(hr, E_FAIL);
    std::wstring text;
    EXPECT_EQ(config.ReadProfileString(L"Save", L"Snap Path", L"dflt", L"", text), E_FAIL);
    EXPECT_EQ(text, L"dflt");
}

TEST_F(ConfigFixture, SaveAndLoadRoundTripEveryKeySaveWrites) {
    writeProperty("[Global]\r\nSkinDir=skins\\Blue1\r\n");
    KQ_AppConfig config;
    config.Load();
    EXPECT_EQ(config.m_skinDir, L"skins\\Blue1");
    std::int32_t next = 100;
    for (const IntKey& key : kIntKeys)
        config.*key.member = next++;
    config.m_snapPath = L"/srv/snapshots/" + std::wstring(300, L's'); // longer than the 255-character reads
    config.m_recordPath = L"D:\\Recordings";
    config.m_strLanguage = L"Fran\u00e7ais";
    config.m_skinDir = L"changed";
    EXPECT_EQ(config.Save(), 0);

    KQ_AppConfig again;
    again.Load();
    for (const IntKey& key : kIntKeys) {
        if (key.member == &KQ_AppConfig::m_qualityAuto)
            EXPECT_EQ(again.*key.member, 1) << key.name; // saved as automatic, whatever it was
        else if (key.member == &KQ_AppConfig::m_qualityManual)
            EXPECT_EQ(again.*key.member, 0) << key.name;
        else if (key.member == &KQ_AppConfig::m_lastSourceShown)
            EXPECT_EQ(again.*key.member, config.m_lastSource) << key.name; // a copy of Source
        else
            EXPECT_EQ(again.*key.member, config.*key.member) << key.name;
    }
    EXPECT_EQ(again.m_snapPath, config.m_snapPath);
    EXPECT_EQ(again.m_recordPath, config.m_recordPath);
    EXPECT_EQ(again.m_strLanguage, config.m_strLanguage);
    EXPECT_EQ(again.m_skinDir, L"skins\\Blue1"); // SkinDir is never saved
    EXPECT_NE(property().find("[Global]\r\nSkinDir=skins\\Blue1\r\n"), std::string::npos);
}

struct SaveTableCase {
    const char* name;
    const char* history; // null: no history file
    bool withEntries;
    bool written;
};

class SaveTableTest : public ConfigFixture, public ::testing::WithParamInterface<SaveTableCase> {};

TEST_P(SaveTableTest, SaveWritesTheChannelTableOnlyWhereTheHistoryNamesOne) {
    const SaveTableCase& c = GetParam();
    KQ_AppConfig config;
    config.m_userRecord.text1 = L"box1";
    std::filesystem::create_directories(temp / "UserData/box1");
    if (c.history)
        temp.write("UserData/box1/history.ini", c.history);
    if (c.withEntries)
        config.m_channelTable.push_back({1, L"One", 5, 1234});
    config.Save();
    EXPECT_EQ(temp.exists("UserData/box1/mine.tlb"), c.written);
    if (c.written) {
        KQ_AppConfig reader;
        EXPECT_EQ(reader.LoadChannelTable(L".\\UserData\\box1\\mine.tlb"), 0);
        ASSERT_EQ(reader.m_channelTable.size(), 1u);
        EXPECT_EQ(reader.m_channelTable[0].frequency, 1234u);
        EXPECT_EQ(config.m_channelTablePath, L".\\UserData\\box1\\mine.tlb");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveTableTest,
    ::testing::Values(
        SaveTableCase{"Named", "[Channel Table]\r\nTable=.\\UserData\\box1\\mine.tlb\r\n", true, true},
        SaveTableCase{"EmptyTable", "[Channel Table]\r\nTable=.\\UserData\\box1\\mine.tlb\r\n", false, false},
        SaveTableCase{"NoValue", "[Channel Table]\r\nTable=\r\n", true, false},
        SaveTableCase{"NoHistory", nullptr, true, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(ConfigFixture, ScheduleIsLoadedFromTheSetupFolder) {
    std::string file(1260, '\0');
    file[0] = '\x81';
    auto put = [&file](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file += static_cast<char>(v >> (8 * i));
    };
    put(1, 4); // one entry
    put(1, 2), put(77, 4), put(0x10, 4), put(1700000000, 8), put(30, 4), put(2, 4), put(0, 4), put(1, 4);
    put(1, 4); // one range
    put(77, 4), put(0, 4), put(1500, 4), put(1530, 4);
    temp.write("Setup/schedule", file);
    KQ_AppConfig config;
    config.Load();
    ASSERT_EQ(config.m_schedule.entries.size(), 1u);
    EXPECT_EQ(config.m_schedule.entries[0].id, 77);
    EXPECT_EQ(config.m_schedule.entries[0].mode, 1);
    EXPECT_EQ(config.m_schedule.entries[0].start, 1700000000);
    EXPECT_EQ(config.m_schedule.entries[0].source, 2);
    ASSERT_EQ(config.m_schedule.ranges.size(), 1u);
    EXPECT_EQ(config.m_schedule.ranges[0].owner, 77);
    EXPECT_EQ(config.m_schedule.ranges[0].endMinute, 1530);
    EXPECT_EQ(config.m_schedule.weekBitmap[0], 0x81);

    file.resize(file.size() - 3); // a short file: 0, with what was read kept
    temp.write("Setup/schedule", file);
    KQ_ScheduleTable table;
    EXPECT_EQ(table.Load(), 0);
    EXPECT_EQ(table.entries.size(), 1u);
    EXPECT_TRUE(table.ranges.empty());
}

} // namespace
