#include "GraphFixtures.h"

#include "media/AvGraph.h"
#include "media/GraphHelpers.h"
#include "platform/dshow/VideoRendererHooks.h"
#include "platform/dshow/VideoSurface.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Messages.h"
#include "tests/support/fakes/HeadlessVideoSurface.h"

#include <gtest/gtest.h>

namespace {

using namespace testfilters;
using mediatest::SeekRecorder;
using platform::ComPtr;
using platform::Query;

ULONG refs(IUnknown* object) {
    const ULONG count = object->AddRef();
    object->Release();
    return count - 1;
}

class GraphHolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(holder_.CreateGraph(), S_OK);
        graph_ = holder_.GetGraph();
        window_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    }
    void TearDown() override {
        holder_.Stop();
        DestroyWindow(window_);
        platform::dshow::SetVmr9CreationFails(false);
    }
    template <class F> F* add(F* filter, const wchar_t* name) {
        EXPECT_TRUE(SUCCEEDED(graph_->AddFilter(filter, name)));
        filter->Release(); // the graph holds it alone
        return filter;
    }
    // A UYVY source of 720 x 480 connected to the renderer of the class.
    TestSourcePin* videoInto(REFCLSID renderer, const wchar_t* name) {
        EXPECT_EQ(AddFilterByClsid(graph_, renderer, name), S_OK);
        TestSource* source = add(TestSource::make({{mediatest::uyvyType(720, 480)}}), L"source");
        source->pin(0)->bufferSize = 720 * 2 * 480;
        IPin* in = nullptr;
        EXPECT_EQ(FindFilterPin(graph_, name, nullptr, 1, &in), S_OK);
        EXPECT_EQ(ConnectPinsDirect(graph_, source->pin(0), in), S_OK);
        return source->pin(0);
    }
    KQ_AV_Graph holder_;
    IGraphBuilder* graph_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(GraphHolderTest, PauseOnlyPausesARunningGraph) {
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kStopped);
    EXPECT_EQ(holder_.Pause(), E_FAIL);
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kStopped);
    EXPECT_EQ(holder_.Run(), S_OK);
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kRunning);
    EXPECT_EQ(holder_.Pause(), S_OK);
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kPaused);
    EXPECT_EQ(holder_.Pause(), E_FAIL); // already paused: nothing changes
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kPaused);
    EXPECT_EQ(holder_.Stop(), S_OK);
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kStopped);

    KQ_AV_Graph empty;
    EXPECT_EQ(empty.Run(), KQ_AV_E_NO_GRAPH);
    EXPECT_EQ(empty.Stop(), KQ_AV_E_NO_GRAPH);
    EXPECT_EQ(empty.HandleEvents(), E_FAIL);
    double seconds = 0;
    EXPECT_EQ(empty.GetDuration(&seconds), KQ_AV_E_NO_GRAPH);
    EXPECT_EQ(seconds, -1);
}

TEST_F(GraphHolderTest, PositionsInSecondsAndTruncatedKeyFrameSeeks) {
    double seconds = 0;
    EXPECT_EQ(holder_.GetCurrentPosition(&seconds), E_FAIL); // nothing in the graph can seek
    EXPECT_EQ(seconds, -1);
    EXPECT_EQ(holder_.SetPosition(1.0), E_FAIL);

    SeekRecorder* seeker = add(SeekRecorder::make(), L"seeker");
    ASSERT_EQ(holder_.GetDuration(&seconds), S_OK);
    EXPECT_DOUBLE_EQ(seconds, 12.3456789);
    seeker->failDuration = true;
    EXPECT_EQ(holder_.GetDuration(&seconds), E_FAIL);
    EXPECT_EQ(seconds, -1);

    const struct {
        double seconds;
        LONGLONG units;
    } seeks[] = {{2.99999, 29999900}, {0.0, 0}, {1.5, 15000000}, {0.00000009, 0}, {7.77777777, 77777777}};
    for (const auto& s : seeks) {
        ASSERT_EQ(holder_.SetPosition(s.seconds), S_OK) << s.seconds;
        EXPECT_EQ(seeker->position, s.units) << s.seconds;
        EXPECT_EQ(seeker->positionFlags, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame);
    }
    ASSERT_EQ(holder_.GetCurrentPosition(&seconds), S_OK);
    EXPECT_DOUBLE_EQ(seconds, 7.7777777);
}

