// KQ_AV_Graph: the player's filter graph manager, through which live view and file playback are rendered:
// run, stop, pause, positions in seconds, volume, the video layout for 4:3 or 16:9, repaint and the graph's
// events. Beside it the free helpers on a graph that the graph builders, the on-screen display and the
// windows use.
//
// Ownership: the player facade creates the holder and the graph manager and releases both; the holder owns
// one reference to the graph. Every interface an operation needs is asked for anew and released before it
// returns. Threads: the user-interface thread, except Run and Pause, which the live context also calls
// from the stream receiver's thread; the state field is written by whichever acted last.
#pragma once

#include "platform/dshow/Interfaces.h"

// The player's result codes beside E_FAIL.
constexpr HRESULT AV_E_NO_GRAPH = static_cast<HRESULT>(0x8004021Eu); // no graph, or not the interface needed
constexpr HRESULT AV_E_NO_GRAPH_MANAGER = static_cast<HRESULT>(0x80040228u);
constexpr HRESULT AV_E_FILE_GRAPH = static_cast<HRESULT>(0x80040229u);
constexpr HRESULT AV_E_OUT_OF_MEMORY = static_cast<HRESULT>(0x8004022Au);
constexpr HRESULT AV_E_RUN = static_cast<HRESULT>(0x80040232u);
constexpr HRESULT AV_E_PAUSE = static_cast<HRESULT>(0x80040233u);
constexpr HRESULT AV_E_STOP = static_cast<HRESULT>(0x80040234u);
constexpr HRESULT AV_E_MUTE = static_cast<HRESULT>(0x80040235u);
constexpr HRESULT AV_E_PINS_NOT_CONNECTED = static_cast<HRESULT>(0x80040238u);

enum GraphState : int { GRAPH_STOPPED = 1, GRAPH_PAUSED = 2, GRAPH_RUNNING = 3 };

class KQ_AV_Graph {
public:
    KQ_AV_Graph() = default;
    ~KQ_AV_Graph(); // releases the graph manager
    KQ_AV_Graph(const KQ_AV_Graph&) = delete;
    KQ_AV_Graph& operator=(const KQ_AV_Graph&) = delete;

    // Creates the graph manager; AV_E_NO_GRAPH_MANAGER when it cannot be had.
    HRESULT CreateGraph();
    void ReleaseGraph();
    // Borrowed; null until created.
    IGraphBuilder* Builder() const { return graph_; }
    int State() const { return state_; }

    HRESULT Run();   // state := running even when Run fails (AV_E_RUN)
    HRESULT Stop();  // state := stopped; AV_E_STOP on failure
    HRESULT Pause(); // only a running graph (E_FAIL otherwise, unchanged); AV_E_PAUSE on failure
    HRESULT GetCurrentPosition(double* seconds); // -1 and E_FAIL when the graph cannot tell
    HRESULT GetDuration(double* seconds);
    HRESULT SetPosition(double seconds); // a key-frame seek, truncated to 100 ns
    HRESULT Mute();                      // AV_E_MUTE on failure
    HRESULT SetVolume(LONG volume);      // hundredths of a decibel, -10000 .. 0
    // Centres the video in the window's client area at 4:3 (mode 0), 16:9 (1) or the whole area.
    HRESULT UpdateVideoPosition(int aspectMode, HWND window);
    HRESULT RepaintVideo(HWND window);
    // Drains the graph's events; a file that played to its end is stopped at its start.
    HRESULT HandleEvents();
    // Saves the picture the renderer shows as a file whose format follows the extension.
    HRESULT SaveSnapshot(const wchar_t* path);

private:
    IGraphBuilder* graph_ = nullptr; // with a reference
    int state_ = GRAPH_STOPPED;
};

// The destination rectangle of the video in a client area of w x h at the ratio of an aspect mode.
RECT VideoLayout(int aspectMode, LONG width, LONG height);

// Pins and filters found here are borrowed: they stay valid while their filter is in the graph.
// direction 0 = output, any other value = input; a name, when given, must be contained in the pin's name.
HRESULT FindPin(IBaseFilter* filter, int direction, const wchar_t* name, IPin** pin);
HRESULT FindFilterByName(IGraphBuilder* graph, const wchar_t* name, IBaseFilter** filter);
HRESULT FindFilterPin(IGraphBuilder* graph, const wchar_t* filterName, const wchar_t* pinName, int direction,
                      IPin** pin);
HRESULT ConnectPinsDirect(IGraphBuilder* graph, IPin* out, IPin* in);
// Creates the class as a filter and adds it under the name; the graph holds its only reference.
HRESULT AddFilterByClsid(IGraphBuilder* graph, REFCLSID clsid, const wchar_t* name);
HRESULT RemoveAllFilters(IGraphBuilder* graph);
// The first filter of the graph with the interface, with a reference for the caller.
HRESULT FindGraphInterface(IGraphBuilder* graph, REFIID iid, void** out);
HRESULT FindFileSourceInterface(IGraphBuilder* graph, IFileSourceFilter** out);
// Puts the graph's video renderer (VMR-9, else VMR-7 with four streams) in windowless mode on the window.
HRESULT ConfigureVmrWindowless(IGraphBuilder* graph, HWND window);
