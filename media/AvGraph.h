// KQ_AV_Graph: the player's filter graph manager and what the program does with it: run, stop and pause,
// positions in seconds, volume, the video laid out for a 4:3 or 16:9 picture, repaints, the graph's
// events, snapshots. The player facade owns the holder and creates and releases the graph manager.
// Every operation asks the graph for the interface it needs anew and releases it before returning.
//
// Threads: all on the user-interface thread, except Run and Pause, which the live context also calls from
// the stream receiver's thread. The state is written by whichever thread acted last.
#pragma once

#include "platform/dshow/Interfaces.h"

#include <atomic>

// The player's result codes that the holder reports.
constexpr HRESULT KQ_AV_E_NO_GRAPH = static_cast<HRESULT>(0x8004021Eu); // no graph, interface or control
constexpr HRESULT KQ_AV_E_RUN = static_cast<HRESULT>(0x80040232u);
constexpr HRESULT KQ_AV_E_PAUSE = static_cast<HRESULT>(0x80040233u);
constexpr HRESULT KQ_AV_E_STOP = static_cast<HRESULT>(0x80040234u);
constexpr HRESULT KQ_AV_E_MUTE = static_cast<HRESULT>(0x80040235u);

class KQ_AV_Graph {
public:
    static constexpr int kStopped = 1;
    static constexpr int kPaused = 2;
    static constexpr int kRunning = 3;

    KQ_AV_Graph() = default;
    ~KQ_AV_Graph(); // releases a graph manager still held
    KQ_AV_Graph(const KQ_AV_Graph&) = delete;
    KQ_AV_Graph& operator=(const KQ_AV_Graph&) = delete;

    // The graph manager (CLSID_FilterGraph, in-process, IGraphBuilder); CoCreateInstance's failure, with
    // no graph, when it cannot be made. Releasing leaves the holder without a graph.
    HRESULT CreateGraph();
    void ReleaseGraph();
    IGraphBuilder* GetGraph() const { return graph_; } // borrowed
    int GetState() const { return state_; }

    HRESULT Run();   // state 3 whatever the outcome
    HRESULT Stop();  // state 1
    HRESULT Pause(); // only a running graph (E_FAIL otherwise, nothing changed); state 2
    // Seconds of media time; -1 and E_FAIL when the graph cannot tell.
    HRESULT GetCurrentPosition(double* seconds);
    HRESULT GetDuration(double* seconds);
    // A key-frame seek to seconds x 10^7, truncated towards zero.
    HRESULT SetPosition(double seconds);
    HRESULT Mute();
    HRESULT SetVolume(int volume); // hundredths of a decibel, -10000 to 0
    // Lays the video out in the window's client area: mode 0 a 4:3 picture, 1 16:9, others the whole area.
    HRESULT UpdateVideoPosition(int aspectMode, HWND window);
    HRESULT RepaintVideo(HWND window);
    // Drains the graph's events; an EC_COMPLETE seeks to the start and stops.
    HRESULT HandleEvents();
    // Writes the picture the renderer shows now to the file, BMP or JPEG by its extension.
    HRESULT SaveSnapshot(LPCWSTR targetPath);

private:
    IGraphBuilder* graph_ = nullptr; // with a reference
    std::atomic<int> state_{kStopped};
};
