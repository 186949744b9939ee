// The current IR key map: which of the remote pane's 36 keys the box has learned, by button id.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// One key of a remote: its button id (1043 to 1078, 0 when blank), whether the box learned it, and the code
// as the box delivers it (its first four bytes, little-endian, are the key number 1 to 36).
struct RemoterMapEntry {
    std::int32_t key = 0;
    std::int32_t learned = 0;
    std::uint8_t code[512] = {};
};

class KQ_UI_RemoterMapping {
public:
    // The button ids of the remote pane in the order the map is filled at start.
    static const std::int32_t kRemoteKeyTable[36];

    KQ_UI_RemoterMapping(); // every key of kRemoteKeyTable, not learned
    virtual ~KQ_UI_RemoterMapping() = default;

    std::wstring name; // the profile last loaded into the map
    std::map<std::int32_t, RemoterMapEntry> keys;
};
