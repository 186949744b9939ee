// The box's records over the control connection against the test box: its information record read with
// the program's helpers, tasks added, updated and deleted in it, the clock and the zone set, the IR data
// uploaded and fetched back, and each request refused.
#include "BoxRig.h"

#include "dialogs/records/BoxTasks.h"
#include "dialogs/records/IrProfileBlob.h"

#include <cstring>

namespace {

using testbox::Bytes;

class BoxRecordsLinkTest : public BoxLinkTest {
protected:
    void SetUp() override {
        BoxLinkTest::SetUp();
        rig = std::make_unique<BoxRig>();
        ASSERT_TRUE(rig->login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
        rig->dialog.clear();
    }
    void TearDown() override {
        rig.reset();
        BoxLinkTest::TearDown();
    }
    KQ_TCP_ControlChannel& channel() { return rig->client.Channel(); }
    HWND window() { return rig->dialog.hwnd(); }
    // The message's last posting, once there is one more than before.
    Posted await(UINT message) {
        const int before = seen_[message]++;
        EXPECT_TRUE(PumpUntilReal([&] { return rig->dialog.count(message) > before; })) << message;
        const auto all = rig->dialog.of(message);
        return all.empty() ? Posted{} : all.back();
    }
    // The box's record as the schedule page takes it into the global copy.
    void readInfo() {
        ASSERT_TRUE(channel().SendGetBoxInfo(window()));
        const Posted info = await(WM_BOX_INFO);
        ASSERT_EQ(info.lParam, 1002);
        ASSERT_TRUE(BoxInfoStore(reinterpret_cast<const BYTE*>(info.wParam), 1002));
    }
    std::unique_ptr<BoxRig> rig;
    std::map<UINT, int> seen_;
};

BoxTaskRecord newTask(const wchar_t* file, int hour) {
    BoxTaskRecord t{};
    t.id = 255;
    StoreBoxTime(t.start, {2008, 7, 2, hour, 0, 0});
    StoreBoxTime(t.end, {2008, 7, 2, hour + 1, 0, 0});
    t.diskKey = 1;
    EXPECT_TRUE(StoreBoxTaskFileName(t, file));
    t.format = 1;
    t.source = 2;
    t.channel = 5;
    return t;
}

TEST_F(BoxRecordsLinkTest, TasksAreAddedUpdatedAndDeletedInTheBoxsRecord) {
    readInfo();
    EXPECT_EQ(BoxDiskName(1), L"HDD1");
    EXPECT_EQ(BoxDiskFreeText(g_boxInfo, 1), L"80000 MB");
    EXPECT_EQ(g_boxInfo.timeZone, 56);
    EXPECT_EQ(NormaliseBoxTime(g_boxInfo.clock).hour, 12);
    EXPECT_TRUE(BoxTasks(g_boxInfo).empty());

    ASSERT_TRUE(channel().SendAddBoxTask(newTask(L"news", 20), window()));
    EXPECT_EQ(await(WM_BOX_TASK_ADDED).wParam, 1u);
    ASSERT_TRUE(channel().SendAddBoxTask(newTask(L"film", 22), window()));
    EXPECT_EQ(await(WM_BOX_TASK_ADDED).wParam, 2u);
    BoxTaskRecord changed = newTask(L"late news", 21);
    changed.id = 1;
    ASSERT_TRUE(channel().SendUpdateBoxTask(changed, window()));
    EXPECT_EQ(await(WM_BOX_TASK_UPDATED).wParam, 1u);

    readInfo();
    ASSERT_EQ(BoxTasks(g_boxInfo).size(), 2u);
    BoxTaskRecord& first = g_boxInfo.tasks[0];
    EXPECT_EQ(first.id, 1);
    EXPECT_EQ(BoxTaskFileText(first), L"late news");
    EXPECT_EQ(BoxTaskStartText(first), L"2008:7:2:21:0");
    EXPECT_EQ(BoxTaskDurationText(first), L"60");
    EXPECT_EQ(BoxTaskSourceText(first), L"TV");
    EXPECT_EQ(BoxTaskFileText(g_boxInfo.tasks[1]), L"film");
    EXPECT_EQ(BoxTaskFits(g_boxInfo, newTask(L"clash", 22)), 0);
    EXPECT_EQ(BoxTaskFits(g_boxInfo, newTask(L"free", 18)), 1);

    ASSERT_TRUE(channel().SendDeleteBoxTask(1, window()));
    EXPECT_EQ(await(WM_BOX_TASK_DELETED).wParam, 1u);
    std::vector<Bytes> tasks;
    rig->box.Records([&](testbox::BoxRecordsSide& r) { tasks = r.Tasks(); });
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0][0], 2);
    ASSERT_TRUE(channel().SendDeleteBoxTask(200, window()));
    await(WM_BOX_ALL_TASKS_DELETED);
    rig->box.Records([&](testbox::BoxRecordsSide& r) { tasks = r.Tasks(); });
    EXPECT_TRUE(tasks.empty());
}

