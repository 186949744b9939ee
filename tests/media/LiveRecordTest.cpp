// Recording through the live context: units pushed as the parser pushes them, the record thread writing
// the files, read back with libavformat and played with ffprobe; the start's bound, rollover by the
// injected clock and by a change of picture size, and the low-space message by the injected answer.
#include "media/LiveContext.h"
#include "media/PlayerMessages.h"

#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"

#include "tests/media/Mp4Readback.h"
#include "tests/media/RecordStream.h"
#include "tests/media/RecorderTestSupport.h"
#include "tests/support/Ffprobe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

using recordstream::Bytes;
using recordstream::Stream;

const std::atomic<bool> kGoOn{false};

class LiveRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = platform::CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            diskFull_ += message == WM_AV_DISK_FULL;
            return 0;
        });
        newContext();
    }
    // A live context that has received no stream yet. A table's rows each take a new one: their streams
    // begin at the same timestamps, which a context that received one before finds behind the group of
    // pictures it has cached.
    void newContext() {
        live_ = std::make_unique<KQ_AV_LiveContext>(nullptr, nullptr, window_);
        ASSERT_EQ(live_->AllocateInputRings(0x400000, 0x100000), S_OK);
        RecordEnvironment environment;
        environment.tickCount = [this] { return now_ += clockStep_; };
        environment.freeSpace = [this](const std::wstring& folder, ULONGLONG* bytes) {
            folderAsked_ = folder;
            *bytes = freeBytes_;
            return freeKnown_.load();
        };
        live_->SetRecordEnvironment(environment);
    }
    void TearDown() override {
        stopFeeding();
        live_.reset();
        platform::PumpPending();
        DestroyWindow(window_);
    }

    // Pushes the units once the recording has begun (so the record rings get exactly these), emptying
    // the input rings as the decode threads would. The units from holdFrom (a timestamp) on wait for
    // release().
    void feed(const Stream& stream, DWORD holdFrom = 0xFFFFFFFF) {
        released_ = false;
        feeder_ = std::thread([this, stream, holdFrom] {
            while (!live_->Recording() && !done_)
                Sleep(1);
            const auto hold = [&](const Bytes& u) {
                const DWORD timestamp =
                    DWORD{u[0]} | DWORD{u[1]} << 8 | DWORD{u[2]} << 16 | DWORD{u[3]} << 24;
                std::unique_lock lock(holdMutex_);
                if (timestamp >= holdFrom)
                    held_.wait_for(lock, std::chrono::seconds(20), [&] { return released_ || done_; });
            };
            recordstream::pushInOrder(
                stream,
                [&](const Bytes& u) {
                    hold(u);
                    live_->PushVideo(u.data(), static_cast<DWORD>(u.size()), kGoOn);
                    live_->FlushVideo();
                },
                [&](const Bytes& u) {
                    hold(u);
                    live_->PushAudio(u.data(), static_cast<DWORD>(u.size()), kGoOn);
                    live_->FlushAudio();
                });
        });
    }
    void release() {
        {
            std::lock_guard lock(holdMutex_);
            released_ = true;
        }
        held_.notify_all();
    }
    void stopFeeding() {
        {
            std::lock_guard lock(holdMutex_);
            done_ = true;
        }
        held_.notify_all();
        if (feeder_.joinable())
            feeder_.join();
    }
    bool waitCycles(DWORD cycles) {
        return platform::PumpUntil([&] { return live_->RecordCycles() >= cycles; }, 20000);
    }
    std::wstring path(const std::string& name) const { return folder_.wfile(name); }
    bool exists(const std::string& name) const { return std::filesystem::exists(folder_.file(name)); }

    ScratchFolder folder_;
    HWND window_ = nullptr;
    std::unique_ptr<KQ_AV_LiveContext> live_;
    std::thread feeder_;
    std::atomic<bool> done_{false};
    std::mutex holdMutex_;
    std::condition_variable held_;
    bool released_ = false;
    std::atomic<DWORD> now_{0};
    std::atomic<DWORD> clockStep_{0};
    std::atomic<ULONGLONG> freeBytes_{1ull << 40};
    std::atomic<bool> freeKnown_{true};
    std::wstring folderAsked_;
    int diskFull_ = 0;
};

