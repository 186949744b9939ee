// The IR data the PC and the box exchange: u8 10; u8 profile count; per profile u8 n, the name's n bytes
// in the legacy code page, u8 k and the 512-byte codes of its k learned keys in position order. The PC
// uploads the store in this form (built in a buffer of 0x80000 bytes, of which only the bytes written are
// sent); the box answers the get-IR-data request with a block of the same form.
#pragma once

#include "dialogs/records/IrProfileStore.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr std::size_t kIrProfileBlobSize = 0x80000;
constexpr std::uint8_t kIrDataType = 10;

// The upload blob being built: the buffer, the next byte to write, and the bytes it holds (what is sent).
struct IrProfileBlob {
    std::unique_ptr<std::uint8_t[]> start;
    std::uint8_t* write = nullptr;
    std::int32_t written = 0;
};

enum class IrBlobResult {
    Built,
    NoMemory,
    TooManyProfiles, // more than 255 named profiles: the count byte can't say it
    NameTooLong,     // a name of more than 255 bytes in the legacy code page
    TooLarge,        // the profiles' codes don't fit the buffer
};

// Writes the store's named profiles (an empty name contributes nothing) into a new buffer; the count byte
// counts what was written. The fit is checked before a byte is written: any result but Built leaves the
// blob empty.
IrBlobResult BuildProfileUploadBlob(const KQ_UI_IRProfileStore& store, IrProfileBlob& blob);
void FreeProfileUploadBlob(IrProfileBlob& blob);

// A read position in the box's block, which never passes end.
struct IrBlobCursor {
    const std::uint8_t* at;
    const std::uint8_t* end;
};

// Each read advances the cursor over what it read; false when the block ends inside it (the cursor and
// the outputs are then undefined).
bool ReadBlobName(IrBlobCursor& cursor, std::wstring& name);
bool ReadBlobCodes(IrBlobCursor& cursor, int count, std::vector<const std::uint8_t*>& codes);
// Name and codes into the profile: a code whose first u32 is a key number j of 1 to 36 sets position j - 1
// (key id 1042 + j, learned, the code); other codes are ignored and other positions kept.
bool ReadBlobProfile(IrBlobCursor& cursor, KQ_UI_IREntry& profile);

// The whole profiles of the box's block of length bytes (its first byte is skipped, the second is the
// count); a profile that runs past the block ends the parse.
std::vector<KQ_UI_IREntry> ParseBoxIrData(const std::uint8_t* block, std::size_t length);
