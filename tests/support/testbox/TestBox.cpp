#include "tests/support/testbox/TestBox.h"

#include "platform/net/Winsock.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>

namespace testbox {

namespace {

constexpr std::size_t kFrameSize = 188;

SOCKET bound(int type, std::uint16_t& port) {
    return BindLoopback(type, "127.0.0.1", port);
}

// A port on 127.0.0.1 that refuses connections.
std::uint16_t refusingPort() {
    std::uint16_t port = 0;
    closesocket(bound(SOCK_STREAM, port));
    return port;
}

Reply defaultReply(std::uint32_t command) {
    Reply r;
    if (command == kLogout || command == kKeepAlive)
        r.answer = false;
    if (command == kLogin) {
        r.value2 = 2000;
        r.value3 = 4;
    }
    return r;
}

} // namespace

struct TestBox::Connection {
    SOCKET socket = INVALID_SOCKET;
    int id = 0;
    bool closed = false;
    bool closing = false;
    std::atomic<bool> reading{true}; // also set by the test's thread
    Bytes in;
    enum class Mode { Frames, Firmware, Ir } mode = Mode::Frames;
    std::size_t remaining = 0;
    std::size_t upload = 0; // the length of the upload under way
    std::map<std::uint32_t, Frame> seen;
    std::uint32_t highest = 0;
};

struct TestBox::Pending {
    platform::Duration due;
    std::uint64_t order;
    std::shared_ptr<Connection> connection;
    Bytes bytes;
    std::function<void()> after{};
};

TestBox::TestBox(Options options) : options_(std::move(options)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    try {
        lanSearchPort_ = options_.lanSearchPort;
        udp_ = bound(SOCK_DGRAM, lanSearchPort_);
        std::uint16_t anyPort = 0;
        udpAnswer_ = bound(SOCK_DGRAM, anyPort);
        const auto listener = [this](bool on, std::uint16_t wanted, std::uint16_t& port) {
            port = on ? wanted : refusingPort();
            if (!on)
                return;
            const SOCKET s = bound(SOCK_STREAM, port);
            if (options_.controlReceiveBuffer > 0) // before listen: the connections take it over
                setsockopt(s, SOL_SOCKET, SO_RCVBUF, &options_.controlReceiveBuffer,
                           sizeof options_.controlReceiveBuffer);
            listen(s, 8);
            listeners_.push_back(s);
        };
        listener(options_.lanControl, options_.lanControlPort, lanControlPort_);
        listener(options_.directControl, options_.directControlPort, directControlPort_);
        const auto stream = [](bool on, std::uint16_t wanted, std::uint16_t& port) {
            if (!on) {
                port = refusingPort();
                return std::unique_ptr<StreamSide>();
            }
            auto side = std::make_unique<StreamSide>(wanted);
            port = side->Port();
            return side;
        };
        lanStream_ = stream(options_.lanStream, options_.lanStreamPort, lanStreamPort_);
        directStream_ = stream(options_.directStream, options_.directStreamPort, directStreamPort_);
    } catch (...) {
        lanStream_.reset();
        if (udp_ != INVALID_SOCKET)
            closesocket(udp_);
        if (udpAnswer_ != INVALID_SOCKET)
            closesocket(udpAnswer_);
        for (SOCKET s : listeners_)
            closesocket(s);
        WSACleanup();
        throw;
    }
    for (StreamSide* side : {lanStream_.get(), directStream_.get()})
        if (side)
            side->OnConnect([this, side] { return nextStreamScript(side); });
    thread_ = std::thread(&TestBox::run, this);
}

TestBox::~TestBox() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.Wake();
    thread_.join();
    // Before the rest goes: their threads ask this box for scripts.
    lanStream_.reset();
    directStream_.reset();
    closesocket(udp_);
    closesocket(udpAnswer_);
    for (SOCKET s : listeners_)
        closesocket(s);
    for (auto& c : controls_)
        if (!c->closed)
            closesocket(c->socket);
}

platform::NetEnvironment TestBox::Environment() const {
    platform::NetEnvironment env = platform::LoopbackNetEnvironment();
    env.lanSearchPort = lanSearchPort_;
    env.lanSearchLocalPort = 0;
    env.lanControlPort = lanControlPort_;
    env.lanStreamPort = lanStreamPort_;
    env.directControlPort = directControlPort_;
    env.directStreamPort = directStreamPort_;
    return env;
}

void TestBox::SetLanAnswer(LanAnswer answer) {
    std::lock_guard lock(mutex_);
    lanAnswer_ = answer;
}

