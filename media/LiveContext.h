// KQ_AV_LiveContext: everything one live view of the box needs. It owns the input rings that the stream
// receiver's parser thread fills (LiveUnitSink), the caches of the current group of pictures from which a
// recording starts, the record tap, the live graph's own source filter with both renderers, the audio and
// video decode threads, the picture size and surface pitch, and the audio clock that paces the video.
//
// Threads and lifetime:
// - The player facade creates it (held by a shared pointer), starts, restarts and destroys it on the
//   user-interface or control dispatcher thread, one call at a time (the facade's lock).
// - The parser thread pushes units (the one writer of the input rings, caches and record rings) and runs and
//   pauses the graph by the audio fill; the control dispatcher thread flushes the input rings. Both hold the
//   context's call guard: Destroy makes later calls return at once and waits for those in progress, and a
//   push waiting for room leaves its wait as soon as the context is being destroyed.
// - The audio thread writes the audio clock and audio running, the video thread reads them (plain atomics).
// - No thread polls the rings: the decode threads wait for units (the video thread also for audio to run)
//   and a push waits for room in a full ring, each on a condition variable that the change it waits for
//   notifies. The receiver's stop flag, which nothing here is told of, is looked at every kStopCheckMs
//   while a push waits for room.
// - While recording, the record thread reads the record rings and owns the staging ring and the recorder;
//   it reads the picture size, which a restart may change meanwhile, under the size lock.
#pragma once

#include "media/AudioFillPacer.h"
#include "media/AvRingBuffer.h"
#include "media/LiveUnitSink.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Types.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class KQ_AV_AudioDecode;
class KQ_AV_Graph;
class KQ_AV_Mp4Recorder;
class KQ_AV_SourceFilter;
class KQ_AV_VideoDecode;
struct IGraphBuilder;

// The live start's code for pins that could not be connected.
constexpr HRESULT KQ_AV_E_PINS_NOT_CONNECTED = static_cast<HRESULT>(0x80040238u);

struct LivePictureSize {
    DWORD width;
    DWORD height;
    bool largePicture; // size classes 2 and 4
};

// What a recording asks of the machine: the tick count (milliseconds, wrapping) that times the first units
// of a file and the rollover, and the bytes of the record folder's file system available to the user
// (false when that cannot be told). A test replaces them to run a rollover or a full disk at once.
struct RecordEnvironment {
    std::function<DWORD()> tickCount;
    std::function<bool(const std::wstring& folder, ULONGLONG* bytes)> freeSpace;
};
RecordEnvironment DefaultRecordEnvironment();

class KQ_AV_LiveContext final : public LiveUnitSink {
public:
    static constexpr DWORD kVideoRingSize = 0xF00000;
    static constexpr DWORD kAudioRingSize = 0xA00000;
    static constexpr DWORD kVideoGopCacheSize = 0x500000;
    static constexpr DWORD kAudioGopCacheSize = 0x200000;
    static constexpr DWORD kVideoRecordRingSize = 0xA00000;
    static constexpr DWORD kAudioRecordRingSize = 0x500000;
    static constexpr DWORD kStagingRingSize = 0x500000;
    static constexpr DWORD kAudioStagingSize = 0x40000;
    // The audio cache keeps the units that begin up to this long before the cached IDR picture, so that a
    // recording can begin its sound with the unit nearest that picture.
    static constexpr DWORD kAudioGopLeadMs = 100;
    // The first units of a file that do not come within this time make its open fail.
    static constexpr DWORD kFirstUnitsWaitMs = 10000;
    // Below this many free bytes the main window is told once that the disk is full.
    static constexpr ULONGLONG kLowSpaceBytes = 0x3200000;
    static constexpr int kCycleAudioUnits = 32;
    // The largest units the receiver hands on: an assembled access unit of 1 MiB behind its timestamp, and
    // an audio record of at most 2045 bytes less the 4 unused bytes in front of its timestamp.
    static constexpr DWORD kLargestVideoUnit = 0x100000 + 4;
    static constexpr DWORD kLargestAudioUnit = 2045 - 4;
    static constexpr DWORD kSavedUnitSize = 51200;
    // A video ring that stays full this long (a stalled decoder) makes the pushes drop units at once
    // until there is room again.
    static constexpr DWORD kVideoFullDropMs = 500;
    static constexpr DWORD kStopCheckMs = 20;
    static constexpr DWORD kDefaultPitch = 2048;
    static constexpr DWORD kLargestPitch = 10240;

