// The system's address service: the tables from the kernel's interface list, the address calls as
// rtnetlink requests (RTM_NEWADDR, RTM_DELADDR) answered by the kernel's acknowledgement. Adding an
// address needs CAP_NET_ADMIN; without it the kernel answers EPERM.
#include "platform/net/AddressService.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

// The kernel answers at once; the bound only keeps a broken kernel from hanging the caller.
constexpr int kAckWaitMs = 2000;

DWORD fromErrno(int error) {
    switch (error) {
    case 0:
        return NO_ERROR;
    case EEXIST:
        return ERROR_OBJECT_ALREADY_EXISTS;
    case EPERM:
    case EACCES:
        return ERROR_ACCESS_DENIED;
    case ENODEV:
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EADDRNOTAVAIL:
        return ERROR_NOT_FOUND;
    default:
        return ERROR_GEN_FAILURE;
    }
}

struct AddressRequest {
    nlmsghdr header;
    ifaddrmsg message;
    char attributes[64];
};

void addAttribute(AddressRequest& request, unsigned short type, std::uint32_t value) {
    auto* attribute =
        reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
    attribute->rta_type = type;
    attribute->rta_len = RTA_LENGTH(sizeof value);
    std::memcpy(RTA_DATA(attribute), &value, sizeof value);
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);
}

// One request and the kernel's acknowledgement: the errno it carries (0 for success).
int exchange(AddressRequest& request) {
    const int s = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (s < 0)
        return errno;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    int error = ETIMEDOUT;
    if (::sendto(s, &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        error = errno;
    } else {
        pollfd p{s, POLLIN, 0};
        alignas(nlmsghdr) char answer[4096];
        bool answered = false;
        while (!answered && ::poll(&p, 1, kAckWaitMs) == 1) {
            const ssize_t n = ::recv(s, answer, sizeof answer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errno;
                break;
            }
            int left = static_cast<int>(n);
            for (auto* h = reinterpret_cast<nlmsghdr*>(answer); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
                if (h->nlmsg_seq != request.header.nlmsg_seq || h->nlmsg_type != NLMSG_ERROR ||
                    h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
                    continue;
                error = -static_cast<const nlmsgerr*>(NLMSG_DATA(h))->error;
                answered = true;
                break;
            }
        }
    }
    ::close(s);
    return error;
}

int addressRequest(unsigned short type, std::uint32_t address, std::uint32_t mask, DWORD index) {
    static std::uint32_t sequence = 0;
    AddressRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    if (type == RTM_NEWADDR)
        request.header.nlmsg_flags |= NLM_F_CREATE | NLM_F_EXCL;
    request.header.nlmsg_seq = ++sequence;
    request.message.ifa_family = AF_INET;
    request.message.ifa_prefixlen = static_cast<unsigned char>(PrefixLength(mask));
    request.message.ifa_scope = RT_SCOPE_UNIVERSE;
    request.message.ifa_index = index;
    addAttribute(request, IFA_LOCAL, address);
    addAttribute(request, IFA_ADDRESS, address);
    if (type == RTM_NEWADDR && PrefixLength(mask) < 31)
        addAttribute(request, IFA_BROADCAST, address | ~mask);
    return exchange(request);
}

class SystemService : public AddressService {
public:
    std::vector<Adapter> Adapters() override { return SystemAdapters(true); }

    std::vector<InterfaceEntry> Interfaces() override {
        std::vector<InterfaceEntry> table;
        for (const Adapter& a : SystemAdapters(true))
            table.push_back({a.index, a.name});
        return table;
    }

    DWORD AddAddress(std::uint32_t address, std::uint32_t mask, DWORD index, ULONG& context) override {
        char name[IF_NAMESIZE];
        if (PrefixLength(mask) < 0 || !::if_indextoname(index, name))
            return ERROR_INVALID_PARAMETER;
        // Like the system the wizard was written for: an address that any adapter has is there already.
        for (const Adapter& a : SystemAdapters(true))
            for (const AdapterAddress& held : a.addresses)
                if (held.address == address)
                    return ERROR_OBJECT_ALREADY_EXISTS;
        std::lock_guard lock(mutex_);
        const DWORD result = fromErrno(addressRequest(RTM_NEWADDR, address, mask, index));
        if (result == NO_ERROR) {
            context = nextContext_++;
            added_.emplace(context, Added{address, mask, index});
        }
        return result;
    }

    DWORD DeleteAddress(ULONG context) override {
        std::lock_guard lock(mutex_);
        const auto it = added_.find(context);
        if (it == added_.end())
            return ERROR_INVALID_PARAMETER;
        const Added added = it->second;
        added_.erase(it);
        return fromErrno(addressRequest(RTM_DELADDR, added.address, added.mask, added.index));
    }

private:
    struct Added {
        std::uint32_t address;
        std::uint32_t mask;
        DWORD index;
    };
    std::mutex mutex_;
    std::map<ULONG, Added> added_;
    ULONG nextContext_ = 1;
};

} // namespace

std::shared_ptr<AddressService> SystemAddressService() {
    static const std::shared_ptr<AddressService> system = std::make_shared<SystemService>();
    return system;
}

} // namespace platform
