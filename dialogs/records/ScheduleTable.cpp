#include "dialogs/records/ScheduleTable.h"

#include "platform/win32/Paths.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Little-endian fields of the file, read in order; every read is checked against what is left.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool bytes(void* out, std::size_t n) {
        if (bytes_.size() - pos_ < n)
            return false;
        std::memcpy(out, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    template <class T> bool value(T& out) {
        unsigned char raw[sizeof(T)];
        if (!bytes(raw, sizeof raw))
            return false;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<std::uint64_t>(raw[i]) << (8 * i);
        out = static_cast<T>(v);
        return true;
    }

private:
    const std::string& bytes_;
    std::size_t pos_ = 0;
};

} // namespace

KQ_ScheduleTable::KQ_ScheduleTable() {
    std::memset(weekBitmap, 0, sizeof weekBitmap);
}

int KQ_ScheduleTable::Load() {
    std::ifstream file(platform::NativePath(L".\\Setup\\schedule"), std::ios::binary);
    if (!file)
        return 0;
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    entries.clear();
    ranges.clear();
    Reader in(bytes);
    std::uint32_t count = 0;
    if (!in.bytes(weekBitmap, sizeof weekBitmap) || !in.value(count))
        return 0;
    for (std::uint32_t i = 0; i < count; ++i) { // a count beyond the file's end stops at the first short read
        SCHEDULE_ENTRY e;
        if (!in.value(e.mode) || !in.value(e.id) || !in.value(e.dayMask) || !in.value(e.start) ||
            !in.value(e.lengthMinutes) || !in.value(e.source) || !in.value(e.channel) ||
            !in.value(e.afterAction))
            return 0;
        entries.push_back(e);
    }
    if (!in.value(count))
        return 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t low = 0, high = 0;
        ScheduleWeekRange r;
        if (!in.value(low) || !in.value(high) || !in.value(r.startMinute) || !in.value(r.endMinute))
            return 0;
        r.owner = static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
        ranges.push_back(r);
    }
    return 1;
}
