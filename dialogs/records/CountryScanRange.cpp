#include "dialogs/records/CountryScanRange.h"

#include <array>
#include <span>

namespace {

struct CountryScanRow {
    std::int32_t country;
    std::int32_t low;  // 1/16 MHz
    std::int32_t high; // 1/16 MHz
};

// The rows come with the channel page's country table; until then no code is known.
constexpr std::array<CountryScanRow, 0> kPalCountries{};
constexpr std::array<CountryScanRow, 0> kMnCountries{};

bool lookup(std::span<const CountryScanRow> rows, std::int32_t country, std::int32_t* low,
            std::int32_t* high) {
    for (const CountryScanRow& row : rows) {
        if (row.country == country) {
            *low = row.low;
            *high = row.high;
            return true;
        }
    }
    return false;
}

} // namespace

void LookupCountryScanRange(std::int32_t country, std::int32_t* low, std::int32_t* high) {
    if (!lookup(kPalCountries, country, low, high))
        lookup(kMnCountries, country, low, high);
}
