// KQ_AV_OSD: the on-screen display. It keeps short texts (channel, "Record", "Mute", the volume bar, speeds,
// info texts), ages them in 100 ms ticks, and draws them over the video: while the graph plays as the video
// renderer's mixer bitmap, so the renderer blends them into every frame, otherwise straight into the video
// window.
//
// Ownership and threads: the player facade owns the object and runs the OSD thread (KQ_AV_Player), which
// ticks and draws; the user-interface and control dispatcher threads add, remove and hide. The lock guards
// the items, the dirty flag and the graph reference; drawing holds it only while it lays the text out, and
// calls the renderer after letting it go.
#pragma once

#include "platform/dshow/Interfaces.h"
#include "platform/gdi/Gdi.h"
#include "platform/win32/Sync.h"

#include <atomic>
#include <string>
#include <vector>

enum OsdPosition : int { OSD_TOP_RIGHT = 1, OSD_TOP_LEFT = 2, OSD_LOWER_LEFT = 3, OSD_LOWER_RIGHT = 4 };

// One item. A steady item (blink 0) goes when its elapsed time equals its duration exactly, so a duration
// that is no multiple of 100 (the player's 1 ms) keeps it until it is replaced; a blinking item shows for
// `duration` and hides for `blink` ms, for ever.
struct osd_struct {
    static constexpr size_t kMaxText = 255;

    std::wstring text;   // at most kMaxText characters
    int wideCount = 0;   // characters of code 256 and above
    int narrowCount = 0; // characters below 256
    int position = 0;    // OsdPosition
    int duration = 0;
    int elapsed = 0;
    int blink = 0;
    bool hidden = false; // a blinking item in its hidden phase
    COLORREF colour = 0;
};

// Owns one critical section for the object built on it.
class SynchronizeObject {
public:
    SynchronizeObject() { InitializeCriticalSection(&lock_); }
    virtual ~SynchronizeObject() { DeleteCriticalSection(&lock_); }
    SynchronizeObject(const SynchronizeObject&) = delete;
    SynchronizeObject& operator=(const SynchronizeObject&) = delete;

protected:
    class Hold {
    public:
        explicit Hold(SynchronizeObject* object) : lock_(&object->lock_) { EnterCriticalSection(lock_); }
        ~Hold() { LeaveCriticalSection(lock_); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        CRITICAL_SECTION* lock_;
    };

private:
    CRITICAL_SECTION lock_;
};

class KQ_AV_OSD final : public SynchronizeObject {
public:
    static constexpr int kTickMs = 100;

    ~KQ_AV_OSD() override;

    // Replaces every item of the same duration or position, then appends the new one.
    HRESULT AddItem(const std::wstring& text, int position, int duration, COLORREF colour, int blink);
    void RemoveAll(); // does not set dirty
    // Switches the mixer bitmap off; on success the display ends: inactive and no items.
    HRESULT HideOverlay();
    // One 100 ms step of every item.
    void Tick();

    // The graph where the mixer bitmap is looked up; null when the player releases it.
    void SetGraph(IGraphBuilder* graph);

    // Draws the visible items over the playing video (as the mixer bitmap) or into the window. S_FALSE
    // when there is nothing to draw on yet (no picture, a window without size): the items stay dirty.
    HRESULT DrawVmr(HWND window);
    HRESULT DrawWindow(HWND window);
    // Lays the visible items out into a device context of w x h.
    void DrawItems(HDC dc, int width, int height);

    // The OSD thread's side: a thread runs its loop while the display is active and items are left. Once it
    // has left the loop, the next activation asks for a new thread; until then the running one goes on.
    bool Activate();  // true when no thread runs the loop (a new one must be started)
    bool KeepGoing(); // false when the thread should leave its loop
    bool Looping();   // a thread is inside its loop
    void Deactivate();
    bool TakeDirty();
    void MarkDirty();
    // Switches the mixer bitmap off without touching the items (the end of a thread).
    HRESULT DisableMixer();

    std::vector<osd_struct> Items();
    bool Dirty();

private:
    IGraphBuilder* graph(); // with a reference, or null

    std::vector<osd_struct> items_;
    bool dirty_ = false;
    IGraphBuilder* graph_ = nullptr; // with a reference
    bool active_ = false;
    bool looping_ = false; // a thread is inside its loop
};

// The text of the volume bar: count cells "I " (none for 0 or less, at most 21).
std::wstring VolumeBarText(int count);
