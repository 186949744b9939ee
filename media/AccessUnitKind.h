// What an access unit holds, for every consumer that asks whether a unit is an IDR picture, carries a
// picture at all or parameter sets (GOP caches, recording start and durations, the MP4 writer): the NAL
// headers behind each 3- or 4-byte start code are scanned; nothing is read at a fixed offset. Units come from
// the box: every read is bounded by the length given.
#pragma once

#include <cstddef>
#include <cstdint>

struct AccessUnitKind {
    bool idr = false;           // a NAL unit of type 5 (IDR slice)
    bool parameterSets = false; // a NAL unit of type 7 or 8 (sequence or picture parameter set)
    bool picture = false;       // a slice (NAL unit of type 1 to 5)
};

// An access unit in Annex B form (start codes included).
AccessUnitKind ScanAccessUnit(const uint8_t* data, size_t length);
// A MediaUnit: the 4-byte timestamp, then the access unit.
AccessUnitKind ScanMediaUnit(const uint8_t* unit, size_t length);
