// Test support: a recording of a marked stream (tools/make-fixtures/make-marked-stream.sh) measured by its
// content. The file is read and decoded as a player would: its pictures by libavcodec, each with the
// number its band shows and the time the file presents it at; its sound by FAAD2, played from the first
// sample's time on, frame after frame. Every 25th picture a tone burst begins in the stream's sound; where
// the burst lies in the file's sound, against the picture it began with, is the offset of sound to picture.
// The codec's own delay is taken from the same decode of the stream's sound, so an offset is what the file
// adds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace recordsync {

constexpr int kPicturesPerBurst = 25;
constexpr double kPictureMs = 20; // 50 pictures a second

struct Picture {
    int number = -1;       // read from the band; -1 when it could not be read
    double ms = 0;         // presentation time in the file
    double durationMs = 0; // until the next picture; for the last, as the file gives it
    bool sync = false;
};

struct Recording {
    bool opened = false;
    std::vector<Picture> pictures;                 // in file order
    int entryWidth = 0, entryHeight = 0;           // the video sample entry's size
    int pictureWidth = 0, pictureHeight = 0;       // the decoded pictures' size
    int aspectNum = 0, aspectDen = 0;              // the sample aspect ratio the file gives (0/0: none)
    int displayWidth = 0, displayHeight = 0;       // the video track header's display size
    std::vector<std::vector<uint8_t>> audioFrames; // raw AAC frames as stored
    int sampleRate = 0;
    double audioStartMs = 0;  // the first audio sample's time
    double audioEndMs = 0;    // where its frames end, played one after the other
    std::vector<float> sound; // FAAD2's decode, channels mixed; FAAD2 gives nothing for the first frame
};

// false in opened when the file cannot be read at all; a file cut short is read up to where it breaks.
Recording ReadRecording(const std::string& path);

// The stream's sound as FAAD2 decodes it: where each burst's centre lies after the picture it began with.
struct SoundReference {
    bool valid = false;
    double burstDelayMs = 0;
};
SoundReference MakeSoundReference(const std::string& adtsPath);

struct SyncMark {
    int picture = 0;     // the number of the picture the burst began with
    double atMs = 0;     // that picture's time in the file
    double offsetMs = 0; // > 0: the sound comes after its picture
};
// One mark for every burst picture whose burst lies wholly inside the file's sound.
std::vector<SyncMark> MeasureSync(const Recording& recording, const SoundReference& reference);

} // namespace recordsync
