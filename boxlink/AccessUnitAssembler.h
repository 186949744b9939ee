// The access-unit assembly of the stream receiver: the NAL units of the video records are collected behind
// 4-byte start codes in one fixed buffer, and every access unit that the cutter (AccessUnitCutter.h) finds
// complete comes out as a MediaUnit: the u32 timestamp of the record whose NAL unit completed it, then the
// unit in Annex B form. Owned and used by the parser thread only; no allocation after construction.
#pragma once

#include "boxlink/AccessUnitCutter.h"
#include "platform/win32/Types.h"

#include <memory>
#include <span>

class AccessUnitAssembler {
public:
    static constexpr DWORD kBufferSize = 0x100000; // assembled bytes

    AccessUnitAssembler();

    // body: a video record from its timestamp on (u32 timestamp, one NAL unit without start code). NAL
    // units of types other than 1 and 5 to 10, and bodies without a NAL byte, are dropped. When the unit
    // does not fit behind what is assembled, the assembled bytes are dropped first.
    // Returns the MediaUnit this NAL unit completed, or an empty span. The span stays valid until the next
    // Push or Settle. After a unit came out, Settle says what becomes of the rest; a Push without it
    // drops the rest.
    std::span<const BYTE> Push(const BYTE* body, DWORD length);
    // After a unit came out: keep the NAL unit that completed it (and anything behind it) as the start of
    // the next unit, or drop it too.
    void Settle(bool keepRest);
    void Clear();

    DWORD Assembled() const { return fill_; }

private:
    BYTE* data() { return buffer_.get() + 4; } // the 4 bytes in front take the unit's timestamp

    std::unique_ptr<BYTE[]> buffer_;
    DWORD fill_ = 0;
    BitstreamRecord record_;
    bool unitOut_ = false;
};
