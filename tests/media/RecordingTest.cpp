// A short recording from the x264 and AAC fixtures, driven the way the record thread drives the
// recorder, read back with libavformat, checked box by box, and played with ffprobe.
#include "media/Mp4Recorder.h"

#include "tests/media/AnnexB.h"
#include "tests/media/Mp4Readback.h"
#include "tests/media/RecorderTestSupport.h"
#include "tests/support/Ffprobe.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// One unit as the stream receiver hands it on: NAL units behind 4-byte start codes. Parameter sets
// come as a unit of their own before each IDR picture.
struct Unit {
    Bytes payload;
    std::vector<Bytes> nals;
    bool idr = false;
    bool picture = false;
    bool endsWithFiller = false;
};

uint8_t typeOf(const Bytes& nal) {
    return nal[0] & 0x1F;
}
bool isSlice(uint8_t type) {
    return type == 1 || type == 5;
}

std::vector<Unit> cutUnits(const std::vector<Bytes>& nals) {
    std::vector<Unit> units;
    uint8_t previous = 0;
    for (const Bytes& nal : nals) {
        const uint8_t type = typeOf(nal);
        const bool firstSlice = isSlice(type) && (nal[1] & 0x80); // first_mb_in_slice 0
        const bool afterPicture = isSlice(previous) || previous == 12;
        if (units.empty() || type == 7 || previous == 8 || (afterPicture && (type == 6 || firstSlice)))
            units.emplace_back();
        Unit& u = units.back();
        const Bytes withCode = withStartCode(nal);
        u.payload.insert(u.payload.end(), withCode.begin(), withCode.end());
        u.nals.push_back(nal);
        u.idr |= type == 5;
        u.picture |= isSlice(type);
        u.endsWithFiller = type == 12;
        previous = type;
    }
    return units;
}

class Recording : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        units_ = new std::vector<Unit>(cutUnits(splitNals(readFile(fixturePath("stream.264")))));
        audio_ = new std::vector<Bytes>(adtsFrames(readFile(fixturePath("audio.aac"))));
        folder_ = new ScratchFolder;
        path_ = new std::string(folder_->file("recording.mp4"));

        // The record thread's order: the video track from the first ten units, the audio track from
        // the first audio frame (not written), then audio and video paced by their timestamps.
        KQ_AV_Mp4Recorder recorder;
        ASSERT_TRUE(recorder.Open(folder_->wfile("recording.mp4"), 96, 64));
        Bytes firstTen;
        for (size_t i = 0; i < 10; ++i)
            firstTen.insert(firstTen.end(), (*units_)[i].payload.begin(), (*units_)[i].payload.end());
        ASSERT_EQ(recorder.AddVideoTrack(firstTen.data(), firstTen.size()), 1u);
        ASSERT_EQ(recorder.AddAudioTrack((*audio_)[0].data(), (*audio_)[0].size()), 2u);
        size_t nextAudio = 1;
        uint32_t unitTime = 0; // ms
        for (size_t u = 0; u < units_->size(); ++u) {
            for (; nextAudio < audio_->size() && nextAudio * 32 <= unitTime; ++nextAudio)
                ASSERT_EQ(recorder.WriteAudio((*audio_)[nextAudio].data(), (*audio_)[nextAudio].size()), 1);
            const Unit& unit = (*units_)[u];
            ASSERT_EQ(recorder.WriteVideo(unit.payload.data(), unit.payload.size(), duration(u)), 1);
            if (unit.picture)
                unitTime += 40;
        }
        for (; nextAudio < audio_->size(); ++nextAudio)
            ASSERT_EQ(recorder.WriteAudio((*audio_)[nextAudio].data(), (*audio_)[nextAudio].size()), 1);
        ASSERT_TRUE(recorder.Close());
        file_ = new Bytes(readFile(*path_));
    }
    static void TearDownTestSuite() {
        delete file_;
        delete path_;
        delete folder_;
        delete audio_;
        delete units_;
    }
    // Distinct durations, so that a sample written with another unit's duration shows.
    static uint32_t duration(size_t unit) { return 3500 + 7 * static_cast<uint32_t>(unit); }

    static std::vector<Unit>* units_;
    static std::vector<Bytes>* audio_;
    static ScratchFolder* folder_;
    static std::string* path_;
    static Bytes* file_;
};

std::vector<Unit>* Recording::units_;
std::vector<Bytes>* Recording::audio_;
ScratchFolder* Recording::folder_;
std::string* Recording::path_;
Bytes* Recording::file_;

