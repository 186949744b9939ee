#include "media/Mp4Writer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kFragmentMicroseconds = 1000000;

// avcC: version 1, profile, compatibility, level, NAL length size, then at most 31 sequence and 255
// picture parameter sets, each behind its 16-bit length.
std::vector<uint8_t> makeAvcC(const Mp4Writer::H264Config& c) {
    std::vector<uint8_t> avcC = {1, c.profile, c.compatibility, c.level,
                                 static_cast<uint8_t>(0xFC | (c.lengthSizeMinusOne & 3))};
    auto putSets = [&avcC](const std::vector<std::vector<uint8_t>>& sets, size_t maxCount,
                           uint8_t countFlags) {
        std::vector<const std::vector<uint8_t>*> fitting;
        for (const auto& set : sets) {
            if (!set.empty() && set.size() <= 0xFFFF && fitting.size() < maxCount)
                fitting.push_back(&set);
        }
        avcC.push_back(static_cast<uint8_t>(countFlags | fitting.size()));
        for (const auto* set : fitting) {
            avcC.push_back(static_cast<uint8_t>(set->size() >> 8));
            avcC.push_back(static_cast<uint8_t>(set->size()));
            avcC.insert(avcC.end(), set->begin(), set->end());
        }
    };
    putSets(c.sequenceParameterSets, 31, 0xE0);
    putSets(c.pictureParameterSets, 255, 0);
    return avcC;
}

uint32_t readBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The payload [begin, end) of the first child box of the type within [begin, end) of data; false when there
// is none.
bool findChild(const std::vector<uint8_t>& data, size_t& begin, size_t& end, const char* type,
               int index = 0) {
    for (size_t at = begin; end - at >= 8;) {
        const uint64_t size = readBe32(&data[at]);
        if (size < 8 || size > end - at)
            return false;
        if (std::memcmp(&data[at + 4], type, 4) == 0 && index-- == 0) {
            end = at + size;
            begin = at + 8;
            return true;
        }
        at += size;
    }
    return false;
}

// The offset of the display width in the video track's header, within the movie header at the start of the
// file; 0 when there is none.
size_t displaySizeOffset(const std::vector<uint8_t>& file) {
    size_t moovBegin = 0, moovEnd = file.size();
    if (!findChild(file, moovBegin, moovEnd, "moov"))
        return 0;
    for (int track = 0;; ++track) {
        size_t trakBegin = moovBegin, trakEnd = moovEnd;
        if (!findChild(file, trakBegin, trakEnd, "trak", track))
            return 0;
        size_t hdlrBegin = trakBegin, hdlrEnd = trakEnd;
        size_t tkhdBegin = trakBegin, tkhdEnd = trakEnd;
        if (!findChild(file, hdlrBegin, hdlrEnd, "mdia") || !findChild(file, hdlrBegin, hdlrEnd, "hdlr") ||
            hdlrEnd - hdlrBegin < 12 || std::memcmp(&file[hdlrBegin + 8], "vide", 4) != 0 ||
            !findChild(file, tkhdBegin, tkhdEnd, "tkhd") || tkhdEnd == tkhdBegin)
            continue;
        const size_t at = tkhdBegin + (file[tkhdBegin] == 1 ? 88 : 76); // behind the matrix
        return at + 8 <= tkhdEnd ? at : 0;
    }
}

bool setExtradata(AVCodecParameters* par, std::span<const uint8_t> bytes) {
    par->extradata = static_cast<uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata)
        return false;
    std::memcpy(par->extradata, bytes.data(), bytes.size());
    par->extradata_size = static_cast<int>(bytes.size());
    return true;
}

} // namespace

struct Mp4Writer::Impl {
    struct Track {
        AVStream* stream = nullptr;
        AVRational timeBase{};
        int64_t nextDts = 0;
        bool stopped = false;
    };

    AVFormatContext* context = nullptr;
    AVPacket* packet = nullptr;
    std::vector<Track> tracks;
    bool headerWritten = false;
    std::string path;
    uint16_t displayWidth = 0; // of the video track, written into its header
    uint16_t displayHeight = 0;

