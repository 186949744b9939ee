// The address service: masks, the in-memory service behind the loopback environment and the routing of the
// address calls through the environment, and the system's service over rtnetlink, which runs only inside
// a network namespace the test makes for itself (it never touches this machine's adapters).
#include "platform/net/AddressService.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <net/if.h>
#include <optional>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::uint32_t ip(const char* text) {
    std::uint32_t a = 0;
    EXPECT_TRUE(platform::ParseIpv4(text, a)) << text;
    return a;
}

const platform::Adapter* named(const std::vector<platform::Adapter>& table, const std::string& name) {
    const auto it = std::find_if(table.begin(), table.end(), [&](const auto& a) { return a.name == name; });
    return it == table.end() ? nullptr : &*it;
}

bool holds(const platform::Adapter* adapter, std::uint32_t address) {
    return adapter && std::any_of(adapter->addresses.begin(), adapter->addresses.end(),
                                  [&](const platform::AdapterAddress& a) { return a.address == address; });
}

TEST(AddressServiceTest, PrefixLengthOfContiguousMasksOnly) {
    const struct {
        const char* mask;
        int length;
    } cases[] = {{"255.255.255.0", 24}, {"255.0.0.0", 8},    {"255.255.255.255", 32}, {"0.0.0.0", 0},
                 {"255.255.254.0", 23}, {"255.0.255.0", -1}, {"0.255.255.255", -1},   {"255.255.255.1", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(platform::PrefixLength(ip(c.mask)), c.length) << c.mask;
}

TEST(AddressServiceTest, AddressCallsGoToTheEnvironmentsService) {
    auto service = std::make_shared<platform::MemoryAddressService>(std::vector<platform::Adapter>{
        {"eth-a", 2, platform::kAdapterEthernet, {{ip("10.0.0.5"), ip("255.255.255.0")}}, 0},
        {"eth-b", 4, platform::kAdapterEthernet, {}, 0}});
    platform::NetEnvironment env = platform::LoopbackNetEnvironment();
    env.addressService = service;
    platform::ScopedNetEnvironment scoped(env);

    const std::vector<platform::InterfaceEntry> interfaces = platform::InterfaceInfo();
    ASSERT_EQ(interfaces.size(), 2u);
    EXPECT_EQ(interfaces[1].index, 4u);
    EXPECT_EQ(interfaces[1].name, "eth-b");

    ULONG context = 0, instance = 0;
    ASSERT_EQ(AddIPAddress(ip("192.168.0.200"), ip("255.255.255.0"), 4, &context, &instance), NO_ERROR);
    EXPECT_NE(context, 0u);
    EXPECT_EQ(instance, context);
    EXPECT_TRUE(holds(named(platform::AdaptersInfo(), "eth-b"), ip("192.168.0.200")));

    // An address that an adapter holds, on the same adapter or another one.
    ULONG again = 0;
    EXPECT_EQ(AddIPAddress(ip("192.168.0.200"), ip("255.255.255.0"), 2, &again, nullptr),
              ERROR_OBJECT_ALREADY_EXISTS);
    EXPECT_EQ(AddIPAddress(ip("10.0.0.5"), ip("255.255.255.0"), 4, &again, nullptr),
              ERROR_OBJECT_ALREADY_EXISTS);
    EXPECT_EQ(again, 0u);
    EXPECT_EQ(AddIPAddress(ip("192.168.0.201"), ip("255.255.255.0"), 9, &again, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(AddIPAddress(ip("192.168.0.201"), ip("255.0.255.0"), 4, &again, nullptr),
              ERROR_INVALID_PARAMETER);

    EXPECT_EQ(DeleteIPAddress(context), NO_ERROR);
    EXPECT_FALSE(holds(named(platform::AdaptersInfo(), "eth-b"), ip("192.168.0.200")));
    EXPECT_EQ(DeleteIPAddress(context), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(holds(named(platform::AdaptersInfo(), "eth-a"), ip("10.0.0.5")));
}

TEST(AddressServiceTest, LoopbackEnvironmentKeepsItsAddressesInMemory) {
    platform::ScopedNetEnvironment scoped(platform::LoopbackNetEnvironment());
    const std::vector<platform::Adapter> table = platform::AdaptersInfo();
    ASSERT_EQ(table.size(), 1u);
    EXPECT_TRUE(holds(&table[0], ip("127.0.0.1")));
    ULONG context = 0;
    EXPECT_EQ(AddIPAddress(ip("127.0.0.1"), ip("255.0.0.0"), table[0].index, &context, nullptr),
              ERROR_OBJECT_ALREADY_EXISTS);
}

// Runs body in a child process inside a network namespace of its own (and a user namespace when the test
// is not root) with the veth pair wz0/wz1 and nothing else but its own loopback. Returns body's failure
// text ("" when it passed), or nothing when such a namespace cannot be had here.
std::optional<std::string> inPrivateNetwork(std::string (*body)()) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return std::nullopt;
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        auto finish = [&](const std::string& text, int code) {
            [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], text.data(), text.size());
            ::_exit(code);
        };
        if (uid == 0 ? ::unshare(CLONE_NEWNET) != 0 : ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            finish("unshare", 77);
        if (uid != 0) {
            std::ofstream("/proc/self/setgroups") << "deny";
            std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
            std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
        }
        // Nothing of this machine is in reach: the namespace has its loopback only.
        struct if_nameindex* names = ::if_nameindex();
        const bool onlyLoopback =
            names && names[0].if_name && std::string(names[0].if_name) == "lo" && !names[1].if_name;
        ::if_freenameindex(names);
        if (!onlyLoopback)
            finish("the namespace is not empty", 1);
        if (std::system("ip link add wz0 type veth peer name wz1 >/dev/null 2>&1") != 0)
            finish("no veth pair", 77);
        const std::string failure = body();
        finish(failure, failure.empty() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return "the child did not finish: " + text;
    if (WEXITSTATUS(status) == 77)
        return std::nullopt;
    return WEXITSTATUS(status) == 0 ? std::string() : text;
}

std::string systemServiceAddsAndDeletes() {
    const std::shared_ptr<platform::AddressService> service = platform::SystemAddressService();
    const std::uint32_t temporary = ip("192.168.0.200"), mask = ip("255.255.255.0");
    std::vector<platform::Adapter> table = service->Adapters();
    const platform::Adapter* wz1 = named(table, "wz1");
    if (table.size() != 2 || !wz1 || !named(table, "wz0"))
        return "the adapter table does not list the two links (and only them)";
    if (wz1->type != platform::kAdapterEthernet || !wz1->addresses.empty())
        return "wz1 is not an Ethernet adapter without addresses";
    const std::vector<platform::InterfaceEntry> interfaces = service->Interfaces();
    if (interfaces.size() != 2 || std::none_of(interfaces.begin(), interfaces.end(), [&](const auto& e) {
            return e.index == wz1->index && e.name == "wz1";
        }))
        return "the interface table does not list wz1";
    const DWORD index = wz1->index;

    ULONG context = 0;
    if (const DWORD r = service->AddAddress(temporary, mask, index, context); r != NO_ERROR || context == 0)
        return "add: " + std::to_string(r);
    table = service->Adapters();
    if (!holds(named(table, "wz1"), temporary) || holds(named(table, "wz0"), temporary))
        return "the added address is not on wz1 alone";
    for (const platform::AdapterAddress& a : named(table, "wz1")->addresses)
        if (a.address == temporary && a.mask != mask)
            return "the added address has another mask";
    ULONG again = 0;
    if (const DWORD r = service->AddAddress(temporary, mask, named(table, "wz0")->index, again);
        r != ERROR_OBJECT_ALREADY_EXISTS)
        return "add again: " + std::to_string(r);
    if (const DWORD r = service->AddAddress(ip("192.168.0.201"), mask, 9999, again);
        r != ERROR_INVALID_PARAMETER)
        return "add on an unknown interface: " + std::to_string(r);
    if (const DWORD r = service->DeleteAddress(context); r != NO_ERROR)
        return "delete: " + std::to_string(r);
    if (holds(named(service->Adapters(), "wz1"), temporary))
        return "the deleted address is still there";
    if (const DWORD r = service->DeleteAddress(context); r != ERROR_INVALID_PARAMETER)
        return "delete again: " + std::to_string(r);
    return {};
}

TEST(AddressServiceTest, SystemServiceAddsAndDeletesInAPrivateNetworkNamespace) {
    const std::optional<std::string> failure = inPrivateNetwork(&systemServiceAddsAndDeletes);
    if (!failure)
        GTEST_SKIP() << "no private network namespace with a veth pair can be made here";
    EXPECT_EQ(*failure, "");
}

} // namespace
