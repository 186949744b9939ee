// Inside of this layer only: the modal loops of the UI thread. A loop ends with EndModalLoop (the dialog's
// result) or with WM_QUIT, which ends every loop (they return kLoopQuit), cancels the toolkit's own modal
// dialogs, and then ends the main loop.
#pragma once

namespace platform::mfc {

constexpr int kLoopQuit = -0x7171;

// handle names the running loop (null once it returned) for EndModalLoop.
int RunModalLoop(void** handle);
void EndModalLoop(void* handle, int code);
void QuitLoops(int exitCode);

} // namespace platform::mfc
