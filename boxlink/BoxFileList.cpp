#include "boxlink/BoxControlFrame.h"
#include "boxlink/BoxRecords.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kHeader = 5;      // type byte, u32 record count
constexpr std::size_t kPieceEnding = 7; // the piece's own ending that the folder name drops

BoxFileItem itemOf(const BYTE* record, WORD group) {
    BoxFileItem item;
    item.index = group;
    item.flag = record[36];
    std::memcpy(item.name.data(), record, item.name.size());
    item.value = LoadU16(record + 32);
    item.pieces = LoadU16(record + 34);
    return item;
}

void nameFolder(BoxFileFolder& folder, const BoxFileItem& last) {
    std::string_view name(last.name.data(), ::strnlen(last.name.data(), last.name.size()));
    if (name.size() >= kPieceEnding)
        name.remove_suffix(kPieceEnding);
    const std::string_view suffix = ".mp4";
    std::memcpy(folder.name.data(), name.data(), name.size());
    std::memcpy(folder.name.data() + name.size(), suffix.data(), suffix.size());
}

} // namespace

void StoreBoxFileRecord(const BoxFileItem& item, BYTE* record) {
    std::memcpy(record, item.name.data(), item.name.size());
    StoreU16(record + 32, item.value);
    StoreU16(record + 34, static_cast<WORD>(item.pieces));
    record[36] = item.flag;
}

std::optional<BoxFileList> ParseBoxFileList(const BYTE* message, std::size_t length) {
    if (length < kHeader)
        return std::nullopt;
    const std::size_t records =
        std::min<std::size_t>(LoadU32(message + 1), (length - kHeader) / kBoxFileRecordSize);
    BoxFileList list;
    WORD group = 0;
    for (std::size_t consumed = 0; consumed < records; ++group) {
        const BYTE* first = message + kHeader + consumed * kBoxFileRecordSize;
        const std::size_t pieces = LoadU16(first + 34);
        if (pieces == 0 || pieces > records - consumed)
            return std::nullopt;
        BoxFileFolder folder;
        folder.index = group;
        for (std::size_t i = 0; i < pieces; ++i)
            folder.items.push_back(itemOf(first + i * kBoxFileRecordSize, group));
        folder.flag = folder.items.back().flag;
        nameFolder(folder, folder.items.back());
        list.push_back(std::move(folder));
        consumed += pieces;
    }
    return list;
}
