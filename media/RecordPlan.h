// The arithmetic and choices of a recording that need no thread or file: the frame rate of a file, the
// rollover period and names, unit timestamps and audio durations, and which of the first video units of a
// file are taken.
#pragma once

#include "platform/win32/Types.h"

#include <string>
#include <vector>

struct RecordFrameRate {
    double rate;    // frames per second
    DWORD duration; // one frame in 90 kHz ticks
};
// 50 Hz rows: 50 or 25 frames; 60 Hz rows: 60 or 30; the larger rate for a large picture.
RecordFrameRate LookUpRecordFrameRate(bool rows50Hz, bool largePicture);

// A file is closed and the next one opened after 90 minutes at full size (size class 4), else 120.
DWORD RolloverPeriodMs(int sizeClass);

// The name of the index-th rollover file: the record path without the extension of its file name, then
// "_01", "_02", ... ("_100" after "_99"), then ".mp4". A dot in a folder name is not an extension.
std::wstring RolloverFileName(const std::wstring& recordPath, int index);

// The folder of the record path (up to its last separator, either kind); "." for a bare file name.
std::wstring RecordFolder(const std::wstring& recordPath);

// The timestamp of a MediaUnit (at least 4 bytes): its first 4 bytes, little-endian.
DWORD ReadUnitTimestamp(const BYTE* unit);

// How long so many AAC frames (1024 samples each) last at a sampling rate, in 90 kHz ticks (rounded down).
ULONGLONG AudioUnitsTicks(ULONGLONG units, DWORD samplingRate);

// The sampling rate an ADTS frame's header gives; 0 when there is no header or its rate is not in the table.
DWORD AdtsUnitRate(const BYTE* frame, DWORD length);

// The first sequence parameter set of a MediaUnit as a NAL unit without its start code (as a file's avcC
// holds it); empty when the unit has none.
std::vector<BYTE> UnitSequenceParameterSet(const BYTE* unit, DWORD length);

// Whether a sequence parameter set (without start code) codes the picture of a file of that size: the
// same width, and the same height or, for a large picture, half of it (the box sends a large picture as
// two field pictures of half its height).
bool SpsGivesPicture(const std::vector<BYTE>& sps, DWORD width, DWORD height, bool largePicture);

// Chooses the first video units of a file: while no IDR unit was taken, a unit that is not an IDR unit
// is held back (replacing the one held before), and an IDR unit with nothing held back is dropped; the
// first IDR unit takes the held-back unit (the parameter sets the box sends just before it) and itself;
// every unit after it is taken.
class RecordStartCollector {
public:
    static constexpr int kUnits = 10;

    // Offers the next unit (a whole MediaUnit); out receives the units it takes, oldest first.
    void Offer(const BYTE* unit, DWORD length, std::vector<std::vector<BYTE>>& out);
    int Taken() const { return taken_; }
    bool Done() const { return taken_ >= kUnits; }

private:
    std::vector<BYTE> held_;
    bool holding_ = false;
    bool idrTaken_ = false;
    int taken_ = 0;
};
