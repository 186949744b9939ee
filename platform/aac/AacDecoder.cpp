#include "platform/aac/AacDecoder.h"

#include <neaacdec.h>

namespace platform::aac {

AacDecoder::~AacDecoder() {
    close();
}

bool AacDecoder::open() {
    close();
    handle_ = NeAACDecOpen();
    if (!handle_)
        return false;
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(handle_);
    config->defObjectType = LC;
    config->outputFormat = FAAD_FMT_16BIT;
    config->downMatrix = 0;
    config->useOldADTSFormat = 0;
    NeAACDecSetConfiguration(handle_, config);
    return true;
}

void AacDecoder::close() {
    if (handle_)
        NeAACDecClose(handle_);
    handle_ = nullptr;
}

namespace {

// FAAD2 only reads the data handed to it; its declarations lack the const.
bool initStream(void* handle, bool fromConfig, const unsigned char* data, unsigned long length,
                unsigned long* rate, unsigned char* channels) {
    if (!handle)
        return false;
    auto* bytes = const_cast<unsigned char*>(data);
    unsigned long openedRate = 0;
    unsigned char openedChannels = 0;
    const long result = fromConfig ? NeAACDecInit2(handle, bytes, length, &openedRate, &openedChannels)
                                   : NeAACDecInit(handle, bytes, length, &openedRate, &openedChannels);
    if (result < 0)
        return false;
    if (rate)
        *rate = openedRate;
    if (channels)
        *channels = openedChannels;
    return true;
}

} // namespace

bool AacDecoder::initFromConfig(const unsigned char* config, unsigned long length, unsigned long* rate,
                                unsigned char* channels) {
    return initStream(handle_, true, config, length, rate, channels);
}

bool AacDecoder::initFromAdts(const unsigned char* data, unsigned long length, unsigned long* rate,
                              unsigned char* channels) {
    return initStream(handle_, false, data, length, rate, channels);
}

bool AacDecoder::decode(const unsigned char* data, unsigned long length, DecodedFrame* frame) {
    if (!handle_)
        return false;
    NeAACDecFrameInfo info{};
    const void* pcm = NeAACDecDecode(handle_, &info, const_cast<unsigned char*>(data), length);
    if (!pcm || info.error != 0 || info.samples == 0)
        return false;
    frame->pcm = static_cast<const std::int16_t*>(pcm);
    frame->samples = info.samples;
    frame->rate = info.samplerate;
    frame->channels = info.channels;
    return true;
}

void AacDecoder::resetAfterSeek() {
    if (handle_)
        NeAACDecPostSeekReset(handle_, 0);
}

} // namespace platform::aac
