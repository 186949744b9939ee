// What "KQ Video Decode" makes of pictures: field pairs and frames in both output formats against ffmpeg's
// decode joined by our deinterlacer and packed as the live path packs them; pictures whose kind and size
// change within one stream; a frame followed by a first field in one input; samples smaller than a picture,
// a pitch too large for the 2 MB packing buffer, fields the deinterlacer refuses, and rows of a width that
// is not a multiple of 16.
#include "DecodeFilterFixture.h"
#include "TestSample.h"

#include "tests/support/PictureReference.h"
#include "tests/support/fakes/TempFolder.h"

#include <string>
#include <vector>

namespace {

using picref::Bytes;

const std::string kFixtures = VELOQ_FIXTURES_DIR;

bool haveTools() {
    return picref::run("ffmpeg -version >/dev/null 2>&1 && x264 --version >/dev/null 2>&1");
}

// The filter's outputs for the inputs, in order: the bytes of every sample it delivered.
std::vector<Bytes> transformAll(TessaneFilter& filter, const std::vector<Bytes>& inputs, LONG capacity) {
    std::vector<Bytes> outputs;
    for (const Bytes& unit : inputs) {
        TestSample in(unit), out(static_cast<size_t>(capacity));
        const HRESULT hr = filter.Transform(&in, &out);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
        EXPECT_TRUE(out.guardIntact());
        if (hr == S_OK)
            outputs.push_back(out.data());
    }
    return outputs;
}

// A segment of a stream and the pictures a player shows of it.
struct Segment {
    Bytes stream;
    std::vector<Bytes> planar; // frames: ffmpeg's pictures, or its field pairs joined
    int width = 0;
    int lines = 0;
};

Segment segment(const TempFolder& folder, const std::string& name, Bytes stream, int width, int height,
                bool fields) {
    Segment s;
    s.width = width;
    s.lines = fields ? 2 * height : height;
    const std::string path = (folder / (name + ".264")).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    const std::vector<Bytes> pictures =
        picref::ffmpegPictures(path, (folder / (name + ".yuv")).string(), width, height);
    s.planar = fields ? picref::joinFieldPairs(pictures, width, height) : pictures;
    s.stream = std::move(stream);
    return s;
}

// The packed pictures a run of segments shows, less the last (a picture comes out one input later).
std::vector<Bytes> expectedOutputs(const std::vector<Segment>& segments, bool uyvy, int pitch) {
    std::vector<Bytes> expected;
    for (const Segment& s : segments)
        for (const Bytes& frame : s.planar) {
            Bytes packed = picref::pack(frame, s.width, s.lines, uyvy, pitch);
            packed.resize(static_cast<size_t>(pitch) * s.lines); // the filter writes pitch x lines in both
            expected.push_back(std::move(packed));
        }
    if (!expected.empty())
        expected.pop_back();
    return expected;
}

std::vector<Bytes> inputsOf(const std::vector<Segment>& segments) {
    std::vector<Bytes> inputs;
    for (const Segment& s : segments)
        for (Bytes& unit : picref::accessUnits(s.stream))
            inputs.push_back(std::move(unit));
    return inputs;
}

// Compares picture by picture, naming the first that differs.
void expectPictures(const std::vector<Bytes>& got, const std::vector<Bytes>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].size(), expected[i].size()) << "picture " << i;
        ASSERT_TRUE(got[i] == expected[i]) << "picture " << i << " differs";
    }
}

class TessaneDecodeTest : public DecodeFilterFixture {
protected:
    void SetUp() override {
        if (!haveTools())
            GTEST_SKIP() << "ffmpeg or x264 is not installed";
    }
    // A filter whose input announces the first segment's frame and whose output packs in `format`.
    TessaneFilter& filterFor(int width, int lines, int format) {
        input_ = h264Type(width, lines);
        make(&input_);
        choose(format);
        return *filter_;
    }
    TempFolder folder_;
    CMediaType input_;
};

