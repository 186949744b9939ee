// Ring memory reads zero, and is written without page faults: neither on its first pass nor after the
// process forked (which shares ordinary memory copy-on-write, so that every page faults once more on its
// next write). The faults are the kernel's count for this thread.
#include "platform/win32/RingMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBytes = 4 << 20; // 1024 pages

long faultsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// The faults that writing every byte of `memory` takes after a child process was forked, which lives
// until the writing is done.
long faultsOfAWriteAfterAFork(BYTE* memory) {
    int gate[2];
    if (pipe(gate) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        char c;
        close(gate[1]);
        (void)!read(gate[0], &c, 1); // until the parent closes its end
        _exit(0);
    }
    close(gate[0]);
    const long before = faultsSoFar();
    std::memset(memory, 0x5A, kBytes);
    const long faults = faultsSoFar() - before;
    close(gate[1]);
    waitpid(child, nullptr, 0);
    return faults;
}

TEST(RingMemoryTest, ReadsZeroAndIsWrittenWithoutFaultsBeforeAndAfterAFork) {
    platform::RingMemory ring(kBytes);
    ASSERT_TRUE(ring);
    const long before = faultsSoFar();
    EXPECT_TRUE(std::all_of(ring.get(), ring.get() + kBytes, [](BYTE b) { return b == 0; }));
    std::memset(ring.get(), 0xA5, kBytes);
    EXPECT_LT(faultsSoFar() - before, 16) << "committed when made, not on the first pass";
    EXPECT_LT(faultsOfAWriteAfterAFork(ring.get()), 16);

    // What it spares: ordinary memory, written once, faults on every page after a fork.
    auto ordinary = std::make_unique<BYTE[]>(kBytes);
    std::memset(ordinary.get(), 0xA5, kBytes);
    EXPECT_GT(faultsOfAWriteAfterAFork(ordinary.get()), 512);
}

TEST(RingMemoryTest, NothingIsMadeOfZeroBytesAndMovingHandsTheMemoryOver) {
    EXPECT_FALSE(platform::RingMemory(0));
    platform::RingMemory first(4096);
    BYTE* bytes = first.get();
    platform::RingMemory second = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), bytes);
    first = std::move(second);
    EXPECT_EQ(first.get(), bytes);
}

} // namespace
