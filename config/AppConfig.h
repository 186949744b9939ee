// The one settings object of the program: loaded from ".\Setup\property.ini" at start-up, written back at
// exit and by the settings pages. Windows read and change its members directly, on the UI thread only.
// Besides the settings it holds the current channel table with the "*.tlb" reader and writer, the skin
// layout records, and records of the settings dialogs (schedule, IR key map, remembered logins).
#pragma once

#include "config/SkinLayout.h"
#include "dialogs/records/ChannelTableItem.h"
#include "dialogs/records/RemoterMapping.h"
#include "dialogs/records/ScheduleTable.h"
#include "dialogs/records/UserRecord.h"
#include "platform/win32/Types.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Results of the INI access operations and of the channel-table load and save.
constexpr HRESULT kConfigOk = 0;
constexpr HRESULT kConfigWriteFailed = 221;
constexpr int kChannelTableEmpty = 1; // the file holds no table; the current one is kept
constexpr int kChannelTableIncomplete =
    220; // an entry is incomplete (load) or Count could not be written (save)
constexpr int kChannelTableWriteFailed = 221;

// A skinned window's look: its five state bitmaps (background, normal, hover, hit, disabled) and layout.
// The bitmaps are loaded by the skin code of the windows: the built-in skin names them by resource id.
struct SkinWindowLook {
    std::array<std::int32_t, 5> bitmapResources{};
    SkinItemLayout layout;
};

class KQ_AppConfig {
public:
    KQ_AppConfig();

    int Load();
    int Save();

    // Channel tables ("*.tlb"): results 0, kChannelTableEmpty, kChannelTableIncomplete (load); 0,
    // kChannelTableIncomplete, kChannelTableWriteFailed (save).
    int LoadChannelTable(const std::wstring& path);
    int SaveChannelTable(const std::wstring& path);

    // INI access; an empty file means m_propertyPath. Reads give E_FAIL for an absent (or, for texts and
    // 64-bit values, empty) key with the default in out; writes give kConfigWriteFailed.
    HRESULT ReadProfileString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& fallback, const std::wstring& file, std::wstring& out);
    HRESULT ReadProfileInt(const std::wstring& section, const std::wstring& key, std::int32_t fallback,
                           const std::wstring& file, std::int32_t& out);
    HRESULT ReadProfileInt64(const std::wstring& section, const std::wstring& key, const std::wstring& file,
                             std::int32_t& out);
    HRESULT WriteProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& file);
    HRESULT WriteProfileInt(const std::wstring& section, const std::wstring& key, std::int32_t value,
                            const std::wstring& file);
    HRESULT WriteProfileLong(const std::wstring& section, const std::wstring& key, std::int32_t value,
                             const std::wstring& file);
    // ReadProfileString for a path: read whole, however long.
    HRESULT ReadProfilePath(const std::wstring& section, const std::wstring& key,
                            const std::wstring& fallback, const std::wstring& file, std::wstring& out);

    void LoadBuiltInSkin();
    void CopyDefaultSkinLayouts();

    std::wstring m_propertyPath;
    std::int32_t m_topMost = 0;
    std::int32_t m_osdEnable = 0;

    // Filled by the login reply and the relay server; their meaning belongs to the box link.
    std::array<std::int32_t, 8> m_loginReplyValues{};
    std::string m_loginReplyText; // ANSI
    std::wstring m_boxAddress;
    std::uint8_t m_loginReplyByte = 0;

    // Skin: the folder of the skin files, and the records the skin loader or the built-in skin fills.
    std::wstring m_skinDir;
    std::int32_t m_skinFromFiles = 0; // cleared by the built-in skin
    std::array<SkinWindowLook, 5>
        m_skinWindows{}; // main (live), main (file), login pane, TV pane, remote pane
    std::array<std::int32_t, 6> m_skinExtBitmaps{}; // source, max, mute, record, favourite, login
    std::array<SkinItemLayout, 17> m_mainButtons{};
    TextLabelLayout m_clockLabel;
    TextLabelLayout m_infoBarLabel;
    std::array<SkinItemLayout, 2> m_volumeSlider{}; // track, thumb
    std::array<SkinItemLayout, 2> m_fileSlider{};   // track, thumb
    std::array<std::int32_t, 4> m_videoBoxSizes{};  // cx1, cy1, cx2, cy2
    SkinItemLayout m_loginButton;
    std::array<SkinItemLayout, 15> m_tvKeys{};
    std::array<SkinItemLayout, 36> m_remoteKeys{};

    std::int32_t m_lastSourceShown = -1;
    std::wstring m_channelTablePath;
    std::vector<KQ_UI_FRQ_TABLE_ITEM> m_channelTable;

    std::int32_t m_tvMode = 0;
    std::int32_t m_countryId = 0;
    std::int32_t m_signal = 0;
    std::int32_t m_scanHigh = 0;
    std::int32_t m_scanLow = 0;
    std::int32_t m_curChannel = 0;

    std::wstring m_snapPath;
    std::wstring m_recordPath;
    std::int32_t m_snapFormat = 0;
    std::int32_t m_jpegQuality = 0;
    std::int32_t m_language = 0;
    std::wstring m_strLanguage;

    std::int32_t m_brightness = 0;
    std::int32_t m_contrast = 0;
    std::int32_t m_hue = 0;
    std::int32_t m_saturation = 0;
    std::int32_t m_videoQuality = 0;
    std::int32_t m_qualityAuto = 0;
    std::int32_t m_qualityManual = 0;

    std::int32_t m_frameRate = 0;
    std::int32_t m_bitsRate = 0;
    std::int32_t m_resolv = 0;
    std::int32_t m_bufferTime = 0;

    std::int32_t m_remoterCv = 0;
    std::int32_t m_remoterSv = 0;
    std::int32_t m_remoterNtsc = 0;
    std::int32_t m_remoterPal = 0;
    std::int32_t m_remoterMute = 0;

    KQ_UI_RemoterMapping m_remoterMapping;
    KQ_ScheduleTable m_schedule;
    KQ_UI_UserRecord m_userRecord; // its first text is the current login ID

    std::int32_t m_lastSource = 0;
    std::int32_t m_volume = 0;
};
