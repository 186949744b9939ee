#include "AppFixture.h"

#include "app/Menus.h"
#include "app/SkinControls.h"
#include "app/SkinLoader.h"
#include "platform/win32/Profile.h"

#include <cstring>

namespace {

class SkinTest : public AppFixture {
protected:
    // A picture of the given size in one colour, with a mark of another colour at (x, y).
    void picture(const std::string& name, int cx, int cy, COLORREF fill, int x = -1, int y = -1,
                 COLORREF mark = 0) {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(cx * cy), toRgb(fill));
        if (x >= 0)
            pixels[static_cast<std::size_t>(y * cx + x)] = toRgb(mark);
        CBitmap b;
        ASSERT_TRUE(b.SetPixels(cx, cy, pixels.data(), static_cast<std::size_t>(cx) * 4));
        std::filesystem::create_directories((temp / name).parent_path());
        ASSERT_TRUE(b.SaveBmp(platform::BackslashPath(temp / name)));
    }
    static std::uint32_t toRgb(COLORREF c) {
        return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
    std::wstring skin(const char* folder) {
        return L".\\skins\\" + std::wstring(folder, folder + std::strlen(folder)) + L"\\skin.ini";
    }
};

TEST_F(SkinTest, LayoutsArePlacedFromTheirCorner) {
    struct Case {
        SkinItemLayout layout;
        CRect placed;
    };
    const Case cases[] = {
        {{0, 40, 30, 10, 5, 0}, CRect(40, 30, 50, 35)},
        {{1, 40, 30, 10, 5, 0}, CRect(360, 30, 370, 35)},
        {{2, 40, 30, 10, 5, 0}, CRect(40, 270, 50, 275)},
        {{3, 40, 30, 10, 5, 0}, CRect(360, 270, 370, 275)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceLayout(c.layout, 400, 300), c.placed) << c.layout.anchor;
    EXPECT_EQ(SkinPath(5), L".\\skins\\Blue1\\skin.ini");
    EXPECT_EQ(SkinPath(8), SkinPath(0));
    EXPECT_EQ(SkinPath(-1), L".\\skins\\Gray\\skin.ini");
}

TEST_F(SkinTest, FramesAreCutFromTheFourStatePicturesAtTheButtonsPlace) {
    // A button at origin 1: 60 from the right edge of a 100 x 50 window, so its frame starts at x 40.
    temp.write(
        "skins/Test/skin.ini",
        "[MainWnd]\r\ncx=100\r\ncy=50\r\nbackground=bg.bmp\r\nnormal=n.bmp\r\nhover=h.bmp\r\nhit=t.bmp\r\n"
        "disable=d.bmp\r\n[min]\r\norigin=1\r\nx=60\r\ny=10\r\ncx=20\r\ncy=10\r\n");
    const COLORREF looks[4] = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90), RGB(100, 110, 120)};
    const char* files[4] = {"n", "h", "t", "d"};
    for (int i = 0; i < 4; ++i)
        picture(std::string("skins/Test/") + files[i] + ".bmp", 100, 50, looks[i], 40, 10, RGB(255, 0, 0));
    picture("skins/Test/bg.bmp", 100, 50, RGB(0, 0, 0));
    KQ_AppConfig config;
    SkinBitmaps bitmaps;
    ASSERT_EQ(LoadSkinFile(skin("Test"), config, bitmaps), 1);
    EXPECT_EQ(config.m_mainButtons[0].anchor, 1);
    EXPECT_EQ(config.m_mainButtons[1].cx, 0);         // keys the file lacks stay zero
    EXPECT_EQ(config.m_clockLabel.colour, 0xFFFFFFu); // labels never built get the built-in colour
    EXPECT_EQ(config.m_infoBarLabel.text, L"CIF 1200kbps");
    ButtonFrames frames;
    frames.cut(bitmaps.windows[kSkinMain], PlaceLayout(config.m_mainButtons[0], 100, 50));
    for (int i = 0; i < 4; ++i) {
        const CBitmap& f = frames.frame[static_cast<std::size_t>(i)];
        ASSERT_EQ(f.GetSize().cx, 20);
        ASSERT_EQ(f.GetSize().cy, 10);
        EXPECT_EQ(f.GetPixel(0, 0), RGB(255, 0, 0)) << i; // the mark at the button's corner
        EXPECT_EQ(f.GetPixel(19, 9), looks[i]) << i;
    }
}

