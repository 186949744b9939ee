// What the schedule page and the box task dialog make of the box's records: display texts, the task's
// length and size estimate, the upkeep of the global copy, and the overlap test of a new or changed task.
// Every text field is read within its width. Operations without a record argument work on g_boxInfo.
#pragma once

#include "dialogs/records/BoxTaskRecords.h"
#include "dialogs/records/BoxTime.h"

#include <cstdint>
#include <string>

// Normalises start and end (both written back) and gives end - start in whole minutes.
std::int64_t BoxTaskDurationMinutes(BoxTaskRecord& task);
// The duration times the format's rate (MB per minute: 2.2, 3.4, 5.4, 14.9, 15), "%.1f MB"; any other
// format "Error Format".
std::wstring BoxTaskSizeText(BoxTaskRecord& task);
std::wstring BoxTaskDurationText(BoxTaskRecord& task);
std::wstring BoxTaskStartText(const BoxTaskRecord& task);  // as stored, from the legacy code page
std::wstring BoxTaskSourceText(const BoxTaskRecord& task); // "CV", "SV", "TV" or "Error Source"
std::wstring BoxTaskChannelText(const BoxTaskRecord& task);
std::wstring BoxTaskFileText(const BoxTaskRecord& task);

// The name and "%d MB" free space of the disk with the key; empty texts for a key the record lacks.
std::wstring BoxDiskName(BYTE key, const BoxInfoRecord& info = g_boxInfo);
std::wstring BoxDiskFreeText(const BoxInfoRecord& info, BYTE key);

// Sets the task's file name from the text; false (the task unchanged) when its legacy code page form does
// not fit the field with its terminator (more than 31 bytes).
bool StoreBoxTaskFileName(BoxTaskRecord& task, const std::wstring& name);

// Takes a valid answer of the box (marker 13, 1002 bytes) as the global copy; false leaves it unchanged.
bool BoxInfoStore(const BYTE* record, std::size_t length);
// Appends a task the box added; false when the copy holds ten tasks already.
bool BoxInfoAppendTask(const BoxTaskRecord& task);
// Overwrites the stored task with the same id; false when there is none.
bool BoxInfoUpdateTask(const BoxTaskRecord& task);
// Removes the task with the id: the tasks after it move down and the count drops by one; an unknown id
// changes nothing.
void BoxTaskRemove(BYTE id, BoxInfoRecord& info = g_boxInfo);

// 1 when the task overlaps none of the record's tasks with another id, else 0. Tasks are intervals of
// minutes since 1970, their bounds included (one that starts at another's end minute overlaps it); a task
// with every day in its mask repeats daily, one with some days weekly on each of them, reckoned from the
// weekday of its start.
int BoxTaskFits(const BoxInfoRecord& info, const BoxTaskRecord& task);
