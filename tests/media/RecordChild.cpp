// The process of a recording that RecordSyncTest kills: feeds a stream fixture into a live context at the
// pace of its timestamps (on a time scale) and records it from its second second on, telling its parent
// where the recording begins and, every few pictures, how many are in the live context.
//
//   media_record_child FIXTURE_FOLDER RECORD_PATH TIME_SCALE
#include "tests/media/MarkedFeed.h"

#include "platform/win32/ClockHooks.h"
#include "platform/win32/Text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: media_record_child FIXTURE_FOLDER RECORD_PATH TIME_SCALE\n");
        return 2;
    }
    platform::SetTimeScale(std::atof(argv[3]));
    const streamfixture::Fixture fixture(argv[1]);
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    if (FAILED(live.AllocateInputRings(0x400000, 0x100000)) || FAILED(live.SetPictureSize(4, 0)))
        return 1;
    MarkedFeed feed(fixture, live);
    feed.holdAt(1000);
    feed.start();
    if (!feed.waitHeld())
        return 1;
    const int firstPicture = (feed.PicturesPushed() - 1) / 32 * 32; // the cached group of pictures
    if (FAILED(feed.StartRecordWhileHeld(platform::FromUtf8(argv[2]))))
        return 1;
    std::printf("recording from %d\n", firstPicture);
    std::fflush(stdout);
    for (int told = 0;;) {
        const int pushed = feed.PicturesPushed();
        if (pushed >= told + 10) {
            told = pushed;
            std::printf("pushed %d\n", pushed - 1);
            std::fflush(stdout);
        }
        if (pushed == told && feed.waitEndedFor(10))
            break;
    }
    live.StopRecord();
    return 0;
}
