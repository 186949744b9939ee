#include "dialogs/records/Archive.h"

#include "platform/win32/Paths.h"
#include "platform/win32/Text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr std::size_t kMaxArchiveFile = 64u << 20;

} // namespace

void ArchiveWriter::putU16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ArchiveWriter::putI32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8)
        bytes_.push_back(static_cast<std::uint8_t>(u >> shift));
}

void ArchiveWriter::putI64(std::int64_t v) {
    const auto u = static_cast<std::uint64_t>(v);
    putI32(static_cast<std::int32_t>(static_cast<std::uint32_t>(u)));
    putI32(static_cast<std::int32_t>(static_cast<std::uint32_t>(u >> 32)));
}

void ArchiveWriter::putBytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
}

void ArchiveWriter::putString(const std::wstring& text) {
    std::u16string units;
    for (wchar_t c : text) {
        const auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0xFFFF) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    putU8(0xFF);
    putU16(0xFFFE);
    const std::size_t n = units.size();
    if (n < 0xFF) {
        putU8(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        putU8(0xFF);
        putU16(static_cast<std::uint16_t>(n));
    } else {
        putU8(0xFF);
        putU16(0xFFFF);
        putI32(static_cast<std::int32_t>(n));
    }
    for (char16_t u : units)
        putU16(static_cast<std::uint16_t>(u));
}

bool ArchiveReader::getU8(std::uint8_t& v) {
    if (remaining() < 1)
        return false;
    v = bytes_[at_++];
    return true;
}

bool ArchiveReader::getU16(std::uint16_t& v) {
    if (remaining() < 2)
        return false;
    v = static_cast<std::uint16_t>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return true;
}

bool ArchiveReader::getU32(std::uint32_t& v) {
    if (remaining() < 4)
        return false;
    v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | bytes_[at_ + static_cast<std::size_t>(i)];
    at_ += 4;
    return true;
}

bool ArchiveReader::getI32(std::int32_t& v) {
    std::uint32_t u = 0;
    if (!getU32(u))
        return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool ArchiveReader::getI64(std::int64_t& v) {
    std::uint32_t low = 0, high = 0;
    if (remaining() < 8 || !getU32(low) || !getU32(high))
        return false;
    v = static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
    return true;
}

bool ArchiveReader::getBytes(void* out, std::size_t n) {
    if (remaining() < n)
        return false;
    std::memcpy(out, bytes_.data() + at_, n);
    at_ += n;
    return true;
}

bool ArchiveReader::getString(std::wstring& text) {
    bool wide = false;
    std::uint32_t length = 0;
    std::uint8_t b = 0;
    std::uint16_t w = 0;
    if (!getU8(b))
        return false;
    if (b < 0xFF) {
        length = b;
    } else {
        if (!getU16(w))
            return false;
        if (w == 0xFFFE) { // the wide tag; the length prefix follows again
            wide = true;
            if (!getU8(b))
                return false;
            if (b < 0xFF) {
                length = b;
                w = 0;
            } else if (!getU16(w)) {
                return false;
            }
        }
        if (b == 0xFF) {
            length = w;
            if (w == 0xFFFF && !getU32(length))
                return false;
        }
    }
    const std::size_t bytes = static_cast<std::size_t>(length) * (wide ? 2 : 1);
    if (bytes > remaining())
        return false;
    if (!wide) {
        text = platform::FromLegacy(std::string_view(reinterpret_cast<const char*>(&bytes_[at_]), bytes));
        at_ += bytes;
        return true;
    }
    text.clear();
    for (std::uint32_t i = 0; i < length; ++i) {
        std::uint16_t u = 0;
        getU16(u);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < length && remaining() >= 2) {
            const std::uint16_t low = static_cast<std::uint16_t>(bytes_[at_] | (bytes_[at_ + 1] << 8));
            if (low >= 0xDC00 && low < 0xE000) {
                at_ += 2;
                ++i;
                text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
                continue;
            }
        }
        text.push_back(static_cast<wchar_t>(u));
    }
    return true;
}

bool ReadArchiveFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return bytes.size() <= kMaxArchiveFile;
}

bool WriteArchiveFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes, unsigned mode) {
    const std::filesystem::path native = platform::NativePath(path);
    std::string temp = (native.parent_path() / ("." + native.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), native.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}