TEST_F(GraphHolderTest, VideoLayoutInSinglePrecision) {
    struct Case {
        const char* name;
        const CLSID* renderer;
        int width, height, mode;
        RECT expected;
    };
    const Case cases[] = {
        {"4:3 in 1000 x 600, VMR-9", &CLSID_VideoMixingRenderer9, 1000, 600, 0, {100, 0, 900, 600}},
        {"16:9 in 640 x 480, VMR-9", &CLSID_VideoMixingRenderer9, 640, 480, 1, {0, 60, 640, 420}},
        {"whole area, VMR-9", &CLSID_VideoMixingRenderer9, 640, 480, 2, {0, 0, 640, 480}},
        {"4:3 in 1000 x 600, VMR-7", &CLSID_VideoMixingRenderer, 1000, 600, 0, {100, 0, 900, 600}},
        {"4:3 in 640 x 480, VMR-7", &CLSID_VideoMixingRenderer, 640, 480, 0, {0, 0, 640, 480}},
        {"16:9 in 100 x 200, VMR-7", &CLSID_VideoMixingRenderer, 100, 200, 1, {0, 72, 100, 128}},
    };
    for (const Case& c : cases) {
        RemoveAllFilters(graph_);
        videoInto(*c.renderer, L"renderer");
        platform::gdi::SetWindowClientSize(window_, c.width, c.height);
        ASSERT_EQ(holder_.UpdateVideoPosition(c.mode, window_), S_OK) << c.name;
        RECT source{}, destination{};
        COLORREF border = 1;
        if (*c.renderer == CLSID_VideoMixingRenderer9) {
            ComPtr<IVMRWindowlessControl9> control;
            FindGraphInterface(graph_, IID_IVMRWindowlessControl9, control.ReleaseAndGetVoidAddressOf());
            control->GetVideoPosition(&source, &destination);
            control->GetBorderColor(&border);
        } else {
            ComPtr<IVMRWindowlessControl> control;
            FindGraphInterface(graph_, IID_IVMRWindowlessControl, control.ReleaseAndGetVoidAddressOf());
            control->GetVideoPosition(&source, &destination);
            control->GetBorderColor(&border);
        }
        EXPECT_EQ(destination.left, c.expected.left) << c.name;
        EXPECT_EQ(destination.top, c.expected.top) << c.name;
        EXPECT_EQ(destination.right, c.expected.right) << c.name;
        EXPECT_EQ(destination.bottom, c.expected.bottom) << c.name;
        EXPECT_EQ(source.right, 720) << c.name;
        EXPECT_EQ(source.bottom, 480) << c.name;
        EXPECT_EQ(border, 0u) << c.name;
    }
    RemoveAllFilters(graph_);
    EXPECT_EQ(holder_.UpdateVideoPosition(0, window_), KQ_AV_E_NO_GRAPH); // no renderer
    EXPECT_EQ(holder_.RepaintVideo(window_), KQ_AV_E_NO_GRAPH);
    ASSERT_EQ(AddFilterByClsid(graph_, CLSID_VideoMixingRenderer9, L"unconnected"), S_OK);
    EXPECT_EQ(holder_.UpdateVideoPosition(0, window_), E_FAIL); // no native size yet
}

