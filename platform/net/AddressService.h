// The PC's adapter and interface tables and the adding and deleting of an IPv4 address on an adapter: the
// calls the setup wizard makes to give the PC a temporary address in a box's factory subnet. They go
// through the NetEnvironment's address service: the system's (the kernel's tables, the address calls over
// rtnetlink) unless the environment injects another, so that tests and the loopback environment never
// touch this machine's adapters.
#pragma once

#include "platform/net/Adapters.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_DUP_DOMAINNAME = 1221;
constexpr DWORD ERROR_OBJECT_ALREADY_EXISTS = 5010;

namespace platform {

struct InterfaceEntry {
    DWORD index = 0;
    std::string name;
};

class AddressService {
public:
    virtual ~AddressService() = default;
    // Every adapter, also those that are down or have no IPv4 address; loopback is not listed.
    virtual std::vector<Adapter> Adapters() = 0;
    // The interfaces by index, as the address calls name them; loopback is not listed.
    virtual std::vector<InterfaceEntry> Interfaces() = 0;
    // Adds address/mask (network byte order) on the interface. NO_ERROR with a context (never 0) for
    // DeleteAddress; ERROR_OBJECT_ALREADY_EXISTS when an adapter has the address already; ERROR_ACCESS_DENIED
    // without the right to administer the network; ERROR_INVALID_PARAMETER for an unknown interface or a
    // mask that is not contiguous.
    virtual DWORD AddAddress(std::uint32_t address, std::uint32_t mask, DWORD index, ULONG& context) = 0;
    // Deletes what AddAddress added under the context; ERROR_INVALID_PARAMETER for an unknown context.
    virtual DWORD DeleteAddress(ULONG context) = 0;
};

// The system's service, one per process.
std::shared_ptr<AddressService> SystemAddressService();

// A service whose tables live in memory: adding and deleting change only them. The loopback environment's.
class MemoryAddressService : public AddressService {
public:
    explicit MemoryAddressService(std::vector<Adapter> adapters);
    std::vector<Adapter> Adapters() override;
    std::vector<InterfaceEntry> Interfaces() override;
    DWORD AddAddress(std::uint32_t address, std::uint32_t mask, DWORD index, ULONG& context) override;
    DWORD DeleteAddress(ULONG context) override;

private:
    struct Added {
        std::uint32_t address;
        DWORD index;
    };
    std::mutex mutex_;
    std::vector<Adapter> adapters_;
    std::map<ULONG, Added> added_;
    ULONG nextContext_ = 1;
};

// The prefix length of a contiguous mask (network byte order), or -1.
int PrefixLength(std::uint32_t mask);

// The tables of the NetEnvironment's address service (the system's adapter and interface information).
std::vector<Adapter> AdaptersInfo();
std::vector<InterfaceEntry> InterfaceInfo();

} // namespace platform

// The address calls with their Win32 results, through the NetEnvironment's address service; the instance
// of AddIPAddress is the same number as its context.
DWORD AddIPAddress(std::uint32_t address, std::uint32_t mask, DWORD index, ULONG* context, ULONG* instance);
DWORD DeleteIPAddress(ULONG context);
