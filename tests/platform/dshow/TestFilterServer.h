// The class identifier of the test filter library's transform (video AAAA in, BBBB out).
#pragma once

#include "platform/com/Guid.h"

inline constexpr CLSID CLSID_TestServedTransform = platform::MakeGuid("2F6C1E44-7B1D-4C90-A5E3-91D0C2B4F617");
