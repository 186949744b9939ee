#include "LavfiGraph.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
}

#include <cstdio>
#include <cstdlib>

void lavfiFailed(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    std::fprintf(stderr, "deinterlace_bench: %s: %s\n", what, text);
    std::exit(1);
}

namespace {

constexpr AVRational kSourceTimeBase = {1, 25};

void check(int code, const char* what) {
    if (code < 0) {
        lavfiFailed(what, code);
    }
}

} // namespace

LavfiGraph::LavfiGraph(const std::string& chain, int width, int height) {
    graph_ = avfilter_graph_alloc();
    if (!graph_) {
        lavfiFailed("graph", AVERROR(ENOMEM));
    }
    graph_->nb_threads = 1;
    check(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                       graph_),
          "buffer sink");
    AVFilterInOut* inputs = avfilter_inout_alloc();
    AVFilterInOut* outputs = nullptr;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    if (width > 0) {
        const std::string args = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                                 ":pix_fmt=yuv420p:time_base=" + std::to_string(kSourceTimeBase.num) + "/" +
                                 std::to_string(kSourceTimeBase.den) + ":pixel_aspect=16/15";
        check(avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args.c_str(),
                                           nullptr, graph_),
              "buffer source");
        outputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source_;
    }
    const int parsed = avfilter_graph_parse_ptr(graph_, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    check(parsed, chain.c_str());
    check(avfilter_graph_config(graph_, nullptr), "graph configuration");
}

LavfiGraph::~LavfiGraph() {
    avfilter_graph_free(&graph_);
}

void LavfiGraph::push(AVFrame* frame) {
    check(av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF), "push");
}

bool LavfiGraph::pull(AVFrame* out) {
    av_frame_unref(out);
    const int code = av_buffersink_get_frame(sink_, out);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) {
        return false;
    }
    check(code, "pull");
    if (source_) {
        out->pts = av_rescale_q(out->pts, av_buffersink_get_time_base(sink_), kSourceTimeBase);
    }
    return true;
}
