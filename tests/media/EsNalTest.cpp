#include "media/EsH264.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(EsNal, RemoveEmulationBytes) {
    const struct {
        Bytes in, out;
    } cases[] = {
        {{0x00, 0x00, 0x03, 0x01}, {0x00, 0x00, 0x01}},
        {{0x00, 0x00, 0x03}, {0x00, 0x00, 0x03}}, // ends the payload: kept
        {{0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x01}, {0x00, 0x00, 0x00, 0x00, 0x01}},
        {{0x00, 0x00, 0x00, 0x03, 0x02}, {0x00, 0x00, 0x00, 0x02}},
        {{0x01, 0x00, 0x00, 0x03, 0x03}, {0x01, 0x00, 0x00, 0x03}},
        {{0x00, 0x03, 0x00, 0x03}, {0x00, 0x03, 0x00, 0x03}},
        {{0x65, 0x88, 0x84}, {0x65, 0x88, 0x84}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        Bytes out(c.in.size());
        out.resize(EsRemoveEmulationBytes(c.in.data(), c.in.size(), out.data()));
        EXPECT_EQ(out, c.out) << ::testing::PrintToString(c.in);
    }
}

TEST(EsNal, FindStartCode) {
    const struct {
        Bytes buffer;
        size_t offset;
    } cases[] = {
        {{0, 0, 0, 1, 0x67, 0xAA, 0, 0, 0, 1, 0x68}, 6},
        {{0, 0, 0, 1, 0x67, 0xAA, 0, 0, 1, 0x68}, 6},
        {{0, 0, 1, 0x67, 0, 0, 1, 0x68}, 4},
        {{0, 0, 1, 0x65, 0, 0, 1}, 4}, // a start code that ends the buffer
        {{0xAA, 0, 0, 1, 0x09}, 1},    // no start code at the buffer's start
        {{0xAA, 0xBB, 0, 0, 0, 1, 0x09}, 2},
        {{0, 0, 0, 0, 1, 0x09}, 1},
        {{0, 0, 0, 1, 0x67, 0, 0, 2, 0, 3}, 0},
        {{0, 0, 1}, 0},
        {{0, 0}, 0},
        {{}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EsFindStartCode(c.buffer.data(), c.buffer.size()), c.offset)
            << ::testing::PrintToString(c.buffer);
}

TEST(EsNal, ReaderCutsUnitsWithTheirStartCodes) {
    const struct {
        const char* name;
        Bytes input;
        std::vector<Bytes> units;
    } cases[] = {
        {"4-byte start codes",
         {0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68, 0xCE},
         {{0, 0, 0, 1, 0x67, 0x42}, {0, 0, 0, 1, 0x68, 0xCE}}},
        {"3- and 4-byte",
         {0, 0, 1, 0x06, 0x05, 0, 0, 0, 1, 0x65, 0x88, 0, 0, 1, 0x41},
         {{0, 0, 1, 0x06, 0x05}, {0, 0, 0, 1, 0x65, 0x88}, {0, 0, 1, 0x41}}},
        {"bytes before the first start code",
         {0x12, 0x34, 0, 0, 0, 1, 0x09, 0xF0},
         {{0, 0, 0, 1, 0x09, 0xF0}}},
        {"start code without a unit",
         {0, 0, 0, 1, 0, 0, 0, 1, 0x41, 0x9A, 0, 0, 1},
         {{0, 0, 0, 1, 0x41, 0x9A}}},
        {"no start code", {0x41, 0x9A, 0x00, 0x00}, {}},
        {"empty", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EsNalReader reader;
        reader.Reset(c.input.data(), c.input.size());
        std::vector<Bytes> units;
        while (reader.Next())
            units.push_back(reader.Unit());
        EXPECT_EQ(units, c.units);
    }
    EsNalReader reader;
    const Bytes sei = {0, 0, 1, 0x06, 0x05, 0x01, 0xAA, 0x80};
    reader.Reset(sei.data(), sei.size());
    ASSERT_TRUE(reader.Next());
    EXPECT_EQ(reader.StartCodeLength(), 3u);
    EXPECT_EQ(reader.Type(), EsNalSei);
}

} // namespace
