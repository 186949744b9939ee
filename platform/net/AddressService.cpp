#include "platform/net/AddressService.h"

#include "platform/net/NetEnvironment.h"

#include <algorithm>
#include <arpa/inet.h>

namespace platform {
namespace {

std::shared_ptr<AddressService> service() {
    std::shared_ptr<AddressService> injected = GetNetEnvironment().addressService;
    return injected ? injected : SystemAddressService();
}

} // namespace

int PrefixLength(std::uint32_t mask) {
    const std::uint32_t host = ntohl(mask);
    const std::uint32_t inverted = ~host;
    if ((inverted & (inverted + 1)) != 0) // the host bits are not one run at the bottom
        return -1;
    int length = 0;
    for (std::uint32_t bits = host; bits; bits <<= 1)
        ++length;
    return length;
}

std::vector<Adapter> AdaptersInfo() {
    return service()->Adapters();
}

std::vector<InterfaceEntry> InterfaceInfo() {
    return service()->Interfaces();
}

MemoryAddressService::MemoryAddressService(std::vector<Adapter> adapters) : adapters_(std::move(adapters)) {}

std::vector<Adapter> MemoryAddressService::Adapters() {
    std::lock_guard lock(mutex_);
    return adapters_;
}

std::vector<InterfaceEntry> MemoryAddressService::Interfaces() {
    std::lock_guard lock(mutex_);
    std::vector<InterfaceEntry> table;
    for (const Adapter& a : adapters_)
        table.push_back({a.index, a.name});
    return table;
}

DWORD MemoryAddressService::AddAddress(std::uint32_t address, std::uint32_t mask, DWORD index,
                                       ULONG& context) {
    std::lock_guard lock(mutex_);
    const auto target = std::find_if(adapters_.begin(), adapters_.end(),
                                     [index](const Adapter& a) { return a.index == index; });
    if (target == adapters_.end() || PrefixLength(mask) < 0)
        return ERROR_INVALID_PARAMETER;
    for (const Adapter& a : adapters_)
        for (const AdapterAddress& held : a.addresses)
            if (held.address == address)
                return ERROR_OBJECT_ALREADY_EXISTS;
    target->addresses.push_back({address, mask});
    context = nextContext_++;
    added_.emplace(context, Added{address, index});
    return NO_ERROR;
}

DWORD MemoryAddressService::DeleteAddress(ULONG context) {
    std::lock_guard lock(mutex_);
    const auto it = added_.find(context);
    if (it == added_.end())
        return ERROR_INVALID_PARAMETER;
    for (Adapter& a : adapters_)
        if (a.index == it->second.index)
            std::erase_if(a.addresses,
                          [&](const AdapterAddress& held) { return held.address == it->second.address; });
    added_.erase(it);
    return NO_ERROR;
}

} // namespace platform

DWORD AddIPAddress(std::uint32_t address, std::uint32_t mask, DWORD index, ULONG* context, ULONG* instance) {
    ULONG added = 0;
    const DWORD result = platform::service()->AddAddress(address, mask, index, added);
    if (result == NO_ERROR) {
        if (context)
            *context = added;
        if (instance)
            *instance = added;
    }
    return result;
}

DWORD DeleteIPAddress(ULONG context) {
    return platform::service()->DeleteAddress(context);
}