TEST_F(Recording, TracksSamplesAndConfiguration) {
    ASSERT_EQ(units_->size(), 44u); // 40 pictures and 4 parameter-set units
    const ReadMp4 file = readMp4(*path_);
    ASSERT_TRUE(file.opened);
    ASSERT_EQ(file.tracks.size(), 2u);
    EXPECT_EQ(file.encoder, "mp4creator 1.6.1");

    const ReadTrack& video = file.tracks[0];
    EXPECT_EQ(video.id, 1);
    EXPECT_EQ(video.kind, "video");
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.timeScale, 90000);
    EXPECT_EQ(video.width, 96);
    EXPECT_EQ(video.height, 64);
    EXPECT_EQ(video.extradata, expectedAvcC((*units_)[0].nals[0], (*units_)[0].nals[1]));

    // Each picture is one sample: with the parameter sets before it, without the filler data. It is
    // written when the next picture begins (or a filler NAL unit ends it), with that call's duration.
    struct Expected {
        Bytes data;
        int64_t duration;
        bool sync;
    };
    std::vector<Expected> expected;
    std::vector<Bytes> pending;
    for (size_t u = 0; u < units_->size(); ++u) {
        const Unit& unit = (*units_)[u];
        for (const Bytes& nal : unit.nals) {
            if (typeOf(nal) != 12)
                pending.push_back(nal);
        }
        if (!unit.picture)
            continue;
        const size_t writer = unit.endsWithFiller ? u : std::min(u + 1, units_->size() - 1);
        expected.push_back({lengthPrefixed(pending), duration(writer), unit.idr});
        pending.clear();
    }
    ASSERT_EQ(video.samples.size(), 40u);
    int syncSamples = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(video.samples[i].data, expected[i].data);
        EXPECT_EQ(video.samples[i].duration, expected[i].duration);
        EXPECT_EQ(video.samples[i].sync, expected[i].sync);
        syncSamples += video.samples[i].sync;
    }
    EXPECT_EQ(syncSamples, 4);

    const ReadTrack& audio = file.tracks[1];
    EXPECT_EQ(audio.id, 2);
    EXPECT_EQ(audio.kind, "audio");
    EXPECT_EQ(audio.codec, "aac");
    EXPECT_EQ(audio.timeScale, 32000);
    EXPECT_EQ(audio.sampleRate, 32000);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.extradata, (Bytes{0x12, 0x90}));
    ASSERT_EQ(audio.samples.size(), audio_->size() - 1);
    for (size_t i = 0; i < audio.samples.size(); ++i) {
        SCOPED_TRACE(i);
        const Bytes& frame = (*audio_)[i + 1];
        EXPECT_EQ(audio.samples[i].data, Bytes(frame.begin() + 7, frame.end()));
        EXPECT_EQ(audio.samples[i].duration, 1024);
        EXPECT_EQ(audio.samples[i].dts, 1024 * static_cast<int64_t>(i));
    }
}

TEST_F(Recording, MovieHeaderIodsAndEsds) {
    const std::span<const uint8_t> all(*file_);
    const auto moov = findBox(all, "moov");
    ASSERT_TRUE(moov);
    const auto mvhd = findBox(*moov, "mvhd");
    ASSERT_TRUE(mvhd && mvhd->size() >= 24);
    const size_t at = (*mvhd)[0] == 1 ? 20 : 12;
    const uint32_t timeScale =
        ((*mvhd)[at] << 24) | ((*mvhd)[at + 1] << 16) | ((*mvhd)[at + 2] << 8) | (*mvhd)[at + 3];
    EXPECT_EQ(timeScale, 90000u);

    // iods: version and flags, then the initial object descriptor: OD id and flags (2 bytes), then
    // the OD, scene, audio, visual and graphics profile bytes.
    const auto iods = findBox(*moov, "iods");
    ASSERT_TRUE(iods && iods->size() > 4);
    const auto od = readDescriptor(iods->subspan(4));
    ASSERT_TRUE(od && od->body.size() >= 7);
    EXPECT_EQ(od->body[4], 0x0F) << "audio profile";
    EXPECT_EQ(od->body[5], 0x7F) << "visual profile";

    for (int track = 0; track < 2; ++track) {
        const auto trak = findBox(*moov, "trak", track);
        ASSERT_TRUE(trak);
        EXPECT_FALSE(findBox(*trak, "edts")) << "no edit list";
    }
    const auto trak = findBox(*moov, "trak", 1);
    const auto stbl = findBox(*findBox(*findBox(*trak, "mdia"), "minf"), "stbl");
    ASSERT_TRUE(stbl);
    const auto stsd = findBox(*stbl, "stsd");
    ASSERT_TRUE(stsd && stsd->size() > 8);
    const auto mp4a = findBox(stsd->subspan(8), "mp4a"); // behind version, flags and entry count
    ASSERT_TRUE(mp4a && mp4a->size() > 28);
    const auto esds = findBox(mp4a->subspan(28), "esds"); // behind the audio sample entry fields
    ASSERT_TRUE(esds && esds->size() > 4);
    const auto es = readDescriptor(esds->subspan(4));
    ASSERT_TRUE(es && es->tag == 0x03 && es->body.size() > 3);
    const auto decoderConfig = readDescriptor(es->body.subspan(3));
    ASSERT_TRUE(decoderConfig && decoderConfig->tag == 0x04 && decoderConfig->body.size() > 13);
    EXPECT_EQ(decoderConfig->body[0], 0x40) << "MPEG-4 audio";
    const auto specific = readDescriptor(decoderConfig->body.subspan(13));
    ASSERT_TRUE(specific && specific->tag == 0x05);
    EXPECT_EQ(Bytes(specific->body.begin(), specific->body.end()), (Bytes{0x12, 0x90}));
}

TEST_F(Recording, PlaysWithFfprobe) {
    const Probe probe = runFfprobe(*path_);
    if (probe.status != 0 && probe.output.find("not found") != std::string::npos)
        GTEST_SKIP() << "ffprobe is not installed";
    EXPECT_EQ(probe.status, 0);
    EXPECT_EQ(probe.output, "h264,40\naac,50\n");
}

} // namespace
