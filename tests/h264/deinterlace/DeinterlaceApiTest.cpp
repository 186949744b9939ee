// Result codes of the four exported functions and what a refused call leaves behind.
#include "DeinterlaceModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <random>

// Lets the sanitizer build report a huge allocation as failed instead of stopping the test.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

DeinterlaceState* const kStale = reinterpret_cast<DeinterlaceState*>(uintptr_t{0x10});

struct InitCase {
    const char* name;
    int32_t width, fieldHeight, inLuma, inChroma, outLuma, outChroma;
    int32_t expected;
};

const InitCase kInitCases[] = {
    {"Smallest", 128, 4, 128, 64, 128, 64, DEINTERLACE_OK},
    {"Sd", 720, 288, 768, 384, 720, 360, DEINTERLACE_OK},
    {"Largest", 4096, 1024, 4096, 2048, 4096, 2048, DEINTERLACE_OK},
    {"WidthBelowMinimum", 127, 4, 128, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"OddWidth", 129, 4, 129, 64, 129, 64, DEINTERLACE_ERR_SIZE},
    {"WidthAboveMaximum", 4098, 4, 4098, 2049, 4098, 2049, DEINTERLACE_ERR_SIZE},
    {"NegativeWidth", -128, 4, 128, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"HugeWidth", INT32_MAX - 1, 4, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, DEINTERLACE_ERR_SIZE},
    {"FieldHeightBelowMinimum", 128, 3, 128, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"OddFieldHeight", 128, 5, 128, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"FieldHeightAboveMaximum", 128, 1026, 128, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"HugeFieldHeight", 128, INT32_MAX - 1, 128, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"InputLumaStrideBelowWidth", 128, 4, 127, 64, 128, 64, DEINTERLACE_ERR_SIZE},
    {"InputChromaStrideBelowHalfWidth", 128, 4, 128, 63, 128, 64, DEINTERLACE_ERR_SIZE},
    {"OutputLumaStrideBelowWidth", 128, 4, 128, 64, 127, 64, DEINTERLACE_ERR_SIZE},
    {"OutputChromaStrideBelowHalfWidth", 128, 4, 128, 64, 128, 63, DEINTERLACE_ERR_SIZE},
};

void PrintTo(const InitCase& c, std::ostream* os) {
    *os << c.name;
}

class DeinterlaceInitTest : public testing::TestWithParam<InitCase> {};

