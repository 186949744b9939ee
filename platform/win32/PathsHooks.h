// Test hook of the paths: a test gives the program a temporary folder of its own.
#pragma once

#include <filesystem>

namespace platform {

// Sets the executable's path, against whose folder relative paths resolve from now on.
void SetExecutablePath(const std::filesystem::path& path);

} // namespace platform
