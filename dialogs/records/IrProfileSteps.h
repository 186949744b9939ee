// The two roads on which the box's IR profiles reach the PC: the login, which opens the box's ".rpl" file,
// and the Remoter page's receive of the box's IR data. Each is one operation over the store and the key
// map; the callers give the login's paths (the ".rpl" path and the history path, which config/LoginFolder.h
// builds).
#pragma once

#include "dialogs/records/IrProfileStore.h"
#include "dialogs/records/RemoterMapping.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// [Profile Setting] "Profile" of the login's history file (up to 128 characters): the current profile's
// name, "" when none or without a history path.
std::wstring ReadHistoryProfile(const std::wstring& historyPath);

// After a successful login: the box's ".rpl" file opened with the login ID as header (created when
// missing), the key map cleared with its name "", and the history's profile loaded into it when it names
// one. OpenProfileArchive's result.
int OpenLoginProfiles(KQ_UI_IRProfileStore& store, KQ_UI_RemoterMapping& map, const std::wstring& loginId,
                      const std::wstring& rplPath, const std::wstring& historyPath);

// What the Remoter page does with its profile list after the box's IR data was received.
struct IrDataReceived {
    int written = 0;                 // the store's write to its ".rpl" file
    bool refill = false;             // the store holds profiles: the list is refilled with names
    std::vector<std::wstring> names; // the store's non-empty names, in order
    std::wstring selected;           // the history's profile to select; "" for none
};

// The box's IR block of length bytes into the store: each whole profile with a name is added when new and
// takes the block's keys (an empty name adds nothing); the store is written to its ".rpl" file; when it
// holds profiles the key map is cleared; the history's profile, when it names one, is loaded into the map.
IrDataReceived ReceiveBoxIrData(KQ_UI_IRProfileStore& store, KQ_UI_RemoterMapping& map,
                                const std::uint8_t* block, std::size_t length,
                                const std::wstring& historyPath);
