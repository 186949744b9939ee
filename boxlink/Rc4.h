// The RC4 stream cipher that hides the login's user name and password on the wire.
#pragma once

#include "platform/win32/Types.h"

#include <cstddef>
#include <string_view>
#include <vector>

// The key of the login fields.
inline constexpr std::string_view kLoginKey = "pavlent";

// The n input bytes enciphered with a fresh key schedule over the key's bytes (deciphering is the same
// call). An empty key leaves the bytes as they are.
std::vector<BYTE> Rc4Crypt(std::string_view key, const BYTE* input, std::size_t n);
