#include "tests/support/testbox/WizardBox.h"

#include "tests/support/fakes/Loopback.h"

#include "platform/win32/Clock.h"

#include <algorithm>

namespace testbox {

namespace {

constexpr std::size_t kFrameSize = 188;

} // namespace

struct WizardBox::Connection {
    SOCKET socket = INVALID_SOCKET;
    int id = 0;
    bool closed = false;
    Bytes in;

    void close() {
        if (!closed)
            closesocket(socket);
        closed = true;
    }
};

struct WizardBox::Pending {
    platform::Duration due;
    std::shared_ptr<Connection> connection;
    Bytes bytes;
    bool close = false;
};

WizardBox::WizardBox(WizardBoxOptions options) : options_(std::move(options)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    searchPort_ = options_.searchPort;
    controlPort_ = options_.controlPort;
    try {
        if (options_.searchAddress.empty())
            options_.searchAddress = options_.address;
        udp_ = BindLoopback(SOCK_DGRAM, options_.searchAddress, searchPort_);
        listener_ = BindLoopback(SOCK_STREAM, options_.address, controlPort_);
        listen(listener_, 8);
    } catch (...) {
        if (udp_ != INVALID_SOCKET)
            closesocket(udp_);
        WSACleanup();
        throw;
    }
    thread_ = std::thread(&WizardBox::run, this);
}

WizardBox::~WizardBox() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.Wake();
    thread_.join();
    closesocket(udp_);
    closesocket(listener_);
    for (auto& c : connections_)
        c->close();
    WSACleanup();
}

platform::NetEnvironment WizardBox::Environment() const {
    platform::NetEnvironment env = platform::LoopbackNetEnvironment();
    env.lanSearchPort = searchPort_;
    env.lanSearchLocalPort = 0;
    env.wizardControlPort = controlPort_;
    env.directedBroadcast = options_.searchAddress;
    return env;
}

void WizardBox::SetSearchAnswer(SearchAnswer answer) {
    std::lock_guard lock(mutex_);
    searchAnswer_ = answer;
}

void WizardBox::Script(std::uint32_t command, std::vector<WizardReply> replies) {
    std::lock_guard lock(mutex_);
    script_[command] = std::deque<WizardReply>(replies.begin(), replies.end());
}

void WizardBox::OnFrame(std::function<void(const WizardFrame&)> watcher) {
    std::lock_guard lock(mutex_);
    watcher_ = std::move(watcher);
}

void WizardBox::run() {
    for (;;) {
        std::vector<std::shared_ptr<Connection>> connections;
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
            connections = connections_;
        }
        platform::SocketSet read;
        read.Add(wake_.ReadEnd());
        read.Add(udp_);
        read.Add(listener_);
        for (auto& c : connections)
            if (!c->closed)
                read.Add(c->socket);
        if (platform::Select(&read, nullptr, nullptr, untilNextWrite()) > 0) {
            if (read.Contains(wake_.ReadEnd()))
                wake_.Drain();
            if (read.Contains(udp_))
                answerProbe();
            if (read.Contains(listener_))
                accept();
            for (auto& c : connections)
                if (!c->closed && read.Contains(c->socket))
                    readControl(c);
        }
        flushDue();
    }
}

