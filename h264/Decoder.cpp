#include "h264/Decoder.h"

#include "h264/Context.h"
#include "h264/CpuFeatures.h"
#include "h264/Memory.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace h264;

namespace {

constexpr uint8_t kInternalStartCode[4] = {0, 0, 0, 1};

uint32_t configured(int32_t value, uint32_t lo, uint32_t hi, uint32_t fallback) {
    const uint32_t v = uint32_t(value);
    return v < lo || v > hi ? fallback : v;
}

void destroy(H264DecoderContext* ctx) {
    AlignedFree(ctx->framePool);
    AlignedFree(ctx->outputPlanes);
    AlignedFree(ctx->reader.buffer);
    AlignedFree(ctx->mb.rows[0]);
    AlignedFree(ctx->cur);
    ctx->~H264DecoderContext();
    AlignedFree(ctx);
}

template <typename T> T* allocArray(size_t count) {
    void* block = AlignedAllocZero(sizeof(T) * count);
    if (!block)
        return nullptr;
    T* items = static_cast<T*>(block);
    for (size_t i = 0; i < count; ++i)
        new (&items[i]) T();
    return items;
}

// A complete unit sits in the NAL buffer followed by 00 00 01: trim trailing zeros and decode it.
void completeUnit(H264DecoderContext& ctx) {
    H264BitReader& r = ctx.reader;
    int64_t last = int64_t(r.fill) - 4;
    while (last >= 0 && r.buffer[last] == 0)
        --last;
    r.fill = 0;
    r.position = 0;
    r.invalid = false;
    ctx.scanner.startCodes = 1;
    if (last < 0) {
        ++ctx.diagnostics.emptyUnits;
        return;
    }
    r.bitCount = uint32_t(last) * 8;
    std::memset(r.buffer + last + 1, 0, kNalPadding);
    const int32_t result = DecodeNalUnit(ctx);
    ++ctx.diagnostics.nalUnits;
    ctx.diagnostics.lastNalResult = result;
    if (result == NAL_NEW_PICTURE || result == NAL_SAME_PICTURE)
        KeepSliceValues(ctx);
    else if (uint32_t(result) >= uint32_t(H264ERR_SLICE_DATA))
        ++ctx.diagnostics.sliceDataErrors;
    else if (result > 0xFFFF)
        ++ctx.diagnostics.nalErrors;
}

bool hasZeroByte(uint64_t v) {
    return ((v - 0x0101010101010101u) & ~v & 0x8080808080808080u) != 0;
}

// Inside a unit, a byte whose two predecessors are not both zero is stored as it is and can neither end the
// unit nor be an emulation-prevention byte. Such runs are copied eight bytes at a time; the copy stops at
// the first pair of zero bytes, and where the NAL buffer reaches its capacity, so that the byte-wise path
// handles start codes, emulation prevention and the overflow.
void copyPlainRun(Scanner& s, H264BitReader& r) {
    const uint8_t* in = s.input + s.position;
    uint8_t* out = r.buffer + r.fill;
    const uint32_t n = std::min(s.length - s.position, r.capacity - r.fill);
    uint32_t lastTwo = (s.shift >> 8) & 0xFFFF; // the byte before the last in bits 8-15, the last in 0-7
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        // Byte j of `pairs` is zero when bytes j and j + 1 both are (j = 0..6).
        const uint64_t pairs = word | (word >> 8);
        if (((lastTwo & 0xFF) | (word & 0xFF)) == 0 || hasZeroByte(pairs | 0xFF00000000000000u))
            break;
        std::memcpy(out + i, &word, 8);
        lastTwo = uint32_t(((word >> 40) & 0xFF00) | (word >> 56));
    }
    for (; i < n && lastTwo != 0; ++i) {
        out[i] = in[i];
        lastTwo = ((lastTwo << 8) | in[i]) & 0xFFFF;
    }
    for (uint32_t k = i > 3 ? i - 3 : 0; k < i; ++k)
        s.shift = ((s.shift | in[k]) & 0xFFFFFF) << 8;
    s.position += i;
    r.fill += i;
}

// Scans until a unit yields a picture (true) or the input is used up.
bool scan(H264DecoderContext& ctx, DecodedPicture* picture) {
    Scanner& s = ctx.scanner;
    H264BitReader& r = ctx.reader;
    while (s.position < s.length) {
        if (s.startCodes == 1 && (s.shift & 0xFFFF00) != 0) {
            copyPlainRun(s, r);
            if (s.position == s.length)
                break;
        }
        const uint8_t b = s.input[s.position++];
        if (r.fill >= r.capacity) {
            r.fill = 0;
            s.startCodes = 0;
            ++ctx.diagnostics.droppedUnits;
        }
        const uint32_t window = (s.shift | b) & 0xFFFFFF;
        if (s.startCodes == 1 && window != 0x000003)
            r.buffer[r.fill++] = b;
        if (window == 0x000001)
            ++s.startCodes;
        s.shift = window << 8;
        if (s.startCodes == 2) {
            completeUnit(ctx);
            if (H264DecoderGetPicture(&ctx, picture) == DECODE_OK)
                return true;
        }
    }
    s.input = nullptr;
    s.length = s.position = 0;
    return false;
}

} // namespace

