// The on-screen display: which items an added one replaces, ageing and blinking, the volume bar, the
// window path and the mixer bitmap over the playing video.
#include "tests/support/CaptureSink.h"

#include "media/GraphHelpers.h"
#include "media/Osd.h"
#include "platform/dshow/VideoSurface.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Messages.h"
#include "tests/support/fakes/HeadlessVideoSurface.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kGreen = 0x00FF00, kRed = 0x0000FF;

std::vector<std::wstring> texts(KQ_AV_OSD& osd) {
    std::vector<std::wstring> out;
    for (const osd_struct& item : osd.Items())
        out.push_back(item.text);
    return out;
}

TEST(OsdTest, AddedItemReplacesSameDurationOrPosition) {
    struct Item {
        const wchar_t* text;
        int position, duration;
    };
    struct Row {
        const char* name;
        std::vector<Item> before;
        Item added;
        std::vector<std::wstring> after;
    };
    const Item mute{L"Mute", OSD_LOWER_LEFT, 1};
    const Item bar{L"I I ", OSD_LOWER_LEFT, 3000};
    const Row rows[] = {
        {"a text top right beside Mute", {mute}, {L"CH 5", OSD_TOP_RIGHT, 3100}, {L"Mute", L"CH 5"}},
        {"the volume bar replaces Mute", {mute}, bar, {L"I I "}},
        {"same duration elsewhere", {bar}, {L"TV", OSD_TOP_LEFT, 3000}, {L"TV"}},
        {"same position", {{L"2X", OSD_TOP_LEFT, 1}}, {L"4X", OSD_TOP_LEFT, 1}, {L"4X"}},
        {"both kept when neither matches",
         {{L"Record", OSD_TOP_LEFT, 500}, mute},
         {L"Info", OSD_TOP_RIGHT, 3100},
         {L"Record", L"Mute", L"Info"}},
    };
    for (const Row& row : rows) {
        KQ_AV_OSD osd;
        for (const Item& item : row.before)
            osd.AddItem(item.text, item.position, item.duration, kGreen, 0);
        osd.TakeDirty();
        EXPECT_EQ(osd.AddItem(row.added.text, row.added.position, row.added.duration, kGreen, 0), S_OK);
        EXPECT_EQ(texts(osd), row.after) << row.name;
        EXPECT_TRUE(osd.Dirty()) << row.name;
    }
}

TEST(OsdTest, TextIsCutAndCounted) {
    KQ_AV_OSD osd;
    osd.AddItem(std::wstring(300, L'x'), OSD_TOP_LEFT, 1, kGreen, 0);
    osd.AddItem(L"CH 5 \u4E2D\u6587", OSD_TOP_RIGHT, 3100, kGreen, 0);
    const std::vector<osd_struct> items = osd.Items();
    EXPECT_EQ(items[0].text.size(), 255u);
    EXPECT_EQ(items[0].narrowCount, 255);
    EXPECT_EQ(items[1].narrowCount, 5);
    EXPECT_EQ(items[1].wideCount, 2);
}

TEST(OsdTest, AgeingAndBlinking) {
    KQ_AV_OSD osd;
    osd.AddItem(L"bar", OSD_LOWER_LEFT, 3000, kGreen, 0);
    osd.AddItem(L"Mute", OSD_LOWER_RIGHT, 1, kRed, 0); // never a multiple of the tick: stays
    osd.AddItem(L"Record", OSD_TOP_LEFT, 500, kRed, 500);
    osd.TakeDirty();
    std::string phases;
    for (int tick = 1; tick <= 30; ++tick) {
        osd.Tick();
        const bool changed = osd.TakeDirty();
        const std::vector<osd_struct> items = osd.Items();
        const bool hasBar = items.size() == 3;
        EXPECT_EQ(hasBar, tick < 30) << "the 3000 ms item goes at the 30th tick, not before";
        if (tick <= 20)
            phases += changed ? '|' : '.';
        for (const osd_struct& item : items)
            if (item.text == L"Record" && tick <= 20)
                phases += item.hidden ? 'h' : 'v';
    }
    // Five ticks visible, five hidden, and a redraw at each change.
    EXPECT_EQ(phases, ".v.v.v.v|h.h.h.h.h|v.v.v.v.v|h.h.h.h.h|v");
    EXPECT_EQ(texts(osd), (std::vector<std::wstring>{L"Mute", L"Record"}));
    osd.RemoveAll();
    EXPECT_TRUE(osd.Items().empty());
    EXPECT_FALSE(osd.Dirty()) << "removing does not redraw";
}

