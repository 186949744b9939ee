#include "boxlink/BoxControlFrame.h"

WORD BoxFrameChecksum(const BYTE* frame) {
    DWORD sum = 0;
    for (std::size_t at = 0; at < BoxControlFrame::kChecksumAt; at += 2)
        sum += LoadU16(frame + at);
    const DWORD once = (sum >> 16) + (sum & 0xFFFF);
    const DWORD twice = (once >> 16) + once;
    return static_cast<WORD>(~twice);
}

void BoxControlFrame::Seal() {
    SetU32(kChecksumAt, 0);
    SetU32(kChecksumAt, BoxFrameChecksum(bytes.data()));
}