    // graph and holder are the facade's and outlive the context; mainWindow receives the graph events and
    // the video thread's stall message.
    KQ_AV_LiveContext(IGraphBuilder* graph, KQ_AV_Graph* holder, HWND mainWindow);
    ~KQ_AV_LiveContext() override; // Destroy, when not done yet
    KQ_AV_LiveContext(const KQ_AV_LiveContext&) = delete;
    KQ_AV_LiveContext& operator=(const KQ_AV_LiveContext&) = delete;

    // Each ring only when its capacity is non-zero; E_OUTOFMEMORY when one cannot be had.
    HRESULT AllocateInputRings(DWORD videoCapacity, DWORD audioCapacity);
    // Size class 0..4 by standard (1: 60 Hz rows, 0: 50 Hz rows; another standard changes nothing). A size
    // class above 4 gives E_FAIL, after the 50 Hz flag was set.
    HRESULT SetPictureSize(int sizeClass, int standard);
    static bool LookUpPictureSize(int sizeClass, bool rows50Hz, LivePictureSize* size);

    // Builds the live graph ("NetSource Video" to the video and DirectSound renderers) and starts the audio
    // thread, then the video thread. The graph is not run here: the audio fill runs it.
    HRESULT Start(HWND videoWindow);
    // Stops the graph and both threads, empties the graph and starts again on the stored window with the
    // current picture size. Rings, caches and a recording stay.
    HRESULT Restart();
    // Stops the graph (so that no thread stays inside a renderer), then the video thread, then the audio one.
    HRESULT StopThreads();
    // Ends every call in progress, stops a recording, the graph and the threads, empties the graph and frees
    // rings, caches and the source filter. Later calls return at once.
    void Destroy();

    // While held (a stop or restart of the graph is under way) the audio fill neither runs nor pauses the
    // graph. Hold returns once no run or pause of the audio fill is in progress.
    void HoldGraph();
    void ReleaseGraph();

    int PushVideo(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) override;
    int PushAudio(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) override;
    DWORD GetVideoFill() override;
    // Read position := write position; E_FAIL without the ring or once destroyed.
    HRESULT FlushAudio();
    HRESULT FlushVideo();

    // Recording to MP4 files. StartRecord opens the record tap (every pushed unit is then also copied into
    // the record rings, the first ones being the cached group of pictures: the unit before the last IDR
    // unit, the IDR unit and everything since, with the audio since shortly before it), opens the file at
    // path from the first ten video units (waiting at most kFirstUnitsWaitMs for them) and starts the
    // record thread, which writes audio and video in step by their timestamps, rolls over to path_01.mp4,
    // path_02.mp4, ... (after the period, at a new picture size, and when the box's sequence parameter set
    // changes: the file goes on up to the next parameter sets with an IDR picture, which begin the next)
    // and posts WM_AV_DISK_FULL to the main window once per recording when the disk runs low or a write
    // fails. E_FAIL leaves nothing open and the recording off. StopRecord writes what has come before it,
    // both tracks ending together, and closes the file. Both on the user-interface thread, one at a time.
    HRESULT StartRecord(const std::wstring& path);
    HRESULT StopRecord();
    // The tap alone, StartRecord's first step (fresh, empty record rings) and StopRecord's last; the
    // tap's tests drive it without a file.
    HRESULT OpenRecordRings(const std::wstring& path);
    void CloseRecordRings();
    bool Recording() const { return recording_; }
    const std::wstring& RecordPath() const { return recordPath_; }
    // Test and record-thread access to the record rings; null while not recording.
    KQ_AV_RingBuffer* VideoRecordRing() const { return videoRecord_.get(); }
    KQ_AV_RingBuffer* AudioRecordRing() const { return audioRecord_.get(); }
    // Set before a recording starts.
    void SetRecordEnvironment(RecordEnvironment environment);
    // The cycles the record thread has finished in this recording (a test waits on it).
    DWORD RecordCycles() const { return recordCycles_; }
    // The frame rate and 90 kHz frame duration chosen at the last file open.
    double RecordFrameRateValue() const { return frameRate_; }
    DWORD RecordFrameDuration() const { return frameDuration_; }

