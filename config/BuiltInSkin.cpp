#include "config/AppConfig.h"

// The built-in skin: used when no skin folder is configured. Bitmaps are named by their resource ids; the
// windows' skin code loads them. The layouts place the controls of a 760 x 560 main window.
namespace {

// Resource ids of the five state bitmaps of each skinned window, and its layout.
constexpr std::int32_t kWindowBitmaps[5][5] = {{130, 131, 132, 133, 134},
                                               {135, 136, 137, 138, 139},
                                               {140, 141, 142, 143, 144},
                                               {145, 146, 147, 148, 149},
                                               {150, 151, 152, 153, 154}};
constexpr SkinItemLayout kWindowLayouts[5] = {{0, 0, 0, 760, 560, 1},
                                              {0, 0, 0, 760, 560, 1},
                                              {0, 0, 0, 320, 240, 1},
                                              {1, 10, 60, 180, 260, 1},
                                              {1, 10, 330, 180, 300, 1}};
constexpr std::int32_t kExtBitmaps[6] = {174, 180, 182, 181, 183, 187};

// A grid of equal cells, row by row.
template <std::size_t N>
constexpr std::array<SkinItemLayout, N> grid(std::int32_t anchor, std::int32_t x, std::int32_t y,
                                             std::int32_t columns, std::int32_t cx, std::int32_t cy,
                                             std::int32_t gap) {
    std::array<SkinItemLayout, N> cells{};
    for (std::size_t i = 0; i < N; ++i) {
        const auto column = static_cast<std::int32_t>(i) % columns;
        const auto row = static_cast<std::int32_t>(i) / columns;
        cells[i] = {anchor, x + column * (cx + gap), y + row * (cy + gap), cx, cy, 1};
    }
    return cells;
}

constexpr auto kMainButtons = grid<17>(2, 10, 40, 17, 38, 30, 4); // one row along the bottom
constexpr auto kTvKeys = grid<15>(0, 10, 40, 3, 50, 34, 5);
constexpr auto kRemoteKeys = grid<36>(0, 8, 30, 4, 38, 26, 4);
constexpr std::array<std::int32_t, 13> kValuesA{};
constexpr std::array<std::int32_t, 13> kValuesB{};
constexpr std::array<std::int32_t, 4> kVideoBoxSizes{352, 288, 720, 576};
constexpr std::array<std::int32_t, 12> kSliders{3, 150, 40, 100, 12, 1, 2, 10, 70, 500, 12, 1};

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
    m_skinValuesA = kValuesA;
    m_skinValuesB = kValuesB;
    m_videoBoxSizes = kVideoBoxSizes;
    m_sliderLayouts = kSliders;
    m_tvKeys = kTvKeys;
    m_remoteKeys = kRemoteKeys;
}
