// Test support of the live box tests: the connection manager with a real stream receiver into a fake live
// context, logged in to a test box the way the login dialog does it, and the units the looped fixture
// stream should give.
#pragma once

#include "boxlink/BoxClient.h"
#include "boxlink/BoxMessages.h"
#include "boxlink/StreamReceiver.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "tests/support/fakes/FakeLive.h"
#include "tests/support/fakes/StreamFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace livebox {

using Bytes = std::vector<std::uint8_t>;

// Generous waits of the scaled clock: they end as soon as what they wait for has happened.
constexpr DWORD kWait = 120000;

inline std::uint32_t timestampOf(const Bytes& unit) {
    return unit[0] | unit[1] << 8 | unit[2] << 16 | static_cast<std::uint32_t>(unit[3]) << 24;
}

inline Bytes shifted(Bytes unit, std::uint32_t delta) {
    const std::uint32_t t = timestampOf(unit) + delta;
    for (int i = 0; i < 4; ++i)
        unit[i] = static_cast<std::uint8_t>(t >> (8 * i));
    return unit;
}

// One loop of the fixture: its pictures, one picture interval apart.
inline std::uint32_t loopPeriod(const streamfixture::Fixture& f) {
    std::vector<std::uint32_t> pictures;
    for (const streamfixture::Record& r : f.records())
        if (r.video && (pictures.empty() || pictures.back() != r.timestamp))
            pictures.push_back(r.timestamp);
    return static_cast<std::uint32_t>(pictures.size()) * (pictures.at(1) - pictures.at(0));
}

// The video units of the fixture looped: in each loop the fixture's units, then the loop's last picture,
// which the next loop's first record completes.
inline std::vector<Bytes> loopedVideo(const streamfixture::Fixture& f, int loops) {
    const std::uint32_t period = loopPeriod(f), first = f.records().front().timestamp;
    const streamfixture::Unit& last = f.units().back();
    Bytes tail(4, 0);
    for (std::size_t i = last.firstNal + last.nalCount; i < f.videoNalCount(); ++i) {
        tail.insert(tail.end(), {0, 0, 0, 1});
        tail.insert(tail.end(), f.videoNal(i).begin(), f.videoNal(i).end());
    }
    std::vector<Bytes> units;
    for (int k = 0; k < loops; ++k) {
        for (const streamfixture::Unit& u : f.units())
            units.push_back(shifted(u.media, k * period));
        units.push_back(shifted(tail, first + (k + 1) * period));
    }
    return units;
}

// The audio units looped: the frames that start within a loop.
inline std::vector<Bytes> loopedAudio(const streamfixture::Fixture& f, int loops) {
    const std::uint32_t period = loopPeriod(f), first = f.records().front().timestamp;
    std::vector<Bytes> units;
    for (int k = 0; k < loops; ++k)
        for (const streamfixture::Record& r : f.records())
            if (!r.video && r.timestamp - first < period) {
                Bytes unit(4, 0);
                unit.insert(unit.end(), r.payload.begin(), r.payload.end());
                units.push_back(shifted(unit, r.timestamp + k * period));
            }
    return units;
}

// received[from + i] == expected[at + i] + delta for i < count; the first difference is reported.
inline ::testing::AssertionResult sameUnits(const std::vector<Bytes>& received, std::size_t from,
                                            const std::vector<Bytes>& expected, std::size_t at,
                                            std::size_t count, std::uint32_t delta = 0) {
    if (from + count > received.size() || at + count > expected.size())
        return ::testing::AssertionFailure() << "too few units: " << received.size() << " received";
    for (std::size_t i = 0; i < count; ++i)
        if (received[from + i] != shifted(expected[at + i], delta))
            return ::testing::AssertionFailure()
                   << "unit " << from + i << " (timestamp " << timestampOf(received[from + i]) << ", "
                   << received[from + i].size() << " bytes) is not the expected one (timestamp "
                   << timestampOf(expected[at + i]) + delta << ", " << expected[at + i].size() << " bytes)";
    return ::testing::AssertionSuccess();
}

