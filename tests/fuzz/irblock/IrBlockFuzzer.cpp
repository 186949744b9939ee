// The box's IR data as the Remoter page receives it: any block gives whole profiles within its length,
// each learned key at its own position; the profiles then build an upload blob within its buffer that
// parses back to as many profiles.
#include "dialogs/records/IrProfileBlob.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<KQ_UI_IREntry> profiles = ParseBoxIrData(data, size);
    KQ_UI_IRProfileStore store;
    for (const KQ_UI_IREntry& profile : profiles) {
        for (std::size_t i = 0; i < profile.entries.size(); ++i) {
            const RemoterMapEntry& e = profile.entries[i];
            if (e.learned && e.key != kFirstRemoteKeyId + static_cast<std::int32_t>(i))
                __builtin_trap();
        }
        if (!store.HasProfile(profile.name))
            store.AddProfile(profile.name);
        store.AssignProfile(profile.name, profile);
    }
    IrProfileBlob blob;
    if (BuildProfileUploadBlob(store, blob) == IrBlobResult::Built) {
        if (blob.written < 2 || static_cast<std::size_t>(blob.written) > kIrProfileBlobSize)
            __builtin_trap();
        if (ParseBoxIrData(blob.start.get(), static_cast<std::size_t>(blob.written)).size() != blob.start[1])
            __builtin_trap();
    }
    return 0;
}
