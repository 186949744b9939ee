// The scan range of a country: the country table's PAL list is searched first, then its M/N list.
#pragma once

#include <cstdint>

// Writes the country's low and high scan frequencies (1/16 MHz); leaves both untouched for an unknown code.
void LookupCountryScanRange(std::int32_t country, std::int32_t* low, std::int32_t* high);
