// The debug output the system's trace lines go to. It is silent unless asked for: with VELOQ_DEBUG_OUTPUT
// set to anything but "" or "0", each text goes to standard error (converted from the legacy code page to
// UTF-8); a sink set by the process (tests) receives the bytes as they were given.
#pragma once

#include "platform/win32/Types.h"

#include <functional>
#include <string_view>

// The text in the legacy code page, usually one line ending in a line feed. Null writes nothing.
void OutputDebugStringA(LPCSTR text);

namespace platform {

// Replaces the sink; null removes it. The sink may be called from any thread.
using DebugOutputSink = std::function<void(std::string_view bytes)>;
void SetDebugOutputSink(DebugOutputSink sink);

} // namespace platform
