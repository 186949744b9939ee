// Bit-exactness against libavcodec on streams that x264 makes at test time from ffmpeg's lavfi sources.
// Each stream is one test case (so ctest runs them in parallel) and is decoded by h264dec with both
// kernel sets. Streams are small: the whole matrix stays a small share of the CI budget.
#include "tools/h264dec/Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Stream {
    const char* name;
    const char* source; // lavfi graph; {W} and {H} stand for the size
    int width, height, frames;
    std::string x264;
    bool asTheBoxSends = false; // through stream-fixture: the field-pair SEI, 4-byte start codes
};

const std::string kBaseline = "--profile baseline ";
const std::string kMain = "--profile main --no-cabac --bframes 0 ";
const std::string kIntra = kBaseline + "--keyint 1 --ipratio 1 ";

const char* kTest = "testsrc2=size={W}x{H}:rate=25";
const char* kPan = "testsrc2=size=480x360:rate=25,crop={W}:{H}:x='mod(n*7,200)':y='mod(n*5,150)'";
const char* kPanSd = "testsrc2=size=960x720:rate=25,crop={W}:{H}:x='mod(n*9,200)':y='mod(n*5,140)'";
const char* kMandel = "mandelbrot=size={W}x{H}:rate=25";
const char* kFade = "testsrc2=size={W}x{H}:rate=25,fade=in:0:12";
const char* kStill = "smptebars=size={W}x{H}:rate=25";
const char* kFields = "testsrc2=size={W}x{H}:rate=50";
const std::string kFieldPictures =
    kBaseline + "--keyint 16 --min-keyint 16 --no-scenecut --slice-max-size 1900 ";

const Stream kStreams[] = {
    // All intra: every QP, deblocking parameters, slices, chroma offsets, sizes and crops.
    {"IntraQpSweep", kMandel, 64, 48, 51, kIntra + "--qpfile {QPFILE}"},
    {"IntraQpSweepNoDeblock", kMandel, 64, 48, 51, kIntra + "--no-deblock --qpfile {QPFILE}"},
    {"IntraDeblockLow", kTest, 96, 64, 3, kIntra + "--qp 36 --deblock -6:-6"},
    {"IntraDeblockHigh", kTest, 96, 64, 3, kIntra + "--qp 30 --deblock 6:6"},
    {"IntraDeblockMixed", kTest, 96, 64, 3, kIntra + "--qp 44 --deblock -3:5"},
    {"IntraSlicedThreads", kTest, 128, 96, 3, kIntra + "--qp 32 --threads 4 --sliced-threads"},
    {"IntraSlices", kTest, 96, 64, 3, kIntra + "--qp 28 --slices 3"},
    {"IntraSliceMaxMbs", kTest, 96, 64, 3, kIntra + "--qp 28 --slice-max-mbs 5"},
    {"IntraChromaOffsetLow", kTest, 64, 64, 3, kIntra + "--qp 30 --no-psy --chroma-qp-offset -12"},
    {"IntraChromaOffsetHigh", kTest, 64, 64, 3, kIntra + "--qp 30 --no-psy --chroma-qp-offset 12"},
    {"IntraSmallest", kTest, 32, 32, 3, kIntra + "--qp 20"},
    {"IntraCropped", kTest, 50, 34, 3, kIntra + "--qp 24"},
    {"IntraCropLeftTop", kTest, 80, 64, 3, kIntra + "--qp 24 --crop-rect 6,4,2,0"},
    {"IntraSd", kMandel, 720, 576, 2, kIntra + "--qp 26"},
    {"IntraMain", kTest, 96, 64, 3, kMain + "--keyint 1 --ipratio 1 --qp 22"},
    // P pictures: partitions, references, motion, skips, slices, weights, intra refresh.
    {"PNoPartitions", kPan, 96, 64, 12, kBaseline + "--partitions none --subme 7"},
    {"PPartitions8x8", kPan, 96, 64, 12, kBaseline + "--partitions p8x8 --subme 8"},
    {"PPartitions4x4", kPan, 96, 64, 12, kBaseline + "--partitions p8x8,p4x4 --subme 9"},
    {"PRef2", kPan, 96, 64, 12, kBaseline + "--ref 2 --partitions p8x8,p4x4"},
    {"PRef3NoMixed", kPan, 96, 64, 12, kBaseline + "--ref 3 --no-mixed-refs"},
    {"PRef16Mixed", kPan, 96, 64, 20, kBaseline + "--ref 16 --mixed-refs --partitions p8x8,p4x4"},
    {"PStillSkips", kStill, 96, 64, 8, kBaseline + "--qp 30"},
    {"PDeblockOffsets", kPan, 96, 64, 10, kBaseline + "--deblock -4:3 --qp 34"},
    {"PNoDeblock", kPan, 96, 64, 10, kBaseline + "--no-deblock"},
    {"PSlicedThreads", kPan, 128, 96, 8, kBaseline + "--threads 4 --sliced-threads"},
    {"PSliceMaxSize", kPan, 128, 96, 8, kBaseline + "--slice-max-size 200"},
    {"PSlices", kPan, 96, 64, 8, kBaseline + "--slices 4"},
    {"PIntraRefresh", kPan, 96, 64, 16, kBaseline + "--intra-refresh --constrained-intra --keyint 8"},
    {"PWeighted1", kFade, 96, 64, 12, kMain + "--weightp 1"},
    {"PWeighted2", kFade, 96, 64, 12, kMain + "--weightp 2 --ref 3"},
    {"PQpHigh", kPan, 96, 64, 8, kBaseline + "--ipratio 1 --qp 50"},
    {"PQpLow", kPan, 96, 64, 6, kBaseline + "--ipratio 1 --qp 4"},
    {"PChromaOffset", kPan, 96, 64, 8, kBaseline + "--no-psy --chroma-qp-offset 9"},
    {"PCropped", kPan, 90, 58, 8, kBaseline + "--ref 2"},
    {"PSd", kPanSd, 720, 576, 3, kBaseline + "--bitrate 4000"},
    {"PLongGop", kPan, 48, 32, 60, kBaseline + "--keyint 30 --ref 4"},
    // Field pictures as the box sends them: 720x288, every picture a reference, the private SEI.
    {"FieldPictures", kFields, 720, 288, 20, kFieldPictures + "--bitrate 1500", true},
    {"FieldPicturesRef2", kFields, 720, 288, 20, kFieldPictures + "--ref 2 --qp 30", true},
};

