// The decoded picture buffer: picture start, picture order counts, reference marking, output and flush.
#pragma once

#include "h264/SliceHeader.h"

#include <cstdint>

struct H264DecoderContext;
struct UserDataRecord;

namespace h264 {

constexpr int kMaxFrameBuffers = 36; // 2 x 16 + 4
constexpr int kMaxFrameStores = 16;
constexpr int kOutputQueueSize = 64;

enum OutputState : uint8_t { OUTPUT_DECODING = 0, OUTPUT_FREE = 1, OUTPUT_QUEUED = 2 };

// One per frame buffer.
struct Picture {
    int32_t bufferIndex = 0;
    int32_t userValue1 = 0, userValue2 = 0;
    uint8_t outputState = OUTPUT_FREE;
    bool nonExisting = false;
    bool held = false;
    bool usedForReference = false;
    bool longTerm = false;
    bool idr = false;
    bool incomplete = false;
    uint32_t longTermFrameIdx = 0;
    uint32_t frameNum = 0;
    int32_t picNum = 0;
    int32_t longTermPicNum = 0;
    int32_t poc = 0, topPoc = 0, bottomPoc = 0;
    uint32_t nalUnitType = 0;
    int32_t kind = 0;
    uint32_t picSizeInMbs = 0;
    int32_t crop[4] = {};
    int32_t width = 0, height = 0;
    const UserDataRecord* userData = nullptr;
    RefPicMarking marking;
};

struct FrameStore {
    Picture* frame = nullptr;
    bool outputDone = false;
    bool reference = false; // frame used for reference
    bool longTerm = false;
    uint32_t frameNum = 0;
    int32_t frameNumWrap = 0;
    uint32_t longTermFrameIdx = 0;
    int32_t poc = 0;
};

struct OutputQueue {
    uint32_t write = 0, read = 0;
    int32_t entries[kOutputQueueSize] = {};
};

struct Dpb {
    uint32_t size = 0; // frames the active sequence allows
    uint32_t used = 0; // frame stores in use, in stored order
    FrameStore stores[kMaxFrameStores];
    FrameStore* shortTerm[kMaxFrameStores] = {};
    FrameStore* longTermList[kMaxFrameStores] = {};
    uint32_t shortCount = 0, longCount = 0;
    int64_t maxLongTermFrameIdx = -1; // -1: no long-term index allowed
    int32_t lastOutputPoc = int32_t(0x80000001);
    uint32_t prevRefFrameNum = 0;
    // Carried from picture to picture for the order counts.
    int64_t prevPocMsb = 0;
    int64_t prevPocLsb = 0;
    int64_t prevFrameNumOffset = 0;
    uint32_t prevFrameNum = 0;
    int32_t lastPoc[3] = {}; // poc, top, bottom of the last computed picture
};

// Finishes the picture under construction (if any) and takes a frame buffer for the one the current slice
// header opens. 0, or -1 when no buffer is free or frame_num goes back without gaps allowed.
int StartPicture(H264DecoderContext& ctx);
// Marks and stores the picture under construction, if any.
void FinishPicture(H264DecoderContext& ctx);
void FlushDpb(H264DecoderContext& ctx);
void RebuildRefLists(Dpb& dpb);

} // namespace h264