    ~Impl() { av_packet_free(&packet); }

    AVStream* newTrack(uint32_t timeScale) {
        if (!context || headerWritten || timeScale == 0 || timeScale > INT32_MAX)
            return nullptr;
        AVStream* stream = avformat_new_stream(context, nullptr);
        if (!stream)
            return nullptr;
        stream->time_base = AVRational{1, static_cast<int>(timeScale)};
        tracks.push_back({stream, stream->time_base});
        return stream;
    }

    bool writeHeader() {
        if (avformat_write_header(context, nullptr) < 0) {
            for (Track& track : tracks)
                track.stopped = true;
            return false;
        }
        headerWritten = true;
        writeDisplaySize();
        return true;
    }

    // The muxer gives the track header the sample entry's height; the display size goes over it, in the
    // movie header that has just reached the file (read back to find where).
    void writeDisplaySize() {
        if (displayWidth == 0 || displayHeight == 0)
            return;
        AVIOContext* pb = context->pb;
        avio_flush(pb);
        const int64_t written = avio_tell(pb);
        AVIOContext* in = nullptr;
        if (written <= 0 || written > INT32_MAX ||
            avio_open(&in, ("file:" + path).c_str(), AVIO_FLAG_READ) < 0)
            return;
        std::vector<uint8_t> head(static_cast<size_t>(written));
        const int read = avio_read(in, head.data(), static_cast<int>(head.size()));
        avio_closep(&in);
        const size_t at = read == static_cast<int>(head.size()) ? displaySizeOffset(head) : 0;
        if (at == 0)
            return;
        avio_seek(pb, static_cast<int64_t>(at), SEEK_SET);
        avio_wb32(pb, uint32_t{displayWidth} << 16);
        avio_wb32(pb, uint32_t{displayHeight} << 16);
        avio_seek(pb, written, SEEK_SET);
        avio_flush(pb);
    }

    void setOption(const char* name, int64_t value) { av_opt_set_int(context->priv_data, name, value, 0); }
};

Mp4Writer::Mp4Writer() : impl_(std::make_unique<Impl>()) {}

Mp4Writer::~Mp4Writer() {
    close();
}