TEST_F(GraphHolderTest, FindPinMatchesASubstringCaseSensitivelyAndKeepsNoReference) {
    TestSource* demux = add(
        TestSource::make(
            {{videoType(MEDIASUBTYPE_YUY2)}, {videoType(MEDIASUBTYPE_YUY2)}, {videoType(MEDIASUBTYPE_YUY2)}},
            1, {L"Audio 2", L"video 1", L"Video 1 H.264 Main"}),
        L"KQ MP4 DeMux");
    TestRenderer* sink = add(TestRenderer::make({"YUY2"}), L"sink");
    const ULONG before = refs(demux);
    const ULONG graphBefore = refs(graph_);
    struct Case {
        const char* name;
        IBaseFilter* filter;
        int direction;
        const wchar_t* text;
        HRESULT result;
        IPin* expected;
    };
    const Case cases[] = {
        {"substring followed by more words", demux, 0, L"Video 1", S_OK, demux->pin(2)},
        {"lower case only matches its own", demux, 0, L"video 1", S_OK, demux->pin(1)},
        {"first of the direction", demux, 0, nullptr, S_OK, demux->pin(0)},
        {"longer than any name", demux, 0, L"Video 1 H.264 Main Profile", E_FAIL, nullptr},
        {"no input pins", demux, 1, nullptr, E_FAIL, nullptr},
        {"any other direction value is input", sink, 7, nullptr, S_OK, sink->pin()},
        {"missing filter", nullptr, 0, nullptr, E_FAIL, nullptr},
    };
    for (const Case& c : cases) {
        IPin* pin = reinterpret_cast<IPin*>(1);
        EXPECT_EQ(FindPin(c.filter, c.direction, c.text, &pin), c.result) << c.name;
        if (c.result == S_OK) {
            EXPECT_EQ(pin, c.expected) << c.name;
        }
    }
    EXPECT_EQ(refs(demux), before); // borrowed pins; the pin information's filter reference was let go

    IPin* pin = nullptr;
    EXPECT_EQ(FindFilterPin(graph_, L"KQ MP4 DeMux", L"Audio 2", 0, &pin), S_OK);
    EXPECT_EQ(pin, demux->pin(0));
    EXPECT_EQ(FindFilterPin(graph_, L"kq mp4 demux", L"Audio 2", 0, &pin), E_FAIL);
    EXPECT_EQ(FindFilterPin(nullptr, L"KQ MP4 DeMux", nullptr, 0, &pin), E_FAIL);
    IBaseFilter* found = nullptr;
    EXPECT_EQ(FindFilterByName(graph_, L"sink", &found), S_OK);
    EXPECT_EQ(found, static_cast<IBaseFilter*>(sink));
    EXPECT_EQ(FindFilterByName(graph_, L"sin", &found), E_FAIL); // whole names only
    EXPECT_EQ(refs(graph_), graphBefore); // the filter information's graph reference was let go
}

// A graph whose filters will not leave.
class StubbornGraph final : public IGraphBuilder {
public:
    explicit StubbornGraph(IBaseFilter* filter) : filter_(filter) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT RemoveFilter(IBaseFilter*) override { return E_FAIL; }
    HRESULT EnumFilters(IEnumFilters** filters) override {
        return platform::dshow::FilterEnum::Make({ComPtr<IBaseFilter>(filter_)}, filters);
    }
    HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }
    HRESULT Connect(IPin*, IPin*) override { return E_NOTIMPL; }
    HRESULT Render(IPin*) override { return E_NOTIMPL; }

private:
    IBaseFilter* filter_;
};

