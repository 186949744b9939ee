#include "config/AppConfig.h"

#include "platform/win32/Profile.h"

namespace {

const std::wstring kInfo = L"Table Info";

std::wstring entrySection(std::size_t index) {
    return L"C" + std::to_wstring(index);
}

} // namespace

int KQ_AppConfig::LoadChannelTable(const std::wstring& path) {
    if (path.empty())
        return kChannelTableEmpty; // an empty file argument would mean the property file
    const auto count =
        static_cast<std::int32_t>(GetPrivateProfileIntW(kInfo.c_str(), L"Count", -1, path.c_str()));
    if (count < 1)
        return kChannelTableEmpty;
    m_channelTable.clear();
    // A name that is present but empty is a name: absence shows as this default, which no INI value can be.
    const std::wstring absent = L"\n";
    for (std::int32_t i = 0; i < count; ++i) {
        const std::wstring section = entrySection(static_cast<std::size_t>(i));
        KQ_UI_FRQ_TABLE_ITEM item;
        std::int32_t frequency = 0;
        wchar_t name[255];
        const DWORD n =
            GetPrivateProfileStringW(section.c_str(), L"Name", absent.c_str(), name, 255, path.c_str());
        const bool ok = std::wstring(name, n) != absent &&
                        ReadProfileInt64(section, L"Freq", path, frequency) == kConfigOk &&
                        ReadProfileInt(section, L"Id", 0, path, item.channel) == kConfigOk &&
                        ReadProfileInt(section, L"Is_fav", 0, path, item.isFavourite) == kConfigOk;
        if (!ok) {
            m_channelTable.clear();
            return kChannelTableIncomplete;
        }
        item.name.assign(name, n);
        item.frequency = static_cast<std::uint32_t>(frequency);
        m_channelTable.push_back(std::move(item));
    }
    return kConfigOk;
}

int KQ_AppConfig::SaveChannelTable(const std::wstring& path) {
    if (path.empty() ||
        WriteProfileInt(kInfo, L"Count", static_cast<std::int32_t>(m_channelTable.size()), path) != kConfigOk)
        return kChannelTableIncomplete;
    for (std::size_t i = 0; i < m_channelTable.size(); ++i) {
        const KQ_UI_FRQ_TABLE_ITEM& item = m_channelTable[i];
        const std::wstring section = entrySection(i);
        if (WriteProfileString(section, L"Name", item.name, path) != kConfigOk ||
            WriteProfileInt(section, L"Id", item.channel, path) != kConfigOk ||
            WriteProfileLong(section, L"Freq", static_cast<std::int32_t>(item.frequency), path) !=
                kConfigOk ||
            WriteProfileInt(section, L"Is_fav", item.isFavourite, path) != kConfigOk)
            return kChannelTableWriteFailed;
    }
    return kConfigOk;
}