// The stream's units come 40 ms apart, its audio units 32 ms apart, both from 1000 ms on. A unit carries the
// time of the unit that completed it, the next one: so each picture begins at the time of the unit before
// it, and the file shows it then (counted from the file's first picture) and for as long as it lasts.
TEST_F(LiveRecordTest, RecordsThroughTheLiveContext) {
    const Stream stream = recordstream::makeStream(103, 128);
    ASSERT_EQ(live_->SetPictureSize(4, 1), S_OK);
    feed(stream);
    ASSERT_EQ(live_->StartRecord(path("rec.mp4")), S_OK);
    EXPECT_EQ(live_->RecordFrameRateValue(), 60.0) << "size class 4, 60 Hz rows";
    EXPECT_EQ(live_->RecordFrameDuration(), 1500u);
    ASSERT_TRUE(waitCycles(4));
    ASSERT_EQ(live_->StopRecord(), S_OK);
    EXPECT_FALSE(live_->Recording());
    EXPECT_EQ(live_->VideoRecordRing(), nullptr);

    const ReadMp4 file = readMp4(folder_.file("rec.mp4"));
    ASSERT_TRUE(file.opened);
    ASSERT_EQ(file.tracks.size(), 2u);
    EXPECT_EQ(file.encoder, "mp4creator 1.6.1");
    const ReadTrack& video = file.tracks[0];
    EXPECT_EQ(video.id, 1);
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.timeScale, 90000);
    // The live picture's size; the stream's pictures (the fixture's 96x64) shown at 4:3 as 640x480.
    EXPECT_EQ(video.width, 720);
    EXPECT_EQ(video.height, 480);
    EXPECT_EQ(video.aspectNum, 8);
    EXPECT_EQ(video.aspectDen, 9);
    EXPECT_EQ(video.displayWidth, 640);
    EXPECT_EQ(video.displayHeight, 480);
    const ReadTrack& audio = file.tracks[1];
    EXPECT_EQ(audio.id, 2);
    EXPECT_EQ(audio.codec, "aac");
    EXPECT_EQ(audio.timeScale, 32000);

    // Every picture of the stream, at its time.
    size_t sample = 0;
    for (size_t u = 1; u < stream.video.size(); ++u) {
        const recordstream::VideoUnit& unit = stream.video[u];
        if (!unit.picture)
            continue;
        SCOPED_TRACE(u);
        ASSERT_LT(sample, video.samples.size());
        EXPECT_EQ(video.samples[sample].dts,
                  (stream.video[u - 1].timestamp - recordstream::kFirstTimestamp) * 90);
        EXPECT_EQ(video.samples[sample].sync, unit.idr);
        ++sample;
    }
    EXPECT_EQ(sample, video.samples.size());
    const int64_t videoEnd = video.samples.back().dts + video.samples.back().duration;
    EXPECT_EQ(videoEnd, (stream.video.back().timestamp - recordstream::kFirstTimestamp) * 90);

    // Every audio unit from the first (it begins with the first picture) on, one after the other, up to
    // where the pictures end: the tracks end within one picture (40 ms) of each other.
    ASSERT_FALSE(audio.samples.empty());
    for (size_t i = 0; i < audio.samples.size(); ++i) {
        SCOPED_TRACE(i);
        const Bytes& frame = stream.audio[i];
        ASSERT_EQ(audio.samples[i].data, Bytes(frame.begin() + 4 + 7, frame.end()));
        EXPECT_EQ(audio.samples[i].duration, 1024);
    }
    const double audioEndMs = audio.samples.size() * 32.0;
    EXPECT_LE(std::abs(audioEndMs - videoEnd / 90.0), 40.0);

    const Probe probe = runFfprobe(folder_.file("rec.mp4"));
    if (probe.status != 0 && probe.output.find("not found") != std::string::npos)
        GTEST_SKIP() << "ffprobe is not installed";
    EXPECT_EQ(probe.status, 0);
    EXPECT_EQ(probe.output, "h264," + std::to_string(video.samples.size()) + "\naac," +
                                std::to_string(audio.samples.size()) + "\n");
}

