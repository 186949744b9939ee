// Reaching the box through a relay server. The server only introduces the two sides: the PC tells it its
// external address and two TCP ports its router forwards (MyUPnP), the server tells the box, and answers
// with the box's address and two ports of the box. Both sides then open TCP connections to each other at
// the same time, in the directions the server names; one connection of pair A becomes the control
// connection and one of pair B the audio/video connection. The whole attempt is bounded by 90 s of the
// scaled clock. Server addresses, the server port, the rendezvous ports and the listen port without a
// mapping come from NetEnvironment.
//
// One rendezvous runs at a time, on the connection manager's login thread. Its worker threads (server
// exchange, rendezvous state, up to four probes) are started and joined inside RunServerRendezvous; each
// probe closes its own socket unless that socket is handed to the caller.
#pragma once

#include "platform/net/Winsock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Called on the exchange thread at each stage (2 connecting to the server, 3 verifying the device, 4
// connecting to the device); it may only post.
using RendezvousProgress = std::function<void(int stage)>;

constexpr int kRendezvousConnected = 1000;

// Returns kRendezvousConnected with two connected blocking sockets (control, audio/video), which the caller
// then owns; the router mappings stay until UnmapRendezvousPorts. Any other result is a code from 1001 to
// 1013, the out sockets are untouched and the mappings deleted. boxAddress receives the address of the
// last second-stage reply (empty when none came) in every case; accepted tells whether that reply was the
// server's acceptance for this device.
int RunServerRendezvous(const std::wstring& firstServer, const std::wstring& secondServer,
                        const std::wstring& deviceId, SOCKET* controlSocket, SOCKET* streamSocket,
                        std::wstring* boxAddress, const RendezvousProgress& progress = {},
                        bool* accepted = nullptr);

// Starts the socket layer (its result is ignored).
void StartWinsock();
// Clears the outcome of the last rendezvous except the server addresses and the request.
void ResetRendezvousState();
// Asks the router for the two rendezvous mappings at base and base + 25 (each + 20 when the port is in use)
// and fills the request's address, ports and mapping state.
void MapRendezvousPorts(int base);
// Deletes both mappings; returns 1.
int UnmapRendezvousPorts();

// A port base in 5000..65490 from a 15-bit generator seeded with the time, so that every derived port
// (up to base + 45) is valid.
int RandomPortBase();
int PortBaseFrom(unsigned random15);

// The result code for an outcome with no socket connected (0: keep waiting).
int DecodeRendezvousOutcome(int stageOutcome, int failureKind);

// Which probes supply the control and the audio/video socket, given which are connected (indices into
// listenA, connectA, listenB, connectB); false when the connected ones don't make a pair.
enum RendezvousProbe { kListenA, kConnectA, kListenB, kConnectB };
bool ChooseRendezvousSockets(const std::array<bool, 4>& connected, int* control, int* stream);
