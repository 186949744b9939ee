// A box's ".rpl" file as the login reads it: any bytes give whole profiles or a failed read, never a read
// past the end or an allocation the file cannot back; what was read whole writes and reads back the same.
#include "dialogs/records/IrProfileStore.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KQ_UI_IRProfileStore store;
    const int whole = store.Read(std::vector<std::uint8_t>(data, data + size));
    if (store.profiles.size() * 36 * 520 > size)
        __builtin_trap(); // every profile came from the file
    if (whole == 1) {
        KQ_UI_IRProfileStore again;
        if (again.Read(store.Bytes()) != 1 || again.profiles != store.profiles ||
            again.header != store.header)
            __builtin_trap();
    }
    return 0;
}
