#include "dialogs/records/CountryScanRange.h"

#include <array>

namespace {

// Band edges in MHz, as the tuner takes them (1/16 MHz).
constexpr std::int32_t mhz(int v) {
    return v * 16;
}

constexpr std::int32_t kBg = TV_SYSTEM_PAL_BG;
constexpr std::int32_t kI = TV_SYSTEM_PAL_I;
constexpr std::int32_t kDk = TV_SYSTEM_PAL_DK;

// Bands I to V of the PAL countries, from the lowest channel of band I (or the first band the country
// uses) to the top of band V; then the 60 Hz countries from channel 2 (Japan: channel 1) to the top of
// their UHF band.
constexpr std::array<CountryRow, 45> kCountries{{
    {20, L"Egypt", kBg, mhz(45), mhz(863)},
    {27, L"South Africa", kI, mhz(170), mhz(862)},
    {30, L"Greece", kBg, mhz(45), mhz(863)},
    {31, L"Netherlands", kBg, mhz(45), mhz(863)},
    {32, L"Belgium", kBg, mhz(45), mhz(863)},
    {34, L"Spain", kBg, mhz(45), mhz(863)},
    {36, L"Hungary", kDk, mhz(48), mhz(862)},
    {39, L"Italy", kBg, mhz(45), mhz(863)},
    {40, L"Romania", kDk, mhz(48), mhz(862)},
    {41, L"Switzerland", kBg, mhz(45), mhz(863)},
    {43, L"Austria", kBg, mhz(45), mhz(863)},
    {44, L"United Kingdom", kI, mhz(470), mhz(862)},
    {45, L"Denmark", kBg, mhz(45), mhz(863)},
    {46, L"Sweden", kBg, mhz(45), mhz(863)},
    {47, L"Norway", kBg, mhz(45), mhz(863)},
    {48, L"Poland", kDk, mhz(48), mhz(862)},
    {49, L"Germany", kBg, mhz(45), mhz(863)},
    {60, L"Malaysia", kBg, mhz(45), mhz(863)},
    {61, L"Australia", kBg, mhz(44), mhz(820)},
    {62, L"Indonesia", kBg, mhz(45), mhz(863)},
    {64, L"New Zealand", kBg, mhz(44), mhz(820)},
    {65, L"Singapore", kBg, mhz(45), mhz(863)},
    {66, L"Thailand", kBg, mhz(45), mhz(863)},
    {84, L"Vietnam", kDk, mhz(48), mhz(862)},
    {86, L"China", kDk, mhz(48), mhz(958)},
    {90, L"Turkey", kBg, mhz(45), mhz(863)},
    {91, L"India", kBg, mhz(45), mhz(863)},
    {92, L"Pakistan", kBg, mhz(45), mhz(863)},
    {94, L"Sri Lanka", kBg, mhz(45), mhz(863)},
    {213, L"Algeria", kBg, mhz(45), mhz(863)},
    {233, L"Ghana", kBg, mhz(45), mhz(863)},
    {234, L"Nigeria", kBg, mhz(45), mhz(863)},
    {249, L"Sudan", kBg, mhz(45), mhz(863)},
    {254, L"Kenya", kBg, mhz(45), mhz(863)},
    // M/N
    {1, L"United States, Canada", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {51, L"Peru", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {52, L"Mexico", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {54, L"Argentina", TV_SYSTEM_PAL_N, mhz(54), mhz(806)},
    {55, L"Brazil", TV_SYSTEM_PAL_M, mhz(54), mhz(806)},
    {56, L"Chile", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {57, L"Colombia", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {58, L"Venezuela", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {63, L"Philippines", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
    {81, L"Japan", TV_SYSTEM_NTSC_M, mhz(90), mhz(770)},
    {82, L"South Korea", TV_SYSTEM_NTSC_M, mhz(54), mhz(806)},
}};
constexpr std::size_t kPalRows = 34;
static_assert(kCountries.size() - kPalRows == 11);

} // namespace

std::span<const CountryRow> CountryTable() {
    return kCountries;
}

const CountryRow* FindCountry(std::int32_t country) {
    for (const CountryRow& row : kCountries)
        if (row.country == country)
            return &row;
    return nullptr;
}

void LookupCountryScanRange(std::int32_t country, std::int32_t* low, std::int32_t* high,
                            std::int32_t* tvSystem) {
    const CountryRow* row = FindCountry(country);
    if (!row)
        return;
    *low = row->low;
    *high = row->high;
    if (tvSystem)
        *tvSystem = row->tvSystem;
}
