#include "dialogs/records/IrProfileSteps.h"

#include "dialogs/records/IrProfileBlob.h"
#include "platform/win32/Profile.h"

std::wstring ReadHistoryProfile(const std::wstring& historyPath) {
    if (historyPath.empty())
        return {};
    wchar_t name[129] = {};
    const DWORD n =
        GetPrivateProfileStringW(L"Profile Setting", L"Profile", L"", name, 129, historyPath.c_str());
    return std::wstring(name, n);
}

int OpenLoginProfiles(KQ_UI_IRProfileStore& store, KQ_UI_RemoterMapping& map, const std::wstring& loginId,
                      const std::wstring& rplPath, const std::wstring& historyPath) {
    const int opened = store.OpenProfileArchive(loginId, rplPath);
    map.ClearKeyMap();
    map.name.clear();
    if (const std::wstring profile = ReadHistoryProfile(historyPath); !profile.empty())
        map.LoadProfileToKeyMap(store, profile);
    return opened;
}

IrDataReceived ReceiveBoxIrData(KQ_UI_IRProfileStore& store, KQ_UI_RemoterMapping& map,
                                const std::uint8_t* block, std::size_t length,
                                const std::wstring& historyPath) {
    for (const KQ_UI_IREntry& profile : ParseBoxIrData(block, length)) {
        if (!store.HasProfile(profile.name))
            store.AddProfile(profile.name);
        store.AssignProfile(profile.name, profile);
    }
    IrDataReceived received;
    received.written = store.WriteProfileArchive(store.path);
    if (!store.profiles.empty()) {
        received.refill = true;
        for (const std::wstring& name : store.ListProfileNames())
            if (!name.empty())
                received.names.push_back(name);
        map.ClearKeyMap();
    }
    const std::wstring profile = ReadHistoryProfile(historyPath);
    if (!profile.empty() && map.LoadProfileToKeyMap(store, profile))
        received.selected = profile;
    return received;
}