TEST_P(DeinterlaceInitTest, AnswersAndSetsTheHandle) {
    const InitCase& c = GetParam();
    DeinterlaceState* handle = kStale;
    EXPECT_EQ(
        VD_InitDeinterlace(&handle, c.width, c.fieldHeight, c.inLuma, c.inChroma, c.outLuma, c.outChroma),
        c.expected);
    if (c.expected == DEINTERLACE_OK) {
        ASSERT_NE(handle, nullptr);
        ASSERT_NE(handle, kStale);
        EXPECT_EQ(VD_ReleaseDeinterlace(handle), DEINTERLACE_OK);
    } else {
        EXPECT_EQ(handle, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, DeinterlaceInitTest, testing::ValuesIn(kInitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeinterlaceApi, NullHandlePointers) {
    EXPECT_EQ(VD_InitDeinterlace(nullptr, 720, 288, 720, 360, 720, 360), DEINTERLACE_ERR_NULL);
    EXPECT_EQ(VD_ReleaseDeinterlace(nullptr), DEINTERLACE_ERR_NULL);
}

bool overcommitUnlimited() {
    std::ifstream f("/proc/sys/vm/overcommit_memory");
    int mode = 0;
    return (f >> mode) && mode == 1;
}

// A stride that makes the history terabytes long: the allocation fails, nothing is kept.
TEST(DeinterlaceApi, AllocationFailureGivesNoMemoryAndNoHandle) {
    if (overcommitUnlimited()) {
        GTEST_SKIP() << "the kernel grants any allocation here";
    }
    DeinterlaceState* handle = kStale;
    EXPECT_EQ(VD_InitDeinterlace(&handle, 4096, 1024, INT32_MAX, 2048, 4096, 2048),
              DEINTERLACE_ERR_NO_MEMORY);
    EXPECT_EQ(handle, nullptr);
}

Picture randomField(int w, int fh, std::mt19937& rng) {
    Picture p(w, fh);
    for (auto* plane : {&p.y, &p.u, &p.v}) {
        for (auto& b : *plane) {
            b = static_cast<uint8_t>(rng() % 32 + 100);
        }
    }
    return p;
}

// Refused calls (each null pointer, each wrong kind) between the fields of a pair and after its frame: they
// answer their code, write nothing and leave history, counters and chroma as they were, so the frames still
// follow the model, which never sees them.
TEST(DeinterlaceApi, RefusedCallsChangeNothing) {
    const Geometry g = {128, 8, 131, 67, 130, 65};
    DeinterlaceRunner runner(g, bestDeinterlaceKernelSet());
    ASSERT_TRUE(runner.ok());
    DeinterlaceModel model(g.width, g.fieldHeight);
    std::mt19937 rng(5);
    std::vector<uint8_t> junkY(static_cast<size_t>(g.inLumaStride) * g.fieldHeight, 0xFF);
    std::vector<uint8_t> junkU(static_cast<size_t>(g.inChromaStride) * g.fieldHeight / 2, 0xFF);
    std::vector<uint8_t> junkV = junkU;
    const auto refuse = [&] {
        uint8_t* p[7] = {nullptr,      runner.outY(), runner.outU(), runner.outV(),
                         junkY.data(), junkU.data(),  junkV.data()};
        for (int missing = 0; missing < 7; ++missing) {
            uint8_t* q[7];
            std::copy(std::begin(p), std::end(p), q);
            q[missing] = nullptr;
            DeinterlaceState* handle = missing == 0 ? nullptr : runner.handle();
            EXPECT_EQ(VD_Deinterlace(handle, q[1], q[2], q[3], q[4], q[5], q[6], 2), DEINTERLACE_ERR_NULL)
                << "pointer " << missing;
        }
        for (int32_t kind : {0, 3, -1, INT32_MIN, INT32_MAX}) {
            EXPECT_EQ(VD_Deinterlace(runner.handle(), p[1], p[2], p[3], p[4], p[5], p[6], kind),
                      DEINTERLACE_ERR_FIELD_KIND)
                << "kind " << kind;
        }
    };
    for (int i = 0; i < 12; ++i) {
        const Picture first = randomField(g.width, g.fieldHeight, rng);
        const Picture second = randomField(g.width, g.fieldHeight, rng);
        model.push(first, 1);
        const Picture expected = model.push(second, 2);
        ASSERT_EQ(runner.send(first, 1), DEINTERLACE_OK);
        refuse();
        ASSERT_EQ(runner.send(second, 2), DEINTERLACE_OK);
        const Picture got = runner.frame();
        ASSERT_EQ(got.y, expected.y) << "pair " << i;
        ASSERT_EQ(got.u, expected.u) << "pair " << i;
        ASSERT_EQ(got.v, expected.v) << "pair " << i;
        refuse();
        const Picture after = runner.frame();
        ASSERT_EQ(after.y, got.y) << "a refused call wrote the frame";
        ASSERT_EQ(after.u, got.u) << "a refused call wrote the frame";
    }
}

TEST(DeinterlaceApi, FirstFieldWritesNothing) {
    const Geometry g = tightGeometry(128, 4);
    DeinterlaceRunner runner(g, bestDeinterlaceKernelSet());
    ASSERT_TRUE(runner.ok());
    std::mt19937 rng(9);
    ASSERT_EQ(runner.send(randomField(g.width, g.fieldHeight, rng), 1), DEINTERLACE_OK);
    const Picture untouched = runner.frame();
    for (uint8_t b : untouched.y) {
        ASSERT_EQ(b, kOutputSentinel);
    }
    for (uint8_t b : untouched.u) {
        ASSERT_EQ(b, kOutputSentinel);
    }
}

TEST(DeinterlaceApi, VersionThroughBufferPointer) {
    char buffer[16];
    std::memset(buffer, 0xEE, sizeof buffer);
    char* p = buffer;
    EXPECT_EQ(VD_GetVersion(&p), DEINTERLACE_OK);
    EXPECT_EQ(std::memcmp(buffer, "1.1.0.2", 8), 0);
    for (size_t i = 8; i < sizeof buffer; ++i) {
        EXPECT_EQ(static_cast<unsigned char>(buffer[i]), 0xEE) << "byte " << i;
    }
    char* none = nullptr;
    EXPECT_EQ(VD_GetVersion(&none), DEINTERLACE_ERR_NULL);
    EXPECT_EQ(VD_GetVersion(static_cast<char**>(nullptr)), DEINTERLACE_ERR_NULL);
}

TEST(DeinterlaceApi, VersionIntoSizedBuffer) {
    struct Case {
        size_t size;
        int32_t expected;
    };
    for (const Case c : {Case{0, DEINTERLACE_ERR_SIZE}, Case{7, DEINTERLACE_ERR_SIZE},
                         Case{8, DEINTERLACE_OK}, Case{16, DEINTERLACE_OK}}) {
        char buffer[16];
        std::memset(buffer, 0xEE, sizeof buffer);
        EXPECT_EQ(VD_GetVersion(buffer, c.size), c.expected) << "size " << c.size;
        const size_t written = c.expected == DEINTERLACE_OK ? 8 : 0;
        EXPECT_EQ(std::memcmp(buffer, "1.1.0.2", written), 0);
        for (size_t i = written; i < sizeof buffer; ++i) {
            EXPECT_EQ(static_cast<unsigned char>(buffer[i]), 0xEE) << "size " << c.size << " byte " << i;
        }
    }
    EXPECT_EQ(VD_GetVersion(static_cast<char*>(nullptr), 16), DEINTERLACE_ERR_NULL);
}

} // namespace
