// Test hook of the screen saver: tests put a fake inhibitor in place of the desktop's.
#pragma once

#include "platform/desktop/ScreenSaver.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

// What MakeScreenSaverInhibitor makes from now on (a fake); an empty function restores the desktop's.
using ScreenSaverFactory = std::function<std::unique_ptr<ScreenSaverInhibitor>(const std::string& program,
                                                                               const std::string& reason)>;
void SetScreenSaverFactory(ScreenSaverFactory factory);

} // namespace platform