TEST_F(GraphHolderTest, AddingAndRemovingFiltersByClass) {
    EXPECT_EQ(RemoveAllFilters(graph_), S_OK); // empty
    ASSERT_EQ(AddFilterByClsid(graph_, CLSID_DSoundRender, L"Default DirectSound Device"), S_OK);
    ASSERT_EQ(AddFilterByClsid(graph_, CLSID_VideoMixingRenderer9, L"Video Mixing Renderer 9"), S_OK);
    IBaseFilter* vmr = nullptr;
    ASSERT_EQ(FindFilterByName(graph_, L"Video Mixing Renderer 9", &vmr), S_OK);
    EXPECT_EQ(refs(vmr), 1u); // the graph's reference only
    EXPECT_EQ(AddFilterByClsid(graph_, GUID_NULL, L"nothing"), E_FAIL);
    platform::dshow::SetVmr9CreationFails(true);
    EXPECT_EQ(AddFilterByClsid(graph_, CLSID_VideoMixingRenderer9, L"again"), E_FAIL);
    EXPECT_EQ(AddFilterByClsid(nullptr, CLSID_VideoMixingRenderer, L"x"), E_FAIL);

    EXPECT_EQ(RemoveAllFilters(graph_), S_OK);
    void* any = nullptr;
    EXPECT_EQ(FindGraphInterface(graph_, IID_IBaseFilter, &any), E_FAIL); // no filters left
    EXPECT_EQ(RemoveAllFilters(nullptr), E_FAIL);

    auto* stuck = TestRenderer::make({"AAAA"});
    StubbornGraph stubborn(stuck);
    EXPECT_EQ(RemoveAllFilters(&stubborn), E_FAIL); // returns instead of looping for ever
    stuck->Release();
}

TEST_F(GraphHolderTest, InterfacesAnywhereInTheGraph) {
    void* out = nullptr;
    EXPECT_EQ(FindGraphInterface(nullptr, IID_IBaseFilter, &out), E_POINTER);
    EXPECT_EQ(FindGraphInterface(graph_, IID_IBaseFilter, nullptr), E_POINTER);
    EXPECT_EQ(FindGraphInterface(graph_, IID_IBaseFilter, &out), E_FAIL);
    add(TestRenderer::make({"AAAA"}), L"first");
    ASSERT_EQ(AddFilterByClsid(graph_, CLSID_DSoundRender, L"sound"), S_OK);
    ComPtr<IBasicAudio> audio;
    ASSERT_EQ(FindGraphInterface(graph_, IID_IBasicAudio, audio.ReleaseAndGetVoidAddressOf()), S_OK);
    EXPECT_EQ(FindGraphInterface(graph_, IID_IVMRMixerBitmap9, &out), E_NOINTERFACE); // the last refusal

    ComPtr<IFileSourceFilter> file;
    EXPECT_EQ(FindFileSourceInterface(graph_, file.ReleaseAndGetAddressOf()), E_NOINTERFACE);
    EXPECT_EQ(FindFileSourceInterface(graph_, nullptr), E_POINTER);
    ASSERT_EQ(AddFilterByClsid(graph_, CLSID_AsyncReader, L"File Source Filter"), S_OK);
    EXPECT_EQ(FindFileSourceInterface(graph_, file.ReleaseAndGetAddressOf()), S_OK);
}

TEST_F(GraphHolderTest, WindowlessSetUpGivesTheVmr7FourStreams) {
    EXPECT_EQ(ConfigureVmrWindowless(graph_, window_), E_FAIL); // no renderer
    for (const CLSID* renderer : {&CLSID_VideoMixingRenderer, &CLSID_VideoMixingRenderer9}) {
        RemoveAllFilters(graph_);
        ASSERT_EQ(AddFilterByClsid(graph_, *renderer, L"renderer"), S_OK);
        ASSERT_EQ(ConfigureVmrWindowless(graph_, window_), S_OK);
        DWORD streams = 99, mode = 0;
        if (*renderer == CLSID_VideoMixingRenderer) {
            ComPtr<IVMRFilterConfig> config;
            FindGraphInterface(graph_, IID_IVMRFilterConfig, config.ReleaseAndGetVoidAddressOf());
            config->GetNumberOfStreams(&streams);
            config->GetRenderingMode(&mode);
            EXPECT_EQ(streams, 4u);
        } else {
            ComPtr<IVMRFilterConfig9> config;
            FindGraphInterface(graph_, IID_IVMRFilterConfig9, config.ReleaseAndGetVoidAddressOf());
            config->GetNumberOfStreams(&streams);
            config->GetRenderingMode(&mode);
            EXPECT_EQ(streams, 0u); // none set
        }
        EXPECT_EQ(mode, VMRMode_Windowless);
    }
}