// Units that never give ten first units (or no sequence parameter set) fail the start within the bound,
// leaving the recording off and nothing open.
TEST_F(LiveRecordTest, StartFailsWithoutUsableFirstUnits) {
    struct Row {
        const char* name;
        std::vector<int> nalTypes; // one unit each, pushed over and over
    };
    const Row rows[] = {
        {"no units", {}},
        {"IDR units only", {5}},
        {"no sequence parameter set", {1, 5, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    };
    clockStep_ = 100;           // each reading of the clock is 100 ms later
    platform::SetTimeScale(50); // and where no unit comes, the wait's bound passes at once
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::atomic<bool> stop{false};
        std::thread pusher([&] {
            for (DWORD t = 0; !stop; ++t) {
                for (int type : row.nalTypes) {
                    const Bytes unit =
                        recordstream::withTimestamp(t, {0, 0, 0, 1, BYTE(0x60 | type), 0x88, 0x84});
                    live_->PushVideo(unit.data(), static_cast<DWORD>(unit.size()), kGoOn);
                    live_->FlushVideo();
                }
                Sleep(1);
            }
        });
        EXPECT_EQ(live_->StartRecord(path("rec.mp4")), E_FAIL);
        stop = true;
        pusher.join();
        EXPECT_FALSE(live_->Recording());
        EXPECT_EQ(live_->VideoRecordRing(), nullptr);
        EXPECT_EQ(live_->AudioRecordRing(), nullptr);
        EXPECT_EQ(live_->StopRecord(), S_OK) << "nothing to stop";
    }
    platform::SetTimeScale(1);
}

TEST_F(LiveRecordTest, RollsOverByTheClock) {
    struct Row {
        int sizeClass;
        DWORD after; // ms since the open
        bool firstNameTaken;
        const char* rolledTo; // nullptr: no rollover
    };
    const Row rows[] = {
        {4, 5400001, false, "rec_01.mp4"}, {4, 5400000, false, nullptr},     {3, 5400001, false, nullptr},
        {3, 7200001, false, "rec_01.mp4"}, {4, 5400001, true, "rec_02.mp4"}, // rec_01.mp4 cannot be created:
                                                                             // the next number
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.sizeClass << " " << row.after << " " << row.firstNameTaken);
        newContext();
        ScratchFolder folder;
        if (row.firstNameTaken)
            std::filesystem::create_directory(folder.file("rec_01.mp4"));
        ASSERT_EQ(live_->SetPictureSize(row.sizeClass, 1), S_OK);
        done_ = false;
        // The clock moves on while the first cycle's units are in; the rest comes after.
        feed(recordstream::makeStream(200, 200), recordstream::kFirstTimestamp + 32 * 31);
        now_ = 0;
        ASSERT_EQ(live_->StartRecord(folder.wfile("rec.mp4")), S_OK);
        now_ = row.after;
        release();
        ASSERT_TRUE(waitCycles(5));
        ASSERT_EQ(live_->StopRecord(), S_OK);
        stopFeeding();

        const ReadMp4 first = readMp4(folder.file("rec.mp4"));
        ASSERT_TRUE(first.opened);
        ASSERT_EQ(first.tracks.size(), 2u);
        EXPECT_FALSE(first.tracks[0].samples.empty());
        for (const char* name : {"rec_01.mp4", "rec_02.mp4", "rec_03.mp4"}) {
            const bool expected = row.rolledTo && std::string(name) == row.rolledTo;
            if (row.firstNameTaken && std::string(name) == "rec_01.mp4")
                continue;
            EXPECT_EQ(std::filesystem::exists(folder.file(name)), expected) << name;
        }
        if (row.rolledTo) {
            const ReadMp4 next = readMp4(folder.file(row.rolledTo));
            ASSERT_TRUE(next.opened);
            ASSERT_EQ(next.tracks.size(), 2u);
            EXPECT_EQ(next.tracks[0].codec, "h264");
            EXPECT_FALSE(next.tracks[0].samples.empty());
            EXPECT_TRUE(next.tracks[0].samples[0].sync)
                << "a file begins with the parameter sets and an IDR picture";
            EXPECT_EQ(next.tracks[1].codec, "aac");
        }
    }
}

