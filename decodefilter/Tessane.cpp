#include "decodefilter/Tessane.h"

#include "platform/ddraw/DirectDraw.h"
#include "platform/win32/DebugOutput.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The largest picture the box sends, 720 x 576, with room for 16 reference frames.
constexpr int32_t kMaxWidthInMbs = 45;
constexpr int32_t kMaxHeightInMbs = 36;
constexpr int32_t kReferenceFrames = 16;

bool hasPlanes(const DecodedPicture& p) {
    return p.lumaPlane && p.cbPlane && p.crPlane && p.width > 0 && p.width % 2 == 0 && p.height > 0 &&
           p.lumaStride >= p.width && p.chromaStride >= p.width / 2;
}

} // namespace

Tessane::Tessane() {
    // The system asks here for a hidden window of a class the library never registers, so the pitch
    // probe always gets no window, which it accepts.
    Initialize();
}

Tessane::~Tessane() {
    Uninitialize();
}

int Tessane::Initialize() {
    OutputDebugStringA("Tessane::Initialize(void)\n");
    output.reset(new (std::nothrow) BYTE[kOutputBytes]()); // row padding stays zero
    outputSize = output ? kOutputBytes : 0;
    config = H264DecoderConfig{};
    config.maxWidthInMbs = kMaxWidthInMbs;
    config.maxHeightInMbs = kMaxHeightInMbs;
    config.dpbFrames = kReferenceFrames;
    config.flags = 0; // pictures are copied out
    handle = H264DecoderCreate(&config);
    return 0;
}

void Tessane::Uninitialize() {
    OutputDebugStringA("Tessane::Uninitialize(void)\n");
    releasePictureBuffers();
    output.reset();
    outputSize = 0;
    H264DecoderDestroy(handle);
    handle = nullptr;
}

int Tessane::SetOutputFormat(const int32_t* format) {
    if (format)
        outputFormat = *format;
    return 0;
}

DWORD Tessane::LearnPitch(int pictureWidth, int pictureHeight) {
    if (pitch != 0)
        return pitch;
    CVD_DIRECTX_Draw probe;
    probe.Create(nullptr, pictureWidth, pictureHeight, nullptr);
    DWORD probed = probe.GetPitch();
    if (probed == 0 || probed > kLargestPitch)
        probed = kDefaultPitch;
    pitch = std::max<DWORD>(probed, 2 * static_cast<DWORD>(std::max(pictureWidth, 0)));
    return pitch;
}

HRESULT Tessane::Decode(const BYTE* data, BYTE* destination, LONG length, LONG capacity, LONG* written) {
    if (!handle || !written)
        return E_FAIL;
    *written = 0;
    HRESULT result = E_FAIL;
    int32_t answer = H264DecoderDecode(handle, data, static_cast<uint32_t>(std::max<LONG>(length, 0)), 0, 0,
                                       &picture, DECODE_FLAG_END_OF_UNIT);
    while (answer == DECODE_OK) {
        // A picture that comes out after another in the same input replaces it; a first field that
        // follows a frame leaves the frame delivered.
        const int lines = packPicture();
        const size_t rows =
            lines > 0 && destination && capacity > 0
                ? std::min<size_t>(static_cast<size_t>(lines), static_cast<size_t>(capacity) / pitch)
                : 0;
        if (rows > 0) { // a sample that holds not even one row gets nothing
            std::memcpy(destination, output.get(), rows * pitch);
            *written = static_cast<LONG>(rows * pitch);
            result = S_OK;
        }
        answer = H264DecoderDecode(handle, nullptr, 0, 0, 0, &picture, 0);
    }
    return result;
}

int Tessane::packPicture() {
    const DecodedPicture& p = picture;
    if (!hasPlanes(p))
        return 0; // a picture without chroma planes, or of no size, is skipped
    LearnPitch(p.width, p.kind == PICTURE_KIND_FRAME ? p.height : 2 * p.height);
    if (2 * static_cast<DWORD>(p.width) > pitch)
        return 0; // wider than the rows the pitch was learnt for
    return p.kind == PICTURE_KIND_FRAME ? packFrame(p) : packFields(p);
}

