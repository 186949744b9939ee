#include "boxlink/upnp/UpnpHttp.h"

#include "platform/net/Resolver.h"
#include "platform/net/Winsock.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace upnp {
namespace {

constexpr DWORD kConnectMs = 4000;
constexpr DWORD kAnswerMs = 4000;
constexpr DWORD kTryPauseMs = 50;
constexpr int kTries = 3;
constexpr std::size_t kMaxChunkLine = 256;

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Value of a header (name in lower case) in the header block, trimmed; empty when absent.
std::string headerValue(std::string_view headers, std::string_view name) {
    std::size_t line = headers.find('\n');
    while (line != std::string_view::npos && line + 1 < headers.size()) {
        const std::size_t start = line + 1;
        line = headers.find('\n', start);
        const std::string_view text =
            headers.substr(start, line == std::string_view::npos ? line : line - start);
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string key = lower(text.substr(0, colon));
        key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return c == ' ' || c == '\t'; }),
                  key.end());
        if (key != name)
            continue;
        std::string value(text.substr(colon + 1));
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r") + 1);
        return value;
    }
    return {};
}

int statusCode(std::string_view headers) {
    const std::size_t space = headers.find(' ');
    if (space == std::string_view::npos)
        return 0;
    int code = 0;
    std::from_chars(headers.data() + space + 1, headers.data() + headers.size(), code);
    return code;
}

DWORD waitLimit(DWORD limitMs, platform::Duration deadline) {
    if (deadline == platform::Duration::max())
        return limitMs;
    const platform::Duration now = platform::Now();
    if (now >= deadline)
        return 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<DWORD>(std::min<long long>(left, limitMs));
}

bool past(platform::Duration deadline) {
    return deadline != platform::Duration::max() && platform::Now() >= deadline;
}

bool connectTo(SOCKET s, std::uint32_t address, std::uint16_t port, platform::Duration deadline) {
    ULONG nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 &&
        (WSAGetLastError() != WSAEWOULDBLOCK ||
         platform::WaitWritable(s, waitLimit(kConnectMs, deadline)) != 1))
        return false;
    nonBlocking = 0;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

bool sendAll(SOCKET s, std::string_view data) {
    while (!data.empty()) {
        const int n = platform::Send(s, data.data(), static_cast<int>(data.size()));
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads one answer: the first bytes within kAnswerMs, then more while each comes within kAnswerMs.
void readAnswer(SOCKET s, HttpAnswerReader& reader, platform::Duration deadline) {
    char buffer[8192];
    while (!reader.Done()) {
        const DWORD limit = waitLimit(kAnswerMs, deadline);
        if (limit == 0 || platform::WaitReadable(s, limit) != 1)
            return;
        const int n = platform::Recv(s, buffer, sizeof buffer);
        if (n <= 0)
            return; // closed: an answer framed by the close is whole now
        reader.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
}

} // namespace

bool HttpAnswerReader::Append(std::string_view bytes) {
    if (done_)
        return true;
    raw_.append(bytes.substr(0, kMaxAnswer - raw_.size()));
    if (headerEnd_ == 0)
        findHeaders();
    if (headerEnd_ != 0 && !done_) {
        if (framing_ == Framing::ByLength)
            done_ = raw_.size() - headerEnd_ >= length_;
        else if (framing_ == Framing::Chunked)
            readChunks();
    }
    if (raw_.size() >= kMaxAnswer)
        done_ = true;
    return done_;
}

// Each byte is looked at a bounded number of times, however small the pieces.
void HttpAnswerReader::findHeaders() {
    const std::size_t from = headerScan_ < 3 ? 0 : headerScan_ - 3;
    const std::size_t crlf = raw_.find("\r\n\r\n", from);
    const std::size_t lf = raw_.find("\n\n", from);
    headerScan_ = raw_.size();
    if (crlf == std::string::npos && lf == std::string::npos)
        return;
    headerEnd_ = crlf < lf ? crlf + 4 : lf + 2;
    const std::string_view headers(raw_.data(), headerEnd_);
    const int status = statusCode(headers);
    if ((status >= 100 && status < 200) || status == 204 || status == 304) {
        raw_.resize(headerEnd_);
        done_ = true;
        return;
    }
    if (lower(headerValue(headers, "transfer-encoding")).find("chunked") != std::string::npos) {
        framing_ = Framing::Chunked;
        nextChunk_ = headerEnd_;
        return;
    }
    const std::string text = headerValue(headers, "content-length");
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length_);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size())
        framing_ = Framing::ByLength;
}

void HttpAnswerReader::readChunks() {
    for (;;) {
        const std::size_t lineEnd = raw_.find('\n', nextChunk_);
        if (lineEnd == std::string::npos) {
            done_ = raw_.size() - nextChunk_ > kMaxChunkLine; // no size line is that long
            return;
        }
        std::size_t size = 0;
        const char* first = raw_.data() + nextChunk_;
        const auto [end, error] = std::from_chars(first, raw_.data() + lineEnd, size, 16);
        if (error != std::errc() || end == first || size > kMaxAnswer || size == 0) {
            done_ = true; // the last chunk, or a size line past which nothing can be framed
            return;
        }
        const std::size_t data = lineEnd + 1;
        std::size_t next = data + size;
        if (raw_.size() < next + 1 || (raw_[next] == '\r' && raw_.size() < next + 2))
            return; // the chunk or its line end is still to come
        chunks_.append(raw_, data, size);
        next += raw_[next] == '\r' ? 2 : 1;
        nextChunk_ = next;
    }
}

std::string HttpAnswerReader::Message() const {
    if (headerEnd_ == 0)
        return raw_;
    std::string message = raw_.substr(0, headerEnd_);
    switch (framing_) {
    case Framing::ByClose:
        message.append(raw_, headerEnd_);
        break;
    case Framing::ByLength:
        message.append(raw_, headerEnd_, length_);
        break;
    case Framing::Chunked:
        message.append(chunks_);
        break;
    }
    return message;
}

bool HttpExchange(const std::string& host, std::uint16_t port, const std::string& request,
                  std::string& answer, platform::Duration deadline) {
    std::uint32_t address = 0;
    if (!platform::ParseIpv4(host, address))
        return false;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    bool answered = false;
    if (connectTo(s, address, port, deadline)) {
        for (int attempt = 0; attempt < kTries && !answered && !past(deadline); ++attempt) {
            Sleep(kTryPauseMs);
            if (!sendAll(s, request))
                continue;
            HttpAnswerReader reader;
            readAnswer(s, reader, deadline);
            if (!reader.Empty()) {
                answer = reader.Message();
                answered = true;
            }
        }
    }
    closesocket(s);
    return answered;
}

} // namespace upnp
