#include "tests/media/Mp4Readback.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

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
    avformat_close_input(&context);
    return out;
}

std::optional<std::span<const uint8_t>> findBox(std::span<const uint8_t> payload, const char* type,
                                                int index) {
    size_t pos = 0;
    while (payload.size() - pos >= 8) {
        const uint8_t* b = payload.data() + pos;
        uint64_t size = (uint64_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
        size_t header = 8;
        if (size == 1 && payload.size() - pos >= 16) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = (size << 8) | b[i];
            header = 16;
        } else if (size == 0) {
            size = payload.size() - pos;
        }
        if (size < header || size > payload.size() - pos)
            return std::nullopt;
        if (std::string(reinterpret_cast<const char*>(b + 4), 4) == type && index-- == 0)
            return payload.subspan(pos + header, size - header);
        pos += size;
    }
    return std::nullopt;
}

std::optional<Descriptor> readDescriptor(std::span<const uint8_t> data) {
    if (data.empty())
        return std::nullopt;
    size_t pos = 1;
    size_t size = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= data.size())
            return std::nullopt;
        const uint8_t b = data[pos++];
        size = (size << 7) | (b & 0x7F);
        if (!(b & 0x80))
            break;
    }
    if (size > data.size() - pos)
        return std::nullopt;
    return Descriptor{data[0], data.subspan(pos, size)};
}
