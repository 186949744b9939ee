// One entry of a channel table (a "*.tlb" file, read and written by the configuration).
#pragma once

#include <cstdint>
#include <string>

struct KQ_UI_FRQ_TABLE_ITEM {
    std::int32_t isFavourite = 0; // 0 or 1
    std::wstring name;
    std::int32_t channel = 0;
    std::uint32_t frequency = 0; // in 1/16 MHz, as the set-channel request carries it
};
