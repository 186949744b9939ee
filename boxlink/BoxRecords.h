// Records the box link carries between the box and the windows: task and information records passed
// through unchanged (dialogs/records/BoxTaskRecords.h), the recorded-file list built from the box's file
// records, and the firmware image the update dialog hands over.
#pragma once

#include "dialogs/records/BoxTaskRecords.h"
#include "platform/win32/Types.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

// One piece of a recording on the box, as the transfer dialog holds it and hands it back to the file
// requests.
struct BoxFileItem {
    WORD index = 0; // the recording's folder index
    BYTE flag = 0;  // the record's u8 at 36
    std::array<char, 32> name{};
    WORD value = 0;   // the record's u16 at 32
    DWORD pieces = 0; // the record's piece count (u16 at 34)
};

// One recording: its pieces, named after the last piece without its 7-character ending, plus ".mp4".
struct BoxFileFolder {
    WORD index = 0;
    BYTE flag = 0; // the last item's
    std::array<char, 33> name{};
    std::vector<BoxFileItem> items;
};

using BoxFileList = std::vector<BoxFileFolder>;

// The file record of the box's file list and of the file requests: 32-byte name, u16 value, u16 piece count,
// u8 flag.
constexpr std::size_t kBoxFileRecordSize = 37;
void StoreBoxFileRecord(const BoxFileItem& item, BYTE* record);

// The largest file-list message the box may announce.
constexpr DWORD kBoxFileListMax = 32768;

// Builds the list from a whole file-list message (type byte, u32 record count, records). A count beyond the
// message is cut to the records it holds; a group whose piece count is 0 or runs past the last record makes
// the list malformed (nothing).
std::optional<BoxFileList> ParseBoxFileList(const BYTE* message, std::size_t length);

// What the update dialog loads for a firmware update: the 160-byte header the request carries and the image
// that follows in chunks once the box accepts.
struct FirmwareImage {
    std::array<BYTE, 160> header{};
    std::vector<BYTE> bytes;
};
