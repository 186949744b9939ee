// Test support: a recording as the program makes one of the box's stream. The stream fixture's access units
// (720 x 288 field pairs, 20 ms apart) and AAC frames go through our MP4 recorder the way the record thread
// drives it for size class 4 at 50 Hz rows: a 720 x 576 video track of 1800-tick samples, the audio track
// from the first frame (which is not written), then both in the order of their timestamps.
#pragma once

#include "media/Mp4Recorder.h"

#include "tests/support/fakes/StreamFixture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace filerecording {

constexpr uint32_t kWidth = 720;
constexpr uint32_t kFrameHeight = 576;
constexpr uint32_t kFieldHeight = 288;
constexpr uint32_t kFieldTicks = 1800;
constexpr size_t kTrackUnits = 10; // the first units, from which the video track is made

// The ADTS frames the recording holds, in order.
inline std::vector<streamfixture::Bytes> recordedAudio() {
    std::vector<streamfixture::Bytes> frames;
    for (const streamfixture::Record& record : streamfixture::fixture().records())
        if (!record.video)
            frames.push_back(record.payload);
    frames.erase(frames.begin());
    return frames;
}

// The fixture `loops` times over, each loop from its parameter sets and key frame.
inline bool makeRecording(const std::wstring& path, int loops = 1) {
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    std::vector<const streamfixture::Record*> audio;
    for (const streamfixture::Record& record : fixture.records())
        if (!record.video)
            audio.push_back(&record);
    const auto payload = [](const streamfixture::Unit& unit) {
        return streamfixture::Bytes(unit.media.begin() + 4, unit.media.end());
    };
    KQ_AV_Mp4Recorder recorder;
    if (!recorder.Open(path, kWidth, kFrameHeight))
        return false;
    streamfixture::Bytes first;
    for (size_t i = 0; i < kTrackUnits && i < fixture.units().size(); ++i) {
        const streamfixture::Bytes unit = payload(fixture.units()[i]);
        first.insert(first.end(), unit.begin(), unit.end());
    }
    if (recorder.AddVideoTrack(first.data(), first.size()) == 0 || audio.empty() ||
        recorder.AddAudioTrack(audio[0]->payload.data(), audio[0]->payload.size()) == 0)
        return false;
    const auto writeAudio = [&](size_t i) {
        return recorder.WriteAudio(audio[i]->payload.data(), audio[i]->payload.size()) == 1;
    };
    for (int loop = 0; loop < loops; ++loop) {
        size_t nextAudio = loop == 0 ? 1 : 0;
        for (const streamfixture::Unit& unit : fixture.units()) {
            for (; nextAudio < audio.size() && audio[nextAudio]->timestamp <= unit.timestamp; ++nextAudio)
                if (!writeAudio(nextAudio))
                    return false;
            const streamfixture::Bytes video = payload(unit);
            if (recorder.WriteVideo(video.data(), video.size(), kFieldTicks) != 1)
                return false;
        }
        for (; nextAudio < audio.size(); ++nextAudio)
            if (!writeAudio(nextAudio))
                return false;
    }
    return recorder.Close();
}

} // namespace filerecording
