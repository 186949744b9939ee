// The wizard's frames and probes byte for byte, against layouts written out by hand (offsets as the box
// reads them, cipher bytes of RC4 under the login key computed apart from the code).
#include "wizard/SetupFrames.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// A frame of type 12, sequence 0 and checksum 0 with the command, and the bytes placed at their offsets.
struct Expected {
    std::array<BYTE, 188> bytes{};
    explicit Expected(DWORD command) {
        bytes[0] = 12;
        for (int i = 0; i < 4; ++i)
            bytes[8 + i] = static_cast<BYTE>(command >> (8 * i));
    }
    Expected& put(std::size_t at, const Bytes& b) {
        std::copy(b.begin(), b.end(), bytes.begin() + static_cast<long>(at));
        return *this;
    }
    Expected& put(std::size_t at, const std::string& text) {
        return put(at, Bytes(text.begin(), text.end()));
    }
};

Bytes le32(DWORD v) {
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
            static_cast<BYTE>(v >> 24)};
}

Bytes quad(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    const auto* p = reinterpret_cast<const BYTE*>(&a.s_addr);
    return Bytes(p, p + 4);
}

std::uint32_t address(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

// RC4 under "pavlent" from the start of the keystream.
const Bytes kAdminCipher = {0xC0, 0xAA, 0x37, 0x7A, 0x78};
const Bytes kSecret12Cipher = {0xD2, 0xAB, 0x39, 0x61, 0x73, 0x91, 0xBD, 0xE3};
const Bytes kSeventeenCipher = {0xC0, 0xAC, 0x39, 0x77, 0x73, 0x83, 0xEB, 0xB9, 0x48,
                                0x93, 0xE9, 0xB6, 0xC7, 0x81, 0xC0, 0x6C, 0x9E}; // "abcdefghijklmnopq"
const Bytes kSixteenUCipher = {0xD4, 0xBB, 0x2F, 0x66, 0x63, 0x90, 0xF9, 0xA4,
                               0x54, 0x8C, 0xF7, 0xAF, 0xDF, 0x9A, 0xDA, 0x69}; // 16 times "u"

struct LoginCase {
    const char* name;
    std::string user, password;
    Expected expected;
};

TEST(SetupFramesTest, LoginFrameEnciphersEachFieldFromTheStartOfTheKeystream) {
    const LoginCase cases[] = {
        {"admin and a password", "admin", "secret12",
         Expected(2101).put(16, Bytes{5}).put(17, kAdminCipher).put(33, Bytes{8}).put(34, kSecret12Cipher)},
        {"the same text in both fields gives the same bytes", "admin", "admin",
         Expected(2101).put(16, Bytes{5}).put(17, kAdminCipher).put(33, Bytes{5}).put(34, kAdminCipher)},
        {"a password that fills its 17 bytes", "admin", "abcdefghijklmnopq",
         Expected(2101).put(16, Bytes{5}).put(17, kAdminCipher).put(33, Bytes{17}).put(34, kSeventeenCipher)},
        {"texts past their room are cut there", std::string(20, 'u'), "abcdefghijklmnopqrstu",
         Expected(2101)
             .put(16, Bytes{16})
             .put(17, kSixteenUCipher)
             .put(33, Bytes{17})
             .put(34, kSeventeenCipher)},
    };
    for (const LoginCase& c : cases)
        EXPECT_EQ(SetupLoginFrame(c.user, c.password).bytes, c.expected.bytes) << c.name;
}

struct NetworkCase {
    const char* name;
    std::function<void(BoxNetworkSettings&)> set;
    Expected expected;
};

TEST(SetupFramesTest, NetworkFrameCarriesTheWholeRecordForEachMode) {
    // The login's fields, as every network frame carries them: ID, user, password twice.
    const auto login = [](DWORD mode) {
        return Expected(2102)
            .put(16, "QRR100")
            .put(16 + 25, "admin")
            .put(16 + 42, "secret12")
            .put(16 + 59, "secret12")
            .put(16 + 76, le32(mode));
    };
    const NetworkCase cases[] = {
        {"DHCP", [](BoxNetworkSettings& s) { s.SetMode(NET_MODE_DHCP); }, login(2)},
        {"static",
         [](BoxNetworkSettings& s) {
             s.SetMode(NET_MODE_STATIC);
             s.SetAddresses(address("192.168.1.50"), address("255.255.255.0"), address("192.168.1.1"),
                            address("8.8.4.4"));
         },
         login(1)
             .put(16 + 144, quad("192.168.1.50"))
             .put(16 + 148, quad("255.255.255.0"))
             .put(16 + 152, quad("192.168.1.1"))
             .put(16 + 156, quad("8.8.4.4"))},
        {"PPPoE",
         [](BoxNetworkSettings& s) {
             s.SetMode(NET_MODE_PPPOE);
             s.SetPppoe("user@isp.example", "dsl-secret");
         },
         login(0).put(16 + 80, "user@isp.example").put(16 + 110, "dsl-secret")},
        {"PPPoE texts of 30 bytes fill their slots",
         [](BoxNetworkSettings& s) {
             s.SetMode(NET_MODE_PPPOE);
             s.SetPppoe(std::string(31, 'a'), std::string(31, 'p'));
         },
         login(0).put(16 + 80, std::string(30, 'a')).put(16 + 110, std::string(30, 'p'))},
    };
    for (const NetworkCase& c : cases) {
        BoxNetworkSettings settings;
        settings.SetLogin("QRR100", "admin", "secret12");
        c.set(settings);
        EXPECT_EQ(NetworkFrame(settings).bytes, c.expected.bytes) << c.name;
    }
}

TEST(SetupFramesTest, LongLoginTextsStayInTheirSlots) {
    BoxNetworkSettings settings;
    settings.SetLogin(std::string(40, 'I'), std::string(20, 'U'), std::string(20, 'P'));
    const Expected expected = Expected(2102)
                                  .put(16, std::string(25, 'I'))
                                  .put(16 + 25, std::string(17, 'U'))
                                  .put(16 + 42, std::string(17, 'P'))
                                  .put(16 + 59, std::string(17, 'P'));
    EXPECT_EQ(NetworkFrame(settings).bytes, expected.bytes);
}

TEST(SetupFramesTest, DdnsFrameForSettingAndClearing) {
    EXPECT_EQ(DdnsFrame(3, "mybox.example.net", "ddns-user", "ddns-pass", 1).bytes,
              Expected(2103)
                  .put(12, le32(3))
                  .put(16, Bytes{17})
                  .put(17, "mybox.example.net")
                  .put(81, Bytes{9})
                  .put(82, "ddns-user")
                  .put(114, Bytes{9})
                  .put(115, "ddns-pass")
                  .put(176, le32(1))
                  .bytes);
    EXPECT_EQ(DdnsFrame(1, "", "", "", 0).bytes, Expected(2103).put(12, le32(1)).bytes);
    // Texts that fill their room end right before the next length byte.
    EXPECT_EQ(DdnsFrame(2, std::string(64, 'd'), std::string(32, 'u'), std::string(32, 'p'), 1).bytes,
              Expected(2103)
                  .put(12, le32(2))
                  .put(16, Bytes{64})
                  .put(17, std::string(64, 'd'))
                  .put(81, Bytes{32})
                  .put(82, std::string(32, 'u'))
                  .put(114, Bytes{32})
                  .put(115, std::string(32, 'p'))
                  .put(176, le32(1))
                  .bytes);
}

TEST(SetupFramesTest, CloseFrameAndProbes) {
    EXPECT_EQ(SetupCloseFrame().bytes, Expected(0xFDFD2002).bytes);
    EXPECT_EQ(LanProbe("QRR100"), "QRR100aaaa");
    std::array<BYTE, 30> factory{};
    const std::string text = "QRR100aaaa";
    std::copy(text.begin(), text.end(), factory.begin());
    EXPECT_EQ(FactoryProbe("QRR100"), factory);
}

TEST(SetupFramesTest, SearchReplyMustBeginWithTheWholeId) {
    const struct {
        std::string reply;
        bool matches;
    } cases[] = {{"QRR100", true},
                 {std::string("QRR100\x01\x02", 8), true},
                 {"QRR10", false},
                 {"QRR101", false},
                 {"", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsSearchReplyOf(reinterpret_cast<const BYTE*>(c.reply.data()), c.reply.size(), "QRR100"),
                  c.matches)
            << c.reply;
}

} // namespace
