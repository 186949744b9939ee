// The box's side of the wire, written independently of boxlink/: frames with their checksum and the
// messages the box sends on the control connection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testbox {

using Bytes = std::vector<std::uint8_t>;

// The requests the test box answers.
constexpr std::uint32_t kLogin = 0xFDFD2001;
constexpr std::uint32_t kLogout = 0xFDFD2002;
constexpr std::uint32_t kSetSource = 0xFDFD2010;
constexpr std::uint32_t kStopScan = 0xFDFD2007;
constexpr std::uint32_t kStartScan = 0xFDFD2012;
constexpr std::uint32_t kGetChannelTable = 0xFDFD2013;
constexpr std::uint32_t kKeepAlive = 0xFDFD2019;
constexpr std::uint32_t kPutIrData = 0xFDFD2085;
constexpr std::uint32_t kSetVideoQuality = 0xFDFD2090;
constexpr std::uint32_t kFirmwareUpdate = 0xFDFD2093;
constexpr std::uint32_t kSetCountry = 0xFDFD2095;
constexpr std::uint32_t kSetBoxTime = 0xFDFD20A0;
constexpr std::uint32_t kSetTimeZone = 0xFDFD20A1;
constexpr std::uint32_t kGetBoxInfo = 0xFDFD20A2;
constexpr std::uint32_t kGetFileList = 0xFDFD20B0;
constexpr std::uint32_t kStartFileTransfer = 0xFDFD20B2;
using Frame = std::array<std::uint8_t, 188>;

// The frames of a record (any type with a `command`) that carry `command`, in their order.
template <class Received>
std::vector<Received> FramesWithCommand(const std::vector<Received>& frames, std::uint32_t command) {
    std::vector<Received> of;
    for (const Received& f : frames)
        if (f.command == command)
            of.push_back(f);
    return of;
}

std::uint32_t Get32(const std::uint8_t* p);
void Put32(std::uint8_t* p, std::uint32_t v);

// The frame checksum (bytes 184..187 counted as zero).
std::uint16_t Checksum(const std::uint8_t* frame);
// A reply or request frame with its checksum.
Frame MakeFrame(std::uint32_t sequence, std::uint32_t command, std::uint32_t value, std::uint32_t value2 = 0,
                std::uint32_t value3 = 0);
void Reseal(Frame& frame);

// An IR data block of the given total length: type byte 10, then a counting pattern.
Bytes IrBlock(std::size_t length);
// One record of the file list.
struct FileRecord {
    std::string name; // up to 32 bytes
    std::uint16_t value = 0;
    std::uint16_t pieces = 1;
    std::uint8_t flag = 0;
};
// Type byte 11, the record count (as given, or the number of records), the 37-byte records.
Bytes FileList(const std::vector<FileRecord>& records, std::int64_t count = -1);
// Type byte 13, then a counting pattern: 1002 bytes.
Bytes BoxInfo();
// Type byte 0xAA, the count, {channel number, frequency} entries.
struct ChannelEntry {
    std::uint32_t number;
    std::uint32_t frequency;
};
Bytes ChannelTable(const std::vector<ChannelEntry>& entries);
// The later answers to a start-scan request (after its 200): one per channel found (its number as the
// value, its frequency at 176), then 201, the end of the scan.
std::vector<Bytes> ScanAnswers(const Frame& request, const std::vector<ChannelEntry>& found);
// Type byte 0xEB, the 79-byte task record, padding to 128 bytes.
Bytes TaskNotice(std::uint8_t fill);

} // namespace testbox
