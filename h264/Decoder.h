// The decoder's whole outside face: create, decode, take pictures, destroy.
// A decoder owns no threads, locks or files; one thread at a time may use a handle.
#pragma once

#include <cstdint>

// Read only during H264DecoderCreate.
struct H264DecoderConfig {
    int32_t reserved0 = 0;
    int32_t reserved1 = 0;
    int32_t maxWidthInMbs = 0;  // 2..128, else 45
    int32_t maxHeightInMbs = 0; // 6..128, else 36
    int32_t dpbFrames = 0;      // 0 becomes 4, above 16 (or negative) becomes 16
    int32_t flags = 0;          // H264_FLAG_ZERO_COPY, H264_FLAG_IN_PLACE_OUTPUT
    int32_t reserved6 = 0;
};

constexpr int32_t H264_FLAG_ZERO_COPY = 1;
// Pictures leave in decoding order as without zero-copy, but their planes point into the frame buffer
// instead of a copy: valid until the next decode call, which may reuse the buffer.
constexpr int32_t H264_FLAG_IN_PLACE_OUTPUT = 2;

// The user-data record of the private SEI; every picture points at the decoder's one record, so a new
// user-data SEI overwrites what earlier pictures show.
struct UserDataRecord {
    uint32_t type = 0;   // 0 until the first user-data SEI, then 0xF0
    uint32_t length = 0; // 0..255
    const uint8_t* data = nullptr;
    uint32_t reserved = 0;
    uint8_t bytes[256] = {};
};

enum PictureKind : int32_t { PICTURE_KIND_FRAME = 0, PICTURE_KIND_FIELD_1 = 1, PICTURE_KIND_FIELD_2 = 2 };

// Filled by H264DecoderGetPicture. Without zero-copy the planes are the decoder's output copy, valid until
// the next call; with zero-copy or in-place output they point into a frame buffer that a later decode call
// may reuse.
struct DecodedPicture {
    uint8_t* lumaPlane = nullptr;
    uint8_t* cbPlane = nullptr;
    uint8_t* crPlane = nullptr;
    int32_t width = 0;  // luma samples, 16 x PicWidthInMbs
    int32_t height = 0; // luma rows, 16 x FrameHeightInMbs
    int32_t lumaStride = 0;
    int32_t chromaStride = 0;
    int32_t cropLeft = 0; // frame_crop_*_offset as coded; the planes are never cropped
    int32_t cropRight = 0;
    int32_t cropTop = 0;
    int32_t cropBottom = 0;
    int32_t bufferIndex = 0;
    int32_t kind = PICTURE_KIND_FRAME;
    int32_t incomplete = 0; // the next picture began before every macroblock of this one was decoded
    int32_t idr = 0;
    int32_t reserved16 = 0;
    int32_t userValue1 = 0; // caller values of the call that completed the picture's first slice
    int32_t userValue2 = 0;
    int32_t poc = 0;
    int32_t reserved20 = 0;
    const UserDataRecord* userData = nullptr;
    int32_t reserved22 = 0;
};

constexpr int32_t DECODE_OK = 0;
constexpr int32_t DECODE_NEED_MORE_DATA = -1;
constexpr int32_t DECODE_NO_MORE_PICTURES = -2;
constexpr int32_t DECODE_BAD_ARGUMENT = -3;

// Bit 0 of the flags of H264DecoderDecode: with no new data, finish and flush everything.
constexpr int32_t DECODE_FLAG_END_OF_UNIT = 1;

struct H264DecoderContext;

// Null when the processor lacks MMX and CMOV or memory runs out. All memory is taken here.
H264DecoderContext* H264DecoderCreate(const H264DecoderConfig* config);

// New input restarts the input position (the caller keeps `data` alive until the call returns -1 or -2);
// a call without data goes on with what is left. A picture comes out one input after its last unit.
int32_t H264DecoderDecode(H264DecoderContext* decoder, const uint8_t* data, uint32_t length,
                          int32_t userValue1, int32_t userValue2, DecodedPicture* picture, int32_t flags);

int32_t H264DecoderGetPicture(H264DecoderContext* decoder, DecodedPicture* picture);

void H264DecoderDestroy(H264DecoderContext* decoder);
