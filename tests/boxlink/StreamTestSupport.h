// Test support of the stream tests: NAL units, records and a window that keeps what is posted to it.
#pragma once

#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "tests/support/NalBuilder.h"
#include "tests/support/fakes/StreamFixture.h"

#include <mutex>
#include <vector>

namespace streamtest {

using Bytes = std::vector<uint8_t>;

// A slice NAL unit without start code, payload padded to size bytes when given.
inline Bytes slice(uint8_t type, uint32_t firstMb, size_t size = 0) {
    BitWriter w;
    w.ue(firstMb);
    w.ue(type == 5 ? 7 : 5);
    w.ue(0);
    w.trailing();
    Bytes nal = makeNal(static_cast<uint8_t>(0x60 | type), w.bytes());
    nal.erase(nal.begin(), nal.begin() + 4);
    if (size > nal.size())
        nal.resize(size, 0x5A);
    return nal;
}

inline Bytes video(uint32_t timestamp, const Bytes& nal, uint8_t type = 15) {
    Bytes out;
    streamfixture::appendMediaRecord(out, type, timestamp, nal);
    return out;
}

inline Bytes audio(uint32_t timestamp, const Bytes& frame, uint8_t type = 10) {
    Bytes out;
    streamfixture::appendMediaRecord(out, type, timestamp, frame);
    return out;
}

// A record with a raw body of n bytes, whatever its type.
inline Bytes raw(uint8_t type, const Bytes& body) {
    Bytes out;
    streamfixture::appendRecord(out, type, body);
    return out;
}

// The MediaUnit of NAL units (without start codes) completed at timestamp.
inline Bytes unit(uint32_t timestamp, const std::vector<Bytes>& nals) {
    Bytes out;
    streamfixture::appendLe(out, timestamp, 4);
    for (const Bytes& nal : nals) {
        out.insert(out.end(), {0, 0, 0, 1});
        out.insert(out.end(), nal.begin(), nal.end());
    }
    return out;
}

inline Bytes concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// The audio MediaUnits of the fixture: timestamp, then the ADTS frame.
inline std::vector<Bytes> fixtureAudio(const streamfixture::Fixture& fixture) {
    std::vector<Bytes> units;
    for (const streamfixture::Record& r : fixture.records())
        if (!r.video)
            units.push_back(concat({unit(r.timestamp, {}), r.payload}));
    return units;
}

inline std::vector<Bytes> fixtureVideo(const streamfixture::Fixture& fixture) {
    std::vector<Bytes> units;
    for (const streamfixture::Unit& u : fixture.units())
        units.push_back(u.media);
    return units;
}

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tick;
};

// A window of the test thread that keeps every message posted to it; pump to receive.
class RecordingWindow {
public:
    RecordingWindow() {
        hwnd_ = platform::CreateMessageWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
            messages_.push_back({message, wParam, lParam, GetTickCount()});
            return LRESULT{0};
        });
    }
    ~RecordingWindow() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    // Pumps until a message of that number came (or the time-out of the scaled clock passed).
    const Posted* WaitFor(UINT message, DWORD timeoutMs) {
        platform::PumpUntil([&] { return find(message) != nullptr; }, timeoutMs);
        return find(message);
    }
    std::vector<UINT> messages() const {
        std::vector<UINT> all;
        for (const Posted& p : messages_)
            all.push_back(p.message);
        return all;
    }
    const Posted* find(UINT message) const {
        for (const Posted& p : messages_)
            if (p.message == message)
                return &p;
        return nullptr;
    }

private:
    HWND hwnd_ = nullptr;
    std::vector<Posted> messages_;
};

} // namespace streamtest
