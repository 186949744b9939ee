#include "config/AppConfig.h"

#include "config/LoginFolder.h"
#include "dialogs/records/CountryScanRange.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Profile.h"

namespace {

// The keys that Load and Save read and write "directly" with the system's integer functions, not through
// the access operations: a stored 65535 is a value there.
const wchar_t* const kPropertyFile = L".\\Setup\\property.ini";

std::int32_t readDirect(const wchar_t* section, const wchar_t* key, INT fallback) {
    return static_cast<std::int32_t>(GetPrivateProfileIntW(section, key, fallback, kPropertyFile));
}

void writeDirect(const wchar_t* section, const wchar_t* key, std::int32_t value) {
    WritePrivateProfileStringW(section, key, std::to_wstring(value).c_str(), kPropertyFile);
}

std::wstring programFolder() {
    std::vector<wchar_t> module(32768);
    const DWORD n = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    std::wstring folder(module.data(), n);
    const std::size_t cut = folder.rfind(L'\\');
    folder.erase(cut == std::wstring::npos ? 0 : cut);
    return folder + L"\\";
}

} // namespace

KQ_AppConfig::KQ_AppConfig()
    : m_propertyPath(L".\\setup\\property.ini"), m_loginReplyText("0.0.0.0"), m_boxAddress(L"0.0.0.0") {}

int KQ_AppConfig::Load() {
    const std::wstring file; // the property file
    if (ReadProfilePath(L"Global", L"SkinDir", L".", file, m_skinDir) != kConfigOk) {
        m_skinDir = L".";
        LoadBuiltInSkin();
    }

    ReadProfileInt(L"Channel", L"CountryID", 39, file, m_countryId);
    LookupCountryScanRange(m_countryId, &m_scanLow, &m_scanHigh);
    ReadProfileInt(L"Channel", L"TV Mode", 0, file, m_tvMode);
    ReadProfileInt(L"Channel", L"Signal", 1, file, m_signal);
    ReadProfileInt(L"Channel", L"CurChannel", -1, file, m_curChannel);

    const std::wstring folder = programFolder();
    ReadProfilePath(L"Save", L"Snap Path", folder + L"snap", file, m_snapPath);
    ReadProfilePath(L"Save", L"Record Path", folder + L"record", file, m_recordPath);
    ReadProfileString(L"Save", L"strlanguage", L"", file, m_strLanguage);
    ReadProfileInt(L"Save", L"snap format", 1, file, m_snapFormat);
    ReadProfileInt(L"Save", L"jpeg quality", 1, file, m_jpegQuality);
    ReadProfileInt(L"Save", L"Language", 0, file, m_language);

    ReadProfileInt(L"Video_setting", L"brightness", 32, file, m_brightness);
    ReadProfileInt(L"Video_setting", L"contrast", 32, file, m_contrast);
    ReadProfileInt(L"Video_setting", L"hue", 32, file, m_hue);
    ReadProfileInt(L"Video_setting", L"saturation", 32, file, m_saturation);
    ReadProfileInt(L"Video_setting", L"video_quality", 50, file, m_videoQuality);
    ReadProfileInt(L"Video_setting", L"auto", 1, file, m_qualityAuto);
    ReadProfileInt(L"Video_setting", L"manual", 0, file, m_qualityManual);

    ReadProfileInt(L"Remoter_setting", L"cv", 1, file, m_remoterCv);
    ReadProfileInt(L"Remoter_setting", L"sv", 0, file, m_remoterSv);
    ReadProfileInt(L"Remoter_setting", L"ntsc", 0, file, m_remoterNtsc);
    ReadProfileInt(L"Remoter_setting", L"pal", 1, file, m_remoterPal);
    ReadProfileInt(L"Remoter_setting", L"mute", 0, file, m_remoterMute);

    m_schedule.Load();

    m_frameRate = readDirect(L"Video Quality", L"FrameRate", 30);
    m_bitsRate = readDirect(L"Video Quality", L"BitsRate", 0);
    m_resolv = readDirect(L"Video Quality", L"Resolv", 0);
    m_bufferTime = readDirect(L"Video Quality", L"BufferTime", 0);
    m_lastSource = readDirect(L"Last Source", L"Source", 0);
    m_lastSourceShown = m_lastSource;
    m_topMost = readDirect(L"TopMost", L"Switch", 0);
    m_osdEnable = readDirect(L"OSD", L"Enable", 1);
    m_volume = readDirect(L"Volume", L"Value", 500);
    return 0;
}

int KQ_AppConfig::Save() {
    const std::wstring file;
    WriteProfileInt(L"Video_setting", L"brightness", m_brightness, file);
    WriteProfileInt(L"Video_setting", L"contrast", m_contrast, file);
    WriteProfileInt(L"Video_setting", L"hue", m_hue, file);
    WriteProfileInt(L"Video_setting", L"saturation", m_saturation, file);
    WriteProfileInt(L"Video_setting", L"video_quality", m_videoQuality, file);
    // The quality mode always comes back as automatic after a restart.
    WriteProfileInt(L"Video_setting", L"auto", 1, file);
    WriteProfileInt(L"Video_setting", L"manual", 0, file);

    writeDirect(L"Video Quality", L"FrameRate", m_frameRate);
    writeDirect(L"Video Quality", L"BitsRate", m_bitsRate);
    writeDirect(L"Video Quality", L"Resolv", m_resolv);
    writeDirect(L"Video Quality", L"BufferTime", m_bufferTime);

    WriteProfileInt(L"Remoter_setting", L"cv", m_remoterCv, file);
    WriteProfileInt(L"Remoter_setting", L"sv", m_remoterSv, file);
    WriteProfileInt(L"Remoter_setting", L"ntsc", m_remoterNtsc, file);
    WriteProfileInt(L"Remoter_setting", L"pal", m_remoterPal, file);
    WriteProfileInt(L"Remoter_setting", L"mute", m_remoterMute, file);

    // The login's channel table goes back to the file its history names, if it names one.
    const std::wstring history = GetLoginHistoryPath(m_userRecord.text1, g_userDataRoot);
    std::wstring table;
    if (!history.empty() && ReadProfilePath(L"Channel Table", L"Table", L"", history, table) == kConfigOk &&
        !m_channelTable.empty()) {
        m_channelTablePath = table;
        SaveChannelTable(m_channelTablePath);
    }

    WriteProfileInt(L"Channel", L"CountryID", m_countryId, file);
    WriteProfileInt(L"Channel", L"TV Mode", m_tvMode, file);
    WriteProfileInt(L"Channel", L"Signal", m_signal, file);
    WriteProfileInt(L"Channel", L"CurChannel", m_curChannel, file);

    WriteProfileString(L"Save", L"Snap Path", m_snapPath, file);
    WriteProfileString(L"Save", L"Record Path", m_recordPath, file);
    WriteProfileString(L"Save", L"strlanguage", m_strLanguage, file);
    WriteProfileInt(L"Save", L"snap format", m_snapFormat, file);
    WriteProfileInt(L"Save", L"jpeg quality", m_jpegQuality, file);
    WriteProfileInt(L"Save", L"Language", m_language, file);

    writeDirect(L"Last Source", L"Source", m_lastSource);
    writeDirect(L"TopMost", L"Switch", m_topMost);
    writeDirect(L"OSD", L"Enable", m_osdEnable);
    writeDirect(L"Volume", L"Value", m_volume);
    return 0;
}