TEST(OsdTest, VolumeBarCells) {
    struct Row {
        int count;
        size_t cells;
    };
    for (const Row& row : {Row{0, 0}, Row{-3, 0}, Row{1, 1}, Row{20, 20}, Row{21, 21}, Row{25, 21}}) {
        const std::wstring text = VolumeBarText(row.count);
        EXPECT_EQ(text.size(), 2 * row.cells) << row.count;
        EXPECT_EQ(text.find_first_not_of(L"I "), std::wstring::npos);
    }
}

// Counts the window layer's pixels that something was drawn on (opaque), and those of about a colour.
struct LayerCount {
    int opaque = 0;
    int tinted = 0;
};

LayerCount countLayer(HWND window, std::uint32_t rgb, const RECT& area) {
    LayerCount count;
    platform::gdi::ReadLayer(window, [&](const std::uint32_t* pixels, int width, int height) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = pixels[y * width + x];
                if ((p >> 24) == 0)
                    continue;
                ++count.opaque;
                const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
                if (inside && (p & 0xFFFFFF) == rgb)
                    ++count.tinted;
            }
    });
    return count;
}

// The window path draws the texts and nothing else: the rest of the bitmap is the transparent key.
TEST(OsdTest, WindowPathDrawsOnlyTheTexts) {
    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    KQ_AV_OSD osd;
    osd.AddItem(L"CH 12", OSD_TOP_LEFT, 3000, kGreen, 0);
    EXPECT_EQ(osd.DrawWindow(window), S_FALSE) << "no size yet: nothing to draw on";

    ASSERT_TRUE(platform::gdi::SetWindowClientSize(window, 640, 480));
    EXPECT_EQ(osd.DrawWindow(window), S_OK);
    const LayerCount drawn = countLayer(window, 0x00FF00, RECT{0, 0, 320, 120});
    EXPECT_GT(drawn.tinted, 50) << "green text in the top-left corner";
    EXPECT_LT(drawn.opaque, 640 * 480 / 20) << "the rest of the window stays as it was";
    DestroyWindow(window);
}

// Over the playing video the texts go to the renderer as its mixer bitmap, blended into every frame, until
// the overlay is switched off.
TEST(OsdTest, MixerBitmapOverThePlayingVideo) {
    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    HeadlessVideoSurface surface;
    platform::dshow::RegisterVideoSurface(window, &surface);
    capture::SourceBench bench(capture::kWidth, capture::kHeight, 2 * capture::kWidth);
    ASSERT_EQ(AddFilterByClsid(bench.graph_.Get(), CLSID_VideoMixingRenderer9, L"Video Mixing Renderer 9"),
              S_OK);
    ASSERT_EQ(ConfigureVmrWindowless(bench.graph_.Get(), window), S_OK);
    IPin* in = nullptr;
    ASSERT_EQ(FindFilterPin(bench.graph_.Get(), L"Video Mixing Renderer 9", nullptr, 1, &in), S_OK);
    ASSERT_EQ(bench.graph_->ConnectDirect(bench.source_->GetPin(0), in, nullptr), S_OK);
    ASSERT_EQ(bench.run(), S_OK);

    const LONG frameBytes = capture::kHeight * 2 * capture::kWidth;
    const auto present = [&] { // a black UYVY frame, due at once
        BYTE* data = nullptr;
        LONG size = 0;
        ASSERT_EQ(bench.source_->GetVideoBuffer(&data, &size), S_OK);
        for (LONG i = 0; i < frameBytes; i += 2)
            data[i] = 128, data[i + 1] = 16;
        bench.source_->ResetRunningTimes();
        ASSERT_EQ(bench.source_->DeliverVideo(1, frameBytes), S_OK);
    };
    const auto litPixels = [&] { // pixels that are no longer black
        const auto shown = surface.last();
        int lit = 0;
        for (int y = 0; y < shown.picture->height; ++y)
            for (int x = 0; x < shown.picture->width; ++x)
                lit += (shown.picture->at(x, y) & 0x00FFFFFFu) != 0;
        return lit;
    };

    KQ_AV_OSD osd;
    osd.SetGraph(bench.graph_.Get());
    osd.AddItem(L"CH 12", OSD_TOP_LEFT, 3000, kGreen, 0);
    EXPECT_EQ(osd.DrawVmr(window), S_OK);
    present();
    EXPECT_GT(litPixels(), 100) << "the text is blended into the frame";

    EXPECT_EQ(osd.HideOverlay(), S_OK);
    EXPECT_TRUE(osd.Items().empty());
    present();
    EXPECT_EQ(litPixels(), 0);

    osd.SetGraph(nullptr);
    EXPECT_EQ(osd.HideOverlay(), E_FAIL) << "a released graph is forgotten";
    bench.stop();
    platform::dshow::UnregisterVideoSurface(window);
    DestroyWindow(window);
}

} // namespace
