#include "media/Mp4Recorder.h"

#include "tests/media/Mp4Readback.h"
#include "tests/support/NalBuilder.h"
#include "tests/media/RecorderTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes withoutStartCode(const Bytes& nal) {
    return Bytes(nal.begin() + (nal[2] == 1 ? 3 : 4), nal.end());
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes adtsFrame(uint8_t id, uint8_t profile, uint8_t samplingIndex, uint8_t channels, size_t raw,
                size_t declared = 0) {
    const size_t length = declared ? declared : raw + 7;
    Bytes f = {0xFF,
               static_cast<uint8_t>(0xF1 | (id << 3)),
               static_cast<uint8_t>((profile << 6) | (samplingIndex << 2) | (channels >> 2)),
               static_cast<uint8_t>(((channels & 3) << 6) | ((length >> 11) & 3)),
               static_cast<uint8_t>(length >> 3),
               static_cast<uint8_t>(((length & 7) << 5) | 0x1F),
               0xFC};
    for (size_t i = 0; i < raw; ++i)
        f.push_back(static_cast<uint8_t>(0x21 + i));
    return f;
}

class Mp4Recorder : public ::testing::Test {
protected:
    Mp4Recorder() {
        sps.width_mbs = 22;
        sps.height_map_units = 15;
        spsNal = makeSps(sps);
    }
    Bytes slice(SliceFields s, int startCode = 4) const { return makeSlice(sps, s, startCode); }

    ScratchFolder folder;
    SpsFields sps;
    Bytes spsNal;
    const Bytes pps = makeNal(0x68, {0xCE, 0x3C, 0x80});
};

TEST_F(Mp4Recorder, SamplesArePicturesWithoutFillerAndUselessSei) {
    const Bytes idr0 = slice({5, 3, 0, 7, 0});
    const Bytes p1a = slice({1, 2, 0, 5, 1});
    const Bytes p1b = slice({1, 2, 200, 5, 1}, 3);
    const Bytes p2 = slice({1, 2, 0, 5, 2});
    const Bytes p3 = slice({1, 2, 0, 5, 3});
    const Bytes idr1 = slice({5, 3, 0, 2, 0, false, false, 1});
    const Bytes i1 = slice({1, 2, 0, 7, 1}); // an I picture that is not IDR: no sync sample
    const Bytes seiFillerOnly = makeNal(0x06, {0x03, 0x02, 0xFF, 0xFF, 0x80});
    const Bytes seiUserAndFiller =
        makeNal(0x06, {0x05, 0x03, 0xAA, 0xBB, 0xCC, 0x03, 0x02, 0xFF, 0xFF, 0x80});
    const Bytes seiUser = makeNal(0x06, {0x05, 0x03, 0xAA, 0xBB, 0xCC, 0x80});
    const Bytes filler = makeNal(0x0C, {0xFF, 0xFF, 0xFF, 0x80});
    const std::vector<Bytes> units = {
        cat({spsNal, pps, idr0}),
        cat({p1a, p1b}),
        cat({seiFillerOnly, p2, filler}), // the SEI and the filler each end the picture before them
        cat({seiUserAndFiller, p3}),
        cat({spsNal, pps, idr1}),
        cat({i1}),
    };
    const struct {
        std::vector<Bytes> nals;
        int64_t duration;
        bool sync;
    } expected[] = {
        {{spsNal, pps, idr0}, 3001, true}, {{p1a, p1b}, 3002, false},         {{p2}, 3002, false},
        {{seiUser, p3}, 3004, false},      {{spsNal, pps, idr1}, 3005, true}, {{i1}, 3005, false},
    };

    KQ_AV_Mp4Recorder recorder;
    ASSERT_TRUE(recorder.Open(folder.wfile("pictures.mp4"), 352, 240));
    Bytes firstUnits;
    for (const Bytes& u : units)
        firstUnits.insert(firstUnits.end(), u.begin(), u.end());
    ASSERT_EQ(recorder.AddVideoTrack(firstUnits.data(), firstUnits.size()), 1u);
    for (size_t i = 0; i < units.size(); ++i)
        ASSERT_EQ(recorder.WriteVideo(units[i].data(), units[i].size(), 3000 + static_cast<uint32_t>(i)), 1);
    ASSERT_TRUE(recorder.Close());

    const ReadMp4 file = readMp4(folder.file("pictures.mp4"));
    ASSERT_TRUE(file.opened);
    ASSERT_EQ(file.tracks.size(), 1u);
    const ReadTrack& video = file.tracks[0];
    EXPECT_EQ(video.id, 1);
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.timeScale, 90000);
    EXPECT_EQ(video.width, 352);
    EXPECT_EQ(video.height, 240);
    // The parameter sets appear twice in the stream and once in the configuration.
    EXPECT_EQ(video.extradata, expectedAvcC(withoutStartCode(spsNal), withoutStartCode(pps)));
    ASSERT_EQ(video.samples.size(), std::size(expected));
    int64_t dts = 0;
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        std::vector<Bytes> nals;
        for (const Bytes& nal : expected[i].nals)
            nals.push_back(withoutStartCode(nal));
        EXPECT_EQ(video.samples[i].data, lengthPrefixed(nals));
        EXPECT_EQ(video.samples[i].duration, expected[i].duration);
        EXPECT_EQ(video.samples[i].sync, expected[i].sync);
        EXPECT_EQ(video.samples[i].dts, dts);
        dts += expected[i].duration;
    }
    EXPECT_EQ(file.encoder, "mp4creator 1.6.1");
}

