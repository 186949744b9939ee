#include "config/AppConfig.h"

// The built-in skin: used when no skin folder is configured, and by the windows when a skin file is missing
// or broken. Its bitmaps are the program's resources, named by id (drawn by the skin tool, which also
// writes these layouts into the skin folders). The main window is 408 x 408 with a 383 x 286 video area;
// the panes beside it are as high.
namespace {

// Resource ids of the five state bitmaps of each skinned window, and its layout.
constexpr std::int32_t kWindowBitmaps[5][5] = {{130, 131, 132, 133, 134},
                                               {135, 136, 137, 138, 139},
                                               {140, 141, 142, 143, 144},
                                               {145, 146, 147, 148, 149},
                                               {150, 151, 152, 153, 154}};
constexpr SkinItemLayout kWindowLayouts[5] = {{0, 120, 80, 408, 408, 1},
                                              {0, 120, 80, 408, 408, 1},
                                              {0, 0, 0, 180, 408, 1},
                                              {0, 0, 0, 150, 408, 1},
                                              {0, 0, 0, 150, 408, 1}};
constexpr std::int32_t kExtBitmaps[6] = {174, 180, 182, 181, 183, 187};

// The 17 command buttons, ids 1000 to 1016: the title-bar buttons from the top-right corner, the side-pane
// tabs in the two margins, the rest in the bottom band (those of its right half, and the volume slider,
// from the bottom-right corner, so that they stay at the right edge in a larger window).
constexpr std::array<SkinItemLayout, 17> kMainButtons = {{
    {1, 66, 5, 18, 18, 1},   // 1000 minimise
    {1, 46, 5, 18, 18, 1},   // 1001 place of the maximise switch
    {1, 26, 5, 18, 18, 1},   // 1002 close
    {2, 14, 82, 48, 52, 1},  // 1003 place of the record switch
    {3, 194, 82, 28, 28, 1}, // 1004 snapshot
    {3, 164, 82, 28, 28, 1}, // 1005 open file
    {3, 134, 82, 28, 28, 1}, // 1006 MTS
    {3, 104, 82, 28, 28, 1}, // 1007 settings
    {1, 13, 130, 13, 56, 1}, // 1008 login pane (right margin)
    {0, 0, 130, 12, 56, 1},  // 1009 side pane (left margin)
    {3, 194, 50, 22, 22, 1}, // 1010 place of the mute switch
    {3, 74, 82, 58, 28, 1},  // 1011 place of the source button
    {2, 68, 26, 28, 22, 1},  // 1012 play
    {2, 98, 26, 28, 22, 1},  // 1013 backward
    {2, 128, 26, 28, 22, 1}, // 1014 stop
    {2, 158, 26, 28, 22, 1}, // 1015 forward
    {2, 188, 26, 28, 22, 1}, // 1016 pause
}};
constexpr std::array<SkinItemLayout, 2> kVolumeSlider = {{{3, 166, 45, 150, 8, 1}, {3, 166, 49, 10, 16, 1}}};
constexpr std::array<SkinItemLayout, 2> kFileSlider = {{{2, 16, 90, 376, 6, 1}, {2, 16, 94, 10, 12, 1}}};
constexpr std::array<std::int32_t, 4> kVideoBoxSizes{383, 286, 383, 286};
constexpr SkinItemLayout kLoginButton{0, 40, 330, 100, 32, 1};

// TV pane: keys 1 to 9, 0, last, enter, favourite, channel down, channel up.
constexpr std::array<SkinItemLayout, 15> kTvKeys = {{
    {0, 15, 120, 38, 30, 1}, {0, 61, 120, 38, 30, 1}, {0, 107, 120, 38, 30, 1}, {0, 15, 158, 38, 30, 1},
    {0, 61, 158, 38, 30, 1}, {0, 107, 158, 38, 30, 1}, {0, 15, 196, 38, 30, 1}, {0, 61, 196, 38, 30, 1},
    {0, 107, 196, 38, 30, 1}, {0, 61, 234, 38, 30, 1}, {0, 15, 234, 38, 30, 1}, {0, 107, 234, 38, 30, 1},
    {0, 15, 272, 38, 30, 1}, {0, 61, 272, 38, 30, 1}, {0, 107, 272, 38, 30, 1},
}};

// Remote pane, in the order of the remote's key sections (refresh, enter, up, ok, down, left, right, volume
// up, mute, channel up, volume down, channel down, play, pause, stop, record, last, back, speed, next, menu,
// power, A to D, 1 to 9, 0).
constexpr std::array<SkinItemLayout, 36> kRemoteKeys = {{
    {0, 79, 36, 30, 22, 1},  {0, 113, 36, 30, 22, 1}, {0, 60, 66, 30, 22, 1},  {0, 60, 92, 30, 22, 1},
    {0, 60, 118, 30, 22, 1}, {0, 26, 92, 30, 22, 1},  {0, 94, 92, 30, 22, 1},  {0, 11, 150, 30, 22, 1},
    {0, 60, 150, 30, 22, 1}, {0, 109, 150, 30, 22, 1}, {0, 11, 176, 30, 22, 1}, {0, 109, 176, 30, 22, 1},
    {0, 11, 208, 30, 22, 1}, {0, 45, 208, 30, 22, 1}, {0, 79, 208, 30, 22, 1}, {0, 113, 208, 30, 22, 1},
    {0, 60, 176, 30, 22, 1}, {0, 11, 234, 30, 22, 1}, {0, 45, 234, 30, 22, 1}, {0, 79, 234, 30, 22, 1},
    {0, 45, 36, 30, 22, 1},  {0, 11, 36, 30, 22, 1},  {0, 11, 266, 30, 22, 1}, {0, 45, 266, 30, 22, 1},
    {0, 79, 266, 30, 22, 1}, {0, 113, 266, 30, 22, 1}, {0, 26, 298, 30, 22, 1}, {0, 60, 298, 30, 22, 1},
    {0, 94, 298, 30, 22, 1}, {0, 26, 324, 30, 22, 1}, {0, 60, 324, 30, 22, 1}, {0, 94, 324, 30, 22, 1},
    {0, 26, 350, 30, 22, 1}, {0, 60, 350, 30, 22, 1}, {0, 94, 350, 30, 22, 1}, {0, 60, 376, 30, 22, 1},
}};

const TextLabelLayout& clockLabel() {
    static const TextLabelLayout label{2, 68, 82, 139, 15, 1, 0xFFFFFF, L"00:00:00"};
    return label;
}

const TextLabelLayout& infoBarLabel() {
    static const TextLabelLayout label{2, 68, 51, 139, 21, 1, 0xFFFFFF, L"CIF 1200kbps"};
    return label;
}

} // namespace

void KQ_AppConfig::LoadBuiltInSkin() {
    m_skinFromFiles = 0;
    for (std::size_t w = 0; w < m_skinWindows.size(); ++w) {
        std::copy(std::begin(kWindowBitmaps[w]), std::end(kWindowBitmaps[w]),
                  m_skinWindows[w].bitmapResources.begin());
        m_skinWindows[w].layout = kWindowLayouts[w];
    }
    std::copy(std::begin(kExtBitmaps), std::end(kExtBitmaps), m_skinExtBitmaps.begin());
    CopyDefaultSkinLayouts();
}

void KQ_AppConfig::CopyDefaultSkinLayouts() {
    m_mainButtons = kMainButtons;
    m_clockLabel = clockLabel();
    m_infoBarLabel = infoBarLabel();
    m_volumeSlider = kVolumeSlider;
    m_fileSlider = kFileSlider;
    m_videoBoxSizes = kVideoBoxSizes;
    m_loginButton = kLoginButton;
    m_tvKeys = kTvKeys;
    m_remoteKeys = kRemoteKeys;
}
