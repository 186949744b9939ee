// The box's recording records as they travel: packed, little-endian, byte-aligned; every offset and size is
// part of the wire format. The box sends one BoxInfoRecord for the get-all-information request (its clock,
// time zone, disks and up to ten recording tasks) and takes single BoxTaskRecords to add or update a task.
// The box link carries them unchanged; their fields are read here.
//
// Counts and texts come from the box: the disk count is used as at most 8 and the task count as at most 10
// (BoxDisks, BoxTasks), and a text field may fill its width without a NUL.
#pragma once

#include "platform/win32/Types.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

static_assert(std::endian::native == std::endian::little, "the records are the box's little-endian bytes");

#pragma pack(push, 1)

// One store of the box.
struct BoxDiskRecord {
    BYTE key;
    char name[16]; // ANSI, NUL-padded; may fill all 16 bytes
    std::int32_t freeMb;
};

// One recording task. Times are "year:month:day:hour:minute" texts, NUL-terminated unless they fill the
// field; the PC writes them with "%d:%d:%d:%d:%d".
struct BoxTaskRecord {
    BYTE id; // the box's; 255 in a task sent for adding
    char start[20];
    char end[20];
    BYTE diskKey;      // the store the task records to
    char fileName[32]; // ANSI, NUL-terminated, without ".mp4"
    BYTE format;       // 0..4; the PC sends 1
    BYTE source;       // 0 CV, 1 SV, 2 TV
    WORD channel;
    BYTE dayMask; // 0 once; else weekly, Sunday 0x40 ... Saturday 0x01

    BYTE* data() { return reinterpret_cast<BYTE*>(this); }
    const BYTE* data() const { return reinterpret_cast<const BYTE*>(this); }
    static constexpr std::size_t size() { return 79; }
};

struct BoxInfoRecord {
    BYTE marker;    // 13 in a valid record
    char clock[20]; // the box clock, as a task's times
    BYTE unused[20];
    BYTE timeZone;  // 0..74
    BYTE diskCount; // at most 8
    BoxDiskRecord disks[8];
    BYTE taskCount; // at most 10
    BoxTaskRecord tasks[10];

    BYTE* data() { return reinterpret_cast<BYTE*>(this); }
    const BYTE* data() const { return reinterpret_cast<const BYTE*>(this); }
    static constexpr std::size_t size() { return 1002; }
};

#pragma pack(pop)

static_assert(sizeof(BoxDiskRecord) == 21 && offsetof(BoxDiskRecord, freeMb) == 17);
static_assert(sizeof(BoxTaskRecord) == BoxTaskRecord::size());
static_assert(offsetof(BoxTaskRecord, end) == 21 && offsetof(BoxTaskRecord, diskKey) == 41 &&
              offsetof(BoxTaskRecord, fileName) == 42 && offsetof(BoxTaskRecord, format) == 74 &&
              offsetof(BoxTaskRecord, channel) == 76 && offsetof(BoxTaskRecord, dayMask) == 78);
static_assert(sizeof(BoxInfoRecord) == BoxInfoRecord::size());
static_assert(offsetof(BoxInfoRecord, timeZone) == 41 && offsetof(BoxInfoRecord, disks) == 43 &&
              offsetof(BoxInfoRecord, taskCount) == 211 && offsetof(BoxInfoRecord, tasks) == 212);

constexpr BYTE kBoxInfoValid = 13;
constexpr std::size_t kBoxDisksMax = 8;
constexpr std::size_t kBoxTasksMax = 10;

// The disks and the valid tasks of a record, their counts held to what the record can hold.
std::span<const BoxDiskRecord> BoxDisks(const BoxInfoRecord& info);
std::span<BoxTaskRecord> BoxTasks(BoxInfoRecord& info);
std::span<const BoxTaskRecord> BoxTasks(const BoxInfoRecord& info);

// The one copy of the box's information through which the schedule page, the box task dialog and the
// recording warning see the box's tasks: overwritten by every valid answer, then kept current by the
// page (BoxInfoAppendTask, BoxInfoUpdateTask, BoxTaskRemove; all deleted sets the count to 0). UI thread.
extern BoxInfoRecord g_boxInfo;