// A restart for a new picture size while recording starts a new file with the new size, at the next
// parameter sets and IDR picture. The stream's parameter sets give both sizes: 720x240 field pictures for
// 720x480, and 720x240 pictures; the files show them at 4:3 as 640x480 and as 320x240.
TEST_F(LiveRecordTest, SizeChangeStartsANewFile) {
    // The size changes while the first cycle's units are in; the rest comes after the call.
    const DWORD firstCycleEnd = recordstream::kFirstTimestamp + 32 * 31;
    feed(recordstream::makeStream(200, 200, {{0, recordstream::fixtureSps(720, 240)}}), firstCycleEnd);
    ASSERT_EQ(live_->StartRecord(path("rec.mp4")), S_OK);
    ASSERT_EQ(live_->SetPictureSize(3, 1), S_OK);
    release();
    ASSERT_TRUE(waitCycles(5));
    EXPECT_EQ(live_->RecordFrameDuration(), 3000u) << "30 frames for a small picture";
    ASSERT_EQ(live_->StopRecord(), S_OK);

    const ReadMp4 first = readMp4(folder_.file("rec.mp4"));
    const ReadMp4 second = readMp4(folder_.file("rec_01.mp4"));
    ASSERT_TRUE(first.opened && second.opened);
    ASSERT_FALSE(first.tracks.empty());
    ASSERT_FALSE(second.tracks.empty());
    EXPECT_EQ(first.tracks[0].width, 720);
    EXPECT_EQ(first.tracks[0].height, 480);
    EXPECT_EQ(first.tracks[0].aspectNum, 4);
    EXPECT_EQ(first.tracks[0].aspectDen, 9);
    EXPECT_EQ(first.tracks[0].displayWidth, 640);
    EXPECT_EQ(first.tracks[0].displayHeight, 480);
    EXPECT_EQ(second.tracks[0].width, 720);
    EXPECT_EQ(second.tracks[0].height, 240);
    EXPECT_EQ(second.tracks[0].aspectNum, 4);
    EXPECT_EQ(second.tracks[0].aspectDen, 9);
    EXPECT_EQ(second.tracks[0].displayWidth, 320);
    EXPECT_EQ(second.tracks[0].displayHeight, 240);
    ASSERT_FALSE(second.tracks[0].samples.empty());
    EXPECT_TRUE(second.tracks[0].samples[0].sync);
    EXPECT_FALSE(exists("rec_02.mp4"));
}

// The avcC's first sequence parameter set of a file's video track (without start code).
Bytes avcSps(const ReadTrack& track) {
    const std::vector<uint8_t>& avcC = track.extradata;
    if (avcC.size() < 8 || (avcC[5] & 0x1F) == 0)
        return {};
    const size_t length = size_t{avcC[6]} << 8 | avcC[7];
    if (avcC.size() < 8 + length)
        return {};
    return {avcC.begin() + 8, avcC.begin() + 8 + static_cast<std::ptrdiff_t>(length)};
}

