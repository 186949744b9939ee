#include "dialogs/records/BoxTasks.h"

#include "platform/win32/Text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

BoxInfoRecord g_boxInfo{};

namespace {

template <std::size_t N> std::wstring fieldText(const char (&field)[N]) {
    return platform::FromLegacy(std::string_view(field, ::strnlen(field, N)));
}

const BoxDiskRecord* diskOf(const BoxInfoRecord& info, BYTE key) {
    for (const BoxDiskRecord& disk : BoxDisks(info))
        if (disk.key == key)
            return &disk;
    return nullptr;
}

} // namespace

std::span<const BoxDiskRecord> BoxDisks(const BoxInfoRecord& info) {
    return {info.disks, std::min<std::size_t>(info.diskCount, kBoxDisksMax)};
}

std::span<BoxTaskRecord> BoxTasks(BoxInfoRecord& info) {
    return {info.tasks, std::min<std::size_t>(info.taskCount, kBoxTasksMax)};
}

std::span<const BoxTaskRecord> BoxTasks(const BoxInfoRecord& info) {
    return {info.tasks, std::min<std::size_t>(info.taskCount, kBoxTasksMax)};
}

std::int64_t BoxTaskDurationMinutes(BoxTaskRecord& task) {
    const BoxDateTime start = NormaliseBoxTime(task.start);
    const BoxDateTime end = NormaliseBoxTime(task.end, BoxTimeField::End);
    return MinutesSince1970(end) - MinutesSince1970(start);
}

std::wstring BoxTaskSizeText(BoxTaskRecord& task) {
    static constexpr float kMbPerMinute[5] = {2.2f, 3.4f, 5.4f, 14.9f, 15.0f};
    if (task.format >= 5)
        return L"Error Format";
    const float mb = static_cast<float>(BoxTaskDurationMinutes(task)) * kMbPerMinute[task.format];
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, mb, std::chars_format::fixed, 1);
    return std::wstring(text, end) + L" MB";
}

std::wstring BoxTaskDurationText(BoxTaskRecord& task) {
    return std::to_wstring(BoxTaskDurationMinutes(task));
}

std::wstring BoxTaskStartText(const BoxTaskRecord& task) {
    return fieldText(task.start);
}

std::wstring BoxTaskSourceText(const BoxTaskRecord& task) {
    static const wchar_t* const kSources[3] = {L"CV", L"SV", L"TV"};
    return task.source < 3 ? kSources[task.source] : L"Error Source";
}

std::wstring BoxTaskChannelText(const BoxTaskRecord& task) {
    return std::to_wstring(task.channel);
}

std::wstring BoxTaskFileText(const BoxTaskRecord& task) {
    return fieldText(task.fileName);
}

std::wstring BoxDiskName(BYTE key, const BoxInfoRecord& info) {
    const BoxDiskRecord* disk = diskOf(info, key);
    return disk ? fieldText(disk->name) : std::wstring();
}

std::wstring BoxDiskFreeText(const BoxInfoRecord& info, BYTE key) {
    const BoxDiskRecord* disk = diskOf(info, key);
    return disk ? std::to_wstring(disk->freeMb) + L" MB" : std::wstring();
}

bool StoreBoxTaskFileName(BoxTaskRecord& task, const std::wstring& name) {
    const std::string bytes = platform::ToLegacy(name);
    if (bytes.size() >= sizeof task.fileName)
        return false;
    std::memset(task.fileName, 0, sizeof task.fileName);
    std::memcpy(task.fileName, bytes.data(), bytes.size());
    return true;
}

bool BoxInfoStore(const BYTE* record, std::size_t length) {
    if (!record || length != BoxInfoRecord::size() || record[0] != kBoxInfoValid)
        return false;
    std::memcpy(g_boxInfo.data(), record, length);
    return true;
}

bool BoxInfoAppendTask(const BoxTaskRecord& task) {
    const std::size_t count = BoxTasks(g_boxInfo).size();
    if (count >= kBoxTasksMax)
        return false;
    g_boxInfo.tasks[count] = task;
    g_boxInfo.taskCount = static_cast<BYTE>(count + 1);
    return true;
}

bool BoxInfoUpdateTask(const BoxTaskRecord& task) {
    for (BoxTaskRecord& stored : BoxTasks(g_boxInfo)) {
        if (stored.id == task.id) {
            stored = task;
            return true;
        }
    }
    return false;
}

void BoxTaskRemove(BYTE id, BoxInfoRecord& info) {
    const std::span<BoxTaskRecord> tasks = BoxTasks(info);
    const auto it = std::find_if(tasks.begin(), tasks.end(), [id](const auto& t) { return t.id == id; });
    if (it == tasks.end())
        return;
    std::copy(it + 1, tasks.end(), it);
    tasks.back() = BoxTaskRecord{};
    info.taskCount = static_cast<BYTE>(tasks.size() - 1);
}
