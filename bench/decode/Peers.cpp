#include "bench/decode/Peers.h"

#include "h264/Decoder.h"
#include "h264/DecoderHooks.h"

extern "C" {
#include <libavcodec/avcodec.h>
}
#include <wels/codec_api.h>

#include <cstring>

int decodeOurs(const std::vector<uint8_t>& stream, unsigned level) {
    H264DecoderConfig config;
    config.maxWidthInMbs = 45;
    config.maxHeightInMbs = 36;
    config.dpbFrames = 16;
    // Zero-copy, as the peers hand out their own buffers too.
    config.flags = H264_FLAG_ZERO_COPY;
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, level);
    DecodedPicture p;
    int pictures = 0;
    for (int r = H264DecoderDecode(d, stream.data(), uint32_t(stream.size()), 0, 0, &p, 0); r == DECODE_OK;
         r = H264DecoderDecode(d, nullptr, 0, 0, 0, &p, 0))
        ++pictures;
    while (H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT) == DECODE_OK)
        ++pictures;
    H264DecoderDestroy(d);
    return pictures;
}

int decodeLibavcodec(const std::vector<uint8_t>& stream) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    avcodec_open2(ctx, codec, nullptr);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int pictures = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0)
            ++pictures;
    };
    const uint8_t* data = stream.data();
    int left = int(stream.size());
    while (left > 0) {
        const int used = av_parser_parse2(parser, ctx, &packet->data, &packet->size, data, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        data += used, left -= used;
        if (packet->size && avcodec_send_packet(ctx, packet) == 0)
            drain();
    }
    av_parser_parse2(parser, ctx, &packet->data, &packet->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE,
                     0);
    if (packet->size && avcodec_send_packet(ctx, packet) == 0)
        drain();
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    av_parser_close(parser);
    avcodec_free_context(&ctx);
    return pictures;
}

int decodeOpenH264(const std::vector<uint8_t>& stream) {
    ISVCDecoder* decoder = nullptr;
    WelsCreateDecoder(&decoder);
    SDecodingParam param;
    std::memset(&param, 0, sizeof param);
    param.sVideoProperty.eVideoBsType = VIDEO_BITSTREAM_AVC;
    decoder->Initialize(&param);
    int pictures = 0;
    // One NAL unit (with its start code) per call.
    size_t start = 0;
    auto feed = [&](size_t end) {
        uint8_t* planes[3] = {};
        SBufferInfo info;
        std::memset(&info, 0, sizeof info);
        decoder->DecodeFrameNoDelay(stream.data() + start, int(end - start), planes, &info);
        pictures += info.iBufferStatus == 1;
    };
    for (size_t i = 4; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 0 && stream[i + 3] == 1) {
            feed(i);
            start = i;
        }
    }
    feed(stream.size());
    decoder->Uninitialize();
    WelsDestroyDecoder(decoder);
    return pictures;
}
