// The test box as a box a person logs in to from the program: it takes any user name and password (by IP,
// host name or device ID), answers with 50 Hz rows, the full-size quality class and the country the PC
// asked for, answers every request of live view with success, answers from its records (BoxRecordsSide.h,
// with the clock of when it was scripted) and sends a small channel table when asked, restarts its stream
// after a source or country change (and after a video quality change that changes the picture size), and
// sends the live records on every stream connection.
#pragma once

#include "tests/support/testbox/LiveFeed.h"
#include "tests/support/testbox/TestBox.h"

#include <memory>

namespace testbox {

// What the login answer carries besides success: bytes 16..31 the login record text, 48 the country
// code, 49..60 the hardware address digits, 112..126 the address text, 144 the network mode.
constexpr std::uint32_t kLiveBoxStandard = 2000; // 50 Hz rows
constexpr std::uint32_t kLiveBoxQuality = 6;     // quality index 4, the full-size class
constexpr const char* kLiveBoxHardwareDigits = "020000000001";
constexpr const char* kLiveBoxAddressText = "127.0.0.1";
constexpr std::uint8_t kLiveBoxNetworkMode = 2; // DHCP

// Scripts the box; its device ID is the login record text.
void ScriptLiveBox(TestBox& box, const std::string& deviceId, std::shared_ptr<const LiveRecords> stream);

// The box's channel table: {channel number, frequency in 1/16 MHz}.
std::vector<ChannelEntry> LiveBoxChannels();

} // namespace testbox
