// Recordings measured by their content. A marked stream (each picture shows its number; a tone burst
// begins with every 25th picture) is fed into the live context as the stream receiver feeds it, at the pace
// of its timestamps on the scaled clock, and recorded across a rollover by the clock, one by a new sequence
// parameter set and one by a new picture size, then stopped; every file is decoded back (libavcodec, FAAD2)
// and measured: the sound's offset from its picture at every burst, every picture and audio frame in
// exactly one file, where the tracks end, the pictures' durations and the shape the file gives them. A
// recording whose process is killed still plays up to its last seconds.
#include "media/LiveContext.h"

#include "platform/com/Com.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Text.h"
#include "tests/support/FilterGraphSetup.h"

#include "tests/media/MarkedFeed.h"
#include "tests/media/RecorderTestSupport.h"
#include "tests/support/Ffprobe.h"
#include "tests/support/recordsync/MarkedRecording.h"
#include "tests/support/recordsync/MarkedStream.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr double kMaxOffsetMs = 20;
constexpr int kGroupOfPictures = 32; // an IDR picture every 32 in each segment of the stream
constexpr double kTimeScale = 8;

// 720x288 field pictures (9 s), then other parameter sets for the same size (6 s), then 352x288 (6 s).
const std::vector<std::string> kSegments = {"720x288:450", "720x288:300:--ref,2", "352x288:300"};
constexpr int kNewSequence = 450; // the first picture of each later segment
constexpr int kNewSize = 750;

class RecordSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        stream_ = recordsync::MakeMarkedStream("chain", kSegments);
        if (stream_.toolsMissing)
            GTEST_SKIP() << stream_.problem;
        ASSERT_TRUE(stream_.made) << stream_.problem;
        fixture_ = std::make_unique<streamfixture::Fixture>(stream_.folder);
        reference_ = recordsync::MakeSoundReference(stream_.folder + "/audio.aac");
        ASSERT_TRUE(reference_.valid);
        for (const streamfixture::Record& record : fixture_->records())
            if (!record.video) {
                const size_t header = record.payload[1] & 1 ? 7 : 9;
                sourceAudio_.emplace_back(record.payload.begin() + header, record.payload.end());
            }
        platform::SetTimeScale(kTimeScale);
    }
    void TearDown() override { platform::SetTimeScale(1); }

    // The sound's offset from its picture at every burst of the file, each within the bound; at least a few
    // marks, so that the start, the middle and the end are measured.
    void expectInStep(const recordsync::Recording& file, const std::string& name) {
        const std::vector<recordsync::SyncMark> marks = recordsync::MeasureSync(file, reference_);
        ASSERT_GE(marks.size(), 3u) << name;
        for (const recordsync::SyncMark& mark : marks)
            EXPECT_LE(std::abs(mark.offsetMs), kMaxOffsetMs) << name << " picture " << mark.picture;
        const recordsync::SyncMark& middle = marks[marks.size() / 2];
        std::printf(
            "%s: offsets at the start %+.1f ms (picture %d), middle %+.1f ms (%d), end %+.1f ms (%d)\n",
            name.c_str(), marks.front().offsetMs, marks.front().picture, middle.offsetMs, middle.picture,
            marks.back().offsetMs, marks.back().picture);
    }

    // Where the file's audio frames begin in the stream's, when they are a run of them without a gap.
    std::optional<size_t> audioRun(const recordsync::Recording& file) const {
        if (file.audioFrames.empty())
            return std::nullopt;
        const auto at = std::search(sourceAudio_.begin(), sourceAudio_.end(), file.audioFrames.begin(),
                                    file.audioFrames.end());
        if (at == sourceAudio_.end())
            return std::nullopt;
        return static_cast<size_t>(at - sourceAudio_.begin());
    }

    recordsync::MarkedStream stream_;
    std::unique_ptr<streamfixture::Fixture> fixture_;
    recordsync::SoundReference reference_;
    std::vector<Bytes> sourceAudio_;
    ScratchFolder folder_;
};

