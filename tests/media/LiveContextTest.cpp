// The live context's data side: picture sizes, the accepted pitch, the audio-fill hysteresis that runs and
// pauses the graph, the caches a recording starts from, a full video ring and the tear-down of pushes.
#include "media/LiveContext.h"
#include "media/AudioFillPacer.h"
#include "media/AvGraph.h"

#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using Bytes = std::vector<BYTE>;

// A MediaUnit: timestamp, 00 00 00 01, a NAL header of the type, then filler up to size bytes in all.
Bytes unit(DWORD timestamp, int nalType, size_t size = 32) {
    Bytes u(std::max<size_t>(size, 9), 0x5A);
    for (int i = 0; i < 4; ++i)
        u[static_cast<size_t>(i)] = static_cast<BYTE>(timestamp >> (8 * i));
    u[4] = u[5] = u[6] = 0;
    u[7] = 1;
    u[8] = static_cast<BYTE>(0x60 | nalType);
    return u;
}

std::vector<Bytes> drainRing(KQ_AV_RingBuffer* ring) {
    std::vector<Bytes> out;
    Bytes buffer(KQ_AV_LiveContext::kLargestVideoUnit);
    DWORD length = 0;
    while (ring && ring->Read(buffer.data(), static_cast<DWORD>(buffer.size()), &length) == AV_RING_OK)
        out.emplace_back(buffer.begin(), buffer.begin() + length);
    return out;
}

const std::atomic<bool> kGoOn{false};
const std::atomic<bool> kStop{true};

TEST(LiveContextTest, PictureSizeTable) {
    struct Row {
        int sizeClass, standard;
        HRESULT result;
        DWORD width, height;
        bool large, rows50Hz;
    };
    const Row rows[] = {
        {0, 1, S_OK, 176, 128, false, false},
        {0, 0, S_OK, 176, 144, false, true},
        {1, 1, S_OK, 352, 240, false, false},
        {1, 0, S_OK, 352, 288, false, true},
        {2, 1, S_OK, 528, 384, true, false},
        {2, 0, S_OK, 528, 384, true, true},
        {3, 1, S_OK, 720, 240, false, false},
        {3, 0, S_OK, 720, 288, false, true},
        {4, 1, S_OK, 720, 480, true, false},
        {4, 0, S_OK, 720, 576, true, true},
        // Refused: the previous size stays, the standard was taken.
        {5, 0, E_FAIL, 720, 480, true, true},
        {-1, 1, E_FAIL, 720, 480, true, false},
        // Another standard changes nothing.
        {1, 2, S_OK, 720, 480, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.sizeClass << "/" << row.standard);
        KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
        live.SetPictureSize(4, 1);
        EXPECT_EQ(live.SetPictureSize(row.sizeClass, row.standard), row.result);
        EXPECT_EQ(live.Width(), row.width);
        EXPECT_EQ(live.Height(), row.height);
        EXPECT_EQ(live.LargePicture(), row.large);
        EXPECT_EQ(live.Rows50Hz(), row.rows50Hz);
    }
}

TEST(LiveContextTest, AcceptedPitch) {
    struct Row {
        DWORD probed, width, pitch;
    };
    const Row rows[] = {
        {1536, 720, 1536},   {0, 720, 2048},          {10241, 720, 2048},
        {10240, 720, 10240}, {0xFFFFFFF7, 720, 2048}, // a failed probe (-9)
        {1000, 720, 1440},                            // never below a packed row
        {352, 176, 352},
    };
    for (const Row& row : rows)
        EXPECT_EQ(KQ_AV_LiveContext::AcceptedPitch(row.probed, row.width), row.pitch) << row.probed;
}

TEST(LiveContextTest, AudioFillHysteresis) {
    using A = AudioFillPacer::Action;
    struct Step {
        DWORD used;
        A action;
    };
    const Step steps[] = {
        {0, A::None},   {4096, A::None},  {8192, A::None}, // up to 8192 bytes: not yet
        {8193, A::Run}, {50000, A::None},                  // runs once
        {100, A::None}, {0, A::Pause},                     // a unit that finds the ring empty pauses
        {0, A::None},   {8192, A::None},  {8193, A::Run},  // and the next run needs more than 8192 again
        {0, A::Pause},
    };
    AudioFillPacer pacer;
    for (const Step& step : steps)
        EXPECT_EQ(pacer.Step(step.used), step.action) << step.used;
    pacer.Reset();
    EXPECT_EQ(pacer.Step(8000), A::None);
    EXPECT_EQ(pacer.Step(0), A::None) << "nothing to pause before the first run";
}

