// One HTTP exchange with the router, and the framing of its answers. The router is untrusted: an answer is
// read only up to kMaxAnswer bytes and within the time limits below.
#pragma once

#include "platform/win32/Clock.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace upnp {

constexpr std::size_t kMaxAnswer = 64 * 1024;

// Collects an answer as it arrives and tells when it is whole: at the end of a Content-Length body, at the
// last chunk of a chunked body, at once for a status without a body, or otherwise when the peer closes
// (the caller tells). Bytes beyond kMaxAnswer are dropped and end the answer.
class HttpAnswerReader {
public:
    // Adds received bytes; returns Done().
    bool Append(std::string_view bytes);
    // Whole, cut at kMaxAnswer, or malformed framing past which nothing more can be understood.
    bool Done() const { return done_; }
    bool Empty() const { return raw_.empty(); }
    // The status line and headers as received, then the body with any chunked framing removed.
    std::string Message() const;

private:
    enum class Framing { ByClose, ByLength, Chunked };
    void findHeaders();
    void readChunks();

    std::string raw_;
    std::size_t headerEnd_ = 0;  // offset of the body; 0 while the headers are incomplete
    std::size_t headerScan_ = 0; // how far the end of the headers has been looked for
    Framing framing_ = Framing::ByClose;
    std::size_t length_ = 0;    // ByLength: the body's length
    std::size_t nextChunk_ = 0; // Chunked: offset in raw_ of the next chunk's size line
    std::string chunks_;        // Chunked: the body decoded so far
    bool done_ = false;
};

// Connects to host (a dotted quad: no name is resolved) and port, then up to 3 tries of: pause 50 ms,
// send the request, wait up to 4 s for the first bytes and read the answer until it is whole, each further
// wait up to 4 s. The first try that brings any bytes gives the answer. No wait runs past deadline (a
// time of the scaled clock; platform::Duration::max() for none). Returns false when nothing came.
bool HttpExchange(const std::string& host, std::uint16_t port, const std::string& request,
                  std::string& answer, platform::Duration deadline);

} // namespace upnp
