// record-sync: recordings of a marked stream (tools/make-fixtures/make-marked-stream.sh) measured by their
// content, and a recording made as the demo's box streams it.
//
//   record-sync measure FIXTURE_FOLDER FILE.mp4...
//     For each file: its pictures (first and last number, gaps), audio frames, the time each track lasts,
//     the picture durations, the shape it gives its pictures, and the sound's offset from its picture at
//     every burst (first, middle, last, least, most, mean). FIXTURE_FOLDER holds the stream's audio.aac.
//   record-sync record FIXTURE_FOLDER SECONDS TIME_SCALE RECORD_PATH
//     The test box's live feed streams the fixture in a loop on 127.0.0.1 (as build/release/bin/testbox
//     does), the stream receiver hands it to the player's live view, and the player records SECONDS of it
//     (of the stream's time; the clock runs TIME_SCALE times faster) into RECORD_PATH.
#include "tests/support/recordsync/DemoRecording.h"
#include "tests/support/recordsync/MarkedRecording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Marks further off than this are listed one by one, the first few of them.
constexpr double kNoteMs = 5;
constexpr int kMostNoted = 10;

int measure(const std::string& fixture, int count, char** files) {
    const recordsync::SoundReference reference = recordsync::MakeSoundReference(fixture + "/audio.aac");
    if (!reference.valid) {
        std::fprintf(stderr, "record-sync: no marked sound in %s/audio.aac\n", fixture.c_str());
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const recordsync::Recording file = recordsync::ReadRecording(files[i]);
        std::printf("%s\n", files[i]);
        if (!file.opened || file.pictures.empty()) {
            std::printf("  does not open, or holds no picture\n");
            ++failures;
            continue;
        }
        int gaps = 0;
        double shortest = 1e9, longest = 0;
        for (size_t p = 0; p < file.pictures.size(); ++p) {
            if (p > 0 && file.pictures[p].number != file.pictures[p - 1].number + 1)
                ++gaps;
            if (p > 0) { // the first picture meets the nearest audio frame
                shortest = std::min(shortest, file.pictures[p].durationMs);
                longest = std::max(longest, file.pictures[p].durationMs);
            }
        }
        const recordsync::Picture& last = file.pictures.back();
        std::printf(
            "  pictures %d..%d (%zu, %d jumps in the numbers), durations %.3f..%.3f ms, first %.3f ms\n",
            file.pictures.front().number, last.number, file.pictures.size(), gaps, shortest, longest,
            file.pictures.front().durationMs);
        std::printf("  video %.1f..%.1f ms, audio %.1f..%.1f ms (%zu frames)\n", file.pictures.front().ms,
                    last.ms + last.durationMs, file.audioStartMs, file.audioEndMs, file.audioFrames.size());
        std::printf("  pictures of %dx%d, sample aspect %d:%d, sample entry %dx%d, track header %dx%d\n",
                    file.pictureWidth, file.pictureHeight, file.aspectNum, file.aspectDen, file.entryWidth,
                    file.entryHeight, file.displayWidth, file.displayHeight);
        const std::vector<recordsync::SyncMark> marks = recordsync::MeasureSync(file, reference);
        if (marks.empty()) {
            std::printf("  no burst to measure\n");
            continue;
        }
        double least = 1e9, most = -1e9, sum = 0;
        for (const recordsync::SyncMark& mark : marks) {
            least = std::min(least, mark.offsetMs);
            most = std::max(most, mark.offsetMs);
            sum += mark.offsetMs;
        }
        int noted = 0;
        for (const recordsync::SyncMark& mark : marks)
            if (std::abs(mark.offsetMs) > kNoteMs && noted++ < kMostNoted)
                std::printf("  picture %d at %.1f ms: sound after picture %+.1f ms\n", mark.picture,
                            mark.atMs, mark.offsetMs);
        if (noted > kMostNoted)
            std::printf("  ... and %d more marks off by more than %.0f ms\n", noted - kMostNoted, kNoteMs);
        const recordsync::SyncMark& middle = marks[marks.size() / 2];
        std::printf(
            "  sound after picture: start %+.1f ms, middle %+.1f ms, end %+.1f ms; %zu marks from %+.1f "
            "to %+.1f ms, mean %+.1f ms\n",
            marks.front().offsetMs, middle.offsetMs, marks.back().offsetMs, marks.size(), least, most,
            sum / static_cast<double>(marks.size()));
    }
    return failures == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr, "usage: record-sync measure FIXTURE_FOLDER FILE.mp4...\n"
                         "       record-sync record FIXTURE_FOLDER SECONDS TIME_SCALE RECORD_PATH\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "measure" && argc >= 4)
        return measure(argv[2], argc - 3, argv + 3);
    if (mode == "record" && argc == 6)
        return recordsync::RecordFromDemoBox(argv[2], std::atof(argv[3]), std::atof(argv[4]), argv[5]) ? 0
                                                                                                       : 1;
    return usage();
}
