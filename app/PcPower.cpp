#include "app/PcPower.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

int SystemPower::ShutDown() {
    // The request is refused without the right to power off (no polkit grant); then we keep running.
    char program[] = "systemctl";
    char verb[] = "poweroff";
    char* argv[] = {program, verb, nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return 0;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 0;
    return 1;
}
