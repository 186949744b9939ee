// The decoders the benchmark compares: each decodes a whole Annex B stream and answers the pictures it
// produced. Our decoder uses the chosen kernel level.
#pragma once

#include <cstdint>
#include <vector>

int decodeOurs(const std::vector<uint8_t>& stream, unsigned level);
int decodeLibavcodec(const std::vector<uint8_t>& stream);
int decodeOpenH264(const std::vector<uint8_t>& stream);