// The box's stream changes its parameter sets at an IDR unit (unit 44, the start of the fixture's second
// loop) from 720x240 field pictures to 352x240 pictures. The next file starts there with the new sets,
// whether or not the size change is told; told while units of the old size are still to come (those of
// the first cycle's audio are in, the rest follows the call), those go on into the first file, which
// holds every picture before unit 44.
TEST_F(LiveRecordTest, NewParameterSetsStartANewFile) {
    struct Row {
        const char* name;
        bool sizeTold;
        int width, height; // of the second file: 352x240, or the 720x480 told before
    };
    const Row rows[] = {
        {"size told", true, 352, 240},
        {"size not told", false, 720, 480},
    };
    const Bytes oldSps = recordstream::fixtureSps(720, 240), newSps = recordstream::fixtureSps(352, 240);
    const DWORD firstCycleEnd = recordstream::kFirstTimestamp + 32 * 31; // the first cycle's last audio
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        newContext();
        ScratchFolder folder;
        ASSERT_EQ(live_->SetPictureSize(4, 1), S_OK);
        done_ = false;
        feed(recordstream::makeStream(200, 200, {{0, oldSps}, {44, newSps}}), firstCycleEnd);
        ASSERT_EQ(live_->StartRecord(folder.wfile("rec.mp4")), S_OK);
        if (row.sizeTold) {
            ASSERT_EQ(live_->SetPictureSize(1, 1), S_OK);
        }
        release();
        ASSERT_TRUE(waitCycles(5));
        ASSERT_EQ(live_->StopRecord(), S_OK);
        stopFeeding();

        const ReadMp4 first = readMp4(folder.file("rec.mp4"));
        const ReadMp4 second = readMp4(folder.file("rec_01.mp4"));
        ASSERT_TRUE(first.opened && second.opened);
        ASSERT_FALSE(first.tracks.empty());
        ASSERT_FALSE(second.tracks.empty());
        EXPECT_EQ(avcSps(first.tracks[0]), oldSps);
        EXPECT_EQ(first.tracks[0].samples.size(), 40u);
        EXPECT_EQ(avcSps(second.tracks[0]), newSps);
        EXPECT_EQ(second.tracks[0].width, row.width);
        EXPECT_EQ(second.tracks[0].height, row.height);
        EXPECT_EQ(second.tracks[0].displayWidth, row.height * 4 / 3) << "4:3";
        EXPECT_EQ(second.tracks[0].displayHeight, row.height);
        ASSERT_FALSE(second.tracks[0].samples.empty());
        EXPECT_TRUE(second.tracks[0].samples[0].sync);
        EXPECT_FALSE(std::filesystem::exists(folder.file("rec_02.mp4")));
    }
}

// The free space of the record folder below 50 MiB, or not known, is told once per recording.
TEST_F(LiveRecordTest, LowSpaceIsToldOncePerRecording) {
    struct Row {
        bool known;
        ULONGLONG bytes;
        int messages;
    };
    const Row rows[] = {
        {true, 1u << 20, 1},    {true, 0x3200000 - 1, 1}, {true, 0x3200000, 0},
        {false, 1ull << 40, 1}, {true, 1ull << 40, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.known << " " << row.bytes);
        newContext();
        freeKnown_ = row.known;
        freeBytes_ = row.bytes;
        diskFull_ = 0;
        done_ = false;
        feed(recordstream::makeStream(200, 200));
        ASSERT_EQ(live_->StartRecord(path("rec.mp4")), S_OK);
        ASSERT_TRUE(waitCycles(3));
        ASSERT_EQ(live_->StopRecord(), S_OK);
        stopFeeding();
        platform::PumpPending();
        EXPECT_EQ(diskFull_, row.messages);
        EXPECT_EQ(folderAsked_, folder_.wfile("rec.mp4").substr(0, folder_.wfile("rec.mp4").rfind(L'/')));
    }
}

// A sample write that fails (a full disk) is told once; nothing more is written, and the recording goes on
// until the window stops it.
TEST_F(LiveRecordTest, FailedWriteIsToldOnce) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    feed(recordstream::makeStream(200, 200));
    ASSERT_EQ(live_->StartRecord(L"/dev/full"), S_OK); // every write to it fails with ENOSPC
    ASSERT_TRUE(waitCycles(4));
    EXPECT_TRUE(live_->Recording());
    ASSERT_EQ(live_->StopRecord(), S_OK);
    platform::PumpPending();
    EXPECT_EQ(diskFull_, 1);
    EXPECT_FALSE(std::filesystem::exists("/dev/full_01.mp4")) << "no rollover after a failed write";
}

// Without a test's answer the free space is that of the record folder's file system, for this user; a
// folder that cannot be asked gives no answer (and so counts as too little space).
TEST(RecordEnvironmentTest, FreeSpaceOfTheRecordFolder) {
    const RecordEnvironment environment = DefaultRecordEnvironment();
    ScratchFolder folder;
    const std::wstring file = folder.wfile("rec.mp4");
    ULONGLONG bytes = 0;
    ASSERT_TRUE(environment.freeSpace(file.substr(0, file.rfind(L'/')), &bytes));
    // Other programs may write meanwhile: the same file system's user share within 64 MiB.
    const double available = static_cast<double>(std::filesystem::space(folder.file("")).available);
    EXPECT_NEAR(static_cast<double>(bytes), available, 64.0 * (1 << 20));
    EXPECT_FALSE(environment.freeSpace(folder.wfile("missing/folder"), &bytes));
}

} // namespace