void TestBox::Script(std::uint32_t command, Reply reply) {
    Script(command, std::vector<Reply>{std::move(reply)});
}

void TestBox::Script(std::uint32_t command, std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    script_[command] = std::deque<Reply>(replies.begin(), replies.end());
}

void TestBox::Send(Bytes bytes, Delivery delivery) {
    {
        std::lock_guard lock(mutex_);
        if (controls_.empty())
            return;
        schedule(controls_.back(), {std::move(bytes)}, delivery, 0);
    }
    wake_.Wake();
}

void TestBox::SetControlReading(bool reading) {
    {
        std::lock_guard lock(mutex_);
        if (!controls_.empty())
            controls_.back()->reading = reading;
    }
    wake_.Wake();
}

void TestBox::CloseControl() {
    {
        std::lock_guard lock(mutex_);
        if (!controls_.empty())
            controls_.back()->closing = true; // the box's thread closes it: it may be waiting on it
    }
    wake_.Wake();
}

void TestBox::ScriptStream(std::vector<StreamScript> scripts) {
    std::lock_guard lock(mutex_);
    streamScripts_.assign(scripts.begin(), scripts.end());
}

void TestBox::SendStream(StreamBytes bytes, Writes writes) {
    StreamSide* side;
    {
        std::lock_guard lock(mutex_);
        side = latestStream_;
    }
    if (side)
        side->Send(std::move(bytes), std::move(writes));
}

bool TestBox::WaitStreamSent(DWORD timeoutMs) {
    StreamSide* side;
    {
        std::lock_guard lock(mutex_);
        side = latestStream_;
    }
    return side && side->WaitSent(timeoutMs);
}

void TestBox::ServeDownload(std::string nameField, StreamBytes content) {
    std::lock_guard lock(mutex_);
    downloads_.emplace_back(std::move(nameField), std::move(content));
}

StreamScript TestBox::nextStreamScript(StreamSide* side) {
    std::lock_guard lock(mutex_);
    latestStream_ = side;
    if (streamScripts_.empty())
        return {};
    StreamScript script = streamScripts_.front();
    if (streamScripts_.size() > 1)
        streamScripts_.pop_front();
    return script;
}

void TestBox::run() {
    for (;;) {
        platform::SocketSet read;
        std::vector<std::shared_ptr<Connection>> controls;
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
            for (auto& c : controls_)
                if (c->closing && !c->closed) {
                    closesocket(c->socket);
                    c->closed = true;
                }
            controls = controls_;
        }
        read.Add(wake_.ReadEnd());
        read.Add(udp_);
        for (SOCKET s : listeners_)
            read.Add(s);
        for (auto& c : controls)
            if (!c->closed && c->reading)
                read.Add(c->socket);
        if (platform::Select(&read, nullptr, nullptr, untilNextWrite()) > 0) {
            if (read.Contains(wake_.ReadEnd()))
                wake_.Drain();
            if (read.Contains(udp_))
                answerProbe();
            for (SOCKET s : listeners_)
                if (read.Contains(s))
                    acceptOn(s);
            for (auto& c : controls)
                if (!c->closed && c->reading && read.Contains(c->socket))
                    readControl(c);
        }
        flushDue();
    }
}

void TestBox::acceptOn(SOCKET listener) {
    const SOCKET s = accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return;
    std::lock_guard lock(mutex_);
    auto c = std::make_shared<Connection>();
    c->socket = s;
    c->id = ++controlCount_;
    controls_.push_back(std::move(c));
}