// The context runs and pauses the real graph by the audio fill, and not while the graph is held.
TEST(LiveContextTest, AudioFillRunsAndPausesTheGraph) {
    KQ_AV_Graph holder;
    ASSERT_EQ(holder.CreateGraph(), S_OK);
    KQ_AV_LiveContext live(holder.GetGraph(), &holder, nullptr);
    ASSERT_EQ(live.AllocateInputRings(0, 0x10000), S_OK);
    const Bytes frame = unit(1000, 0, 1000); // 1004 bytes in the ring

    for (int i = 0; i < 9; ++i)
        live.PushAudio(frame.data(), 1000, kGoOn);
    EXPECT_EQ(holder.GetState(), KQ_AV_Graph::kStopped) << "9036 bytes are queued before the 10th unit";
    live.PushAudio(frame.data(), 1000, kGoOn);
    EXPECT_EQ(holder.GetState(), KQ_AV_Graph::kRunning);

    live.FlushAudio();
    live.PushAudio(frame.data(), 1000, kGoOn);
    EXPECT_EQ(holder.GetState(), KQ_AV_Graph::kPaused);
    live.FlushAudio();

    live.HoldGraph();
    for (int i = 0; i < 12; ++i)
        live.PushAudio(frame.data(), 1000, kGoOn);
    EXPECT_EQ(holder.GetState(), KQ_AV_Graph::kPaused) << "held: a stop or restart is under way";
    live.ReleaseGraph();
    live.PushAudio(frame.data(), 1000, kGoOn);
    EXPECT_EQ(holder.GetState(), KQ_AV_Graph::kRunning);
    holder.Stop();
}

TEST(LiveContextTest, RecordingStartsWithTheCachedGroupOfPictures) {
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.AllocateInputRings(0x100000, 0x100000), S_OK);
    const Bytes old = unit(890, 0), a0 = unit(990, 0), p0 = unit(1000, 7), a01 = unit(1022, 0),
                idr = unit(1040, 5), a1 = unit(1041, 0), p1 = unit(1080, 1), a2 = unit(1081, 0),
                p2 = unit(1120, 1), p3 = unit(1160, 1), a3 = unit(1161, 0), p4 = unit(1200, 1);
    const auto video = [&](const Bytes& u) { live.PushVideo(u.data(), static_cast<DWORD>(u.size()), kGoOn); };
    const auto audio = [&](const Bytes& u) { live.PushAudio(u.data(), static_cast<DWORD>(u.size()), kGoOn); };
    audio(old), audio(a0), video(p0), audio(a01), video(idr), audio(a1), video(p1), audio(a2), video(p2);
    ASSERT_EQ(live.OpenRecordRings(L"C:\\rec.mp4"), S_OK);
    EXPECT_EQ(live.OpenRecordRings(L"C:\\rec.mp4"), E_FAIL) << "already recording";
    EXPECT_EQ(live.StartRecord(L"C:\\rec.mp4"), E_FAIL) << "already recording";
    video(p3), audio(a3), video(p4);

    // The unit before the IDR unit, the IDR unit and everything since; the first unit of the recording once.
    EXPECT_EQ(drainRing(live.VideoRecordRing()), (std::vector<Bytes>{p0, idr, p1, p2, p3, p4}));
    // The IDR picture begins at the time of the unit before it (a unit carries the time of the unit that
    // completed it): the audio from up to 100 ms before then on, also what came before the IDR unit itself.
    EXPECT_EQ(drainRing(live.AudioRecordRing()), (std::vector<Bytes>{a0, a01, a1, a2, a3}));
    EXPECT_EQ(drainRing(live.VideoInputRing()).size(), 6u);

    live.CloseRecordRings();
    EXPECT_FALSE(live.Recording());
    EXPECT_EQ(live.VideoRecordRing(), nullptr);
    video(p4);
}

