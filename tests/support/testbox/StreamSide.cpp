#include "tests/support/testbox/StreamSide.h"

#include "platform/win32/Clock.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace testbox {

namespace {

void appendRecord(StreamBytes& out, std::uint8_t type, const std::uint8_t* body, std::size_t n) {
    out.push_back(type);
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.insert(out.end(), body, body + n);
}

} // namespace

StreamSide::StreamSide(std::uint16_t port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        listen(listener_, 4) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        closesocket(listener_);
        WSACleanup();
        throw std::runtime_error("test box: cannot listen on stream port " + std::to_string(port));
    }
    port_ = ntohs(at.sin_port);
    thread_ = std::thread([this] { run(); });
}

StreamSide::~StreamSide() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        if (connection_ != INVALID_SOCKET)
            shutdown(connection_, SHUT_RDWR); // ends a write the peer does not read
    }
    changed_.notify_all();
    thread_.join();
    if (connection_ != INVALID_SOCKET)
        closesocket(connection_);
    closesocket(listener_);
    WSACleanup();
}

SOCKET StreamSide::Connect() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port_);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        throw std::runtime_error("test box: cannot connect to the stream listener");
    return s;
}

template <class Pred> bool StreamSide::waitFor(DWORD timeoutMs, Pred pred) {
    std::unique_lock lock(mutex_);
    return platform::WaitUntilScaled(changed_, lock, platform::DeadlineAfter(timeoutMs), pred);
}

bool StreamSide::WaitConnected(DWORD timeoutMs, int connections) {
    return waitFor(timeoutMs, [&] { return connections_ >= connections; });
}

bool StreamSide::WaitSent(DWORD timeoutMs) {
    return waitFor(timeoutMs, [&] { return queue_.empty() && !writing_; });
}

bool StreamSide::WaitPeerClosed(DWORD timeoutMs) {
    return waitFor(timeoutMs, [&] { return peerClosed_; });
}

bool StreamSide::WaitReceived(DWORD timeoutMs, std::size_t bytes) {
    return waitFor(timeoutMs, [&] { return received_.size() >= bytes; });
}

int StreamSide::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

StreamBytes StreamSide::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void StreamSide::Send(StreamBytes bytes, Writes writes) {
    {
        std::lock_guard lock(mutex_);
        enqueue(bytes, writes);
    }
    changed_.notify_all();
}

void StreamSide::enqueue(const StreamBytes& bytes, const Writes& writes) {
    std::vector<std::size_t> cuts = writes.cuts;
    if (writes.chunk)
        for (std::size_t at = writes.chunk; at < bytes.size(); at += writes.chunk)
            cuts.push_back(at);
    cuts.push_back(bytes.size());
    std::sort(cuts.begin(), cuts.end());
    std::size_t from = 0;
    for (std::size_t to : cuts) {
        to = std::min(to, bytes.size());
        if (to > from)
            queue_.push_back({StreamBytes(bytes.begin() + from, bytes.begin() + to), writes.gapMs});
        from = std::max(from, to);
    }
}

void StreamSide::CloseConnection() {
    std::lock_guard lock(mutex_);
    if (connection_ != INVALID_SOCKET)
        shutdown(connection_, SHUT_RDWR);
}

void StreamSide::OnConnect(std::function<StreamScript()> script) {
    std::lock_guard lock(mutex_);
    onConnect_ = std::move(script);
}

void StreamSide::NewGeneration() {
    std::lock_guard lock(mutex_);
    if (feed_)
        feed_->NewGeneration();
}

void StreamSide::acceptPending() {
    platform::SocketSet readable;
    readable.Add(listener_);
    if (platform::Select(&readable, nullptr, nullptr, 0) <= 0)
        return;
    const SOCKET s = accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return;
    const int noDelay = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    std::function<StreamScript()> onConnect;
    {
        std::lock_guard lock(mutex_);
        onConnect = onConnect_;
    }
    const StreamScript script = onConnect ? onConnect() : StreamScript{};
    std::lock_guard lock(mutex_);
    if (connection_ != INVALID_SOCKET)
        closesocket(connection_);
    connection_ = s;
    ++connections_;
    peerClosed_ = false;
    enqueue(script.bytes, script.writes);
    feed_ = script.live ? std::make_unique<LiveFeed>(script.live) : nullptr;
    changed_.notify_all();
}

void StreamSide::readPeer() {
    SOCKET s;
    {
        std::lock_guard lock(mutex_);
        s = peerClosed_ ? INVALID_SOCKET : connection_;
    }
    if (s == INVALID_SOCKET || platform::WaitReadable(s, 0) != 1)
        return;
    std::uint8_t bytes[4096];
    const int got = platform::Recv(s, bytes, sizeof bytes);
    std::lock_guard lock(mutex_);
    if (got > 0) {
        received_.insert(received_.end(), bytes, bytes + got);
    } else {
        peerClosed_ = true;
        feed_.reset();
    }
    changed_.notify_all();
}

bool StreamSide::writePiece(SOCKET s, const Piece& piece) {
    std::size_t done = 0;
    while (done < piece.bytes.size()) {
        const int n =
            platform::Send(s, piece.bytes.data() + done, static_cast<int>(piece.bytes.size() - done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    if (piece.gapMs)
        Sleep(piece.gapMs);
    return true;
}

void StreamSide::run() {
    for (;;) {
        acceptPending();
        readPeer();
        Piece piece;
        SOCKET s = INVALID_SOCKET;
        {
            std::unique_lock lock(mutex_);
            if (stop_)
                return;
            if (connection_ == INVALID_SOCKET || !nextPiece(piece)) {
                waitForWork(lock);
                continue;
            }
            s = connection_;
            writing_ = true;
        }
        const bool written = writePiece(s, piece);
        {
            std::lock_guard lock(mutex_);
            writing_ = false;
            if (!written && s == connection_)
                feed_.reset();
        }
        changed_.notify_all();
    }
}

// Sent bytes first; a live record only between two Sends, never inside the pieces of one.
bool StreamSide::nextPiece(Piece& piece) {
    if (!queue_.empty()) {
        piece = std::move(queue_.front());
        queue_.pop_front();
        return true;
    }
    if (feed_ && feed_->Due() <= platform::Now()) {
        piece = {feed_->Take(), 0};
        return true;
    }
    return false;
}

// Accepts and the peer's bytes are polled: wake every few milliseconds, or sooner for a live record.
void StreamSide::waitForWork(std::unique_lock<std::mutex>& lock) {
    std::chrono::steady_clock::duration wait = std::chrono::milliseconds(5);
    if (feed_ && connection_ != INVALID_SOCKET)
        wait = std::min(wait, platform::ToRealDuration(feed_->Due() - platform::Now()));
    if (wait > wait.zero())
        changed_.wait_for(lock, wait);
}

StreamBytes FileBegin(const std::string& nameField) {
    StreamBytes body(1, 0); // byte 3 of the record: not used
    body.insert(body.end(), nameField.begin(), nameField.end());
    if (body.size() < 33)
        body.resize(33, 0);
    StreamBytes out;
    appendRecord(out, 11, body.data(), body.size());
    return out;
}

StreamBytes FileData(const StreamBytes& content, std::size_t perRecord) {
    StreamBytes out;
    for (std::size_t at = 0; at < content.size(); at += perRecord)
        appendRecord(out, 13, content.data() + at, std::min(perRecord, content.size() - at));
    return out;
}

StreamBytes FileEnd() {
    StreamBytes out;
    appendRecord(out, 14, nullptr, 0);
    return out;
}

} // namespace testbox