    // What the decode threads share.
    DWORD AudioClock() const { return audioClock_; }
    void SetAudioClock(DWORD clock) { audioClock_ = clock; }
    bool AudioRunning() const { return audioRunning_; }
    void SetAudioRunning(bool running); // wakes the video thread when audio starts to run

    // The decode threads' waits. WaitForVideoUnit: until audio runs and the video input ring holds a unit
    // (true), or run is cleared (false). WaitForAudio: until the audio input ring holds more than `bytes`
    // (true), or run is cleared (false). A stopper clears its thread's run flag and then calls
    // WakeDecodeThreads. A decode thread calls UnitTaken after each read, for a push waiting for room.
    bool WaitForVideoUnit(const std::atomic<bool>& run);
    bool WaitForAudio(DWORD bytes, const std::atomic<bool>& run);
    void WakeDecodeThreads();
    void UnitTaken();
    HWND MainWindow() const { return mainWindow_; }
    KQ_AV_SourceFilter* SourceFilter() const { return source_; }

    DWORD Width() const { return width_; }
    DWORD Height() const { return height_; }
    DWORD Pitch() const { return pitch_; }
    int SizeClass() const { return sizeClass_; }
    bool Rows50Hz() const { return rows50Hz_; }
    bool LargePicture() const { return largePicture_; }
    KQ_AV_RingBuffer* VideoInputRing() const { return videoRing_.get(); }
    KQ_AV_RingBuffer* AudioInputRing() const { return audioRing_.get(); }

    // The surface pitch the live start uses for a probe's answer: 2048 for a failed probe (0 or above
    // 10240), and never less than the 2 x width bytes of a packed row.
    static DWORD AcceptedPitch(DWORD probed, DWORD width);
    // Asks the pitch probe for the pitch of a UYVY surface of that size on the window.
    static DWORD ProbePitch(HWND window, DWORD width, DWORD height);

private:
    class CallScope;

    // The picture a file is recorded with; a change while recording starts a new file.
    struct RecordFormat {
        DWORD width = 0;
        DWORD height = 0;
        bool rows50Hz = false;
        bool largePicture = false;
        int sizeClass = 0;
        bool operator==(const RecordFormat&) const = default;
    };
    RecordFormat currentFormat();
    RecordFormat formatForFile();

    // Recording (LiveRecord.cpp: start, open, rollover, stop; RecordThread.cpp: the loop; RecordTimeline.cpp:
    // where each unit goes in the file).
    HRESULT OpenRecordFile(const std::wstring& name);
    // The time of the first unit taken and whether it holds a picture go to firstUnit and firstPicture.
    bool collectFirstUnits(std::vector<BYTE>& payloads, DWORD* firstUnit, bool* firstPicture);
    HRESULT RolloverFile();
    void closeRecordFile();
    HRESULT GetFreeDiskSpace(ULONGLONG* bytes);
    static DWORD RecordThreadProc(LPVOID self);
    void RecordLoop();
    // Waits until ready() holds (true) or the recording stops, or the scaled clock reaches deadline (false).
    bool waitForRecordUnits(const std::function<bool()>& ready,
                            platform::Duration deadline = platform::Duration::max());
    void takeAudio(bool wait);
    void stageVideo(bool wait);
    void stageOrHold(const BYTE* unit, DWORD length);
    bool startsNewFile(const BYTE* parameterSets, DWORD length);
    void stageUnit(const BYTE* unit, DWORD length);
    void writeCycle();
    void alignAudio();
    void writeAudioUnit(const BYTE* unit, DWORD length);
    void writeVideoUnit(const BYTE* unit, DWORD length);
    void followAudio(DWORD timestamp);
    bool audioBelongs(DWORD timestamp) const;
    bool audioMiddleBefore(DWORD timestamp, DWORD time) const;
    LONGLONG fileTicks(DWORD timestamp) const;
    ULONGLONG audioTicks(ULONGLONG units) const;
    void endTracksTogether();
    void finishRecording();
    void checkFile();
    void reportDiskFull();
    void releaseRecording();
    void resetFileTimeline(DWORD videoStart);

