// The MP4 demultiplexer's own readers of file data: the avcC record and length-prefixed samples. The first
// byte picks the NAL length size of the sample reading.
#include "platform/dshow/AvcSamples.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    platform::dshow::AvcConfig config;
    platform::dshow::ParseAvcConfig(bytes, &config);
    if (!bytes.empty()) {
        std::vector<std::uint8_t> out;
        platform::dshow::AppendAnnexB(bytes.subspan(1), (bytes[0] & 3) + 1, &out);
    }
    return 0;
}
