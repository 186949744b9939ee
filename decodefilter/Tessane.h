// Tessane: the decoding work of "KQ Video Decode". It owns an H.264 decoder and, for the field pairs the box
// sends, a deinterlacer; each input's pictures are packed as 4:2:2 rows, UYVY at the pitch of a UYVY
// surface (learnt once from the pitch probe) or YUY2, into the caller's buffer. Everything runs on the
// filter's streaming thread; the object takes no lock.
//
// Buffers are made once per picture size and reused: the packing buffer (2 MB, larger when a picture at
// the pitch needs more), the planar frame the deinterlacer joins a field pair into and the deinterlacer
// itself are set up again only when the kind or size of the pictures changes.
#pragma once

#include "h264/Decoder.h"
#include "h264/deinterlace/Deinterlace.h"
#include "platform/win32/Types.h"

#include <cstddef>
#include <memory>

enum TessaneOutputFormat : int32_t { TESSANE_OUTPUT_UYVY = 0, TESSANE_OUTPUT_YUY2 = 1 };

class Tessane {
public:
    static constexpr size_t kOutputBytes = 0x200000;
    static constexpr DWORD kDefaultPitch = 2048;
    static constexpr DWORD kLargestPitch = 10240;

    Tessane();  // Initialize
    ~Tessane(); // Uninitialize
    Tessane(const Tessane&) = delete;
    Tessane& operator=(const Tessane&) = delete;

    int Initialize();
    void Uninitialize();

    int SetOutputFormat(const int32_t* format);
    int32_t OutputFormat() const { return outputFormat; }

    // The bytes per UYVY output row, learnt at the first call from the pitch probe for that picture size:
    // an answer of 0 or above 10240 (the probe's failure codes among them) gives 2048, and a pitch below a
    // row of the picture is raised to it. Later calls answer the same.
    DWORD LearnPitch(int width, int height);
    DWORD Pitch() const { return pitch; }

    // Decodes one input and packs the last picture that came out into `destination`, whole rows up to its
    // `capacity`; *written (0 first) gets the bytes written. 0 when a picture was packed, else E_FAIL (no
    // decoder, only a first field, nothing came out, or no picture could be packed).
    HRESULT Decode(const BYTE* data, BYTE* destination, LONG length, LONG capacity, LONG* written);

    // Packing of 4:2:0 planes (two luma rows share one chroma row) into `lines` rows of `width` pixels.
    // UYVY rows go `pitch` bytes apart and nothing past 2 x width of a row is written; YUY2 rows are
    // packed, 2 x width bytes each.
    static void PackUyvy(const BYTE* y, const BYTE* u, const BYTE* v, int lumaStride, int chromaStride,
                         int width, int lines, DWORD pitch, BYTE* out);
    static void PackYuy2(const BYTE* y, const BYTE* u, const BYTE* v, int lumaStride, int chromaStride,
                         int width, int lines, BYTE* out);

private:
    enum class Layout { None, Frame, Fields };

    // Packs the decoder's current picture into `output`; the packed rows, or 0 when the picture is skipped.
    int packPicture();
    int packFrame(const DecodedPicture& p);
    int packFields(const DecodedPicture& p);
    void pack(const BYTE* y, const BYTE* u, const BYTE* v, int lumaStride, int chromaStride, int width,
              int lines);
    // Buffers for pictures of this layout and size; false when they cannot be had.
    bool setUp(Layout layout, const DecodedPicture& p);
    bool ensureOutput(size_t bytes);
    void releasePictureBuffers();
    static void CopyPlanes(const DecodedPicture& p, BYTE* planar);

    H264DecoderConfig config{};
    DecodedPicture picture{};
    H264DecoderContext* handle = nullptr;
    std::unique_ptr<BYTE[]> output;
    size_t outputSize = 0;
    std::unique_ptr<BYTE[]> planar;
    BYTE* frameY = nullptr;
    BYTE* frameU = nullptr;
    BYTE* frameV = nullptr;
    DeinterlaceState* deinterlacer = nullptr;
    DWORD pitch = 0;
    int32_t outputFormat = TESSANE_OUTPUT_UYVY;

    // What the picture buffers are set up for.
    Layout layout = Layout::None;
    int width = 0;
    int height = 0; // of the decoded pictures: a field's height for field pairs
    int lumaStride = 0;
    int chromaStride = 0;
    bool firstFieldStored = false; // a first field since the deinterlacer was set up
};