    // Graph building, in Start's order.
    HRESULT addSourceFilter();
    HRESULT addRenderers();
    HRESULT connectPins();
    HRESULT startThreads();
    void deleteSourceFilter();

    bool enterCall();
    void leaveCall();
    // A push's wait for room in a full ring: until a unit is taken, the context closes, the scaled clock
    // reaches deadline or kStopCheckMs passed.
    void waitForRoom(platform::Duration deadline);
    void unitsArrived(std::condition_variable& waiters);
    // One step of the audio-fill hysteresis with the bytes queued before the unit.
    void paceGraph(DWORD used);
    void tapVideo(const BYTE* unit, DWORD length);
    void tapAudio(const BYTE* unit, DWORD length);
    void trimAudioGop(DWORD pictureTime);
    // Copies every record of a cache into a record ring, oldest first; the cache keeps them.
    static void drain(KQ_AV_RingBuffer& cache, KQ_AV_RingBuffer* record, BYTE* buffer, DWORD size);

    IGraphBuilder* graph_;
    KQ_AV_Graph* holder_;
    HWND mainWindow_;
    HWND videoWindow_ = nullptr;

    int sizeClass_ = 4;
    DWORD width_ = 720;
    DWORD height_ = 480;
    DWORD pitch_ = 1536;
    bool rows50Hz_ = false;
    bool largePicture_ = false;

    KQ_AV_SourceFilter* source_ = nullptr; // with the context's reference
    std::unique_ptr<KQ_AV_AudioDecode> audioDecode_;
    std::unique_ptr<KQ_AV_VideoDecode> videoDecode_;

    std::unique_ptr<KQ_AV_RingBuffer> audioRing_;
    std::unique_ptr<KQ_AV_RingBuffer> videoRing_;
    KQ_AV_RingBuffer videoGop_;
    KQ_AV_RingBuffer audioGop_;
    std::atomic<bool> idrSeen_{false};
    std::atomic<DWORD> gopStart_{0}; // the time of the cached IDR picture

    // Parser thread only: the unit before the next IDR unit, the drain buffers, the video-full clock.
    std::unique_ptr<BYTE[]> savedUnit_;
    DWORD savedLength_ = 0;
    std::unique_ptr<BYTE[]> videoDrain_;
    std::unique_ptr<BYTE[]> audioDrain_;
    bool videoFull_ = false;
    DWORD videoFullSince_ = 0;

    // The record tap: the rings and the start flags change under tapMutex_, which the pushes hold while they
    // copy.
    std::mutex tapMutex_;
    std::atomic<bool> recording_{false};
    std::unique_ptr<KQ_AV_RingBuffer> videoRecord_;
    std::unique_ptr<KQ_AV_RingBuffer> audioRecord_;
    std::wstring recordPath_;
    bool videoRecordStart_ = true; // the next video unit recorded starts with the cached pictures (set by
    bool audioRecordStart_ = true; // the tap's open)

