// The schedule file as the configuration loads it: any bytes give whole entries and ranges or a failed
// read, never a read past the end; a whole file saves back to the bytes it was read from. The due and
// conflict tests then run over what was read.
#include "dialogs/records/ScheduleTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    KQ_ScheduleTable table;
    const int whole = table.Read(bytes);
    const std::size_t entriesEnd = KQ_ScheduleTable::kWeekBitmapBytes + 4 + 34 * table.entries.size();
    const std::size_t used = entriesEnd + 4 + 16 * table.ranges.size();
    if ((!table.entries.empty() && entriesEnd > size) ||
        ((whole == 1 || !table.ranges.empty()) && used > size))
        __builtin_trap(); // every record came from the file
    if (whole == 1 && table.Bytes() != std::vector<std::uint8_t>(data, data + used))
        __builtin_trap();
    for (const SCHEDULE_ENTRY& e : table.entries) {
        table.FindDue(e.start);
        KQ_ScheduleTable copy = table;
        copy.TryReserve(e);
        copy.NewEntryId(e.start);
    }
    return 0;
}
