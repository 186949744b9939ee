#include "tests/support/recordsync/MarkedRecording.h"

#include "tests/support/recordsync/Mp4Boxes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <neaacdec.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

namespace recordsync {

namespace {

constexpr int kAacFrameSamples = 1024;
constexpr double kBurstIntervalMs = kPicturesPerBurst * kPictureMs;
// Around where a burst's centre is expected: a burst lasts 64 ms; an offset of up to 100 ms still finds it.
constexpr double kSearchMs = 150;

double toMs(int64_t ticks, AVRational timeBase) {
    return static_cast<double>(ticks) * 1000.0 * timeBase.num / timeBase.den;
}

// The number in the band of a decoded picture: 16 blocks of width/16 on rows 0..31, white for a set bit.
int readNumber(const AVFrame* frame) {
    const int block = frame->width / 16;
    if (block < 2 || frame->height < 32)
        return -1;
    int number = 0;
    for (int bit = 0; bit < 16; ++bit) {
        const uint8_t luma = frame->data[0][16 * frame->linesize[0] + bit * block + block / 2];
        if (luma > 128)
            number |= 1 << bit;
    }
    return number;
}

class AacDecoder {
public:
    AacDecoder() : handle_(NeAACDecOpen()) {
        NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(handle_);
        config->defObjectType = LC;
        config->outputFormat = FAAD_FMT_FLOAT;
        NeAACDecSetConfiguration(handle_, config);
    }
    ~AacDecoder() { NeAACDecClose(handle_); }
    AacDecoder(const AacDecoder&) = delete;
    AacDecoder& operator=(const AacDecoder&) = delete;

    bool initRaw(const std::vector<uint8_t>& config, int* rate) {
        unsigned long sampleRate = 0;
        unsigned char channels = 0;
        std::vector<uint8_t> copy = config;
        if (copy.empty() || NeAACDecInit2(handle_, copy.data(), static_cast<unsigned long>(copy.size()),
                                          &sampleRate, &channels) < 0)
            return false;
        *rate = static_cast<int>(sampleRate);
        return true;
    }
    bool initAdts(std::vector<uint8_t> frame, int* rate) {
        unsigned long sampleRate = 0;
        unsigned char channels = 0;
        if (NeAACDecInit(handle_, frame.data(), static_cast<unsigned long>(frame.size()), &sampleRate,
                         &channels) < 0)
            return false;
        *rate = static_cast<int>(sampleRate);
        return true;
    }
    // Appends the frame's samples with its channels mixed; a frame that does not decode adds nothing.
    void decode(std::vector<uint8_t> frame, std::vector<float>& out) {
        NeAACDecFrameInfo info{};
        const auto* samples = static_cast<const float*>(
            NeAACDecDecode(handle_, &info, frame.data(), static_cast<unsigned long>(frame.size())));
        if (!samples || info.error != 0 || info.channels == 0)
            return;
        for (unsigned long i = 0; i + info.channels <= info.samples; i += info.channels) {
            float sum = 0;
            for (unsigned c = 0; c < info.channels; ++c)
                sum += samples[i + c];
            out.push_back(sum / static_cast<float>(info.channels));
        }
    }

private:
    NeAACDecHandle handle_;
};

// The energy-weighted centre in ms of the sound between from and to (ms on the sound's own time line, which
// begins at zeroMs); false when the span is not wholly inside the sound or holds none.
bool soundCentre(const std::vector<float>& sound, int rate, double zeroMs, double fromMs, double toMs,
                 double* centreMs) {
    const double perMs = rate / 1000.0;
    const double first = (fromMs - zeroMs) * perMs, last = (toMs - zeroMs) * perMs;
    if (first < 0 || last > static_cast<double>(sound.size()))
        return false;
    double energy = 0, moment = 0;
    for (size_t i = static_cast<size_t>(first); i < static_cast<size_t>(last); ++i) {
        const double e = static_cast<double>(sound[i]) * sound[i];
        energy += e;
        moment += e * static_cast<double>(i);
    }
    if (energy <= 0)
        return false;
    *centreMs = zeroMs + moment / energy / perMs;
    return true;
}

// Where FAAD2's first sample lies: it gives nothing for the first frame.
double soundZero(double startMs, int rate) {
    return startMs + kAacFrameSamples * 1000.0 / rate;
}

// Decodes the video packets as they come and keeps each picture with its number and time.
class VideoReader {
public:
    VideoReader(const AVStream* stream, Recording& out) : stream_(stream), out_(out) {
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        decoder_ = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (!decoder_)
            return;
        avcodec_parameters_to_context(decoder_, stream->codecpar);
        decoder_->thread_count = 1;
        if (avcodec_open2(decoder_, codec, nullptr) < 0)
            avcodec_free_context(&decoder_);
        frame_ = av_frame_alloc();
    }
    ~VideoReader() {
        av_frame_free(&frame_);
        avcodec_free_context(&decoder_);
    }
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    void take(const AVPacket* packet) {
        stored_[packet->pts] = {toMs(packet->duration, stream_->time_base),
                                (packet->flags & AV_PKT_FLAG_KEY) != 0};
        if (decoder_ && avcodec_send_packet(decoder_, packet) >= 0)
            drain();
    }
    void finish() {
        if (decoder_ && avcodec_send_packet(decoder_, nullptr) >= 0)
            drain();
    }

private:
    struct Stored {
        double durationMs;
        bool sync;
    };
    void drain() {
        while (avcodec_receive_frame(decoder_, frame_) >= 0) {
            Picture picture;
            picture.number = readNumber(frame_);
            out_.pictureWidth = frame_->width;
            out_.pictureHeight = frame_->height;
            const int64_t pts = frame_->best_effort_timestamp;
            picture.ms = toMs(pts, stream_->time_base);
            if (const auto at = stored_.find(pts); at != stored_.end()) {
                picture.durationMs = at->second.durationMs;
                picture.sync = at->second.sync;
            }
            out_.pictures.push_back(picture);
            av_frame_unref(frame_);
        }
    }

