#include "media/AccessUnitKind.h"

AccessUnitKind ScanAccessUnit(const uint8_t* data, size_t length) {
    AccessUnitKind kind;
    // A NAL header is the byte after 00 00 01; a 4-byte start code ends in the same three bytes.
    for (size_t i = 0; i + 3 < length; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        const uint8_t type = data[i + 3] & 0x1F;
        kind.idr |= type == 5;
        kind.parameterSets |= type == 7 || type == 8;
        kind.picture |= type >= 1 && type <= 5;
        i += 2;
    }
    return kind;
}

AccessUnitKind ScanMediaUnit(const uint8_t* unit, size_t length) {
    if (length <= 4)
        return {};
    return ScanAccessUnit(unit + 4, length - 4);
}
