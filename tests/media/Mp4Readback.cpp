#include "tests/media/Mp4Readback.h"

#include <fstream>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

// The track headers' display sizes (16.16 fixed point behind the matrix), in the order of the tracks.
void readDisplaySizes(const std::string& path, ReadMp4& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto moov = findBox(file, "moov");
    for (size_t i = 0; moov && i < out.tracks.size(); ++i) {
        const auto trak = findBox(*moov, "trak", static_cast<int>(i));
        if (!trak || !trackDisplaySize(*trak, &out.tracks[i].displayWidth, &out.tracks[i].displayHeight))
            return;
    }
}

} // namespace

ReadMp4 readMp4(const std::string& path) {
    ReadMp4 out;
    // The samples as stored: no parser may look into them (and mark pictures as key frames).
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        return out;
    context->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return out;
    out.opened = true;
    if (const AVDictionaryEntry* e = av_dict_get(context->metadata, "encoder", nullptr, 0))
        out.encoder = e->value;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* st = context->streams[i];
        ReadTrack t;
        t.id = st->id;
        t.kind = av_get_media_type_string(st->codecpar->codec_type);
        t.codec = avcodec_get_name(st->codecpar->codec_id);
        t.timeScale = st->time_base.num == 1 ? st->time_base.den : 0;
        t.extradata.assign(st->codecpar->extradata, st->codecpar->extradata + st->codecpar->extradata_size);
        t.sampleRate = st->codecpar->sample_rate;
        t.channels = st->codecpar->ch_layout.nb_channels;
        t.width = st->codecpar->width;
        t.height = st->codecpar->height;
        t.aspectNum = st->sample_aspect_ratio.num;
        t.aspectDen = st->sample_aspect_ratio.den;
        out.tracks.push_back(std::move(t));
    }
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
        ReadSample s;
        s.data.assign(packet->data, packet->data + packet->size);
        s.dts = packet->dts;
        s.duration = packet->duration;
        s.sync = packet->flags & AV_PKT_FLAG_KEY;
        out.tracks[packet->stream_index].samples.push_back(std::move(s));
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    // A fragmented file gives each sample's duration as the step to the next one's decoding time, and the
    // last one's through the track's duration.
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        std::vector<ReadSample>& samples = out.tracks[i].samples;
        for (size_t k = 0; k + 1 < samples.size(); ++k)
            samples[k].duration = samples[k + 1].dts - samples[k].dts;
        const AVStream* st = context->streams[i];
        if (!samples.empty() && st->duration != AV_NOPTS_VALUE && st->duration > samples.back().dts)
            samples.back().duration = st->duration - samples.back().dts;
    }
    avformat_close_input(&context);
    readDisplaySizes(path, out);
    return out;
}