int Tessane::packFrame(const DecodedPicture& p) {
    if (!setUp(Layout::Frame, p))
        return 0;
    if (outputFormat == TESSANE_OUTPUT_YUY2) {
        PackYuy2(p.lumaPlane, p.cbPlane, p.crPlane, p.lumaStride, p.chromaStride, p.width, p.height,
                 output.get());
    } else {
        CopyPlanes(p, planar.get());
        const size_t lumaBytes = static_cast<size_t>(p.width) * p.height;
        const BYTE* u = planar.get() + lumaBytes;
        PackUyvy(planar.get(), u, u + lumaBytes / 4, p.width, p.width / 2, p.width, p.height, pitch,
                 output.get());
    }
    return p.height;
}

int Tessane::packFields(const DecodedPicture& p) {
    if (p.kind != PICTURE_KIND_FIELD_1 && p.kind != PICTURE_KIND_FIELD_2)
        return 0;
    if (!setUp(Layout::Fields, p))
        return 0;
    if (VD_Deinterlace(deinterlacer, frameY, frameU, frameV, p.lumaPlane, p.cbPlane, p.crPlane, p.kind) !=
        DEINTERLACE_OK)
        return 0;
    if (p.kind == PICTURE_KIND_FIELD_1) {
        firstFieldStored = true;
        return 0; // the first field of a pair is only stored
    }
    if (!firstFieldStored)
        return 0; // a second field without its first joins nothing
    const int lines = 2 * p.height;
    pack(frameY, frameU, frameV, p.width, p.width / 2, p.width, lines);
    return lines;
}

void Tessane::pack(const BYTE* y, const BYTE* u, const BYTE* v, int yStride, int cStride, int columns,
                   int lines) {
    if (outputFormat == TESSANE_OUTPUT_YUY2)
        PackYuy2(y, u, v, yStride, cStride, columns, lines, output.get());
    else
        PackUyvy(y, u, v, yStride, cStride, columns, lines, pitch, output.get());
}

bool Tessane::setUp(Layout wanted, const DecodedPicture& p) {
    if (wanted == layout && p.width == width && p.height == height && p.lumaStride == lumaStride &&
        p.chromaStride == chromaStride)
        return planar != nullptr && (wanted == Layout::Frame || deinterlacer);
    releasePictureBuffers();
    const size_t lines = wanted == Layout::Fields ? 2 * static_cast<size_t>(p.height) : p.height;
    if (!ensureOutput(lines * pitch))
        return false;
    // Rows of another width leave other bytes in the padding: it is cleared once for the new size.
    std::memset(output.get(), 0, outputSize);
    const size_t lumaBytes = static_cast<size_t>(p.width) * lines;
    planar.reset(new (std::nothrow) BYTE[lumaBytes + lumaBytes / 2]);
    if (!planar)
        return false;
    layout = wanted;
    width = p.width;
    height = p.height;
    lumaStride = p.lumaStride;
    chromaStride = p.chromaStride;
    if (wanted == Layout::Frame)
        return true;
    frameY = planar.get();
    frameU = frameY + lumaBytes;
    frameV = frameU + lumaBytes / 4;
    if (VD_InitDeinterlace(&deinterlacer, p.width, p.height, p.lumaStride, p.chromaStride, p.width,
                           p.width / 2) != DEINTERLACE_OK) {
        deinterlacer = nullptr;
        return false;
    }
    return true;
}

bool Tessane::ensureOutput(size_t bytes) {
    if (bytes <= outputSize && output)
        return true;
    output.reset(new (std::nothrow) BYTE[bytes]);
    outputSize = output ? bytes : 0;
    return output != nullptr;
}

void Tessane::releasePictureBuffers() {
    if (deinterlacer)
        VD_ReleaseDeinterlace(deinterlacer);
    deinterlacer = nullptr;
    planar.reset();
    frameY = frameU = frameV = nullptr;
    layout = Layout::None;
    width = height = lumaStride = chromaStride = 0;
    firstFieldStored = false;
}

void Tessane::CopyPlanes(const DecodedPicture& p, BYTE* out) {
    for (int row = 0; row < p.height; ++row, out += p.width)
        std::memcpy(out, p.lumaPlane + static_cast<size_t>(row) * p.lumaStride, p.width);
    for (const BYTE* plane : {p.cbPlane, p.crPlane})
        for (int row = 0; row < p.height / 2; ++row, out += p.width / 2)
            std::memcpy(out, plane + static_cast<size_t>(row) * p.chromaStride, p.width / 2);
}
