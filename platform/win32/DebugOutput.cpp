#include "platform/win32/DebugOutput.h"

#include "platform/win32/Text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_sinkMutex;
platform::DebugOutputSink g_sink;

bool askedFor() {
    const char* value = std::getenv("VELOQ_DEBUG_OUTPUT");
    return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace

void OutputDebugStringA(LPCSTR text) {
    if (!text)
        return;
    const std::string_view bytes(text);
    {
        std::lock_guard lock(g_sinkMutex);
        if (g_sink)
            g_sink(bytes);
    }
    if (askedFor()) {
        const std::string line = platform::ToUtf8(platform::FromLegacy(bytes));
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
}

namespace platform {

void SetDebugOutputSink(DebugOutputSink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(sink);
}

} // namespace platform
