// The named IR remote profiles of the connected box, kept in one ".rpl" file per box in its login folder.
// One store lives for the whole run (g_irProfileStore); the login opens the box's file into it, the Remoter
// page and the remote pane change it. UI thread only.
//
// The ".rpl" file, an archive of 32-bit little-endian integers and archive strings (Archive.h): the header
// (the box's login ID), i32 empty, and only when empty is 0 an i32 count and the profiles in name order,
// each its name and, for positions 0 to 35, i32 key, i32 learned and the 512 code bytes.
#pragma once

#include "dialogs/records/RemoterMapping.h"

#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

// One remote profile: position i holds the key whose id is kFirstRemoteKeyId + i (key 0 while blank).
class KQ_UI_IREntry {
public:
    void Clear(); // name "" and every position blank

    bool operator==(const KQ_UI_IREntry&) const = default;

    std::wstring name;
    std::array<RemoterMapEntry, kIrProfileKeys> entries{};
};

class KQ_UI_IRProfileStore {
public:
    // Opens the box's file: the header becomes the text and path the current ".rpl" path. An existing file
    // is read (ReadProfileArchive's result). A missing one is created holding the header and empty = 1,
    // after the profiles of the box before are dropped. An empty path (no login folder) drops them too and
    // gives 0.
    int OpenProfileArchive(const std::wstring& header, const std::wstring& path);
    // Replaces the file at path whole (a temporary file renamed over it); 1 when written, 0 for an empty
    // path or a failed write (the old file stays).
    int WriteProfileArchive(const std::wstring& path) const;
    // Empties the profiles, then reads the file: 1 when whole; 0 when it can't be opened or is damaged (the
    // profiles read whole before the damage stay).
    int ReadProfileArchive(const std::wstring& path);
    // The same from the file's bytes.
    int Read(std::vector<std::uint8_t> bytes);
    std::vector<std::uint8_t> Bytes() const;

    // The profile names in map order (also kept in names).
    const std::list<std::wstring>& ListProfileNames();
    // A new profile of 36 blank positions (an existing one of the name stays as it is); empty := 0. An
    // empty name does nothing. Always 1.
    int AddProfile(const std::wstring& name);
    int HasProfile(const std::wstring& name) const;
    // The profile into out: 1; 0 when there is none.
    int GetProfile(const std::wstring& name, KQ_UI_IREntry& out) const;
    // The profile of the name to profile's contents when it is there; false otherwise (nothing is made).
    bool AssignProfile(const std::wstring& name, const KQ_UI_IREntry& profile);
    void RemoveProfile(const std::wstring& name); // the empty flag stays

    std::map<std::wstring, KQ_UI_IREntry> profiles; // exact, case-sensitive name order
    std::list<std::wstring> names;
    std::wstring header;
    std::int32_t empty = 0; // 1 while the file was created without profiles
    std::wstring path;      // the current ".rpl" file; empty when the login has no folder
};

extern KQ_UI_IRProfileStore g_irProfileStore;