TEST_F(SkinTest, TheSecondPictureGroupStopsAtTheFirstMissingOneButLoginStillLoads) {
    temp.write("skins/Test/skin.ini",
               "[MainWnd]\r\ncx=10\r\n[source_ext]\r\nbackground=a.bmp\r\n[max_ext]\r\nbackground=a.bmp\r\n"
               "[record_ext]\r\nbackground=a.bmp\r\n[favorite_ext]\r\nbackground=a.bmp\r\n"
               "[login_ext]\r\nbackground=a.bmp\r\n");
    picture("skins/Test/a.bmp", 8, 8, RGB(1, 2, 3));
    KQ_AppConfig config;
    SkinBitmaps bitmaps;
    LoadSkinFile(skin("Test"), config, bitmaps);
    EXPECT_FALSE(bitmaps.ext[kExtSource].IsNull());
    EXPECT_FALSE(bitmaps.ext[kExtMax].IsNull());
    EXPECT_TRUE(bitmaps.ext[kExtMute].IsNull());
    EXPECT_TRUE(bitmaps.ext[kExtRecord].IsNull());
    EXPECT_TRUE(bitmaps.ext[kExtFavorite].IsNull());
    EXPECT_FALSE(bitmaps.ext[kExtLogin].IsNull());
}

TEST_F(SkinTest, BrokenSkinsFallBackToTheBuiltInSkin) {
    picture("res/130.bmp", 377, 363, RGB(9, 9, 9));
    KQ_AppConfig builtIn;
    builtIn.LoadBuiltInSkin();
    struct Case {
        const char* name;
        const char* ini; // null: no file at all
    };
    const Case cases[] = {{"missing file", nullptr},
                          {"no MainWnd section", "[FileWnd]\r\ncx=5\r\n[min]\r\nx=3\r\n"}};
    for (const Case& c : cases) {
        if (c.ini)
            temp.write("skins/Broken/skin.ini", c.ini);
        KQ_AppConfig config;
        SkinBitmaps bitmaps;
        LoadSkinFile(skin("Broken"), config, bitmaps);
        EXPECT_EQ(config.m_mainButtons[3].cx, builtIn.m_mainButtons[3].cx) << c.name;
        EXPECT_EQ(config.m_skinWindows[kSkinMain].layout.cx, 408) << c.name;
        EXPECT_EQ(config.m_skinFromFiles, 0) << c.name;
        EXPECT_FALSE(bitmaps.windows[kSkinMain][kPicBackground].IsNull()) << c.name; // res/130.bmp
        EXPECT_TRUE(bitmaps.windows[kSkinMain][kPicNormal].IsNull()) << c.name; // res/131.bmp is not there
    }
}

TEST_F(SkinTest, ChoosingAnotherSkinReleasesTheFirstSkinsPictures) {
    temp.write("skins/Gray/skin.ini", "[MainWnd]\r\ncx=408\r\ncy=408\r\n[source_ext]\r\nbackground=m.bmp\r\n"
                                      "[max_ext]\r\nbackground=m.bmp\r\n[mute_ext]\r\nbackground=m.bmp\r\n");
    temp.write("skins/Green/skin.ini", "[MainWnd]\r\ncx=408\r\ncy=408\r\n");
    picture("skins/Gray/m.bmp", 88, 22, RGB(5, 5, 5));
    start();
    EXPECT_FALSE(app->m_skin.ext[kExtMute].IsNull());
    click(*main, ID_MENU_SKIN_FIRST + 1);
    EXPECT_TRUE(app->m_skin.ext[kExtMute].IsNull());
    EXPECT_EQ(GetPrivateProfileIntW(L"Skin", L"value", 0, L".\\Setup\\property.ini"), 1u);
    click(*main, ID_MENU_SKIN_FIRST + 9); // beyond the eight: no command of the range
    EXPECT_EQ(GetPrivateProfileIntW(L"Skin", L"value", 0, L".\\Setup\\property.ini"), 1u);
}

} // namespace
