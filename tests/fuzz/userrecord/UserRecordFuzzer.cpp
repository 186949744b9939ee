// The remembered-logins file as the login pane reads it: any bytes give a record or a failed read, never
// a read past the end or an allocation the file cannot back.
#include "dialogs/records/UserRecord.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KQ_UI_UserRecord record;
    if (record.Read(std::vector<std::uint8_t>(data, data + size)) == 1) {
        std::size_t characters =
            record.text1.size() + record.text2.size() + record.text3.size() + record.text4.size();
        for (const std::wstring& id : record.loginIds)
            characters += id.size();
        if (characters > size)
            __builtin_trap(); // every character came from the file
    }
    return 0;
}
