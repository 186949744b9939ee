// Test hook of the clock: tests speed the process-wide clock up, so a 90-second time-out passes in a second.
#pragma once

namespace platform {

// Sets the process-wide time scale (> 0; 1 is real time). Takes effect at once for every clock reader;
// waits already in progress pick the new scale up when they next wake.
void SetTimeScale(double scale);

} // namespace platform