namespace h264 {

void InitDecoderDefaults(H264DecoderContext& ctx) {
    ctx.reader.fill = ctx.reader.bitCount = ctx.reader.position = 0;
    ctx.scanner = Scanner{};
    ctx.numFrameBuffers = 2 * ctx.dpbFrames + 4;
    ctx.dpb = Dpb{};
    ctx.dpb.size = ctx.dpbFrames;
    for (int i = 0; i < kMaxFrameBuffers; ++i) {
        ctx.pictures[i] = Picture{};
        ctx.pictures[i].bufferIndex = i;
    }
    std::fill(std::begin(ctx.refList0), std::end(ctx.refList0), nullptr);
    ctx.refList0Size = 0;
    ctx.current = nullptr;
    ctx.outputQueue = OutputQueue{};
    for (Sps& s : ctx.spsTable)
        s.id = 32;
    for (Pps& p : ctx.ppsTable)
        p.id = 256;
    ctx.activeSpsId = 32;
    ctx.activePpsId = 256;
    ctx.prev = PrevSliceValues{};
    ctx.psState = PS_NONE;
    ctx.slice.sliceType = SLICE_I;
    ctx.fieldPairFlag = 0;
    ctx.userData = UserDataRecord{};
}

void PrepareFrameBuffer(H264DecoderContext& ctx, uint32_t index) {
    if (ctx.bufferFilled[index])
        return;
    const size_t lumaSize = size_t(256) * ctx.maxWidthInMbs * ctx.maxHeightInMbs;
    std::memset(ctx.planeY[index], 0, lumaSize);
    std::memset(ctx.planeCb[index], 128, lumaSize / 2);
    ctx.bufferFilled[index] = true;
}

} // namespace h264

H264DecoderContext* H264DecoderCreateAtLevel(const H264DecoderConfig* config, unsigned featureLevel) {
    const unsigned level = std::min(featureLevel, CpuFeatureLevel());
    if (level < 2 || !config)
        return nullptr;
    void* block = AlignedAllocZero(sizeof(H264DecoderContext));
    if (!block)
        return nullptr;
    auto* ctx = new (block) H264DecoderContext();
    ctx->maxWidthInMbs = configured(config->maxWidthInMbs, 2, 128, 45);
    ctx->maxHeightInMbs = configured(config->maxHeightInMbs, 6, 128, 36);
    const uint32_t dpb = uint32_t(config->dpbFrames);
    ctx->dpbFrames = dpb == 0 ? 4 : std::min<uint32_t>(dpb, 16);
    ctx->zeroCopy = (config->flags & H264_FLAG_ZERO_COPY) != 0;

    const uint32_t w = ctx->maxWidthInMbs, h = ctx->maxHeightInMbs;
    const size_t lumaSize = size_t(256) * w * h, frameSize = lumaSize * 3 / 2;
    const uint32_t buffers = 2 * ctx->dpbFrames + 4;
    // Room for the largest conforming slice of the configured size: 400 bytes a macroblock, plus slack.
    ctx->reader.capacity = 400 * w * h + 4096;
    ctx->reader.buffer = static_cast<uint8_t*>(AlignedAllocZero(ctx->reader.capacity + kNalPadding));
    ctx->mb.rows[0] = allocArray<MacroblockInfo>(2 * size_t(w));
    ctx->cur = allocArray<CurrentMacroblock>(1);
    ctx->framePool = static_cast<uint8_t*>(AlignedAlloc(frameSize * buffers));
    const bool inPlace = ctx->zeroCopy || (config->flags & H264_FLAG_IN_PLACE_OUTPUT) != 0;
    if (!inPlace)
        ctx->outputPlanes = static_cast<uint8_t*>(AlignedAllocZero(frameSize));
    if (!ctx->reader.buffer || !ctx->mb.rows[0] || !ctx->cur || !ctx->framePool ||
        (!inPlace && !ctx->outputPlanes)) {
        destroy(ctx);
        return nullptr;
    }
    ctx->mb.rows[1] = ctx->mb.rows[0] + w;
    for (uint32_t i = 0; i < buffers; ++i) {
        uint8_t* base = ctx->framePool + frameSize * i;
        ctx->planeY[i] = base;
        ctx->planeCb[i] = base + lumaSize;
        ctx->planeCr[i] = base + lumaSize * 5 / 4;
    }
    ctx->lumaStride = w * 16;
    InitDecoderDefaults(*ctx);
    SelectKernels(ctx->kernels, level);
    ctx->pictureMc = &SelectPictureKernels(level);
    ctx->diagnostics.kernelLevel = level >= 4 ? 4 : 2;
    return ctx;
}

