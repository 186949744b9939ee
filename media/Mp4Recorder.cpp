#include "media/Mp4Recorder.h"

#include "media/Adts.h"

#include "platform/win32/Paths.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace {

constexpr uint32_t kVideoTimeScale = 90000;
constexpr uint32_t kAacFrameSamples = 1024;
constexpr uint8_t kVideoProfileLevel = 0x7F; // no visual profile required
constexpr uint8_t kAudioProfileLevel = 0x0F; // high quality audio profile
// A picture that grows past this without a boundary (a stream whose slices never start a new
// picture) is written out, so that untrusted input cannot grow the buffer without end.
constexpr size_t kMaxSampleSize = 16u << 20;

void addUnique(std::vector<std::vector<uint8_t>>& sets, std::vector<uint8_t> set) {
    if (std::find(sets.begin(), sets.end(), set) == sets.end())
        sets.push_back(std::move(set));
}

bool isIntraSliceType(uint32_t sliceType) {
    return sliceType == 2 || sliceType == 4 || sliceType == 7 || sliceType == 9;
}

} // namespace

bool KQ_AV_Mp4Recorder::Open(const std::wstring& path, uint32_t pictureWidth, uint32_t pictureHeight) {
    pictureWidth_ = pictureWidth;
    pictureHeight_ = pictureHeight;
    if (!writer_.create(platform::NativePath(path).string()))
        return false;
    writer_.setTimeScale(kVideoTimeScale);
    // The movie header is written with the first sample: the tag is set before it.
    writer_.setTool(Mp4CreatorToolTag(writer_.tool()));
    return true;
}

uint32_t KQ_AV_Mp4Recorder::AddVideoTrack(const uint8_t* buffer, size_t length) {
    if (videoTrack_)
        return videoTrack_;
    Mp4Writer::H264Config config;
    bool haveSps = false;
    EsNalReader reader;
    reader.Reset(buffer, length);
    while (reader.Next()) {
        const std::vector<uint8_t>& unit = reader.Unit();
        const uint32_t startCode = reader.StartCodeLength();
        std::vector<uint8_t> nal(unit.begin() + startCode, unit.end());
        if (reader.Type() == EsNalSps) {
            if (!haveSps) {
                if (nal.size() < 4 || EsReadSequenceInfo(unit.data(), unit.size(), parser_) < 0)
                    return 0;
                config.profile = nal[1];
                config.compatibility = nal[2];
                config.level = nal[3];
                haveSps = true;
            }
            addUnique(config.sequenceParameterSets, std::move(nal));
        } else if (reader.Type() == EsNalPps) {
            addUnique(config.pictureParameterSets, std::move(nal));
        }
    }
    if (!haveSps)
        return 0;
    setPictureShape(config);
    videoTrack_ = writer_.addH264Track(kVideoTimeScale, config);
    if (videoTrack_) {
        writer_.setVideoProfileLevel(kVideoProfileLevel);
        sequenceParameterSet_ = config.sequenceParameterSets.front();
    }
    return videoTrack_;
}

void KQ_AV_Mp4Recorder::append(const std::vector<uint8_t>& unit, uint32_t startCodeLength) {
    const size_t size = unit.size() - startCodeLength;
    sample_.push_back(static_cast<uint8_t>(size >> 24));
    sample_.push_back(static_cast<uint8_t>(size >> 16));
    sample_.push_back(static_cast<uint8_t>(size >> 8));
    sample_.push_back(static_cast<uint8_t>(size));
    sample_.insert(sample_.end(), unit.begin() + startCodeLength, unit.end());
}

bool KQ_AV_Mp4Recorder::writePicture(uint32_t duration) {
    if (!sampleHasSlice_)
        return true; // parameter sets and SEIs stay for the picture they belong to
    if (!writer_.writeSample(videoTrack_, sample_, duration, sync_)) {
        videoFailed_ = true;
        return false;
    }
    sync_ = false;
    sampleHasSlice_ = false;
    sample_.clear();
    return true;
}

