#include "app/SkinLoader.h"

#include "platform/win32/Paths.h"
#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include <vector>

namespace {

constexpr const wchar_t* kSkinFolders[kSkinCount] = {L"Gray",   L"Green", L"Orange", L"Pink",
                                                     L"Purple", L"Blue1", L"Blue2",  L"Blue3"};
constexpr const wchar_t* kWindowSections[5] = {L"MainWnd", L"FileWnd", L"LoginWnd", L"TV_RM_Wnd",
                                               L"AV_RM_Wnd"};
constexpr const wchar_t* kPictureKeys[5] = {L"background", L"normal", L"hover", L"hit", L"disable"};
constexpr const wchar_t* kMainButtons[17] = {
    L"min",   L"resize", L"max",    L"record", L"capture", L"open", L"mts",      L"setting", L"login_dis",
    L"cv_sv", L"mute",   L"source", L"play",   L"speed",   L"stop", L"back_off", L"pause"};
constexpr const wchar_t* kExtSections[6] = {L"source_ext", L"max_ext",      L"mute_ext",
                                            L"record_ext", L"favorite_ext", L"login_ext"};
constexpr const wchar_t* kTvKeys[15] = {L"TV_1",    L"TV_2",     L"TV_3",   L"TV_4",   L"TV_5",
                                        L"TV_6",    L"TV_7",     L"TV_8",   L"TV_9",   L"TV_0",
                                        L"TV_last", L"TV_enter", L"TV_fav", L"TV_dec", L"TV_inc"};
constexpr const wchar_t* kRemoteKeys[36] = {
    L"av_fresh", L"av_enter",   L"av_up",   L"av_ok",     L"av_down",    L"av_left",
    L"av_right", L"av_vol_inc", L"av_mute", L"av_ch_inc", L"av_vol_dec", L"av_ch_dec",
    L"av_play",  L"av_pause",   L"av_stop", L"av_record", L"av_last",    L"av_back",
    L"av_speed", L"av_next",    L"av_menu", L"av_power",  L"av_a",       L"av_b",
    L"av_c",     L"av_d",       L"av_1",    L"av_2",      L"av_3",       L"av_4",
    L"av_5",     L"av_6",       L"av_7",    L"av_8",      L"av_9",       L"av_0"};

class SkinFile {
public:
    explicit SkinFile(const std::wstring& path) : path_(path) {
        const std::size_t cut = path.rfind(L'\\');
        folder_ = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
    }
    std::int32_t integer(const wchar_t* section, const std::wstring& key) const {
        return static_cast<std::int32_t>(GetPrivateProfileIntW(section, key.c_str(), 0, path_.c_str()));
    }
    SkinItemLayout layout(const wchar_t* section, const std::wstring& suffix = {}) const {
        return SkinItemLayout{integer(section, L"origin" + suffix), integer(section, L"x" + suffix),
                              integer(section, L"y" + suffix),      integer(section, L"cx" + suffix),
                              integer(section, L"cy" + suffix),     integer(section, L"state" + suffix)};
    }
    void label(const wchar_t* section, TextLabelLayout& label) const {
        const SkinItemLayout l = layout(section);
        label.anchor = l.anchor;
        label.x = l.x;
        label.y = l.y;
        label.cx = l.cx;
        label.cy = l.cy;
        label.state = l.state;
    }
    std::wstring name(const wchar_t* section, const wchar_t* key) const {
        std::vector<wchar_t> buffer(512, L'\0');
        const DWORD n = GetPrivateProfileStringW(section, key, L"", buffer.data(), 512, path_.c_str());
        return std::wstring(buffer.data(), n);
    }
    // The bitmap a key names, beside the skin file; false when the key is empty.
    bool bitmap(const wchar_t* section, const wchar_t* key, CBitmap& out) const {
        out.DeleteObject();
        const std::wstring file = name(section, key);
        if (file.empty())
            return false;
        out.LoadFromFile(folder_ + file);
        return true;
    }

private:
    std::wstring path_;
    std::wstring folder_;
};

} // namespace

int ClampSkinNumber(int skinNumber) {
    return skinNumber >= 0 && skinNumber < kSkinCount ? skinNumber : 0;
}

std::wstring SkinPath(int skinNumber) {
    return std::wstring(L".\\skins\\") + kSkinFolders[ClampSkinNumber(skinNumber)] + L"\\skin.ini";
}

