// The one AAC decoder of the program, on FAAD2: the live audio thread and the "KQ Audio Decode" filter both
// decode through it. It is configured for AAC LC with 16-bit interleaved output and no down-mix, opened
// first and then set up either from an AudioSpecificConfig or from the front of an ADTS stream.
//
// Ownership: the decoder owns its FAAD2 handle; the PCM of a decoded frame belongs to the decoder and stays
// valid until its next call.
#pragma once

#include <cstdint>

namespace platform::aac {

// One decoded frame: `samples` 16-bit values over all channels, interleaved.
struct DecodedFrame {
    const std::int16_t* pcm = nullptr;
    unsigned long samples = 0;
    unsigned long rate = 0;
    unsigned char channels = 0;
};

class AacDecoder {
public:
    AacDecoder() = default;
    ~AacDecoder();
    AacDecoder(const AacDecoder&) = delete;
    AacDecoder& operator=(const AacDecoder&) = delete;

    // Creates and configures the FAAD2 decoder (closing one opened before); false when it could not.
    bool open();
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Sets the stream up from an AudioSpecificConfig, or from the ADTS header at the front of `data`;
    // false when the decoder is not open or rejects the data. The rate and channel count the stream opens
    // with are stored where the pointers are not null.
    bool initFromConfig(const unsigned char* config, unsigned long length, unsigned long* rate,
                        unsigned char* channels);
    bool initFromAdts(const unsigned char* data, unsigned long length, unsigned long* rate,
                      unsigned char* channels);

    // Decodes one frame; false for a damaged frame or one that gives no samples (nothing is stored then).
    bool decode(const unsigned char* data, unsigned long length, DecodedFrame* frame);
    // Forgets the state between frames after a seek.
    void resetAfterSeek();

private:
    void* handle_ = nullptr; // NeAACDecHandle
};

} // namespace platform::aac
