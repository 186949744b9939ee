// The test box's records, written from the wire layout independently of the program's records: the
// 1002-byte information record it answers get-box-info with (clock, time zone, disks, up to ten tasks),
// which its task requests change, and the IR data block it was last given.
//
//   get-box-info   value 1, then the record as its own message
//   add task       the request's 79-byte task (payload) appended with a new id (lowest free from 1),
//                  answered with the id at 176; refused (0) with ten tasks
//   update task    the stored task of the request task's id overwritten; refused for an unknown id
//   delete task    the task whose id is the request's value removed, or all for 200; answered with the id
//                  (200) at 176; refused for an unknown id
//   set clock      the payload's "y:m:d:h:mi" text becomes the clock; answered with the clock text
//                  ("%04d:%02d:%02d:%02d:%02d") at 48
//   set time zone  the request's value becomes the zone; answered with the clock as "%d:%d:%d:%d:%d" at 48
//   get IR data    value = the block's length, then the block; refused while it holds none
//   put IR data    the block the PC uploads replaces the kept one once it is whole (TestBox)
//
// Refuse(command) answers the next requests of a command with 0 and changes nothing. Used under the test
// box's lock (TestBox::Records).
#pragma once

#include "tests/support/testbox/BoxWire.h"

#include <map>

namespace testbox {

struct Reply;

constexpr std::uint32_t kGetIrData = 0xFDFD2084;
constexpr std::uint32_t kAddBoxTask = 0xFDFD20A3;
constexpr std::uint32_t kDeleteBoxTask = 0xFDFD20A4;
constexpr std::uint32_t kUpdateBoxTask = 0xFDFD20A5;

constexpr std::size_t kInfoSize = 1002;
constexpr std::size_t kTaskSize = 79;

// A task record for the box: id, start and end texts, disk key, file name, source, channel, day mask
// (format 1).
Bytes TaskRecord(std::uint8_t id, const std::string& start, const std::string& end, std::uint8_t disk,
                 const std::string& file, std::uint8_t source = 2, std::uint16_t channel = 0,
                 std::uint8_t days = 0);

class BoxRecordsSide {
public:
    // Marker 13, clock "2008:07:01:12:00", zone 56, one disk (key 1, "HDD1", 80000 MB), no tasks, and an
    // IR block of no profiles.
    BoxRecordsSide();

    // Fills the answer to a request this side serves and returns true; false for other commands.
    bool Answer(const Frame& request, Reply& reply);
    void Refuse(std::uint32_t command, int times = 1);

    Bytes& Info() { return info_; } // the whole record, 1002 bytes
    std::vector<Bytes> Tasks() const;
    Bytes& IrData() { return ir_; }

private:
    std::size_t taskCount() const;
    std::uint8_t* task(std::size_t i) { return info_.data() + 212 + kTaskSize * i; }
    int find(std::uint8_t id) const;
    std::string clock() const;

    Bytes info_;
    Bytes ir_;
    std::map<std::uint32_t, int> refusals_;
};

} // namespace testbox