void TestBox::answerProbe() {
    char probe[512];
    sockaddr_in from{};
    socklen_t n = sizeof from;
    const ssize_t got = recvfrom(udp_, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &n);
    if (got < 0)
        return;
    std::string answer;
    {
        std::lock_guard lock(mutex_);
        probes_.emplace_back(probe, probe + got);
        switch (lanAnswer_) {
        case LanAnswer::Echo:
            answer = options_.deviceId + std::string("\x01\x02", 2);
            break;
        case LanAnswer::Other:
            answer = "ZZZ999" + std::string("\x01\x02", 2);
            break;
        case LanAnswer::Short:
            answer = options_.deviceId.substr(0, options_.deviceId.size() - 1);
            break;
        case LanAnswer::Silent:
            return;
        }
    }
    sendto(udpAnswer_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
}

void TestBox::readControl(const std::shared_ptr<Connection>& c) {
    std::uint8_t buffer[65536];
    const int n = platform::Recv(c->socket, buffer, sizeof buffer);
    std::lock_guard lock(mutex_);
    if (n <= 0) {
        closesocket(c->socket);
        c->closed = true;
        return;
    }
    c->in.insert(c->in.end(), buffer, buffer + n);
    for (;;) {
        if (c->mode == Connection::Mode::Frames) {
            if (c->in.size() < kFrameSize)
                return;
            Frame frame;
            std::copy_n(c->in.begin(), kFrameSize, frame.begin());
            c->in.erase(c->in.begin(), c->in.begin() + kFrameSize);
            onFrame(c, frame);
        } else if (c->mode == Connection::Mode::Firmware) {
            if (c->in.size() < 4)
                return;
            const std::uint16_t type = static_cast<std::uint16_t>(c->in[0] | c->in[1] << 8);
            const std::uint16_t length = static_cast<std::uint16_t>(c->in[2] | c->in[3] << 8);
            if (c->in.size() < 4u + length)
                return;
            if (type != 9 || length == 0 || length > 1436)
                ++badChunks_;
            chunkLengths_.push_back(length);
            firmware_.insert(firmware_.end(), c->in.begin() + 4, c->in.begin() + 4 + length);
            c->in.erase(c->in.begin(), c->in.begin() + 4 + length);
            c->remaining -= std::min<std::size_t>(c->remaining, length);
            if (c->remaining == 0)
                c->mode = Connection::Mode::Frames;
        } else {
            const std::size_t k = std::min(c->in.size(), c->remaining);
            if (k == 0)
                return;
            ir_.insert(ir_.end(), c->in.begin(), c->in.begin() + static_cast<long>(k));
            c->in.erase(c->in.begin(), c->in.begin() + static_cast<long>(k));
            c->remaining -= k;
            if (c->remaining == 0) {
                c->mode = Connection::Mode::Frames;
                records_.IrData().assign(ir_.end() - static_cast<long>(c->upload), ir_.end());
            }
        }
    }
}

void TestBox::onFrame(const std::shared_ptr<Connection>& c, const Frame& frame) {
    ReceivedFrame r;
    r.bytes = frame;
    r.sequence = Get32(frame.data() + 4);
    r.command = Get32(frame.data() + 8);
    r.value = Get32(frame.data() + 12);
    r.value2 = Get32(frame.data() + 176);
    r.value3 = Get32(frame.data() + 180);
    r.tick = GetTickCount();
    r.typeOk = Get32(frame.data()) == 12;
    r.checksumOk = Get32(frame.data() + 184) == Checksum(frame.data());
    r.connection = c->id;
    if (auto it = c->seen.find(r.sequence); it != c->seen.end()) {
        r.sequenceOk = it->second == frame;
    } else {
        r.sequenceOk = c->seen.empty() || r.sequence > c->highest;
        c->seen.emplace(r.sequence, frame);
        c->highest = std::max(c->highest, r.sequence);
    }
    frames_.push_back(r);

    Reply reply = defaultReply(r.command);
    if (auto it = script_.find(r.command); it != script_.end() && !it->second.empty()) {
        reply = it->second.front();
        if (it->second.size() > 1)
            it->second.pop_front();
    } else {
        records_.Answer(frame, reply);
    }
    if (reply.stopReading)
        c->reading = false;
    if (!reply.answer)
        return;
    if (reply.value == 1 && r.value > 0 && (r.command == kFirmwareUpdate || r.command == kPutIrData)) {
        c->mode = r.command == kFirmwareUpdate ? Connection::Mode::Firmware : Connection::Mode::Ir;
        c->remaining = c->upload = r.value;
    }
    std::vector<Bytes> pieces;
    if (!reply.garbage.empty())
        pieces.push_back(reply.garbage);
    Frame answer = MakeFrame(r.sequence, r.command, reply.value, reply.value2, reply.value3);
    for (const auto& [at, bytes] : reply.bytes)
        std::copy(bytes.begin(), bytes.end(), answer.begin() + static_cast<long>(at));
    if (reply.shape)
        reply.shape(frame, answer);
    Reseal(answer);
    for (int i = 0; i < reply.copies; ++i)
        pieces.emplace_back(answer.begin(), answer.end());
    pieces.insert(pieces.end(), reply.then.begin(), reply.then.end());
    if (reply.follow)
        for (Bytes& more : reply.follow(frame))
            pieces.push_back(std::move(more));
    schedule(c, std::move(pieces), reply.delivery, reply.delayMs, afterAnswer(r.command, answer));
}

// What the box does on its stream side once an answer is out (called under mutex_).
std::function<void()> TestBox::afterAnswer(std::uint32_t command, const Frame& answer) {
    if (Get32(answer.data() + 12) != 1)
        return {};
    const bool restarted =
        ((command == kSetSource || command == kSetCountry) && Get32(answer.data() + 176) == 1) ||
        (command == kSetVideoQuality && answer[16] == 200);
    if (restarted)
        return [this] {
            for (StreamSide* side : {lanStream_.get(), directStream_.get()})
                if (side)
                    side->NewGeneration();
        };
    if (command == kStartFileTransfer && !downloads_.empty()) {
        auto [name, content] = std::move(downloads_.front());
        downloads_.pop_front();
        StreamBytes records = FileBegin(name);
        for (const StreamBytes& part : {FileData(content), FileEnd()})
            records.insert(records.end(), part.begin(), part.end());
        return [this, records = std::move(records)] { SendStream(records); };
    }
    return {};
}

void TestBox::schedule(const std::shared_ptr<Connection>& c, std::vector<Bytes> pieces, const Delivery& d,
                       DWORD delayMs, std::function<void()> after) {
    Bytes all;
    std::vector<std::size_t> cuts;
    for (const Bytes& piece : pieces) {
        if (!all.empty())
            cuts.push_back(all.size());
        all.insert(all.end(), piece.begin(), piece.end());
    }
    if (d.coalesce)
        cuts.clear();
    else if (!d.cuts.empty())
        cuts = d.cuts;
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::erase_if(cuts, [&](std::size_t at) { return at == 0 || at >= all.size(); });
    cuts.push_back(all.size());
    // Writes of one connection never interleave: a group starts after what is still queued there.
    platform::Duration due = platform::DeadlineAfter(delayMs);
    for (const Pending& p : pending_)
        if (p.connection == c)
            due = std::max(due, p.due);
    std::size_t from = 0;
    for (std::size_t to : cuts) {
        pending_.push_back(
            Pending{due, order_++, c,
                    Bytes(all.begin() + static_cast<long>(from), all.begin() + static_cast<long>(to))});
        from = to;
        due += std::chrono::milliseconds(d.gapMs);
    }
    pending_.back().after = std::move(after);
}

DWORD TestBox::untilNextWrite() const {
    std::lock_guard lock(mutex_);
    platform::Duration next = platform::Duration::max();
    for (const Pending& p : pending_)
        next = std::min(next, p.due);
    return MsUntil(next);
}

void TestBox::flushDue() {
    std::vector<Pending> due;
    {
        std::lock_guard lock(mutex_);
        const platform::Duration now = platform::Now();
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->due <= now) {
                due.push_back(std::move(*it));
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
    }
    std::sort(due.begin(), due.end(), [](const Pending& a, const Pending& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    for (const Pending& p : due) {
        if (!p.connection->closed)
            SendAll(p.connection->socket, p.bytes);
        {
            std::lock_guard lock(mutex_);
            ++writes_;
        }
        if (p.after)
            p.after();
    }
}

void TestBox::Records(const std::function<void(BoxRecordsSide&)>& f) {
    std::lock_guard lock(mutex_);
    f(records_);
}

std::vector<ReceivedFrame> TestBox::Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<ReceivedFrame> TestBox::FramesOf(std::uint32_t command) const {
    std::lock_guard lock(mutex_);
    return FramesWithCommand(frames_, command);
}

std::vector<Bytes> TestBox::LanProbes() const {
    std::lock_guard lock(mutex_);
    return probes_;
}

int TestBox::ControlConnections() const {
    std::lock_guard lock(mutex_);
    return controlCount_;
}

int TestBox::OpenControlConnections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(controls_.begin(), controls_.end(), [](const auto& c) { return !c->closed; }));
}

int TestBox::StreamConnections() const {
    int count = 0;
    for (const StreamSide* side : {lanStream_.get(), directStream_.get()})
        if (side)
            count += side->Connections();
    return count;
}

std::vector<std::uint16_t> TestBox::FirmwareChunkLengths() const {
    std::lock_guard lock(mutex_);
    return chunkLengths_;
}

Bytes TestBox::FirmwareBytes() const {
    std::lock_guard lock(mutex_);
    return firmware_;
}

Bytes TestBox::IrBytes() const {
    std::lock_guard lock(mutex_);
    return ir_;
}

int TestBox::BadChunks() const {
    std::lock_guard lock(mutex_);
    return badChunks_;
}

int TestBox::WritesDone() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

} // namespace testbox
