// Motion-adaptive deinterlacer: joins the two field pictures of a pair into one frame.
//
// The caller owns the handle from VD_InitDeinterlace until VD_ReleaseDeinterlace and all plane buffers it
// passes; the library keeps its own copy of the last four luma fields and of the last field's chroma, so the
// input planes may be reused as soon as VD_Deinterlace returns. A handle is used by one thread at a time.
//
// Planes are 4:2:0. A field is W x FH luma samples and W/2 x FH/2 of each chroma; only the first W (W/2)
// bytes of each input row are read. The frame written at the second field of a pair is W x 2FH luma and W/2 x
// FH of each chroma, rows the output strides apart; bytes past W (W/2) in each output row are left untouched.
#pragma once

#include <cstddef>
#include <cstdint>

#define VD_EXPORT __attribute__((visibility("default")))

enum : int32_t {
    DEINTERLACE_OK = 0,
    DEINTERLACE_ERR_NO_MEMORY = -1,
    DEINTERLACE_ERR_SIZE = -2,
    DEINTERLACE_ERR_NULL = -3,
    DEINTERLACE_ERR_FIELD_KIND = -4,
};

// Width 128 .. 4096 and even; field height 4 .. 1024 and even (frames up to 4096 x 2048); every stride at
// least the width of its plane's rows (W for luma, W/2 for chroma).
inline constexpr int32_t kDeinterlaceMinWidth = 128;
inline constexpr int32_t kDeinterlaceMaxWidth = 4096;
inline constexpr int32_t kDeinterlaceMinFieldHeight = 4;
inline constexpr int32_t kDeinterlaceMaxFieldHeight = 1024;

extern "C" {

typedef struct DeinterlaceState DeinterlaceState;

// Creates a handle for one size. On any failure *handle is set to null: -2 for a size outside the limits,
// -1 when memory runs out; -3 when handle itself is null.
VD_EXPORT int32_t VD_InitDeinterlace(DeinterlaceState** handle, int32_t width, int32_t fieldHeight,
                                     int32_t inLumaStride, int32_t inChromaStride, int32_t outLumaStride,
                                     int32_t outChromaStride);

// Stores one field (kind 1 or 2). At kind 2 it first writes the frame of the pair into outY/outU/outV; kind 1
// only stores. -3 for any null pointer, -4 for another kind; both leave the state unchanged.
VD_EXPORT int32_t VD_Deinterlace(DeinterlaceState* handle, uint8_t* outY, uint8_t* outU, uint8_t* outV,
                                 const uint8_t* inY, const uint8_t* inU, const uint8_t* inV,
                                 int32_t fieldKind);

// Frees the handle and everything it owns; -3 for null.
VD_EXPORT int32_t VD_ReleaseDeinterlace(DeinterlaceState* handle);

// Copies the version text with its terminating zero (8 bytes) into *buffer, which the caller provides;
// -3 when buffer or *buffer is null.
VD_EXPORT int32_t VD_GetVersion(char** buffer);
}

// The same with the buffer's size: -3 for a null buffer, -2 (buffer untouched) when size is below 8.
VD_EXPORT int32_t VD_GetVersion(char* buffer, size_t size);
