// A libavfilter chain ending in a buffer sink, fed by a buffer source of yuv420p frames or, when it begins
// with a source filter, by that filter. Any libavfilter failure ends the program with a message.
#pragma once

#include <string>

struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;

class LavfiGraph {
public:
    // width and height 0: the chain has its own source. The graph runs on one thread.
    LavfiGraph(const std::string& chain, int width, int height);
    ~LavfiGraph();
    LavfiGraph(const LavfiGraph&) = delete;
    LavfiGraph& operator=(const LavfiGraph&) = delete;

    // Adds a reference to frame (the caller keeps its own); null ends the stream.
    void push(AVFrame* frame);
    // The next output frame into out (unreferenced first), its pts in the time base of the pushed frames
    // (1/25); false when none is ready or the stream ended.
    bool pull(AVFrame* out);

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};

[[noreturn]] void lavfiFailed(const char* what, int code);
