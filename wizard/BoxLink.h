// The wizard's one connection to a box: finds it on the LAN by a UDP probe, or at its factory address
// after giving the PC a temporary address in the factory subnet; opens the box's control port, logs in,
// and sends the network and dynamic-DNS settings. Every call runs on the calling (user-interface) thread
// and blocks it; every wait has a bound (a search 2 x 2 s, the factory search up to 8 s more, a connect
// 5 s, a command 2 x 2 s). Every address and port comes from the NetEnvironment; the temporary address
// goes through its address service.
//
// One object for the whole run: the application creates it at start and deletes it at the end. The
// connection stays open across the pages until a login to another box, a connection the box closed or
// that failed, or the destructor (which sends the close command). The temporary address lives from a
// successful factory search until the next login, the next LAN search, or the destructor.
#pragma once

#include "wizard/SetupFrames.h"

#include "platform/net/Winsock.h"

#include <string>

class CBoxLink {
public:
    CBoxLink();
    ~CBoxLink();
    CBoxLink(const CBoxLink&) = delete;
    CBoxLink& operator=(const CBoxLink&) = delete;

    // 1 logged in, 0 the box refused the login, -1 no box found or no connection to it.
    int Login(const std::wstring& deviceId, const std::wstring& userName, const std::wstring& password);
    // The network settings (mode NET_MODE_DHCP or NET_MODE_STATIC, addresses as dotted quads), sent with
    // the login's fields. An address that is not a dotted quad is refused: nothing is sent.
    bool SendDhcpMode(DWORD mode);
    bool SendStaticMode(DWORD mode, const std::wstring& address, const std::wstring& mask,
                        const std::wstring& gateway, const std::wstring& dns);
    bool SendPppoeMode(const std::wstring& account, const std::wstring& password);
    // providerIndex is the provider's place in the page's list; enable 1 sets, 0 clears.
    bool SendDdnsSettings(const std::wstring& domain, const std::wstring& userName,
                          const std::wstring& password, int providerIndex, DWORD enable);
    // Sends the frame, at most twice, and true once a whole reply carries result 1.
    bool ExchangeCommand(const BoxControlFrame& frame);

    const std::wstring& BoxAddress() const { return boxAddress_; }
    bool IsConnected() const { return connected_; }

private:
    void Reset(const std::wstring& deviceId);
    bool DiscoverOnLan();
    bool DiscoverAtFactoryAddress();
    void AddTemporaryAddress();
    void DeleteTemporaryAddress();
    bool ConnectControlPort();
    void CloseConnection();
    // Reads and drops what already waits on the connection; false when the box closed it.
    bool DropWaitingBytes();
    enum class Reply { Whole, Missing, Closed };
    Reply ReadReply(BoxControlFrame& reply);

    ULONG temporaryContext_ = 0; // of the temporary address; 0: none
    SOCKET socket_ = INVALID_SOCKET;
    bool connected_ = false;
    std::wstring boxAddress_; // dotted quad; "" until found
    BoxNetworkSettings settings_;
    std::wstring lastId_;
    std::string deviceId_; // of the current login, ANSI, at most its slot
};

// The directed broadcast of the first address of the adapter table (address OR NOT mask), 0 when there is
// none; the NetEnvironment may name it.
std::uint32_t GetBroadcastAddress();
// Whether an adapter holds the temporary address. The adapter table is read instead of the host name's
// addresses: on Linux the host name usually resolves to a loopback address only.
bool HasTemporaryAddress();
