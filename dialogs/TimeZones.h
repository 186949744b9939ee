// The box's 75 time zones, by the index the box uses: their names in the program's languages (English
// first, then Deutsch), each its offset token, a blank and the zone's places. The box takes the index and
// the token of the English name, whatever language shows the list.
#pragma once

#include <span>
#include <string>

constexpr int kTimeZoneCount = 75;

// The names in the language of the index; none for a language without them.
std::span<const wchar_t* const> TimeZoneNames(int languageIndex);
// The first blank-separated word of the zone's English name; empty for an index outside 0..74.
std::wstring TimeZoneToken(int zone);
