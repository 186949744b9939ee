// Committed x264 streams with the hashes of libavcodec's decode, so the core of the conformance test
// runs without x264 and ffmpeg: all-intra at every QP, P partitions with three references, weighted
// prediction on a fade, a cropped picture of many small slices, and the box's own stream fixture (720x288
// field pictures with the field-pair SEI), also with the pictures handed out in place. The list names each
// stream relative to the fixtures folder.
#include "tests/h264/DecodeHelpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace h264test;

namespace {

TEST(FixtureStreams, BitExactWithBothKernelSetsAndAnyChunking) {
    std::ifstream list(std::string(VELOQ_FIXTURES_DIR) + "/h264/expected.md5");
    std::string name, md5;
    int streams = 0;
    while (list >> name >> md5) {
        const std::vector<uint8_t> stream = readFile(std::string(VELOQ_FIXTURES_DIR) + "/" + name);
        ASSERT_FALSE(stream.empty()) << name;
        for (unsigned level : {2u, 4u})
            EXPECT_EQ(md5Hex(decodeStream(stream, smallConfig(), level).frames), md5) << name << " " << level;
        EXPECT_EQ(md5Hex(decodeStream(stream, smallConfig(), 2, 97).frames), md5) << name << " in pieces";
        // The frame buffers handed out in place: the same pictures in the same order.
        EXPECT_EQ(md5Hex(decodeStream(stream, smallConfig(16, H264_FLAG_IN_PLACE_OUTPUT), 4).frames), md5)
            << name << " in place";
        ++streams;
    }
    EXPECT_EQ(streams, 5);
}

} // namespace
