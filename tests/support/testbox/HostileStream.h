// What a hostile box puts into its stream between two records (StreamSide::Send): a header whose length is
// out of bounds, garbage, and more useless records than the PC's stream ring holds.
#pragma once

#include "tests/support/testbox/StreamSide.h"

#include <cstddef>
#include <cstdint>

namespace testbox {

// A record header of the type with a length above the largest a record may have.
StreamBytes BadRecordHeader(std::uint8_t type);
// Pseudo-random bytes, the same for a seed, none of them a record type of any stream generation or of a
// download: the parser can take no record out of them that it would use or start from.
StreamBytes Garbage(std::size_t size, std::uint32_t seed);
// Empty records of a type without use, to make up size bytes: a parser drops them one by one, with a
// pause each, so more of them than the PC's stream ring holds make it overflow.
StreamBytes UselessRecords(std::size_t size);

} // namespace testbox
