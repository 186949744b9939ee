// The arithmetic and choices of a recording that need no thread or file: the frame rate of a file, the
// rollover period and names, the audio step of the pacing, how a cycle's audio time is shared among its
// video units, and which of the first video units of a file are taken.
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

// The milliseconds an audio unit stands for: the step from the previous audio timestamp, 40 when that
// step is below 1 or above 100 (the timestamps went backwards or jumped).
DWORD AudioStepMs(DWORD previous, DWORD timestamp);

// The 90 kHz durations of a cycle's n video units that together last exactly as long as its audio time:
// each unit trunc(T x 90 / n), the last one what remains of T x 90.
struct CycleDurations {
    DWORD each;
    DWORD last;
};
CycleDurations SplitCycleDuration(DWORD audioMs, DWORD units);

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
// every unit after it is taken. With a picture required, an IDR unit whose held-back unit has no
// sequence parameter set giving that picture is dropped with it (units of the size before a change).
class RecordStartCollector {
public:
    static constexpr int kUnits = 10;

    void RequirePicture(DWORD width, DWORD height, bool largePicture);

    // Offers the next unit (a whole MediaUnit); out receives the units it takes, oldest first.
    void Offer(const BYTE* unit, DWORD length, std::vector<std::vector<BYTE>>& out);
    int Taken() const { return taken_; }
    bool Done() const { return taken_ >= kUnits; }

private:
    std::vector<BYTE> held_;
    bool holding_ = false;
    bool pictureRequired_ = false;
    DWORD width_ = 0;
    DWORD height_ = 0;
    bool largePicture_ = false;
    bool idrTaken_ = false;
    int taken_ = 0;
};