// The box's field pairs (the stream fixture, 720 x 288 fields) and progressive frames (the recorder
// fixture, 96 x 64), UYVY at the probed pitch and YUY2.
TEST_F(TessaneDecodeTest, FieldPairsAndFramesInBothFormats) {
    const Segment fields =
        segment(folder_, "fields", picref::readFile(kFixtures + "/stream/video.264"), 720, 288, true);
    const Segment frames =
        segment(folder_, "frames", picref::readFile(kFixtures + "/recorder/stream.264"), 96, 64, false);
    ASSERT_EQ(fields.planar.size(), 40u);
    ASSERT_EQ(frames.planar.size(), 40u);
    struct Row {
        const char* name;
        const Segment* segment;
        int format;
        int pitch;
    };
    const Row rows[] = {{"fields, UYVY", &fields, 0, 1472},
                        {"fields, YUY2", &fields, 1, 1472},
                        {"frames, UYVY", &frames, 0, 192},
                        {"frames, YUY2", &frames, 1, 192}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TessaneFilter& filter = filterFor(row.segment->width, row.segment->lines, row.format);
        const std::vector<Bytes> got = transformAll(filter, inputsOf({*row.segment}), 2 * 1024 * 1024);
        expectPictures(got, expectedOutputs({*row.segment}, row.format == 0, row.pitch));
        EXPECT_EQ(filter.Decoder()->Pitch(), static_cast<DWORD>(row.pitch));
        source_->pin(0)->Disconnect();
        filter.GetPin(0)->Disconnect();
    }
}

// Field pairs, then frames, then field pairs of another size, then the first size again, in one stream:
// each picture is right, nothing is written past a buffer.
TEST_F(TessaneDecodeTest, KindAndSizeChangeWithinAStream) {
    const auto made = [&](const char* name, int w, int h, int pictures, bool fields) {
        return segment(
            folder_, name,
            picref::makeStream((folder_ / (std::string(name) + ".264")).string(), w, h, pictures, fields), w,
            h, fields);
    };
    const std::vector<Segment> segments = {made("wide", 256, 96, 8, true), made("frames", 96, 64, 5, false),
                                           made("narrow", 160, 64, 6, true), made("again", 256, 96, 4, true)};
    for (const Segment& s : segments)
        ASSERT_FALSE(s.planar.empty());
    for (int format : {0, 1}) {
        SCOPED_TRACE(format == 0 ? "UYVY" : "YUY2");
        TessaneFilter& filter = filterFor(256, 192, format);
        const std::vector<Bytes> got = transformAll(filter, inputsOf(segments), 2 * 1024 * 1024);
        expectPictures(got, expectedOutputs(segments, format == 0, 512));
        source_->pin(0)->Disconnect();
        filter.GetPin(0)->Disconnect();
    }
}