TEST_F(RecordSyncTest, AChainOfFilesStaysInStepAndLosesNothing) {
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.AllocateInputRings(0x400000, 0x100000), S_OK);
    ASSERT_EQ(live.SetPictureSize(4, 0), S_OK); // 720x576 in field pictures of 720x288
    // After the third cycle of the record thread (about 3.6 s into the stream) 90 minutes have passed:
    // the next file is due.
    RecordEnvironment environment = DefaultRecordEnvironment();
    environment.tickCount = [&] { return GetTickCount() + (live.RecordCycles() >= 3 ? 5400001u : 0u); };
    environment.freeSpace = [](const std::wstring&, ULONGLONG* bytes) {
        *bytes = 1ull << 40;
        return true;
    };
    live.SetRecordEnvironment(environment);

    MarkedFeed feed(*fixture_, live);
    feed.holdAt(1000); // the recording starts
    // The box is told to go to 352x288 long before its stream does (at 15 s): the files that begin before
    // then, the one at the new parameter sets for 720x288 too, keep the old picture.
    feed.cue(8000, [&] { ASSERT_EQ(live.SetPictureSize(1, 0), S_OK); });
    feed.holdAt(19500); // the recording stops
    feed.start();
    ASSERT_TRUE(feed.waitHeld());
    // The recording begins with the group of pictures the live context has cached.
    const int firstPicture = (feed.PicturesPushed() - 1) / kGroupOfPictures * kGroupOfPictures;
    ASSERT_EQ(feed.StartRecordWhileHeld(folder_.wfile("rec.mp4")), S_OK);
    ASSERT_TRUE(feed.waitHeld());
    const int lastPicture = feed.PicturesPushed() - 1;
    ASSERT_EQ(live.StopRecord(), S_OK);
    feed.release();
    feed.join();

    const std::vector<std::string> names = {"rec.mp4", "rec_01.mp4", "rec_02.mp4", "rec_03.mp4"};
    EXPECT_FALSE(std::filesystem::exists(folder_.file("rec_04.mp4")));
    int nextPicture = firstPicture;
    std::optional<size_t> nextAudio;
    for (size_t f = 0; f < names.size(); ++f) {
        SCOPED_TRACE(names[f]);
        const recordsync::Recording file = recordsync::ReadRecording(folder_.file(names[f]));
        ASSERT_TRUE(file.opened);
        ASSERT_FALSE(file.pictures.empty());

        // Every picture once, in order, the chain going on where the last file ended; each file begins with
        // an IDR picture, the later ones where the stream's parameter sets change.
        EXPECT_EQ(file.pictures.front().number, nextPicture);
        EXPECT_TRUE(file.pictures.front().sync);
        for (size_t i = 1; i < file.pictures.size(); ++i)
            ASSERT_EQ(file.pictures[i].number, file.pictures[i - 1].number + 1) << "after " << i;
        nextPicture = file.pictures.back().number + 1;
        if (f == 1) {
            EXPECT_EQ(file.pictures.front().number % kGroupOfPictures, 0);
        } else if (f == 2) {
            EXPECT_EQ(file.pictures.front().number, kNewSequence);
        } else if (f == 3) {
            EXPECT_EQ(file.pictures.front().number, kNewSize);
        }

        // Every audio frame once, the chain going on where the last file ended; the first file's first is
        // the one nearest the first picture.
        const std::optional<size_t> run = audioRun(file);
        ASSERT_TRUE(run) << "the audio frames are not a run of the stream's";
        if (nextAudio)
            EXPECT_EQ(*run, *nextAudio);
        else
            EXPECT_LE(std::abs(static_cast<double>(*run) * 32 - firstPicture * recordsync::kPictureMs), 16);
        nextAudio = *run + file.audioFrames.size();

        // Both tracks begin at the file's start and end within one picture of each other.
        const double videoEnd = file.pictures.back().ms + file.pictures.back().durationMs;
        EXPECT_EQ(file.pictures.front().ms, 0);
        EXPECT_EQ(file.audioStartMs, 0);
        EXPECT_LE(std::abs(file.audioEndMs - videoEnd), recordsync::kPictureMs);

        // The pictures last as long as the box's timestamps say (20 ms), but for the first, which meets the
        // nearest audio frame.
        EXPECT_LE(std::abs(file.pictures.front().durationMs - recordsync::kPictureMs), 16);
        for (size_t i = 1; i < file.pictures.size(); ++i)
            ASSERT_NEAR(file.pictures[i].durationMs, recordsync::kPictureMs, 0.01) << "picture " << i;

        // The shape: the 4:3 picture a viewer sees, from field pictures of half its height; the sample
        // entry keeps the size of the frames that joining the fields gives.
        if (f < 3) {
            EXPECT_EQ(file.pictureWidth, 720);
            EXPECT_EQ(file.pictureHeight, 288);
            EXPECT_EQ(file.aspectNum, 8);
            EXPECT_EQ(file.aspectDen, 15);
            EXPECT_EQ(file.entryWidth, 720);
            EXPECT_EQ(file.entryHeight, 576);
            EXPECT_EQ(file.displayWidth, 768);
            EXPECT_EQ(file.displayHeight, 576);
        } else {
            EXPECT_EQ(file.pictureWidth, 352);
            EXPECT_EQ(file.pictureHeight, 288);
            EXPECT_EQ(file.entryWidth, 352);
            EXPECT_EQ(file.entryHeight, 288);
            EXPECT_EQ(file.aspectNum, 12);
            EXPECT_EQ(file.aspectDen, 11);
            EXPECT_EQ(file.displayWidth, 384);
            EXPECT_EQ(file.displayHeight, 288);
        }
        expectInStep(file, names[f]);
    }
    EXPECT_EQ(nextPicture, lastPicture + 1) << "the pictures that came before the stop are all there";
}