H264DecoderContext* H264DecoderCreate(const H264DecoderConfig* config) {
    return H264DecoderCreateAtLevel(config, CpuFeatureLevel());
}

int32_t H264DecoderDecode(H264DecoderContext* ctx, const uint8_t* data, uint32_t length, int32_t userValue1,
                          int32_t userValue2, DecodedPicture* picture, int32_t flags) {
    if (!ctx || !picture)
        return DECODE_BAD_ARGUMENT;
    picture->lumaPlane = picture->cbPlane = picture->crPlane = nullptr;
    Scanner& s = ctx->scanner;
    bool endOfUnit = false;
    if (data && length) {
        s.input = data;
        s.length = length;
        s.position = 0;
        s.flushed = false;
    } else if (flags & DECODE_FLAG_END_OF_UNIT) {
        endOfUnit = true;
        if (!s.flushed) {
            s.input = kInternalStartCode;
            s.length = sizeof kInternalStartCode;
            s.position = 0;
        }
    }
    ctx->userValue1 = userValue1;
    ctx->userValue2 = userValue2;
    if (scan(*ctx, picture))
        return DECODE_OK;
    if (!endOfUnit)
        return DECODE_NEED_MORE_DATA;
    FinishPicture(*ctx);
    if (!s.flushed)
        FlushDpb(*ctx);
    s.flushed = true;
    s.shift = 0x1010100;
    return H264DecoderGetPicture(ctx, picture) == DECODE_OK ? DECODE_OK : DECODE_NO_MORE_PICTURES;
}

int32_t H264DecoderGetPicture(H264DecoderContext* ctx, DecodedPicture* picture) {
    if (!ctx || !picture)
        return DECODE_BAD_ARGUMENT;
    OutputQueue& q = ctx->outputQueue;
    while (q.read != q.write && uint32_t(q.entries[q.read]) >= ctx->numFrameBuffers)
        q.read = (q.read + 1) % kOutputQueueSize;
    if (q.read == q.write)
        return DECODE_NO_MORE_PICTURES;
    const int32_t index = q.entries[q.read];
    Picture& p = ctx->pictures[index];
    picture->width = p.width;
    picture->height = p.height;
    picture->lumaStride = p.width;
    picture->chromaStride = p.width / 2;
    picture->cropLeft = p.crop[0];
    picture->cropRight = p.crop[1];
    picture->cropTop = p.crop[2];
    picture->cropBottom = p.crop[3];
    picture->bufferIndex = index;
    picture->kind = p.kind;
    picture->incomplete = p.incomplete;
    picture->idr = p.idr;
    picture->userValue1 = p.userValue1;
    picture->userValue2 = p.userValue2;
    picture->poc = p.poc;
    picture->userData = p.userData;
    p.outputState = OUTPUT_FREE;
    q.entries[q.read] = int32_t(ctx->numFrameBuffers);
    q.read = (q.read + 1) % kOutputQueueSize;

    const size_t lumaBytes = size_t(p.width) * p.height, chromaBytes = lumaBytes / 4;
    if (!ctx->outputPlanes) {
        picture->lumaPlane = ctx->planeY[index];
        picture->cbPlane = ctx->planeCb[index];
        picture->crPlane = ctx->planeCr[index];
    } else {
        const size_t lumaSize = size_t(256) * ctx->maxWidthInMbs * ctx->maxHeightInMbs;
        uint8_t* out = ctx->outputPlanes;
        std::memcpy(out, ctx->planeY[index], lumaBytes);
        std::memcpy(out + lumaSize, ctx->planeCb[index], chromaBytes);
        std::memcpy(out + lumaSize * 5 / 4, ctx->planeCr[index], chromaBytes);
        picture->lumaPlane = out;
        picture->cbPlane = out + lumaSize;
        picture->crPlane = out + lumaSize * 5 / 4;
    }
    return DECODE_OK;
}

void H264DecoderDestroy(H264DecoderContext* ctx) {
    if (ctx)
        destroy(ctx);
}

const H264DecoderDiagnostics* H264DecoderGetDiagnostics(const H264DecoderContext* ctx) {
    return ctx ? &ctx->diagnostics : nullptr;
}
