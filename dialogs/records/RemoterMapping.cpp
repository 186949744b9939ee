#include "dialogs/records/RemoterMapping.h"

#include "dialogs/records/IrProfileStore.h"

#include <cstring>

const std::int32_t KQ_UI_RemoterMapping::kRemoteKeyTable[36] = {
    1063, 1064, 1065, 1066, 1067, 1068, 1078, 1069, 1070, 1071, 1072, 1073,
    1074, 1075, 1076, 1077, 1043, 1044, 1048, 1049, 1045, 1047, 1046, 1051,
    1053, 1050, 1054, 1052, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062};

KQ_UI_RemoterMapping::KQ_UI_RemoterMapping() {
    for (std::int32_t id : kRemoteKeyTable) {
        RemoterMapEntry entry;
        entry.key = id;
        keys.emplace(id, entry);
    }
}

void KQ_UI_RemoterMapping::ClearKeyMap() {
    for (auto& [id, entry] : keys) {
        entry.learned = 0;
        std::memset(entry.code, 0, sizeof entry.code);
    }
}

int KQ_UI_RemoterMapping::LoadProfileToKeyMap(const KQ_UI_IRProfileStore& store,
                                              const std::wstring& profileName) {
    KQ_UI_IREntry profile;
    if (!store.GetProfile(profileName, profile))
        return 0;
    ClearKeyMap();
    for (int i = 0; i < kIrProfileKeys; ++i) {
        const RemoterMapEntry& e = profile.entries[static_cast<std::size_t>(i)];
        if (e.key == kFirstRemoteKeyId + i)
            keys[e.key] = e;
    }
    name = profileName;
    return 1;
}

int KQ_UI_RemoterMapping::SaveKeyMapAsProfile(KQ_UI_IRProfileStore& store, const std::wstring& profileName,
                                              const std::wstring& path) const {
    if (path.empty())
        return 0;
    KQ_UI_IREntry profile;
    profile.name = profileName;
    for (int i = 0; i < kIrProfileKeys; ++i)
        if (const auto it = keys.find(kFirstRemoteKeyId + i); it != keys.end())
            profile.entries[static_cast<std::size_t>(i)] = it->second;
    if (!store.HasProfile(profileName))
        store.AddProfile(profileName);
    store.AssignProfile(profileName, profile);
    return store.WriteProfileArchive(path);
}