int KQ_AV_Mp4Recorder::WriteVideo(const uint8_t* payload, size_t length, uint32_t duration) {
    if (videoFailed_)
        return 0;
    lastDuration_ = duration;
    reader_.Reset(payload, length);
    while (reader_.Next()) {
        std::vector<uint8_t>& unit = reader_.Unit();
        const uint32_t startCode = reader_.StartCodeLength();
        const uint8_t type = reader_.Type();
        const bool boundary = EsDetectBoundary(unit.data(), unit.size(), parser_) != 0;
        const bool full = sample_.size() + unit.size() > kMaxSampleSize;
        if ((boundary || full) && !writePicture(duration))
            return 0;
        if (full && !sampleHasSlice_)
            sample_.clear(); // parameter sets and SEIs without any picture
        if (EsIsSlice(type)) {
            sampleHasSlice_ = true;
            sync_ = type == EsNalIdr && isIntraSliceType(parser_.slice.slice_type);
            append(unit, startCode);
        } else if (type == EsNalSei) {
            if (EsStripSeiMessages(reader_, startCode))
                append(unit, startCode);
        } else if (type != EsNalFiller) {
            append(unit, startCode);
        }
    }
    return 1;
}

uint32_t KQ_AV_Mp4Recorder::AddAudioTrack(const uint8_t* frame, size_t length) {
    if (audioTrack_)
        return audioTrack_;
    uint8_t header[kAdtsMaxHeaderSize];
    if (!frame || !AdtsFindHeader(frame, length, header))
        return 0;
    const AdtsFields fields = AdtsParseFields(header);
    const uint32_t samplingRate = AacSamplingRate(fields.samplingIndex);
    // MPEG-2 AAC Main, LC and SSR would have object types 0x66 to 0x68, which the muxer cannot write:
    // every AAC track is written as MPEG-4 audio (0x40). MPEG-2 profile 3 has no object type at all.
    if (samplingRate == 0 || (fields.id == 1 && fields.profile == 3))
        return 0;
    const auto config = AacMakeConfig(fields.profile, samplingRate, fields.channels);
    audioTrack_ = writer_.addAacTrack(samplingRate, fields.channels, config);
    if (audioTrack_)
        writer_.setAudioProfileLevel(kAudioProfileLevel);
    return audioTrack_;
}

int KQ_AV_Mp4Recorder::WriteAudio(const uint8_t* frame, size_t length) {
    if (!audioTrack_ || !frame)
        return 1;
    const std::span<const uint8_t> raw = AdtsRawData(frame, length);
    if (raw.empty())
        return 1;
    // Every AAC frame is a sync sample.
    return writer_.writeSample(audioTrack_, raw, kAacFrameSamples, true) ? 1 : 0;
}

bool KQ_AV_Mp4Recorder::Close(uint32_t lastDuration) {
    if (videoTrack_ && !videoFailed_)
        writePicture(lastDuration != 0 ? lastDuration : lastDuration_);
    return writer_.close();
}

// The sample entry keeps the live picture size (the size a decode filter that joins field pictures
// delivers); the pictures themselves have the size of the sequence parameter set, and their sample aspect
// ratio shows them at 4:3 (field pictures of half the live height stretched to fill it). The track header
// gives the 4:3 display size of the live picture.
void KQ_AV_Mp4Recorder::setPictureShape(Mp4Writer::H264Config& config) const {
    const uint32_t codedWidth = parser_.sps.pic_width, codedHeight = parser_.sps.pic_height;
    const uint32_t width = pictureWidth_ != 0 ? pictureWidth_ : codedWidth;
    const uint32_t height = std::min<uint32_t>(pictureHeight_ != 0 ? pictureHeight_ : codedHeight, 0xBFFF);
    config.width = static_cast<uint16_t>(std::min<uint32_t>(width, 0xFFFF));
    config.height = static_cast<uint16_t>(height);
    config.displayWidth = static_cast<uint16_t>((height * 4 + 1) / 3);
    config.displayHeight = static_cast<uint16_t>(height);
    if (codedWidth != 0 && codedHeight != 0 && codedWidth <= 0xFFFF && codedHeight <= 0xFFFF) {
        const uint32_t num = 4 * codedHeight, den = 3 * codedWidth;
        const uint32_t divisor = std::gcd(num, den);
        config.aspectNum = num / divisor;
        config.aspectDen = den / divisor;
    }
}

std::string Mp4CreatorToolTag(const std::optional<std::string>& existing) {
    static const std::string kTool = "mp4creator";
    static const std::string kVersion = "1.6.1";
    if (!existing)
        return kTool + " " + kVersion;
    const bool ours = existing->size() >= kTool.size() &&
                      std::equal(kTool.begin(), kTool.end(), existing->begin(), [](char a, char b) {
                          return a == std::tolower(static_cast<unsigned char>(b));
                      });
    return ours ? *existing : *existing + " " + kTool + " " + kVersion;
}