    // The recording: the opening thread (the user-interface thread at start, the record thread at
    // rollover) and the record thread own these; StopRecord touches them after the thread has ended.
    RecordEnvironment recordEnvironment_;
    std::unique_ptr<KQ_AV_Mp4Recorder> recorder_;
    std::unique_ptr<KQ_AV_RingBuffer> staging_;      // video units waiting to be written
    std::unique_ptr<KQ_AV_RingBuffer> audioStaging_; // audio units waiting to be written
    std::unique_ptr<BYTE[]> recordUnit_;             // one unit on its way through the record thread
    DWORD newestAudio_ = 0;                          // the timestamp of the newest audio unit staged
    bool audioStaged_ = false;                       // audio units are staged
    DWORD newestPicture_ = 0;    // the timestamp of the newest video unit staged that holds a picture
    bool pictureStaged_ = false; // such a unit is staged
    // A parameter-set unit held back until the unit behind it shows whether the pair begins the next file;
    // then (cut_) that pair, taken from the video record ring, begins it. Everything before the pair's
    // picture (cutTime_, the time of the parameter-set unit) stays in the current file.
    std::vector<std::vector<BYTE>> carried_;
    bool cut_ = false;
    DWORD cutTime_ = 0;
    bool rolloverDue_ = false; // the period has passed: the next pair begins the next file
    int rolloverIndex_ = 1;
    RecordFormat fileFormat_;
    bool fileOpen_ = false;
    double frameRate_ = 0;
    DWORD frameDuration_ = 0;
    DWORD fileStart_ = 0;
    bool lowSpaceReported_ = false;
    bool writing_ = true; // false after a failed write: nothing more goes into the file
    // Where each unit goes in the file (90 kHz ticks from the file's start). A unit's timestamp is the time
    // of the record that completed it, the first of the unit after it: so a picture lasts from the unit
    // before it to its own timestamp. Box time t lies at (t - anchorTime_) x 90 + anchorTicks_; the anchor
    // comes from the first audio unit and follows the audio when its timestamps leave its samples by more
    // than half a unit.
    DWORD fileVideoStart_ = 0;      // the time of the file's first picture
    bool audioAligned_ = false;     // the audio before the file's first picture was dropped
    bool audioTrackPending_ = true; // the next audio unit makes the audio track
    bool anchored_ = false;
    DWORD anchorTime_ = 0;     // a box time,
    LONGLONG anchorTicks_ = 0; // and where it lies in the file
    ULONGLONG audioUnitsWritten_ = 0;
    DWORD audioRate_ = 32000;
    DWORD lastAudioTime_ = 0;   // the timestamp of the last audio unit written
    ULONGLONG videoEnd_ = 0;    // where the last picture written ends
    DWORD pictureDuration_ = 0; // its duration, which the recorder writes it with
    DWORD lastVideoTime_ = 0;   // the timestamp of the last video unit written (the next picture's start)
    DWORD lastPictureTime_ = 0; // of the last picture written (its end)
    bool pictureWritten_ = false;
    // At the stop: the box time at which the audio, or the video, ends (to the nearest unit).
    std::optional<DWORD> audioEndsAt_;
    std::optional<DWORD> videoEndsAt_;
    bool videoStopped_ = false;
    std::atomic<DWORD> recordCycles_{0};
    HANDLE recordEnd_ = nullptr;
    HANDLE recordThread_ = nullptr;
    std::mutex sizeMutex_; // the picture size, changed by a restart while the record thread reads it
    // A unit went into a record ring, or the recording stops (with tapMutex_).
    std::condition_variable recordUnits_;

    // The audio-fill hysteresis and the hold of the graph.
    std::mutex graphMutex_;
    AudioFillPacer pacer_;
    bool graphHeld_ = false;

    std::atomic<DWORD> audioClock_{0};
    std::atomic<bool> audioRunning_{false};

    // The waits on the rings. Who changes what a wait's predicate reads (a ring's fill, audio running,
    // a run flag, closing_) passes ringsMutex_ before notifying, so no wake-up is lost.
    std::mutex ringsMutex_;
    std::condition_variable videoUnits_; // a video unit pushed, audio started to run, a stop
    std::condition_variable audioUnits_; // an audio unit pushed, a stop
    std::condition_variable roomMade_;   // a unit taken, a flush, closing
    ULONGLONG unitsTaken_ = 0;           // under ringsMutex_

    std::mutex callMutex_;
    std::condition_variable callsDone_;
    int calls_ = 0;
    std::atomic<bool> closing_{false};
    bool destroyed_ = false;
};