bool IsSkinUsable(const std::wstring& path) {
    if (!PathFileExistsW(path.c_str()))
        return false;
    std::vector<wchar_t> names(8192, L'\0');
    const DWORD n = GetPrivateProfileStringW(nullptr, nullptr, L"", names.data(), 8192, path.c_str());
    for (std::size_t at = 0; at < n && names[at] != L'\0';) {
        const std::wstring section(&names[at]);
        if (platform::EqualsNoCase(section, L"MainWnd"))
            return true;
        at += section.size() + 1;
    }
    return false;
}

void FreeSkinBitmaps(SkinBitmaps& bitmaps) {
    for (auto& window : bitmaps.windows)
        for (CBitmap& b : window)
            b.DeleteObject();
    for (CBitmap& b : bitmaps.ext)
        b.DeleteObject();
}

void LoadBuiltInSkinBitmaps(const KQ_AppConfig& config, SkinBitmaps& bitmaps) {
    FreeSkinBitmaps(bitmaps);
    for (std::size_t w = 0; w < bitmaps.windows.size(); ++w)
        for (std::size_t p = 0; p < 5; ++p)
            bitmaps.windows[w][p].LoadBitmap(static_cast<UINT>(config.m_skinWindows[w].bitmapResources[p]));
    for (std::size_t e = 0; e < bitmaps.ext.size(); ++e)
        bitmaps.ext[e].LoadBitmap(static_cast<UINT>(config.m_skinExtBitmaps[e]));
}

int LoadSkinFile(const std::wstring& path, KQ_AppConfig& config, SkinBitmaps& bitmaps) {
    if (!IsSkinUsable(path)) {
        config.LoadBuiltInSkin();
        LoadBuiltInSkinBitmaps(config, bitmaps);
        return 1;
    }
    const SkinFile skin(path);
    config.m_skinFromFiles = 1;
    // The labels' colour and text are the configuration's; labels never built take the built-in ones.
    if (config.m_clockLabel.text.empty() || config.m_infoBarLabel.text.empty()) {
        KQ_AppConfig defaults;
        defaults.CopyDefaultSkinLayouts();
        for (auto [label, from] : {std::pair{&config.m_clockLabel, &defaults.m_clockLabel},
                                   std::pair{&config.m_infoBarLabel, &defaults.m_infoBarLabel}})
            if (label->text.empty()) {
                label->colour = from->colour;
                label->text = from->text;
            }
    }
    for (std::size_t w = 0; w < 5; ++w)
        config.m_skinWindows[w].layout = skin.layout(kWindowSections[w]);
    for (std::size_t b = 0; b < 17; ++b)
        config.m_mainButtons[b] = skin.layout(kMainButtons[b]);
    skin.label(L"timer", config.m_clockLabel);
    skin.label(L"infobar", config.m_infoBarLabel);
    config.m_volumeSlider = {skin.layout(L"slider_vol", L"1"), skin.layout(L"slider_vol", L"2")};
    config.m_fileSlider = {skin.layout(L"slider_file", L"1"), skin.layout(L"slider_file", L"2")};
    config.m_videoBoxSizes = {skin.integer(L"video_box", L"cx1"), skin.integer(L"video_box", L"cy1"),
                              skin.integer(L"video_box", L"cx2"), skin.integer(L"video_box", L"cy2")};
    config.m_loginButton = skin.layout(L"login_btn");
    skin.bitmap(L"login_ext", L"background", bitmaps.ext[kExtLogin]);
    for (std::size_t k = 0; k < 15; ++k)
        config.m_tvKeys[k] = skin.layout(kTvKeys[k]);
    for (std::size_t k = 0; k < 36; ++k)
        config.m_remoteKeys[k] = skin.layout(kRemoteKeys[k]);
    for (std::size_t w = 0; w < 5; ++w)
        for (std::size_t p = 0; p < 5; ++p)
            skin.bitmap(kWindowSections[w], kPictureKeys[p], bitmaps.windows[w][p]);
    // The group stops at the first empty name; the login picture has been read on its own above.
    for (std::size_t e = 0; e < kExtLogin; ++e)
        if (!skin.bitmap(kExtSections[e], L"background", bitmaps.ext[e])) {
            for (std::size_t rest = e + 1; rest < kExtLogin; ++rest)
                bitmaps.ext[rest].DeleteObject();
            break;
        }
    return 1;
}

CRect PlaceLayout(const SkinItemLayout& layout, int width, int height) {
    const int left = (layout.anchor == 1 || layout.anchor == 3) ? width - layout.x : layout.x;
    const int top = (layout.anchor == 2 || layout.anchor == 3) ? height - layout.y : layout.y;
    return CRect(left, top, left + layout.cx, top + layout.cy);
}
