#include "tests/support/testbox/LiveBox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace testbox {

namespace {

void putText(Frame& frame, std::size_t at, std::size_t width, const std::string& text) {
    std::memcpy(frame.data() + at, text.data(), std::min(width, text.size()));
}

// The box clock as the box writes it: year:month:day:hour:minute.
std::string clockText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[48];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}

} // namespace

std::vector<ChannelEntry> LiveBoxChannels() {
    return {{2, 772}, {3, 884}, {4, 996}, {5, 2804}, {6, 2916}};
}

void ScriptLiveBox(TestBox& box, const std::string& deviceId, std::shared_ptr<const LiveRecords> stream) {
    Reply login{.value = 1, .value2 = kLiveBoxStandard, .value3 = kLiveBoxQuality};
    login.shape = [deviceId](const Frame& request, Frame& answer) {
        putText(answer, 16, 16, deviceId);
        answer[48] = request[80];
        putText(answer, 49, 12, kLiveBoxHardwareDigits);
        putText(answer, 112, 15, kLiveBoxAddressText);
        answer[144] = kLiveBoxNetworkMode;
    };
    box.Script(kLogin, login);
    // The stream restarts on the new source or country: 1 at 176, the standard at 180.
    for (const std::uint32_t command : {kSetSource, kSetCountry})
        box.Script(command, Reply{.value = 1, .value2 = 1, .value3 = kLiveBoxStandard});
    // 200 at byte 16 when the PC asked for another picture size: then the stream restarts too.
    box.Script(kSetVideoQuality,
               Reply{.shape = [](const Frame& request, Frame& answer) { answer[16] = request[16]; }});
    box.Script(kGetChannelTable, Reply{.then = {ChannelTable(LiveBoxChannels())}});
    // A scan finds the same channels one after another, then ends.
    box.Script(kStartScan,
               Reply{.value = 200, .delivery = {.gapMs = 400}, .follow = [](const Frame& request) {
                         return ScanAnswers(request, LiveBoxChannels());
                     }});
    const Bytes files = FileList({});
    box.Script(kGetFileList, Reply{.value = static_cast<std::uint32_t>(files.size()), .then = {files}});
    // Its records (information, tasks, clock and zone, IR data) answer from the clock of now.
    box.Records([](BoxRecordsSide& r) {
        const std::string clock = clockText();
        std::fill(r.Info().begin() + 1, r.Info().begin() + 21, 0);
        std::copy(clock.begin(), clock.end(), r.Info().begin() + 1);
    });
    box.ScriptStream({StreamScript{.live = std::move(stream)}});
}

} // namespace testbox