std::string replaced(std::string s, const std::string& key, const std::string& value) {
    for (size_t at; (at = s.find(key)) != std::string::npos;)
        s.replace(at, key.size(), value);
    return s;
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string fileMd5(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Md5 md5;
    md5.update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return md5.hexDigest();
}

std::string firstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Names the stream in test listings.
void PrintTo(const Stream& s, std::ostream* out) {
    *out << s.name;
}

class Conformance : public testing::TestWithParam<Stream> {};

TEST_P(Conformance, MatchesLibavcodec) {
    if (!run("command -v x264 >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1"))
        GTEST_SKIP() << "x264 or ffmpeg is not installed";
    const Stream& s = GetParam();
    const fs::path dir = fs::path(VELOQ_H264_WORK_DIR) / s.name;
    fs::create_directories(dir);
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const std::string source =
        replaced(replaced(s.source, "{W}", std::to_string(s.width)), "{H}", std::to_string(s.height));
    {
        std::ofstream qp(dir / "qpfile");
        for (int i = 0; i < s.frames; ++i)
            qp << i << " I " << (i % 51) + 1 << "\n";
    }
    const std::string x264 = replaced(s.x264, "{QPFILE}", (dir / "qpfile").string());
    const std::string d = "'" + dir.string() + "/";
    ASSERT_TRUE(run("ffmpeg -v error -y -f lavfi -i \"" + source + "\" -frames:v " +
                    std::to_string(s.frames) + " -pix_fmt yuv420p -f rawvideo " + d + "src.yuv'"));
    ASSERT_TRUE(run("x264 --quiet " + x264 + " --input-res " + size + " --fps 25 -o " + d + "s.264' " + d +
                    "src.yuv' 2>/dev/null"));
    if (s.asTheBoxSends) {
        ASSERT_TRUE(run(std::string("'") + VELOQ_TOOLS_DIR + "/stream-fixture' video " + d + "s.264' " + d +
                        "box.264'"));
        fs::rename(dir / "box.264", dir / "s.264");
    }
    ASSERT_TRUE(run("ffmpeg -v error -y -flags unaligned -i " + d +
                    "s.264' -fps_mode passthrough -f rawvideo " + "-pix_fmt yuv420p " + d + "ref.yuv'"));
    const std::string expected = fileMd5(dir / "ref.yuv");
    const std::string tool = std::string("'") + VELOQ_TOOLS_DIR + "/h264dec' ";
    for (const char* set : {"", "--portable "}) {
        ASSERT_TRUE(run(tool + set + "--md5 " + d + "s.264' > " + d + "ours.md5' 2>/dev/null"));
        EXPECT_EQ(firstLine(dir / "ours.md5"), expected) << s.name << " " << set;
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Streams, Conformance, testing::ValuesIn(kStreams),
                         [](const testing::TestParamInfo<Stream>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
