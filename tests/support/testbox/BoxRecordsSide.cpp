#include "tests/support/testbox/BoxRecordsSide.h"

#include "tests/support/testbox/TestBox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace testbox {

namespace {

constexpr std::size_t kClockAt = 1;
constexpr std::size_t kZoneAt = 41;
constexpr std::size_t kDiskCountAt = 42;
constexpr std::size_t kTaskCountAt = 211;
constexpr std::size_t kMaxTasks = 10;
constexpr std::size_t kPayloadAt = 16;
constexpr std::size_t kTimeTextAt = 48;

void putText(std::uint8_t* at, std::size_t width, const std::string& text) {
    std::memset(at, 0, width);
    std::memcpy(at, text.data(), std::min(width, text.size()));
}

Bytes timeText(const std::string& text) {
    Bytes b(32, 0);
    std::memcpy(b.data(), text.data(), std::min<std::size_t>(31, text.size()));
    return b;
}

} // namespace

Bytes TaskRecord(std::uint8_t id, const std::string& start, const std::string& end, std::uint8_t disk,
                 const std::string& file, std::uint8_t source, std::uint16_t channel, std::uint8_t days) {
    Bytes t(kTaskSize, 0);
    t[0] = id;
    putText(t.data() + 1, 20, start);
    putText(t.data() + 21, 20, end);
    t[41] = disk;
    putText(t.data() + 42, 32, file);
    t[74] = 1;
    t[75] = source;
    t[76] = static_cast<std::uint8_t>(channel);
    t[77] = static_cast<std::uint8_t>(channel >> 8);
    t[78] = days;
    return t;
}

BoxRecordsSide::BoxRecordsSide() : info_(kInfoSize, 0), ir_{10, 0} {
    info_[0] = 13;
    putText(info_.data() + kClockAt, 20, "2008:07:01:12:00");
    info_[kZoneAt] = 56;
    info_[kDiskCountAt] = 1;
    std::uint8_t* disk = info_.data() + 43;
    disk[0] = 1;
    putText(disk + 1, 16, "HDD1");
    Put32(disk + 17, 80000);
}

std::size_t BoxRecordsSide::taskCount() const {
    return std::min<std::size_t>(info_[kTaskCountAt], kMaxTasks);
}

std::vector<Bytes> BoxRecordsSide::Tasks() const {
    std::vector<Bytes> tasks;
    for (std::size_t i = 0; i < taskCount(); ++i) {
        const auto at = info_.begin() + static_cast<long>(212 + kTaskSize * i);
        tasks.emplace_back(at, at + kTaskSize);
    }
    return tasks;
}

int BoxRecordsSide::find(std::uint8_t id) const {
    for (std::size_t i = 0; i < taskCount(); ++i)
        if (info_[212 + kTaskSize * i] == id)
            return static_cast<int>(i);
    return -1;
}

std::string BoxRecordsSide::clock() const {
    const char* text = reinterpret_cast<const char*>(info_.data() + kClockAt);
    return std::string(text, ::strnlen(text, 20));
}

void BoxRecordsSide::Refuse(std::uint32_t command, int times) {
    refusals_[command] += times;
}

bool BoxRecordsSide::Answer(const Frame& request, Reply& reply) {
    const std::uint32_t command = Get32(request.data() + 8);
    const std::uint32_t value = Get32(request.data() + 12);
    const std::uint8_t* payload = request.data() + kPayloadAt;
    static const std::uint32_t kServed[] = {kGetBoxInfo, kAddBoxTask,  kUpdateBoxTask, kDeleteBoxTask,
                                            kSetBoxTime, kSetTimeZone, kGetIrData,     kPutIrData};
    if (std::find(std::begin(kServed), std::end(kServed), command) == std::end(kServed))
        return false;
    reply.value = 1;
    if (int& refusals = refusals_[command]; refusals > 0) {
        --refusals;
        reply.value = 0;
        return true;
    }
    switch (command) {
    case kGetBoxInfo:
        reply.then = {info_};
        break;
    case kAddBoxTask: {
        const std::size_t n = taskCount();
        std::uint8_t id = 1;
        while (find(id) >= 0)
            ++id;
        if (n == kMaxTasks) {
            reply.value = 0;
            break;
        }
        std::memcpy(task(n), payload, kTaskSize);
        task(n)[0] = id;
        info_[kTaskCountAt] = static_cast<std::uint8_t>(n + 1);
        reply.value2 = id;
        break;
    }
    case kUpdateBoxTask:
        if (const int i = find(payload[0]); i >= 0) {
            std::memcpy(task(static_cast<std::size_t>(i)), payload, kTaskSize);
            reply.value2 = payload[0];
        } else {
            reply.value = 0;
        }
        break;
    case kDeleteBoxTask:
        reply.value2 = value;
        if (value == 200) {
            info_[kTaskCountAt] = 0;
        } else if (const int i = value < 256 ? find(static_cast<std::uint8_t>(value)) : -1; i >= 0) {
            const std::size_t n = taskCount();
            std::memmove(task(static_cast<std::size_t>(i)), task(static_cast<std::size_t>(i) + 1),
                         kTaskSize * (n - 1 - static_cast<std::size_t>(i)));
            info_[kTaskCountAt] = static_cast<std::uint8_t>(n - 1);
        } else {
            reply.value = 0;
        }
        break;
    case kSetBoxTime: {
        int y = 0, mo = 0, d = 0, h = 0, mi = 0;
        const std::string text(reinterpret_cast<const char*>(payload),
                               ::strnlen(reinterpret_cast<const char*>(payload), 160));
        if (std::sscanf(text.c_str(), "%d:%d:%d:%d:%d", &y, &mo, &d, &h, &mi) != 5) {
            reply.value = 0;
            break;
        }
        char clock[21];
        std::snprintf(clock, sizeof clock, "%04d:%02d:%02d:%02d:%02d", y, mo, d, h, mi);
        putText(info_.data() + kClockAt, 20, clock);
        reply.bytes = {{kTimeTextAt, timeText(clock)}};
        break;
    }
    case kSetTimeZone: {
        info_[kZoneAt] = static_cast<std::uint8_t>(value);
        int y = 0, mo = 0, d = 0, h = 0, mi = 0;
        std::sscanf(clock().c_str(), "%d:%d:%d:%d:%d", &y, &mo, &d, &h, &mi);
        char text[64];
        std::snprintf(text, sizeof text, "%d:%d:%d:%d:%d", y, mo, d, h, mi);
        reply.bytes = {{kTimeTextAt, timeText(text)}};
        break;
    }
    case kGetIrData:
        if (ir_.empty()) {
            reply.value = 0;
            break;
        }
        reply.value = static_cast<std::uint32_t>(ir_.size());
        reply.then = {ir_};
        break;
    case kPutIrData:
        break; // the test box takes the block that follows
    }
    return true;
}

} // namespace testbox
