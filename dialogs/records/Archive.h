// The framework archive form of the records kept in files: 32-bit little-endian integers and archive
// strings (byte 0xFF, u16 0xFFFE for wide text, the length in characters as one byte below 255, else 0xFF
// and u16 below 0xFFFE, else 0xFFFF and u32; then the characters as UTF-16LE without terminator). Reading
// also takes the narrow form (the length prefix alone, then bytes of the legacy code page).
//
// The reader works on bytes it owns; every length is checked against what is left, so a short or damaged
// file ends in a failed read, never in a read past the end or a huge allocation. Files that are not
// archives (the schedule) use the same little-endian fields without strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ArchiveWriter {
public:
    void putU8(std::uint8_t v) { bytes_.push_back(v); }
    void putU16(std::uint16_t v);
    void putI32(std::int32_t v);
    void putI64(std::int64_t v);
    void putBytes(const void* data, std::size_t n);
    void putString(const std::wstring& text);
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class ArchiveReader {
public:
    explicit ArchiveReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool getU8(std::uint8_t& v);
    bool getU16(std::uint16_t& v);
    bool getU32(std::uint32_t& v);
    bool getI32(std::int32_t& v);
    bool getI64(std::int64_t& v);
    bool getBytes(void* out, std::size_t n);
    bool getString(std::wstring& text);
    std::size_t remaining() const { return bytes_.size() - at_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// Whole-file helpers for the code's paths. Writing replaces the file whole: the bytes go to a temporary
// file in the same folder, which is then renamed over the old one, so a crash or a full disk during the
// write leaves the last good file. The file gets the given permission bits.
bool ReadArchiveFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);
bool WriteArchiveFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes, unsigned mode);
