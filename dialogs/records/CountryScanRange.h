// The country table of the channel page and the login: the countries the box's tuner knows, by their
// international dialling code (the code the box takes, one byte), with their TV system and the low and high
// ends of their broadcast bands, which bound a channel scan. The PAL list comes first, then the M/N list.
#pragma once

#include <cstdint>
#include <span>

// The TV system of a country, as the login hands it to the box.
enum CountryTvSystem : std::int32_t {
    TV_SYSTEM_PAL_BG = 0,
    TV_SYSTEM_PAL_I = 1,
    TV_SYSTEM_PAL_DK = 2,
    TV_SYSTEM_NTSC_M = 3,
    TV_SYSTEM_PAL_M = 4,
    TV_SYSTEM_PAL_N = 5,
};

struct CountryRow {
    std::int32_t country;  // international dialling code, 1..255
    const wchar_t* name;   // English
    std::int32_t tvSystem; // CountryTvSystem
    std::int32_t low;      // 1/16 MHz
    std::int32_t high;     // 1/16 MHz
};

// The 34 PAL rows, then the 11 M/N rows.
std::span<const CountryRow> CountryTable();
// The row of the code (the PAL list searched first), or null.
const CountryRow* FindCountry(std::int32_t country);

// Writes the country's low and high scan frequencies (1/16 MHz) and, when asked, its TV system; leaves the
// outputs untouched for an unknown code.
void LookupCountryScanRange(std::int32_t country, std::int32_t* low, std::int32_t* high,
                            std::int32_t* tvSystem = nullptr);
