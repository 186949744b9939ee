#include "boxlink/AccessUnitCutter.h"

#include "media/EsBitReader.h"
#include "media/EsH264.h"

#include <algorithm>
#include <cstddef>

namespace {

// Enough payload for first_mb_in_slice, slice_type and pic_parameter_set_id at their largest.
constexpr size_t kSliceHeadBytes = 16;

struct SliceHead {
    bool idr = false;
    bool reference = false;
    bool firstInPicture = false;
    uint32_t pictureParameterSet = 0;
};

// Whether these fields show that the second slice opens a picture of its own.
bool opensPicture(const SliceHead& previous, const SliceHead& next) {
    return next.firstInPicture || previous.idr != next.idr || previous.reference != next.reference ||
           previous.pictureParameterSet != next.pictureParameterSet;
}

// The fields from a slice NAL unit (header byte first). A header that cannot be read counts as the
// start of a picture, so that damaged data never glues pictures together.
SliceHead readSliceHead(const BYTE* nal, size_t length) {
    SliceHead head;
    head.idr = (nal[0] & 0x1F) == EsNalIdr;
    head.reference = (nal[0] & 0x60) != 0;
    uint8_t payload[kSliceHeadBytes];
    const size_t payloadLength =
        EsRemoveEmulationBytes(nal + 1, std::min(length - 1, kSliceHeadBytes), payload);
    EsBitReader reader(payload, payloadLength);
    try {
        head.firstInPicture = EsReadUe(reader) == 0;
        EsReadUe(reader); // slice_type
        head.pictureParameterSet = EsReadUe(reader);
    } catch (BitstreamErr_t) {
        head.firstInPicture = true;
    }
    return head;
}

// The unit being collected.
struct Unit {
    bool empty = true;
    bool picture = false;       // holds a slice
    bool parameterSets = false; // holds a parameter set (before any slice)
    bool closed = false;        // ended by an end of sequence or end of stream
    SliceHead lastSlice;
};

bool beginsUnit(const Unit& unit, uint8_t type, const SliceHead& slice) {
    if (unit.empty)
        return false;
    if (unit.closed)
        return true;
    switch (type) {
    case EsNalAccessUnitDelimiter:
        return true;
    case EsNalSei:
    case EsNalSps:
    case EsNalPps:
        return unit.picture;
    case EsNalSlice:
    case EsNalIdr:
        return unit.picture ? opensPicture(unit.lastSlice, slice) : unit.parameterSets;
    default:
        return false;
    }
}

void add(Unit& unit, uint8_t type, const SliceHead& slice) {
    unit.empty = false;
    switch (type) {
    case EsNalSlice:
    case EsNalIdr:
        unit.picture = true;
        unit.lastSlice = slice;
        break;
    case EsNalSps:
    case EsNalPps:
        unit.parameterSets |= !unit.picture;
        break;
    case EsNalEndOfSequence:
    case EsNalEndOfStream:
        unit.closed = true;
        break;
    default:
        break;
    }
}

// The offset of the next 00 00 01 at or after from, or length when there is none.
size_t findStartCode(const BYTE* data, size_t length, size_t from) {
    for (size_t i = from; i + 2 < length; ++i) {
        if (data[i + 2] > 1) {
            i += 2;
        } else if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            return i;
        }
    }
    return length;
}

} // namespace

int VD_BITSTREAM_load_AU(BitstreamRecord* record) {
    if (!record || !record->start || !record->end || record->end < record->start)
        return VD_AU_BAD_RECORD;
    const BYTE* data = record->start;
    const size_t length = static_cast<size_t>(record->end - record->start);

    Unit unit;
    size_t code = findStartCode(data, length, 0);
    while (code < length) {
        const size_t header = code + 3;
        if (header >= length)
            break;
        const size_t next = findStartCode(data, length, header);
        // A zero byte before 00 00 01 belongs to the start code (4-byte form), not to the unit before it.
        const size_t nalBegin = code > 0 && data[code - 1] == 0 ? code - 1 : code;
        const uint8_t type = data[header] & 0x1F;
        const bool slice = type == EsNalSlice || type == EsNalIdr;
        const SliceHead head = slice ? readSliceHead(data + header, next - header) : SliceHead{};
        if (beginsUnit(unit, type, head) && nalBegin > 0) {
            record->unit = data;
            record->unitLength = static_cast<DWORD>(nalBegin);
            record->start = data + nalBegin;
            return VD_AU_READY;
        }
        add(unit, type, head);
        code = next;
    }
    return VD_AU_NEED_MORE;
}