// A recording started again within the same group of pictures, with or without a unit pushed between
// the stop and the start, starts from the cached group as the first one did.
TEST(LiveContextTest, NextRecordingStartsWithTheCachedGroupOfPictures) {
    struct Row {
        const char* name;
        bool pushBetween; // a unit pushed while the tap is closed
    };
    const Row rows[] = {{"started again at once", false}, {"a unit pushed between", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
        ASSERT_EQ(live.AllocateInputRings(0x100000, 0x100000), S_OK);
        const Bytes p0 = unit(1000, 7), idr = unit(1040, 5), a1 = unit(1041, 0), p1 = unit(1080, 1),
                    a2 = unit(1081, 0), p2 = unit(1120, 1), a3 = unit(1121, 0), p3 = unit(1160, 1),
                    a4 = unit(1161, 0);
        const auto video = [&](const Bytes& u) {
            live.PushVideo(u.data(), static_cast<DWORD>(u.size()), kGoOn);
        };
        const auto audio = [&](const Bytes& u) {
            live.PushAudio(u.data(), static_cast<DWORD>(u.size()), kGoOn);
        };
        video(p0), video(idr), audio(a1);
        ASSERT_EQ(live.OpenRecordRings(L"C:\\rec.mp4"), S_OK);
        video(p1), audio(a2);
        EXPECT_EQ(drainRing(live.VideoRecordRing()), (std::vector<Bytes>{p0, idr, p1}));
        EXPECT_EQ(drainRing(live.AudioRecordRing()), (std::vector<Bytes>{a1, a2}));
        live.CloseRecordRings();
        std::vector<Bytes> videoBefore{p0, idr, p1}, audioBefore{a1, a2};
        if (row.pushBetween) {
            video(p2), audio(a3);
            videoBefore.push_back(p2);
            audioBefore.push_back(a3);
        }

        ASSERT_EQ(live.OpenRecordRings(L"C:\\rec.mp4"), S_OK);
        video(p3), audio(a4);
        videoBefore.push_back(p3);
        audioBefore.push_back(a4);
        EXPECT_EQ(drainRing(live.VideoRecordRing()), videoBefore);
        EXPECT_EQ(drainRing(live.AudioRecordRing()), audioBefore);
        live.CloseRecordRings();
    }
}

TEST(LiveContextTest, UnitTooLargeToSaveIsNotRequeuedAtTheNextIdr) {
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.AllocateInputRings(0x400000, 0x100000), S_OK);
    const Bytes p0 = unit(1000, 7), big = unit(1040, 1, KQ_AV_LiveContext::kSavedUnitSize + 1),
                idr = unit(1080, 5), p1 = unit(1120, 1);
    for (const Bytes* u : {&p0, &big, &idr})
        live.PushVideo(u->data(), static_cast<DWORD>(u->size()), kGoOn);
    ASSERT_EQ(live.OpenRecordRings(L"C:\\rec.mp4"), S_OK);
    live.PushVideo(p1.data(), static_cast<DWORD>(p1.size()), kGoOn);
    EXPECT_EQ(drainRing(live.VideoRecordRing()), (std::vector<Bytes>{idr, p1}));
}

TEST(LiveContextTest, PushWithoutRingsChangesNothing) {
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.OpenRecordRings(L"C:\\rec.mp4"), S_OK);
    const Bytes idr = unit(1000, 5);
    EXPECT_EQ(live.PushVideo(idr.data(), static_cast<DWORD>(idr.size()), kGoOn), 1);
    EXPECT_EQ(live.PushAudio(idr.data(), static_cast<DWORD>(idr.size()), kGoOn), 1);
    EXPECT_TRUE(drainRing(live.VideoRecordRing()).empty());
    EXPECT_EQ(live.GetVideoFill(), 100u);
    EXPECT_EQ(live.FlushVideo(), E_FAIL);
    EXPECT_EQ(live.FlushAudio(), E_FAIL);
}

// A decoder that has stalled must not hold the receiver up for every unit: after the ring has stayed full
// for the bound, units are dropped at once until there is room again.
TEST(LiveContextTest, FullVideoRingDropsAfterTheBound) {
    platform::SetTimeScale(20);
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.AllocateInputRings(256, 0), S_OK);
    const Bytes p = unit(1000, 1, 100); // 104 bytes in the ring: two fit
    const auto push = [&](const std::atomic<bool>& stop) {
        return live.PushVideo(p.data(), static_cast<DWORD>(p.size()), stop);
    };
    EXPECT_EQ(push(kGoOn), 1);
    EXPECT_EQ(push(kGoOn), 1);
    EXPECT_EQ(push(kStop), 0) << "a full ring waits (and the stop ends the wait)";
    EXPECT_EQ(push(kGoOn), 1) << "waited out the bound, then dropped";
    EXPECT_EQ(push(kStop), 1) << "dropped at once: no wait to stop";
    EXPECT_EQ(live.GetVideoFill(), 100 * (256 - 208) / 256);
    ASSERT_EQ(live.FlushVideo(), S_OK);
    EXPECT_EQ(push(kStop), 1) << "room again";
    EXPECT_EQ(push(kStop), 1);
    EXPECT_EQ(push(kStop), 0) << "a new full ring waits again";
    platform::SetTimeScale(1);
}

// Destroy makes a push waiting for room return, and later calls return at once.
TEST(LiveContextTest, DestroyEndsAPushWaitingForRoom) {
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    ASSERT_EQ(live.AllocateInputRings(0x1000, 256), S_OK);
    const Bytes a = unit(1000, 0, 100);
    live.PushAudio(a.data(), 100, kGoOn);
    live.PushAudio(a.data(), 100, kGoOn);
    std::atomic<bool> returned{false};
    std::thread pusher([&] {
        live.PushAudio(a.data(), 100, kGoOn);
        returned = true;
    });
    Sleep(20);
    EXPECT_FALSE(returned) << "the ring is full and nothing reads it";
    live.Destroy();
    pusher.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(live.PushVideo(a.data(), 100, kGoOn), 1);
    EXPECT_EQ(live.FlushAudio(), E_FAIL);
    EXPECT_EQ(live.GetVideoFill(), 100u);
}

} // namespace