TEST_F(BoxRecordsLinkTest, TheClockAndTheZoneAnswerWithTheBoxsTime) {
    ASSERT_TRUE(channel().SendSetBoxTime(L"2009:01:02:03:04", window()));
    Posted time = await(WM_BOX_TIME);
    EXPECT_EQ(time.wParam, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(time.lParam), "2009:01:02:03:04");
    ASSERT_TRUE(channel().SendSetTimeZone(L"GTM-05:00", window(), 12));
    time = await(WM_BOX_TIME);
    EXPECT_EQ(time.wParam, 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(time.lParam), "2009:1:2:3:4");
    readInfo();
    EXPECT_EQ(g_boxInfo.timeZone, 12);
    EXPECT_EQ(NormaliseBoxTime(g_boxInfo.clock).year, 2009);
}

TEST_F(BoxRecordsLinkTest, TheIrDataUploadedComesBackFromTheBox) {
    KQ_UI_IRProfileStore store;
    store.AddProfile(L"TV");
    for (int i = 0; i < 5; ++i) { // more than one 1440-byte piece
        RemoterMapEntry& e = store.profiles[L"TV"].entries[static_cast<std::size_t>(i)];
        e.key = 1043 + i;
        e.learned = 1;
        e.code[0] = static_cast<std::uint8_t>(i + 1);
        e.code[100] = static_cast<std::uint8_t>(0x40 + i);
    }
    IrProfileBlob blob;
    ASSERT_EQ(BuildProfileUploadBlob(store, blob), IrBlobResult::Built);
    ASSERT_TRUE(channel().SendPutIrData(static_cast<DWORD>(blob.written), blob.start.get(), window()));
    await(WM_BOX_IR_UPLOAD_OK);
    ASSERT_TRUE(PumpUntilReal([&] {
        Bytes kept;
        rig->box.Records([&](testbox::BoxRecordsSide& r) { kept = r.IrData(); });
        return kept.size() == static_cast<std::size_t>(blob.written);
    }));

    ASSERT_TRUE(channel().SendGetIrData(window()));
    const Posted data = await(WM_BOX_IR_DATA);
    ASSERT_EQ(data.lParam, blob.written);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(data.wParam), blob.start.get(), blob.written), 0);
    const std::vector<KQ_UI_IREntry> back = ParseBoxIrData(reinterpret_cast<const std::uint8_t*>(data.wParam),
                                                           static_cast<std::size_t>(data.lParam));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], store.profiles[L"TV"]);
}

TEST_F(BoxRecordsLinkTest, EachRequestCanBeRefusedAndChangesNothing) {
    struct Case {
        std::uint32_t command;
        std::function<bool()> send;
        UINT failure;
    };
    const BoxTaskRecord task = newTask(L"news", 20);
    const BYTE block[2] = {10, 0};
    const Case cases[] = {
        {testbox::kGetBoxInfo, [&] { return channel().SendGetBoxInfo(window()); }, WM_BOX_INFO_FAILED},
        {testbox::kAddBoxTask, [&] { return channel().SendAddBoxTask(task, window()); },
         WM_BOX_TASK_ADD_FAILED},
        {testbox::kUpdateBoxTask, [&] { return channel().SendUpdateBoxTask(task, window()); },
         WM_BOX_TASK_UPDATE_FAILED},
        {testbox::kDeleteBoxTask, [&] { return channel().SendDeleteBoxTask(200, window()); },
         WM_BOX_TASK_DELETE_FAILED},
        {testbox::kSetBoxTime, [&] { return channel().SendSetBoxTime(L"2009:1:2:3:4", window()); },
         WM_BOX_TIME_FAILED},
        {testbox::kSetTimeZone, [&] { return channel().SendSetTimeZone(L"GTM", window(), 3); },
         WM_BOX_TIME_FAILED},
        {testbox::kGetIrData, [&] { return channel().SendGetIrData(window()); }, WM_BOX_IR_DATA_FAILED},
        {testbox::kPutIrData, [&] { return channel().SendPutIrData(2, block, window()); },
         WM_BOX_IR_UPLOAD_FAILED},
    };
    Bytes before;
    rig->box.Records([&](testbox::BoxRecordsSide& r) { before = r.Info(); });
    for (const Case& c : cases) {
        rig->box.Records([&](testbox::BoxRecordsSide& r) { r.Refuse(c.command); });
        ASSERT_TRUE(c.send()) << std::hex << c.command;
        await(c.failure);
    }
    Bytes after;
    rig->box.Records([&](testbox::BoxRecordsSide& r) { after = r.Info(); });
    EXPECT_EQ(after, before);
    // The refusals are used up: the box answers again.
    ASSERT_TRUE(channel().SendAddBoxTask(task, window()));
    EXPECT_EQ(await(WM_BOX_TASK_ADDED).wParam, 1u);
}

} // namespace
