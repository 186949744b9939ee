// The test box as a program for trying the client by hand: serves on 127.0.0.1, prints its ports, and runs
// until its standard input closes.  testbox [--id DEVICEID]
#include "tests/support/testbox/TestBox.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    testbox::Options options;
    if (argc == 3 && std::strcmp(argv[1], "--id") == 0)
        options.deviceId = argv[2];
    testbox::TestBox box(options);
    std::printf("lan-search %u\nlan-control %u\nlan-stream %u\ndirect-control %u\ndirect-stream %u\n",
                box.LanSearchPort(), box.LanControlPort(), box.LanStreamPort(), box.DirectControlPort(),
                box.DirectStreamPort());
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    std::printf("%zu frames received\n", box.Frames().size());
    return 0;
}
