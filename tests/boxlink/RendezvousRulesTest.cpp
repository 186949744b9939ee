// The rendezvous' pure rules: the datagram, the port base, the decode table and the socket choice.
#include "boxlink/relay/Rendezvous.h"
#include "boxlink/relay/ServerPacket.h"

#include <gtest/gtest.h>

namespace {

TEST(RendezvousRules, PacketLayout) {
    ServerPacket p;
    p.SetAddress("203.0.113.7");
    p.accept = 1;
    p.portA = 0x12345;
    p.portB = 5025;
    p.SetDeviceId("ABCDEFGHIJ"); // 7 characters are kept, the terminator at offset 39
    p.state = 262;
    const auto bytes = p.Encode();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 11), "203.0.113.7");
    EXPECT_EQ(bytes[11], 0);
    EXPECT_EQ(bytes[20], 1);
    EXPECT_EQ((std::array<int, 4>{bytes[24], bytes[25], bytes[26], bytes[27]}),
              (std::array<int, 4>{0x45, 0x23, 1, 0}));
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 5025);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[32]), 7), "ABCDEFG");
    EXPECT_EQ(bytes[39], 0);
    EXPECT_EQ(bytes[40] | bytes[41] << 8, 262);

    // A server's texts are bounded by their fields; a short datagram reads as zero-filled.
    std::array<std::uint8_t, 48> full{};
    full.fill('9');
    const ServerPacket unterminated = ServerPacket::Decode(full.data(), full.size());
    EXPECT_EQ(unterminated.AddressText(), std::string(16, '9'));
    EXPECT_FALSE(unterminated.SameDeviceId(p));
    const ServerPacket shortOne = ServerPacket::Decode(bytes.data(), 28);
    EXPECT_EQ(shortOne.AddressText(), "203.0.113.7");
    EXPECT_EQ(shortOne.portA, 0x12345u);
    EXPECT_EQ(shortOne.portB, 0u);
    EXPECT_EQ(shortOne.state, 0u);
}

TEST(RendezvousRules, PortBaseKeepsEveryDerivedPortValid) {
    int low = 65535;
    int high = 0;
    for (unsigned r = 0; r <= 0x7FFF; ++r) {
        const int base = PortBaseFrom(r);
        low = std::min(low, base);
        high = std::max(high, base);
    }
    EXPECT_EQ(low, 5000);
    EXPECT_LE(high + 45, 65535);
    EXPECT_GT(high, 65000);
    const int drawn = RandomPortBase();
    EXPECT_GE(drawn, 5000);
    EXPECT_LE(drawn, 65490);
}

TEST(RendezvousRules, DecodeTable) {
    const int table[7][7] = {
        // failureKind 0     1     2     3     4     5     6
        {0, 0, 0, 0, 0, 0, 0},                      // stageOutcome 0
        {0, 1001, 1006, 1007, 1008, 1009, 0},       // 1
        {0, 1002, 1010, 1011, 1012, 1013, 0},       // 2
        {1003, 1003, 1003, 1003, 1003, 1003, 1003}, // 3
        {1004, 1004, 1004, 1004, 1004, 1004, 1004}, // 4
        {1005, 1005, 1005, 1005, 1005, 1005, 1005}, // 5
        {0, 0, 0, 0, 0, 0, 0},                      // 6
    };
    for (int stage = 0; stage < 7; ++stage)
        for (int kind = 0; kind < 7; ++kind)
            EXPECT_EQ(DecodeRendezvousOutcome(stage, kind), table[stage][kind]) << stage << "," << kind;
}

TEST(RendezvousRules, SocketChoice) {
    // listenA, connectA, listenB, connectB -> control, audio/video; -1: no pair yet.
    struct Case {
        std::array<bool, 4> connected;
        int control;
        int stream;
    };
    const Case cases[] = {
        {{1, 1, 1, 1}, kConnectA, kConnectB},
        {{1, 1, 1, 0}, kConnectA, kListenB},
        {{1, 1, 0, 1}, kConnectA, kConnectB},
        {{1, 1, 0, 0}, kConnectA, kListenA},
        {{1, 0, 1, 1}, kListenA, kConnectB},
        {{1, 0, 1, 0}, kListenA, kListenB},
        {{1, 0, 0, 1}, kListenA, kConnectB},
        {{0, 1, 1, 1}, kConnectA, kConnectB},
        {{0, 1, 1, 0}, kConnectA, kListenB},
        {{0, 1, 0, 1}, kConnectA, kConnectB},
        {{0, 0, 1, 1}, kConnectB, kListenB},
        {{0, 0, 0, 0}, -1, -1},
        {{1, 0, 0, 0}, -1, -1},
        {{0, 1, 0, 0}, -1, -1},
        {{0, 0, 1, 0}, -1, -1},
        {{0, 0, 0, 1}, -1, -1},
    };
    for (const Case& c : cases) {
        int control = -1;
        int stream = -1;
        EXPECT_EQ(ChooseRendezvousSockets(c.connected, &control, &stream), c.control >= 0);
        EXPECT_EQ(control, c.control) << c.connected[0] << c.connected[1] << c.connected[2] << c.connected[3];
        EXPECT_EQ(stream, c.stream) << c.connected[0] << c.connected[1] << c.connected[2] << c.connected[3];
    }
}

} // namespace
