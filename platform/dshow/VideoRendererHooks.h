// Test hook of the video renderer.
#pragma once

namespace platform::dshow {

// While set, creating the VMR-9 fails (E_FAIL), so the VMR-7 paths run.
void SetVmr9CreationFails(bool fails);

} // namespace platform::dshow
