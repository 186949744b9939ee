// Skins: the layout records (held in the configuration) and the bitmaps (held here) of the skinned windows,
// read from a skin folder's "skin.ini" or taken from the built-in skin. Eight skins are known by number;
// the "Skin" setting picks one.
#pragma once

#include "config/AppConfig.h"
#include "platform/mfc/Dc.h"

#include <array>
#include <string>

enum SkinWindow { kSkinMain = 0, kSkinFile = 1, kSkinLogin = 2, kSkinTvPane = 3, kSkinRemotePane = 4 };
enum SkinPicture { kPicBackground = 0, kPicNormal = 1, kPicHover = 2, kPicHit = 3, kPicDisable = 4 };
enum SkinExt { kExtSource = 0, kExtMax = 1, kExtMute = 2, kExtRecord = 3, kExtFavorite = 4, kExtLogin = 5 };

constexpr int kSkinCount = 8;

// The bitmaps of a skin: five per window (background and the four state pictures its buttons' frames are
// cut from) and the six second pictures. A bitmap that could not be loaded is null.
struct SkinBitmaps {
    std::array<std::array<CBitmap, 5>, 5> windows;
    std::array<CBitmap, 6> ext;
};

// ".\skins\<folder>\skin.ini" of skin number n; a number outside 0..7 is skin 0.
std::wstring SkinPath(int skinNumber);
int ClampSkinNumber(int skinNumber);

// A skin is usable when its file exists and has a "MainWnd" section.
bool IsSkinUsable(const std::wstring& path);

// Reads the skin file into the configuration's layouts and the bitmaps (those beside the file). A skin that
// is not usable gives the built-in skin instead (layouts and the program's own bitmaps). Returns 1.
int LoadSkinFile(const std::wstring& path, KQ_AppConfig& config, SkinBitmaps& bitmaps);
// The built-in skin's bitmaps, by the resource ids of the configuration's built-in skin.
void LoadBuiltInSkinBitmaps(const KQ_AppConfig& config, SkinBitmaps& bitmaps);
void FreeSkinBitmaps(SkinBitmaps& bitmaps);

// Where a layout puts its control in a parent client area of width x height.
CRect PlaceLayout(const SkinItemLayout& layout, int width, int height);