enum class Kind { Video, Audio };

// Every unit from received[from] on is the looped fixture's unit from at on, shifted by delta.
inline ::testing::AssertionResult looped(const std::vector<Bytes>& received, Kind kind, std::size_t from = 0,
                                         std::size_t at = 0, std::uint32_t delta = 0) {
    const streamfixture::Fixture& f = streamfixture::fixture();
    const auto units = [&](int loops) {
        return kind == Kind::Video ? loopedVideo(f, loops) : loopedAudio(f, loops);
    };
    const std::size_t count = received.size() - std::min(from, received.size());
    const int loops = static_cast<int>((at + count) / units(1).size()) + 1;
    return sameUnits(received, from, units(loops), at, count, delta);
}

struct Note {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string data; // what wParam or lParam points at, copied while the message is handled
};

// A window of the test thread that keeps what is posted to it; pump to receive.
class NoteWindow {
public:
    NoteWindow() {
        hwnd_ = platform::CreateMessageWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
            Note note{message, wParam, lParam, {}};
            const auto text = [](UINT_PTR p, std::size_t n) {
                return std::string(reinterpret_cast<char*>(p), n);
            };
            if (message == WM_BOX_LOGIN_OK)
                note.data = text(wParam, 17);
            else if (message == WM_BOX_INFO)
                note.data = text(wParam, static_cast<std::size_t>(lParam));
            else if (message == WM_BOX_TIME)
                note.data = text(static_cast<UINT_PTR>(lParam), 32);
            notes_.push_back(std::move(note));
            return LRESULT{0};
        });
    }
    ~NoteWindow() { DestroyWindow(hwnd_); }
    NoteWindow(const NoteWindow&) = delete;
    NoteWindow& operator=(const NoteWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    const std::vector<Note>& Notes() const { return notes_; }
    int count(UINT message) const {
        return static_cast<int>(std::count_if(notes_.begin(), notes_.end(),
                                              [message](const Note& n) { return n.message == message; }));
    }
    const Note* find(UINT message) const {
        for (const Note& n : notes_)
            if (n.message == message)
                return &n;
        return nullptr;
    }
    const Note* WaitFor(UINT message, DWORD timeoutMs = kWait) {
        platform::PumpUntil([&] { return find(message) != nullptr; }, timeoutMs);
        return find(message);
    }

private:
    HWND hwnd_ = nullptr;
    std::vector<Note> notes_;
};

// The connection manager pointed at a box by the environment, with its stream receiver and a player whose
// live context keeps the units.
struct LiveRig {
    explicit LiveRig(const platform::NetEnvironment& env) : environment(env) {
        client.SetMainWindow(main.hwnd());
        client.SetPlayer(&player);
        client.SetStreamReceiver(std::make_unique<KQ_TCP_StreamReceiver>(client));
    }
    ~LiveRig() {
        client.Disconnect(0);
        client.SetPlayer(nullptr);
    }

    // As the login dialog: Login on a worker thread while this thread pumps, then the stream on success.
    bool login(const std::wstring& target, int loginType) {
        dialog = std::make_unique<NoteWindow>();
        std::thread worker([&] {
            client.Login(dialog->hwnd(), target, L"viewer", L"secret", 'T', 884, kCountry, 1, loginType, 0);
        });
        platform::PumpUntil(
            [&] { return dialog->find(WM_BOX_LOGIN_OK) || dialog->find(WM_BOX_LOGIN_FAILED); }, kWait);
        worker.join();
        if (!dialog->find(WM_BOX_LOGIN_OK))
            return false;
        client.StartStream();
        return true;
    }
    FakeLiveSink& sink() { return *player.sink; }

    static constexpr int kCountry = 7;
    platform::ScopedNetEnvironment environment;
    NoteWindow main;
    std::unique_ptr<NoteWindow> dialog;
    FakeLivePlayer player;
    KQ_TCP_BoxClient client;
};

} // namespace livebox