void WizardBox::answerProbe() {
    std::uint8_t probe[512];
    sockaddr_in from{};
    socklen_t n = sizeof from;
    const ssize_t got = recvfrom(udp_, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &n);
    if (got < 0 || !fakes::isLoopback(from))
        return;
    const std::string id = options_.deviceId;
    std::string answer;
    {
        std::lock_guard lock(mutex_);
        char sender[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
        probes_.push_back({Bytes(probe, probe + got), sender});
        switch (searchAnswer_) {
        case SearchAnswer::Echo:
            if (static_cast<std::size_t>(got) < id.size() || !std::equal(id.begin(), id.end(), probe))
                return;
            answer = id + std::string("\x01\x02", 2);
            break;
        case SearchAnswer::Other:
            answer = "ZZZ999" + std::string("\x01\x02", 2);
            break;
        case SearchAnswer::Short:
            answer = id.substr(0, id.size() - 1);
            break;
        case SearchAnswer::Silent:
            return;
        }
    }
    // From a socket of the box's address that never reads: an answer that lands on another box's search
    // port is never answered back.
    std::uint16_t any = 0;
    const SOCKET s = BindLoopback(SOCK_DGRAM, options_.address, any);
    sendto(s, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    closesocket(s);
}

void WizardBox::accept() {
    const SOCKET s = ::accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return;
    std::lock_guard lock(mutex_);
    auto c = std::make_shared<Connection>();
    c->socket = s;
    c->id = static_cast<int>(connections_.size()) + 1;
    connections_.push_back(std::move(c));
}

void WizardBox::readControl(const std::shared_ptr<Connection>& c) {
    std::uint8_t buffer[4096];
    const int n = platform::Recv(c->socket, buffer, sizeof buffer);
    std::vector<WizardFrame> arrived;
    std::function<void(const WizardFrame&)> watcher;
    {
        std::lock_guard lock(mutex_);
        if (n <= 0) {
            c->close();
            return;
        }
        c->in.insert(c->in.end(), buffer, buffer + n);
        while (c->in.size() >= kFrameSize) {
            Frame frame;
            std::copy_n(c->in.begin(), kFrameSize, frame.begin());
            c->in.erase(c->in.begin(), c->in.begin() + kFrameSize);
            onFrame(c, frame);
            arrived.push_back(frames_.back());
        }
        watcher = watcher_;
    }
    if (watcher)
        for (const WizardFrame& f : arrived)
            watcher(f);
}

// Called under mutex_.
void WizardBox::onFrame(const std::shared_ptr<Connection>& c, const Frame& frame) {
    const std::uint32_t command = Get32(frame.data() + 8);
    frames_.push_back({frame, command, c->id});
    WizardReply reply;
    if (command == kSetupClose)
        reply.answer = false;
    if (auto it = script_.find(command); it != script_.end() && !it->second.empty()) {
        reply = it->second.front();
        if (it->second.size() > 1)
            it->second.pop_front();
    }
    const platform::Duration due = platform::DeadlineAfter(reply.delayMs);
    if (reply.close) {
        pending_.push_back({due, c, {}, true});
        return;
    }
    if (!reply.answer)
        return;
    const Frame answer = MakeFrame(0, command, reply.result);
    const Bytes whole(answer.begin(), answer.begin() + static_cast<long>(std::min(reply.length, kFrameSize)));
    std::vector<std::size_t> cuts = reply.cuts;
    std::erase_if(cuts, [&](std::size_t at) { return at == 0 || at >= whole.size(); });
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(whole.size());
    std::size_t from = 0;
    platform::Duration at = due;
    for (const std::size_t to : cuts) {
        pending_.push_back(
            {at, c, Bytes(whole.begin() + static_cast<long>(from), whole.begin() + static_cast<long>(to))});
        from = to;
        at += std::chrono::milliseconds(reply.gapMs);
    }
}

DWORD WizardBox::untilNextWrite() const {
    std::lock_guard lock(mutex_);
    platform::Duration next = platform::Duration::max();
    for (const Pending& p : pending_)
        next = std::min(next, p.due);
    return MsUntil(next);
}

void WizardBox::flushDue() {
    std::lock_guard lock(mutex_);
    const platform::Duration now = platform::Now();
    // In the order they were scheduled: the pieces of one reply follow each other.
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        if (it->close)
            it->connection->close();
        else if (!it->connection->closed)
            SendAll(it->connection->socket, it->bytes);
        ++writes_;
        it = pending_.erase(it);
    }
}

std::vector<WizardProbe> WizardBox::Probes() const {
    std::lock_guard lock(mutex_);
    return probes_;
}

std::vector<WizardFrame> WizardBox::Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<WizardFrame> WizardBox::FramesOf(std::uint32_t command) const {
    std::lock_guard lock(mutex_);
    return FramesWithCommand(frames_, command);
}

int WizardBox::Connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(connections_.size());
}

int WizardBox::WritesDone() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

int WizardBox::OpenConnections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(connections_.begin(), connections_.end(), [](const auto& c) { return !c->closed; }));
}

} // namespace testbox
