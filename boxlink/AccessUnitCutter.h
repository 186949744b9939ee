// The access-unit cutter of the stream receiver: finds the first complete H.264 access unit among the
// NAL units the receiver has assembled (each behind a start code). A unit is known complete only when the
// first NAL unit of the next one is in the buffer. Units begin at
// - an access unit delimiter;
// - an SEI, sequence or picture parameter set after a picture;
// - the first slice after a run of SEI, parameter sets and delimiters that holds a parameter set: the
//   parameter sets (with the SEI and delimiters around them) are a unit of their own, handed on just
//   before the IDR picture they belong to; a run without parameter sets stays with its picture;
// - a slice that opens a new picture: first_mb_in_slice 0, or a change of IDR-ness, of nal_ref_idc being
//   zero or of the picture parameter set;
// - whatever follows an end of sequence or end of stream, which close their unit.
// It keeps no state between calls: everything it decides on is in the buffer, which comes from the box
// and is read within start and end only.
#pragma once

#include "platform/win32/Types.h"

struct BitstreamRecord {
    const BYTE* start = nullptr; // the first byte not yet handed out; moved past each unit found
    const BYTE* end = nullptr;   // one past the last assembled byte
    const BYTE* unit = nullptr;  // out: the access unit found, inside [start, end)
    DWORD unitLength = 0;        // out
};

constexpr int VD_AU_READY = 0;     // a complete unit is in unit/unitLength, start is just behind it
constexpr int VD_AU_NEED_MORE = 1; // no complete unit yet; the bytes are kept for the next call
constexpr int VD_AU_BAD_RECORD = -1;

int VD_BITSTREAM_load_AU(BitstreamRecord* record);
