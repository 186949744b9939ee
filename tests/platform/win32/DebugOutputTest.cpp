#include "platform/win32/DebugOutput.h"
#include "platform/win32/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The trace lines reach a sink byte for byte, and standard error only when asked for, as UTF-8 from the
// legacy code page.
TEST(DebugOutputTest, SilentUnlessAskedForAndConvertedFromTheLegacyCodePage) {
    std::vector<std::string> lines;
    platform::SetDebugOutputSink([&](std::string_view bytes) { lines.emplace_back(bytes); });
    ASSERT_TRUE(platform::SetLegacyCodePage("CP936"));
    const std::string gbk = "\xCA\xD3\xC6\xB5 trace\n"; // "视频" in GBK

    struct Row {
        const char* setting; // null: unset
        bool written;
    };
    const Row rows[] = {{nullptr, false}, {"0", false}, {"", false}, {"1", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setting ? row.setting : "(unset)");
        if (row.setting)
            setenv("VELOQ_DEBUG_OUTPUT", row.setting, 1);
        else
            unsetenv("VELOQ_DEBUG_OUTPUT");
        lines.clear();
        testing::internal::CaptureStderr();
        OutputDebugStringA(gbk.c_str());
        OutputDebugStringA(nullptr);
        const std::string written = testing::internal::GetCapturedStderr();
        EXPECT_EQ(lines, std::vector<std::string>{gbk});
        EXPECT_EQ(written, row.written ? "\xE8\xA7\x86\xE9\xA2\x91 trace\n" : "");
    }
    unsetenv("VELOQ_DEBUG_OUTPUT");
    platform::SetLegacyCodePage("WINDOWS-1252");
    platform::SetDebugOutputSink(nullptr);
}

} // namespace
