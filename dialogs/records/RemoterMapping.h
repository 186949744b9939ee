// The current IR key map: which of the remote pane's 36 keys the box has learned, by button id, and the
// profile they came from. One map lives in the configuration; the remote pane enables its keys by it.
// UI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class KQ_UI_IRProfileStore;

// One key of a remote: its button id (1043 to 1078, 0 when blank), whether the box learned it, and the code
// as the box delivers it (its first four bytes, little-endian, are the key number 1 to 36).
struct RemoterMapEntry {
    std::int32_t key = 0;
    std::int32_t learned = 0;
    std::uint8_t code[512] = {};

    bool operator==(const RemoterMapEntry&) const = default;
};

// The remote pane's button ids: the key at position i of a profile has id kFirstRemoteKeyId + i, and the
// key number the box knows it by is id - 1042.
constexpr std::int32_t kFirstRemoteKeyId = 1043;
constexpr int kIrProfileKeys = 36;

class KQ_UI_RemoterMapping {
public:
    // The button ids of the remote pane in the order the map is filled at start.
    static const std::int32_t kRemoteKeyTable[36];

    KQ_UI_RemoterMapping(); // every key of kRemoteKeyTable, not learned
    virtual ~KQ_UI_RemoterMapping() = default;

    // Every key not learned, its code zeroed; the name stays.
    void ClearKeyMap();
    // The store's profile of the name into the map (after ClearKeyMap): each position that holds its own
    // key id gives that key's learned flag and code, and the map takes the name; 0 (the map unchanged)
    // when the store has no such profile.
    int LoadProfileToKeyMap(const KQ_UI_IRProfileStore& store, const std::wstring& name);
    // The map as the store's profile of the name (added when missing), then the store written to the
    // ".rpl" file at path; the write's result. 0 without touching store or file when path is empty (the
    // login has no folder).
    int SaveKeyMapAsProfile(KQ_UI_IRProfileStore& store, const std::wstring& name,
                            const std::wstring& path) const;

    std::wstring name; // the profile last loaded into the map
    std::map<std::int32_t, RemoterMapEntry> keys;
};
