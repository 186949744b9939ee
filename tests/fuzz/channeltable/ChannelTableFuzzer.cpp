// The channel-table loader on arbitrary files: only its three results, and a loaded table that is saved and
// loaded again comes back the same after one save.
#include "config/AppConfig.h"
#include "platform/win32/Paths.h"
#include "platform/win32/PathsHooks.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void setUp() {
    static const bool done = [] {
        char pattern[] = "/tmp/veloq-fuzz-tlb-XXXXXX";
        platform::SetExecutablePath(std::filesystem::path(::mkdtemp(pattern)) / "Veloq");
        return true;
    }();
    (void)done;
}

bool sameTables(const KQ_AppConfig& a, const KQ_AppConfig& b) {
    if (a.m_channelTable.size() != b.m_channelTable.size())
        return false;
    for (std::size_t i = 0; i < a.m_channelTable.size(); ++i) {
        const auto& x = a.m_channelTable[i];
        const auto& y = b.m_channelTable[i];
        if (x.name != y.name || x.channel != y.channel || x.frequency != y.frequency ||
            x.isFavourite != y.isFavourite)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    setUp();
    const std::filesystem::path folder = platform::ExecutableFolder();
    std::ofstream(folder / "in.tlb", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    KQ_AppConfig config;
    config.m_channelTable.push_back({0, L"before", 1, 1});
    const int result = config.LoadChannelTable(L".\\in.tlb");
    check(result == 0 || result == kChannelTableEmpty || result == kChannelTableIncomplete);
    check(result != kChannelTableEmpty || config.m_channelTable.size() == 1);
    check(result != kChannelTableIncomplete || config.m_channelTable.empty());
    if (result != 0)
        return 0;

    std::filesystem::remove(folder / "a.tlb");
    std::filesystem::remove(folder / "b.tlb");
    check(config.SaveChannelTable(L".\\a.tlb") == 0);
    KQ_AppConfig first;
    check(first.LoadChannelTable(L".\\a.tlb") == (config.m_channelTable.empty() ? kChannelTableEmpty : 0));
    check(first.SaveChannelTable(L".\\b.tlb") == 0);
    KQ_AppConfig second;
    second.LoadChannelTable(L".\\b.tlb");
    check(sameTables(first, second));
    return 0;
}