// The pending picture is written at close with the last duration; parameter sets that end a file (the
// unit before an IDR picture that never came) are no picture and no sample.
TEST_F(Mp4Recorder, CloseWritesThePendingPictureOnly) {
    const Bytes idr = cat({spsNal, pps, slice({5, 3, 0, 7, 0})});
    const Bytes p1 = slice({1, 2, 0, 5, 1});
    const struct {
        const char* name;
        std::vector<Bytes> units;
        std::vector<int64_t> durations;
    } cases[] = {
        {"ends with a picture", {idr, p1}, {3001, 3001}},
        {"ends with parameter sets", {idr, p1, cat({spsNal, pps})}, {3001, 3002}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KQ_AV_Mp4Recorder recorder;
        ASSERT_TRUE(recorder.Open(folder.wfile("pending.mp4"), 352, 240));
        ASSERT_EQ(recorder.AddVideoTrack(idr.data(), idr.size()), 1u);
        uint32_t duration = 3000;
        for (const Bytes& unit : c.units)
            ASSERT_EQ(recorder.WriteVideo(unit.data(), unit.size(), duration++), 1);
        ASSERT_TRUE(recorder.Close());
        const ReadMp4 file = readMp4(folder.file("pending.mp4"));
        ASSERT_EQ(file.tracks.size(), 1u);
        std::vector<int64_t> durations;
        for (const ReadSample& sample : file.tracks[0].samples)
            durations.push_back(sample.duration);
        EXPECT_EQ(durations, c.durations);
    }
}

TEST_F(Mp4Recorder, VideoTrackNeedsAReadableFirstSps) {
    const Bytes idr = slice({5, 3, 0, 7, 0});
    const Bytes cutSps(spsNal.begin(), spsNal.begin() + 7);
    const struct {
        const char* name;
        Bytes buffer;
        uint32_t track;
    } cases[] = {
        {"SPS, PPS, IDR", cat({spsNal, pps, idr}), 1},
        {"SPS behind the IDR", cat({pps, idr, spsNal}), 1},
        {"no SPS", cat({pps, idr, idr}), 0},
        {"first SPS unreadable", cat({cutSps, pps, spsNal, idr}), 0},
        {"SPS without its fields", cat({Bytes{0, 0, 0, 1, 0x67, 0x42}, idr}), 0},
        {"empty", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KQ_AV_Mp4Recorder recorder;
        ASSERT_TRUE(recorder.Open(folder.wfile("track.mp4"), 352, 240));
        EXPECT_EQ(recorder.AddVideoTrack(c.buffer.data(), c.buffer.size()), c.track);
        EXPECT_TRUE(recorder.Close());
    }
}

TEST_F(Mp4Recorder, AudioTrackFromTheAdtsHeader) {
    const struct {
        const char* name;
        Bytes first;
        uint32_t track;
        int rate;
        Bytes config;
    } cases[] = {
        {"MPEG-4 LC 32000 stereo", adtsFrame(0, 1, 5, 2, 20), 2, 32000, {0x12, 0x90}},
        {"MPEG-2 LC 48000 stereo", adtsFrame(1, 1, 3, 2, 20), 2, 48000, {0x11, 0x90}},
        {"header behind other bytes",
         cat({Bytes{0x00, 0x12}, adtsFrame(0, 1, 4, 1, 20)}),
         2,
         44100,
         {0x12, 0x08}},
        {"MPEG-2 profile 3", adtsFrame(1, 3, 5, 2, 20), 0, 0, {}},
        {"sampling index outside the table", adtsFrame(0, 1, 13, 2, 20), 0, 0, {}},
        {"no header", Bytes(20, 0x11), 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KQ_AV_Mp4Recorder recorder;
        ASSERT_TRUE(recorder.Open(folder.wfile("audio.mp4"), 352, 240));
        const Bytes unit = cat({spsNal, pps});
        ASSERT_EQ(recorder.AddVideoTrack(unit.data(), unit.size()), 1u);
        ASSERT_EQ(recorder.AddAudioTrack(c.first.data(), c.first.size()), c.track);
        const Bytes good = adtsFrame(0, 1, 5, 2, 30);
        const Bytes longerThanData = adtsFrame(0, 1, 5, 2, 30, 60);
        const Bytes shorterThanHeader = adtsFrame(0, 1, 5, 2, 30, 5);
        for (const Bytes* frame : {&good, &longerThanData, &shorterThanHeader, &good})
            EXPECT_EQ(recorder.WriteAudio(frame->data(), frame->size()), 1);
        // The muxer leaves out a track without samples.
        const Bytes picture = cat({spsNal, pps, slice({5, 3, 0, 7, 0})});
        ASSERT_EQ(recorder.WriteVideo(picture.data(), picture.size(), 3600), 1);
        ASSERT_TRUE(recorder.Close());

        const ReadMp4 file = readMp4(folder.file("audio.mp4"));
        ASSERT_TRUE(file.opened);
        ASSERT_EQ(file.tracks.size(), c.track ? 2u : 1u);
        if (!c.track)
            continue;
        const ReadTrack& audio = file.tracks[1];
        EXPECT_EQ(audio.id, 2);
        EXPECT_EQ(audio.codec, "aac");
        EXPECT_EQ(audio.timeScale, c.rate);
        EXPECT_EQ(audio.sampleRate, c.rate);
        EXPECT_EQ(audio.extradata, c.config);
        ASSERT_EQ(audio.samples.size(), 2u); // the frames whose length does not fit are dropped
        for (const ReadSample& s : audio.samples) {
            EXPECT_EQ(s.data, Bytes(good.begin() + 7, good.end()));
            EXPECT_EQ(s.duration, 1024);
            EXPECT_TRUE(s.sync);
        }
    }
}

TEST_F(Mp4Recorder, FailedWritesStopTheTracks) {
    KQ_AV_Mp4Recorder missing;
    EXPECT_FALSE(missing.Open(folder.wfile("no-such-folder/x.mp4"), 352, 240));
    const Bytes unit = cat({spsNal, pps, slice({5, 3, 0, 7, 0})});
    EXPECT_EQ(missing.AddVideoTrack(unit.data(), unit.size()), 0u);
    EXPECT_EQ(missing.WriteVideo(unit.data(), unit.size(), 3600), 1); // no picture complete yet
    EXPECT_EQ(missing.WriteVideo(unit.data(), unit.size(), 3600), 0);
    EXPECT_FALSE(missing.Close());

    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    KQ_AV_Mp4Recorder full; // every write to it fails with ENOSPC
    ASSERT_TRUE(full.Open(L"/dev/full", 352, 240));
    ASSERT_EQ(full.AddVideoTrack(unit.data(), unit.size()), 1u);
    const Bytes frame = adtsFrame(0, 1, 5, 2, 100);
    ASSERT_EQ(full.AddAudioTrack(frame.data(), frame.size()), 2u);
    EXPECT_EQ(full.WriteAudio(frame.data(), frame.size()), 0);
    EXPECT_EQ(full.WriteVideo(unit.data(), unit.size(), 3600), 1);
    EXPECT_EQ(full.WriteVideo(unit.data(), unit.size(), 3600), 0);
    EXPECT_EQ(full.WriteVideo(unit.data(), unit.size(), 3600), 0);
    EXPECT_EQ(full.WriteAudio(frame.data(), frame.size()), 0);
    EXPECT_FALSE(full.Close());
}

TEST_F(Mp4Recorder, APictureWithoutEndIsCutAtTheSampleBound) {
    // Slices of one picture that never ends: the sample is written before it passes 16 MiB.
    Bytes big = slice({1, 2, 0, 5, 1});
    big.insert(big.end() - 1, size_t{5} << 20, 0x55);
    const Bytes unit = cat({spsNal, pps});
    KQ_AV_Mp4Recorder recorder;
    ASSERT_TRUE(recorder.Open(folder.wfile("endless.mp4"), 352, 240));
    ASSERT_EQ(recorder.AddVideoTrack(unit.data(), unit.size()), 1u);
    ASSERT_EQ(recorder.WriteVideo(unit.data(), unit.size(), 3600), 1);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(recorder.WriteVideo(big.data(), big.size(), 3600), 1);
    ASSERT_TRUE(recorder.Close());
    const ReadMp4 file = readMp4(folder.file("endless.mp4"));
    ASSERT_EQ(file.tracks.size(), 1u);
    ASSERT_EQ(file.tracks[0].samples.size(), 2u);
    const size_t nal = big.size(); // its start code replaced by its length
    EXPECT_EQ(file.tracks[0].samples[0].data.size(), unit.size() + 3 * nal);
    EXPECT_EQ(file.tracks[0].samples[1].data.size(), nal);
}

TEST(Mp4CreatorToolTag, KeepsOrAppendsTheTool) {
    const struct {
        std::optional<std::string> existing;
        std::string tag;
    } cases[] = {
        {std::nullopt, "mp4creator 1.6.1"},
        {"abc", "abc mp4creator 1.6.1"},
        {"MP4Creator 1.5", "MP4Creator 1.5"},
        {"mp4creator", "mp4creator"},
        {"mp4creato", "mp4creato mp4creator 1.6.1"},
        {"x mp4creator 1.6.1", "x mp4creator 1.6.1 mp4creator 1.6.1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Mp4CreatorToolTag(c.existing), c.tag) << c.existing.value_or("(none)");
}

} // namespace