// The output packs in the format of the type it connected with, however its types are enumerated later.
TEST_F(TessaneDecodeTest, TheConnectionsTypeDecidesThePacking) {
    const Segment frames =
        segment(folder_, "frames", picref::readFile(kFixtures + "/recorder/stream.264"), 96, 64, false);
    for (const char* subtype : {"UYVY", "YUY2"}) {
        SCOPED_TRACE(subtype);
        TessaneFilter& filter = filterFor(96, 64, 1);
        auto renderer =
            platform::ComPtr<testfilters::TestRenderer>::Adopt(testfilters::TestRenderer::make({subtype}));
        ASSERT_EQ(filter.GetPin(1)->Connect(renderer->pin(), nullptr), S_OK);
        platform::ComPtr<IEnumMediaTypes> types;
        ASSERT_EQ(filter.GetPin(1)->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
        for (AM_MEDIA_TYPE* type = nullptr; types->Next(1, &type, nullptr) == S_OK;)
            DeleteMediaType(type);
        const std::vector<Bytes> got = transformAll(filter, inputsOf({frames}), 1024 * 1024);
        ASSERT_FALSE(got.empty());
        Bytes expected = picref::pack(frames.planar[0], 96, 64, std::string(subtype) == "UYVY", 192);
        expected.resize(192 * 64);
        EXPECT_TRUE(got[0] == expected);
        filter.GetPin(1)->Disconnect();
        renderer->pin()->Disconnect();
        source_->pin(0)->Disconnect();
        filter.GetPin(0)->Disconnect();
    }
}

// An input whose pictures end in a first field still delivers the frame that came out before it.
TEST_F(TessaneDecodeTest, AFrameBeforeAFirstFieldInOneInputIsDelivered) {
    const Segment frames =
        segment(folder_, "frames", picref::readFile(kFixtures + "/recorder/stream.264"), 96, 64, false);
    const Bytes fieldStream = picref::makeStream((folder_ / "fields.264").string(), 256, 96, 2, true);
    ASSERT_FALSE(fieldStream.empty());
    // All the frames, then a field pair's first field and the start of its second, as one input.
    const std::vector<Bytes> fieldUnits = picref::accessUnits(fieldStream);
    Bytes input = frames.stream;
    for (size_t i = 0; i < 2; ++i)
        input.insert(input.end(), fieldUnits[i].begin(), fieldUnits[i].end());
    TessaneFilter& filter = filterFor(96, 64, 0);
    TestSample in(input), out(1024 * 1024);
    ASSERT_EQ(filter.Transform(&in, &out), S_OK);
    EXPECT_EQ(out.data(), picref::pack(frames.planar.back(), 96, 64, true, 192)) << "the last frame";
}

// A sample smaller than the picture takes the whole rows that fit and nothing past its size (none at all
// when not one row fits); a pitch that makes a picture larger than the 2 MB packing buffer still packs it
// whole.
TEST_F(TessaneDecodeTest, CopiesStayInTheSampleAndLargePitchesPack) {
    const Segment fields =
        segment(folder_, "fields", picref::readFile(kFixtures + "/stream/video.264"), 720, 288, true);
    const std::vector<Bytes> inputs = inputsOf({fields});
    struct Row {
        const char* name;
        DWORD pitch;
        LONG capacity;
        size_t rows;
    };
    const Row rows[] = {{"a sample of 100 rows and a bit", 1472, 1472 * 100 + 77, 100},
                        {"a pitch of 10240", 10240, 10240 * 576, 576},
                        {"a sample under one row: nothing", 1472, 1471, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform::ddraw::SetProbeHook({0, row.pitch});
        TessaneFilter& filter = filterFor(720, 576, 0);
        const std::vector<Bytes> got = transformAll(filter, inputs, row.capacity);
        ASSERT_EQ(got.empty(), row.rows == 0);
        if (got.empty()) {
            filter.GetPin(0)->Disconnect();
            source_->pin(0)->Disconnect();
            continue;
        }
        Bytes expected = picref::pack(fields.planar[0], 720, 576, true, static_cast<int>(row.pitch));
        expected.resize(row.rows * row.pitch);
        EXPECT_TRUE(got[0] == expected);
        source_->pin(0)->Disconnect();
        filter.GetPin(0)->Disconnect();
    }
}

// Field pairs narrower than the deinterlacer takes (128) give nothing, never an unwritten frame.
TEST_F(TessaneDecodeTest, FieldsTheDeinterlacerRefusesGiveNothing) {
    const Bytes stream = picref::makeStream((folder_ / "tiny.264").string(), 96, 64, 6, true);
    ASSERT_FALSE(stream.empty());
    TessaneFilter& filter = filterFor(96, 128, 0);
    EXPECT_TRUE(transformAll(filter, picref::accessUnits(stream), 1024 * 1024).empty());
}

// Packing writes no byte past 2 x width in a row, nor past the last row, whatever the width.
TEST(TessanePackingTest, RowsStayWithinTheirWidth) {
    for (const int width : {200, 2, 16, 722}) {
        SCOPED_TRACE(width);
        const int lines = 6, pitch = 2 * width + 6;
        Bytes planar(static_cast<size_t>(width) * lines * 3 / 2);
        for (size_t i = 0; i < planar.size(); ++i)
            planar[i] = static_cast<uint8_t>(i * 7 + 3);
        const BYTE* y = planar.data();
        const BYTE* u = y + width * lines;
        const BYTE* v = u + width * lines / 4;
        for (const bool uyvy : {true, false}) {
            const size_t rowBytes = uyvy ? static_cast<size_t>(pitch) : 2 * static_cast<size_t>(width);
            Bytes out(rowBytes * lines + 32, 0xEE);
            if (uyvy)
                Tessane::PackUyvy(y, u, v, width, width / 2, width, lines, static_cast<DWORD>(pitch),
                                  out.data());
            else
                Tessane::PackYuy2(y, u, v, width, width / 2, width, lines, out.data());
            for (size_t row = 0; row < static_cast<size_t>(lines); ++row)
                for (size_t x = 2 * static_cast<size_t>(width); x < rowBytes; ++x)
                    ASSERT_EQ(out[row * rowBytes + x], 0xEE) << "row " << row << " byte " << x;
            for (size_t x = rowBytes * lines; x < out.size(); ++x)
                ASSERT_EQ(out[x], 0xEE) << "past the last row";
            // The pixels themselves are the live path's.
            const Bytes live = picref::pack(planar, width, lines, uyvy, pitch);
            for (size_t row = 0; row < static_cast<size_t>(lines); ++row)
                EXPECT_TRUE(std::equal(out.begin() + row * rowBytes, out.begin() + row * rowBytes + 2 * width,
                                       live.begin() + row * (uyvy ? pitch : 2 * width)))
                    << "row " << row;
        }
    }
}

} // namespace