    const AVStream* stream_;
    Recording& out_;
    AVCodecContext* decoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::map<int64_t, Stored> stored_; // by presentation time
};

void decodeAudio(const AVStream* stream, Recording& out) {
    const AVCodecParameters* par = stream->codecpar;
    AacDecoder decoder;
    if (!decoder.initRaw(std::vector<uint8_t>(par->extradata, par->extradata + par->extradata_size),
                         &out.sampleRate) ||
        out.sampleRate <= 0)
        return;
    for (const std::vector<uint8_t>& frame : out.audioFrames)
        decoder.decode(frame, out.sound);
    out.audioEndMs = out.audioStartMs +
                     static_cast<double>(out.audioFrames.size()) * kAacFrameSamples * 1000.0 / out.sampleRate;
}

void readTrackHeader(const std::string& path, Recording& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto moov = findBox(file, "moov");
    for (int i = 0; moov; ++i) {
        const auto trak = findBox(*moov, "trak", i);
        if (!trak)
            return;
        const auto mdia = findBox(*trak, "mdia");
        const auto hdlr = mdia ? findBox(*mdia, "hdlr") : std::nullopt;
        if (!hdlr || hdlr->size() < 12 || std::string(hdlr->begin() + 8, hdlr->begin() + 12) != "vide")
            continue;
        trackDisplaySize(*trak, &out.displayWidth, &out.displayHeight);
        return;
    }
}

} // namespace

Recording ReadRecording(const std::string& path) {
    Recording out;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return out;
    out.opened = true;
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    std::unique_ptr<VideoReader> pictures;
    if (video >= 0) {
        const AVStream* stream = context->streams[video];
        out.entryWidth = stream->codecpar->width;
        out.entryHeight = stream->codecpar->height;
        out.aspectNum = stream->sample_aspect_ratio.num;
        out.aspectDen = stream->sample_aspect_ratio.den;
        pictures = std::make_unique<VideoReader>(stream, out);
    }
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
        if (packet->stream_index == video) {
            pictures->take(packet);
        } else if (packet->stream_index == audio) {
            if (out.audioFrames.empty())
                out.audioStartMs = toMs(packet->pts, context->streams[audio]->time_base);
            out.audioFrames.emplace_back(packet->data, packet->data + packet->size);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (pictures)
        pictures->finish();
    // A picture is shown until the next one; the last one until the video track ends.
    for (size_t i = 0; i + 1 < out.pictures.size(); ++i)
        out.pictures[i].durationMs = out.pictures[i + 1].ms - out.pictures[i].ms;
    if (video >= 0 && !out.pictures.empty()) {
        const AVStream* stream = context->streams[video];
        if (stream->duration != AV_NOPTS_VALUE)
            out.pictures.back().durationMs =
                std::max(toMs(stream->duration, stream->time_base) - out.pictures.back().ms, 0.0);
    }
    if (audio >= 0)
        decodeAudio(context->streams[audio], out);
    avformat_close_input(&context);
    readTrackHeader(path, out);
    return out;
}

SoundReference MakeSoundReference(const std::string& adtsPath) {
    SoundReference reference;
    std::ifstream in(adtsPath, std::ios::binary);
    const std::vector<uint8_t> stream{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + 7 <= stream.size() && stream[at] == 0xFF && (stream[at + 1] & 0xF6) == 0xF0;) {
        const size_t length = (stream[at + 3] & 3u) << 11 | stream[at + 4] << 3 | stream[at + 5] >> 5;
        if (length < 7 || at + length > stream.size())
            break;
        frames.emplace_back(stream.begin() + static_cast<long>(at),
                            stream.begin() + static_cast<long>(at + length));
        at += length;
    }
    int rate = 0;
    AacDecoder decoder;
    if (frames.empty() || !decoder.initAdts(frames.front(), &rate) || rate <= 0)
        return reference;
    std::vector<float> sound;
    for (const std::vector<uint8_t>& frame : frames)
        decoder.decode(frame, sound);
    // The first burst is left out: it begins with the sound, where the codec has no past to start from.
    double sum = 0;
    int count = 0;
    for (int burst = 1;; ++burst) {
        const double start = burst * kBurstIntervalMs;
        double centre = 0;
        if (!soundCentre(sound, rate, soundZero(0, rate), start, start + 2 * kSearchMs, &centre))
            break;
        sum += centre - start;
        ++count;
    }
    if (count == 0)
        return reference;
    reference.valid = true;
    reference.burstDelayMs = sum / count;
    return reference;
}

std::vector<SyncMark> MeasureSync(const Recording& recording, const SoundReference& reference) {
    std::vector<SyncMark> marks;
    if (!reference.valid || recording.sampleRate <= 0)
        return marks;
    const double zero = soundZero(recording.audioStartMs, recording.sampleRate);
    for (const Picture& picture : recording.pictures) {
        if (picture.number < 0 || picture.number % kPicturesPerBurst != 0)
            continue;
        const double expected = picture.ms + reference.burstDelayMs;
        double centre = 0;
        if (!soundCentre(recording.sound, recording.sampleRate, zero, expected - kSearchMs,
                         expected + kSearchMs, &centre))
            continue;
        marks.push_back({picture.number, picture.ms, centre - expected});
    }
    return marks;
}

} // namespace recordsync