TEST_F(GraphHolderTest, EventsAreDrainedAndTheEndSeeksToTheStartAndStops) {
    SeekRecorder* seeker = add(SeekRecorder::make(), L"seeker");
    TestSource* source = add(TestSource::make({{videoType(MEDIASUBTYPE_YUY2)}}), L"source");
    add(TestRenderer::make({"YUY2"}), L"renderer");
    IPin* in = nullptr;
    ASSERT_EQ(FindFilterPin(graph_, L"renderer", nullptr, 1, &in), S_OK);
    ASSERT_EQ(ConnectPinsDirect(graph_, source->pin(0), in), S_OK);
    ASSERT_EQ(holder_.Run(), S_OK);
    auto sink = Query<IMediaEventSink>(graph_, IID_IMediaEventSink);
    sink->Notify(0x50, 1, 2);
    sink->Notify(0x51, 3, 4);
    ASSERT_EQ(holder_.HandleEvents(), S_OK);
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kRunning); // no end among them
    const int seeksBefore = seeker->seeks;

    sink->Notify(0x52, 0, 0);
    source->pin(0)->DeliverEndOfStream(); // the renderer's EC_COMPLETE
    sink->Notify(0x53, 0, 0);
    ASSERT_EQ(holder_.HandleEvents(), S_OK);
    auto events = Query<IMediaEventEx>(graph_, IID_IMediaEventEx);
    LONG code;
    LONG_PTR p1, p2;
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT); // all handled in one call
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kStopped);
    OAFilterState state;
    Query<IMediaControl>(graph_, IID_IMediaControl)->GetState(0, &state);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_GT(seeker->seeks, seeksBefore);
    EXPECT_EQ(seeker->position, 0);
}

TEST_F(GraphHolderTest, VolumeMuteAndRepaint) {
    EXPECT_EQ(holder_.Mute(), KQ_AV_E_MUTE); // no audio renderer
    EXPECT_EQ(holder_.SetVolume(-100), E_FAIL);
    ASSERT_EQ(AddFilterByClsid(graph_, CLSID_DSoundRender, L"Default DirectSound Device"), S_OK);
    auto audio = Query<IBasicAudio>(graph_, IID_IBasicAudio);
    LONG volume = 0;
    EXPECT_EQ(holder_.Mute(), S_OK);
    audio->get_Volume(&volume);
    EXPECT_EQ(volume, -10000);
    EXPECT_EQ(holder_.SetVolume(-2994), S_OK);
    audio->get_Volume(&volume);
    EXPECT_EQ(volume, -2994);
    EXPECT_EQ(holder_.SetVolume(5), E_FAIL);

    HeadlessVideoSurface surface;
    platform::dshow::RegisterVideoSurface(window_, &surface);
    platform::gdi::SetWindowClientSize(window_, 720, 480);
    TestSourcePin* video = videoInto(CLSID_VideoMixingRenderer9, L"Video Mixing Renderer 9");
    ASSERT_EQ(ConfigureVmrWindowless(graph_, window_), S_OK);
    ASSERT_EQ(holder_.Run(), S_OK);
    ASSERT_EQ(video->deliver(0, 1, std::vector<BYTE>(720 * 2 * 480, 0x80)), S_OK);
    EXPECT_EQ(surface.presented(), 1);
    EXPECT_EQ(holder_.RepaintVideo(window_), S_OK);
    EXPECT_EQ(surface.presented(), 2);
    holder_.Stop();
    platform::dshow::UnregisterVideoSurface(window_);
}

} // namespace
