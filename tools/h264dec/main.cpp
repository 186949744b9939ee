// h264dec: decodes an Annex B file with the decoder and writes or hashes the pictures in the order the
// decoder hands them out, as planar I420 cropped by the coded offsets.
#include "h264/Decoder.h"
#include "h264/DecoderHooks.h"
#include "tools/h264dec/Md5.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
    bool portable = false, zeroCopy = false, info = false, md5 = false, frameMd5 = false;
    uint32_t chunk = 0;
    int32_t widthMbs = 45, heightMbs = 36, dpb = 16;
    std::string output, input;
};

int usage() {
    std::fprintf(stderr,
                 "usage: h264dec [--portable] [--chunk N] [--max-mbs WxH] [--dpb N] [--zero-copy] [--info]\n"
                 "               (--md5 | --framemd5 | -o out.yuv) input.264\n");
    return 2;
}

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--portable")
            o.portable = true;
        else if (a == "--zero-copy")
            o.zeroCopy = true;
        else if (a == "--info")
            o.info = true;
        else if (a == "--md5")
            o.md5 = true;
        else if (a == "--framemd5")
            o.frameMd5 = true;
        else if (a == "--chunk" && hasValue)
            o.chunk = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        else if (a == "--dpb" && hasValue)
            o.dpb = int32_t(std::strtol(argv[++i], nullptr, 10));
        else if (a == "--max-mbs" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &o.widthMbs, &o.heightMbs) != 2)
                return std::nullopt;
        } else if (a == "-o" && hasValue)
            o.output = argv[++i];
        else if (!a.empty() && a[0] != '-' && o.input.empty())
            o.input = a;
        else
            return std::nullopt;
    }
    if (o.input.empty() || (o.md5 + o.frameMd5 + !o.output.empty()) != 1)
        return std::nullopt;
    return o;
}

class Sink {
public:
    explicit Sink(const Options& o) : options_(o) {
        if (!o.output.empty())
            file_ = std::fopen(o.output.c_str(), "wb");
    }
    ~Sink() {
        if (file_)
            std::fclose(file_);
    }
    bool ok() const { return options_.output.empty() || file_; }

    void picture(const DecodedPicture& p) {
        const int left = 2 * p.cropLeft, top = 2 * p.cropTop;
        const int width = p.width - 2 * (p.cropLeft + p.cropRight),
                  height = p.height - 2 * (p.cropTop + p.cropBottom);
        Md5 frame;
        auto rows = [&](const uint8_t* plane, int stride, int x, int y, int w, int h) {
            for (int r = 0; r < h; ++r) {
                const uint8_t* row = plane + size_t(y + r) * stride + x;
                if (options_.md5)
                    whole_.update(row, size_t(w));
                if (options_.frameMd5)
                    frame.update(row, size_t(w));
                if (file_)
                    std::fwrite(row, 1, size_t(w), file_);
            }
        };
        rows(p.lumaPlane, p.lumaStride, left, top, width, height);
        rows(p.cbPlane, p.chromaStride, left / 2, top / 2, width / 2, height / 2);
        rows(p.crPlane, p.chromaStride, left / 2, top / 2, width / 2, height / 2);
        if (options_.frameMd5)
            std::printf("%u, %dx%d, %s\n", count_, width, height, frame.hexDigest().c_str());
        if (options_.info) {
            std::printf("picture %u: kind %d poc %d idr %d incomplete %d", count_, p.kind, p.poc, p.idr,
                        p.incomplete);
            if (p.userData && p.userData->type == 0xF0) {
                std::printf(" userdata");
                for (uint32_t i = 0; i < p.userData->length; ++i)
                    std::printf(" %02x", p.userData->data[i]);
            }
            std::printf("\n");
        }
        ++count_;
    }

    unsigned count() const { return count_; }
    std::string digest() { return whole_.hexDigest(); }

private:
    const Options& options_;
    std::FILE* file_ = nullptr;
    Md5 whole_;
    unsigned count_ = 0;
};

// `picture` holds the picture of a first call that returned `result`.
void drain(H264DecoderContext* decoder, Sink& sink, DecodedPicture& picture, int32_t result, int32_t flags) {
    while (result == DECODE_OK) {
        sink.picture(picture);
        result = H264DecoderDecode(decoder, nullptr, 0, 0, 0, &picture, flags);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parse(argc, argv);
    if (!options)
        return usage();
    std::ifstream in(options->input, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "h264dec: cannot read %s\n", options->input.c_str());
        return 1;
    }
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    H264DecoderConfig config;
    config.maxWidthInMbs = options->widthMbs;
    config.maxHeightInMbs = options->heightMbs;
    config.dpbFrames = options->dpb;
    config.flags = options->zeroCopy ? H264_FLAG_ZERO_COPY : 0;
    H264DecoderContext* decoder =
        options->portable ? H264DecoderCreateAtLevel(&config, 2) : H264DecoderCreate(&config);
    if (!decoder) {
        std::fprintf(stderr, "h264dec: no decoder\n");
        return 1;
    }
    Sink sink(*options);
    if (!sink.ok()) {
        std::fprintf(stderr, "h264dec: cannot write %s\n", options->output.c_str());
        H264DecoderDestroy(decoder);
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const size_t chunk = options->chunk ? options->chunk : data.size();
    DecodedPicture picture;
    for (size_t at = 0; at < data.size(); at += chunk) {
        const uint32_t length = uint32_t(std::min(chunk, data.size() - at));
        drain(decoder, sink, picture, H264DecoderDecode(decoder, data.data() + at, length, 0, 0, &picture, 0),
              0);
        // Pictures that became ready together leave one per call; take the rest before the next piece.
        while (H264DecoderGetPicture(decoder, &picture) == DECODE_OK)
            sink.picture(picture);
    }
    drain(decoder, sink, picture,
          H264DecoderDecode(decoder, nullptr, 0, 0, 0, &picture, DECODE_FLAG_END_OF_UNIT),
          DECODE_FLAG_END_OF_UNIT);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (options->md5)
        std::printf("%s\n", sink.digest().c_str());
    if (options->info) {
        const H264DecoderDiagnostics& d = *H264DecoderGetDiagnostics(decoder);
        std::printf("diagnostics: units %u empty %u dropped %u nal-errors %u slice-errors %u pictures %u "
                    "incomplete %u evictions %u queue-overflows %u gap-frames %u kernels %d last 0x%x\n",
                    d.nalUnits, d.emptyUnits, d.droppedUnits, d.nalErrors, d.sliceDataErrors, d.pictures,
                    d.incompletePictures, d.forcedEvictions, d.queueOverflows, d.gapFrames, d.kernelLevel,
                    unsigned(d.lastNalResult));
    }
    std::fprintf(stderr, "h264dec: %u frames in %.3f s\n", sink.count(), seconds);
    H264DecoderDestroy(decoder);
    return 0;
}
