// Layout records of the skinned windows: the skin loader fills them from a skin file, the built-in skin
// from built-in tables; the windows place their controls by them.
#pragma once

#include <cstdint>
#include <string>

struct SkinItemLayout {
    std::int32_t anchor =
        0; // corner the position counts from: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    std::int32_t state = 0;
};

struct TextLabelLayout {
    std::int32_t anchor = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    std::int32_t state = 0;
    std::uint32_t colour = 0; // 0x00BBGGRR
    std::wstring text;
};