// Our own file playback reads a recording: the demultiplexer offers its tracks under their numbers, the
// video with the size of the frames that joining its field pictures gives, and knows its length; ffprobe
// decodes every picture and audio frame of it.
TEST_F(RecordSyncTest, TheFilePlaybackDemultiplexerReadsARecording) {
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.AllocateInputRings(0x400000, 0x100000), S_OK);
    ASSERT_EQ(live.SetPictureSize(4, 0), S_OK);
    MarkedFeed feed(*fixture_, live);
    feed.holdAt(1000);
    feed.holdAt(5000);
    feed.start();
    ASSERT_TRUE(feed.waitHeld());
    ASSERT_EQ(feed.StartRecordWhileHeld(folder_.wfile("rec.mp4")), S_OK);
    ASSERT_TRUE(feed.waitHeld());
    ASSERT_EQ(live.StopRecord(), S_OK);
    feed.release();
    feed.join();
    const recordsync::Recording file = recordsync::ReadRecording(folder_.file("rec.mp4"));
    ASSERT_TRUE(file.opened);
    ASSERT_FALSE(file.pictures.empty());
    const double lengthMs = file.pictures.back().ms + file.pictures.back().durationMs;

    using platform::ComPtr;
    const ComPtr<IGraphBuilder> graph = MakeFilterGraph();
    ASSERT_TRUE(graph);
    const auto add = [&](REFCLSID clsid, const wchar_t* name) {
        return AddFilterOf(graph.Get(), clsid, name);
    };
    const ComPtr<IBaseFilter> source = add(CLSID_AsyncReader, L"File Source Filter");
    const ComPtr<IBaseFilter> demux = add(CLSID_KqMp4Demux, L"KQ MP4 DeMux");
    ASSERT_EQ(platform::Query<IFileSourceFilter>(source.Get(), IID_IFileSourceFilter)
                  ->Load(platform::FromUtf8(folder_.file("rec.mp4")).c_str(), nullptr),
              S_OK);
    ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), L"Output").Get(), PinOf(demux.Get(), L"Input").Get(),
                                   nullptr),
              S_OK);
    const ComPtr<IPin> video = PinOf(demux.Get(), L"Video 1"), audio = PinOf(demux.Get(), L"Audio 2");
    ASSERT_TRUE(video && audio);
    ComPtr<IEnumMediaTypes> types;
    AM_MEDIA_TYPE* type = nullptr;
    video->EnumMediaTypes(types.ReleaseAndGetAddressOf());
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_H264);
    const auto* header = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    EXPECT_EQ(header->bmiHeader.biWidth, 720);
    EXPECT_EQ(header->bmiHeader.biHeight, 576);
    DeleteMediaType(type);
    audio->EnumMediaTypes(types.ReleaseAndGetAddressOf());
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_RAW_AAC1);
    EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat)->nSamplesPerSec, 32000u);
    DeleteMediaType(type);
    LONGLONG duration = 0;
    ASSERT_EQ(platform::Query<IMediaSeeking>(demux.Get(), IID_IMediaSeeking)->GetDuration(&duration), S_OK);
    EXPECT_NEAR(duration / 10000.0, lengthMs, 2 * recordsync::kPictureMs);

    const Probe probe = runFfprobe(folder_.file("rec.mp4"));
    EXPECT_EQ(probe.status, 0);
    EXPECT_EQ(probe.output, "h264," + std::to_string(file.pictures.size()) + "\naac," +
                                std::to_string(file.audioFrames.size()) + "\n");
}