bool Mp4Writer::create(const std::string& path) {
    if (impl_->context)
        return false;
    AVFormatContext* context = nullptr;
    if (avformat_alloc_output_context2(&context, nullptr, "mp4", nullptr) < 0 || !context)
        return false;
    // The file protocol by name, so that a colon in the path is not taken for a protocol prefix.
    if (avio_open(&context->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE) < 0) {
        avformat_free_context(context);
        return false;
    }
    impl_->context = context;
    impl_->path = path;
    impl_->setOption("skip_iods", 0);
    impl_->setOption("use_editlist", 0);
    // Fragments: at each sync picture, and at least every second; each reaches the file when complete.
    av_opt_set(context->priv_data, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    impl_->setOption("frag_duration", kFragmentMicroseconds);
    av_opt_set_int(context, "flush_packets", 1, 0);
    if (!impl_->packet)
        impl_->packet = av_packet_alloc();
    return impl_->packet != nullptr;
}

void Mp4Writer::setTimeScale(uint32_t movieTimeScale) {
    if (impl_->context && movieTimeScale > 0 && movieTimeScale <= INT32_MAX)
        impl_->setOption("movie_timescale", movieTimeScale);
}

uint32_t Mp4Writer::addH264Track(uint32_t timeScale, const H264Config& config) {
    AVStream* stream = impl_->newTrack(timeScale);
    if (!stream)
        return 0;
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_H264;
    par->width = config.width;
    par->height = config.height;
    if (config.aspectNum != 0 && config.aspectDen != 0 && config.aspectNum <= INT32_MAX &&
        config.aspectDen <= INT32_MAX) {
        par->sample_aspect_ratio =
            AVRational{static_cast<int>(config.aspectNum), static_cast<int>(config.aspectDen)};
        stream->sample_aspect_ratio = par->sample_aspect_ratio;
    }
    impl_->displayWidth = config.displayWidth;
    impl_->displayHeight = config.displayHeight;
    // avcC-form extradata: the muxer writes it as it is and takes the samples as length-prefixed.
    if (!setExtradata(par, makeAvcC(config))) {
        impl_->tracks.back().stopped = true;
        return 0;
    }
    return static_cast<uint32_t>(impl_->tracks.size());
}

uint32_t Mp4Writer::addAacTrack(uint32_t sampleRate, uint32_t channels, std::span<const uint8_t> config) {
    AVStream* stream = impl_->newTrack(sampleRate);
    if (!stream)
        return 0;
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_AAC;
    par->sample_rate = static_cast<int>(sampleRate);
    par->frame_size = 1024;
    av_channel_layout_default(&par->ch_layout, channels == 0 ? 2 : static_cast<int>(channels));
    if (!setExtradata(par, config)) {
        impl_->tracks.back().stopped = true;
        return 0;
    }
    return static_cast<uint32_t>(impl_->tracks.size());
}

void Mp4Writer::setVideoProfileLevel(uint8_t profile) {
    if (impl_->context)
        impl_->setOption("iods_video_profile", profile);
}

void Mp4Writer::setAudioProfileLevel(uint8_t profile) {
    if (impl_->context)
        impl_->setOption("iods_audio_profile", profile);
}

bool Mp4Writer::writeSample(uint32_t track, std::span<const uint8_t> data, uint32_t duration, bool sync) {
    Impl& d = *impl_;
    if (!d.context || track == 0 || track > d.tracks.size() || d.tracks[track - 1].stopped || data.empty() ||
        data.size() > INT32_MAX)
        return false;
    if (!d.headerWritten && !d.writeHeader())
        return false;
    Impl::Track& t = d.tracks[track - 1];
    const int64_t ticks = std::max<uint32_t>(duration, 1);
    AVPacket* packet = d.packet;
    packet->data = const_cast<uint8_t*>(data.data()); // av_write_frame only reads a packet it does not own
    packet->size = static_cast<int>(data.size());
    packet->stream_index = t.stream->index;
    packet->pts = packet->dts = t.nextDts;
    packet->duration = ticks;
    packet->flags = sync ? AV_PKT_FLAG_KEY : 0;
    av_packet_rescale_ts(packet, t.timeBase, t.stream->time_base);
    const int result = av_write_frame(d.context, packet);
    packet->data = nullptr;
    packet->size = 0;
    // A write error of the file (a full disk) stays on the I/O context from the buffer flush that met it.
    if (result < 0 || d.context->pb->error) {
        t.stopped = true;
        return false;
    }
    t.nextDts += ticks;
    return true;
}

std::optional<std::string> Mp4Writer::tool() const {
    if (!impl_->context)
        return std::nullopt;
    const AVDictionaryEntry* entry = av_dict_get(impl_->context->metadata, "encoding_tool", nullptr, 0);
    if (!entry || !*entry->value)
        return std::nullopt;
    return std::string(entry->value);
}

void Mp4Writer::setTool(const std::string& tool) {
    // The mp4 muxer writes this key as the tool tag; a reader shows it as "encoder".
    if (impl_->context)
        av_dict_set(&impl_->context->metadata, "encoding_tool", tool.c_str(), 0);
}

bool Mp4Writer::close() {
    Impl& d = *impl_;
    if (!d.context)
        return false;
    bool ok = true;
    if (!d.headerWritten && d.context->nb_streams > 0)
        ok = d.writeHeader();
    if (d.headerWritten)
        ok = av_write_trailer(d.context) >= 0 && ok;
    avio_flush(d.context->pb);
    ok = ok && d.context->pb->error == 0;
    ok = avio_closep(&d.context->pb) >= 0 && ok;
    avformat_free_context(d.context);
    d.context = nullptr;
    d.tracks.clear();
    d.headerWritten = false;
    return ok;
}
