// Our side of the benchmark: the program (the application object with its own box connection manager and
// player, as main() makes it) run from a runnable folder on the display the environment names. Once its
// main window is up it logs in by IP to the test box on 127.0.0.1 as a user would (the IP choice, the
// address, a user name and password, the login button), prints "live <width> <height>" (the client size of
// its video area) when live view runs, and runs until it is stopped.
#pragma once

namespace livebench {

int RunLiveView();

} // namespace livebench