// Runs the recording child (RecordChild.cpp) and reads its lines.
class Child {
public:
    Child(const std::vector<std::string>& arguments) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::vector<char*> argv;
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        out_ = fdopen(pipeEnds[0], "r");
    }
    ~Child() {
        kill();
        if (out_)
            fclose(out_);
    }
    bool running() const { return pid_ > 0; }
    // The next line, without its end; false at the end of the output.
    bool line(std::string& text) {
        char buffer[256];
        if (!out_ || !fgets(buffer, sizeof buffer, out_))
            return false;
        text = buffer;
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return true;
    }
    void kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

TEST_F(RecordSyncTest, AKilledRecordingPlaysUpToItsLastSeconds) {
    const std::string path = folder_.file("rec.mp4");
    // Slower than the other recordings: the child's record thread keeps up on a loaded machine.
    Child child({VELOQ_RECORD_CHILD, stream_.folder, path, std::to_string(kTimeScale / 2)});
    ASSERT_TRUE(child.running());
    std::string text;
    int firstPicture = -1, pushed = -1;
    while (child.line(text)) {
        if (std::sscanf(text.c_str(), "recording from %d", &firstPicture) == 1)
            continue;
        // Killed once seven seconds of the stream are in the live context.
        if (std::sscanf(text.c_str(), "pushed %d", &pushed) == 1 && pushed >= 350)
            break;
    }
    child.kill();
    ASSERT_GE(firstPicture, 0);
    ASSERT_GE(pushed, 350) << "the child ended early: " << text;

    const recordsync::Recording file = recordsync::ReadRecording(path);
    ASSERT_TRUE(file.opened) << "the file of a killed recording does not open";
    ASSERT_FALSE(file.pictures.empty());
    EXPECT_EQ(file.pictures.front().number, firstPicture);
    for (size_t i = 1; i < file.pictures.size(); ++i)
        ASSERT_EQ(file.pictures[i].number, file.pictures[i - 1].number + 1) << "after " << i;
    // Up to the last few seconds before the kill, for both tracks.
    constexpr int kFewSeconds = 4 * 50;
    EXPECT_GE(file.pictures.back().number, pushed - kFewSeconds);
    const double killedAtMs = (pushed - firstPicture) * recordsync::kPictureMs;
    EXPECT_GE(file.audioEndMs, killedAtMs - kFewSeconds * recordsync::kPictureMs);
    ASSERT_TRUE(audioRun(file)) << "the audio frames are not a run of the stream's";
    expectInStep(file, "killed rec.mp4");
}

} // namespace
