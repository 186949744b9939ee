// An address service for tests: adapter and interface tables in memory, every add and delete recorded,
// and adds that can be made to fail, to answer that the address is already present, or to succeed
// without the address ever showing in the adapter table. Thread-safe.
#pragma once

#include "platform/net/AddressService.h"

#include <mutex>
#include <optional>
#include <vector>

namespace fakes {

class FakeAddressService : public platform::MemoryAddressService {
public:
    struct Add {
        std::uint32_t address;
        std::uint32_t mask;
        DWORD index;
    };

    using MemoryAddressService::MemoryAddressService;

    // What AddAddress answers instead of adding (nothing: it adds as the memory service does).
    void SetAddResult(std::optional<DWORD> result) {
        std::lock_guard lock(mutex_);
        addResult_ = result;
    }
    // false: an add succeeds with a context but the address never appears in the table.
    void SetAddressAppears(bool appears) {
        std::lock_guard lock(mutex_);
        appears_ = appears;
    }

    DWORD AddAddress(std::uint32_t address, std::uint32_t mask, DWORD index, ULONG& context) override {
        {
            std::lock_guard lock(mutex_);
            adds_.push_back({address, mask, index});
            if (addResult_)
                return *addResult_;
            if (!appears_) {
                context = kHiddenContexts + static_cast<ULONG>(adds_.size());
                return NO_ERROR;
            }
        }
        return MemoryAddressService::AddAddress(address, mask, index, context);
    }

    DWORD DeleteAddress(ULONG context) override {
        {
            std::lock_guard lock(mutex_);
            deletes_.push_back(context);
            if (context > kHiddenContexts)
                return NO_ERROR;
        }
        return MemoryAddressService::DeleteAddress(context);
    }

    std::vector<Add> Adds() const {
        std::lock_guard lock(mutex_);
        return adds_;
    }
    std::vector<ULONG> Deletes() const {
        std::lock_guard lock(mutex_);
        return deletes_;
    }
    // Whether an adapter holds the address now.
    bool Holds(std::uint32_t address) {
        for (const platform::Adapter& a : Adapters())
            for (const platform::AdapterAddress& held : a.addresses)
                if (held.address == address)
                    return true;
        return false;
    }

private:
    static constexpr ULONG kHiddenContexts = 1000000;
    mutable std::mutex mutex_;
    std::optional<DWORD> addResult_;
    bool appears_ = true;
    std::vector<Add> adds_;
    std::vector<ULONG> deletes_;
};

} // namespace fakes
