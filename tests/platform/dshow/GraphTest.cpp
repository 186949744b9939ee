#include "tests/support/TestFilters.h"

#include "platform/com/Com.h"
#include "platform/dshow/Allocator.h"
#include "platform/dshow/Uuids.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"
#include "tests/support/FilterGraphSetup.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace testfilters;
using platform::ComPtr;

// FOURCC subtypes with readable names for the tables.
constexpr GUID kA = FourCCGuid(MakeFourCC('A', 'A', 'A', 'A'));
constexpr GUID kB = FourCCGuid(MakeFourCC('B', 'B', 'B', 'B'));
constexpr GUID kC = FourCCGuid(MakeFourCC('C', 'C', 'C', 'C'));
constexpr GUID kR1 = FourCCGuid(MakeFourCC('R', '1', '_', '_'));
constexpr GUID kR2 = FourCCGuid(MakeFourCC('R', '2', '_', '_'));

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph_ = MakeFilterGraph();
        ASSERT_TRUE(graph_);
        control_ = platform::Query<IMediaControl>(graph_.Get(), IID_IMediaControl);
        events_ = platform::Query<IMediaEventEx>(graph_.Get(), IID_IMediaEventEx);
    }
    void TearDown() override {
        if (control_)
            control_->Stop();
    }
    // Adds a filter made with one reference; the graph keeps its own.
    template <class F> F* add(F* filter, const wchar_t* name) {
        EXPECT_TRUE(SUCCEEDED(graph_->AddFilter(filter, name)));
        owned_.push_back(ComPtr<IBaseFilter>::Adopt(filter));
        return filter;
    }
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEventEx> events_;
    std::vector<ComPtr<IBaseFilter>> owned_;
};

TEST_F(GraphTest, ConnectionTriesTheReceivingPinsTypesFirstThenItsOwn) {
    struct Case {
        const char* name;
        std::vector<GUID> sourceOffers;
        std::vector<GUID> rendererOffers;
        std::set<std::string> rendererAccepts;
        std::vector<std::string> checked; // what the renderer was asked, in order
        std::string connectedAs;          // empty: the connection fails
    };
    const Case cases[] = {
        {"receiver's type first", {kA, kB}, {kR1, kR2}, {"R2__", "AAAA"}, {"R2__"}, "R2__"},
        {"then the source's positions", {kA, kB, kC}, {kR1}, {"BBBB"}, {"AAAA", "BBBB"}, "BBBB"},
        {"a receiver offering nothing", {kA, kB}, {}, {"AAAA", "BBBB"}, {"AAAA"}, "AAAA"},
        {"nothing acceptable", {kA}, {kR1}, {"CCCC"}, {"AAAA"}, ""},
    };
    for (const Case& c : cases) {
        std::vector<CMediaType> offers, theirs;
        for (const GUID& g : c.sourceOffers)
            offers.push_back(videoType(g));
        for (const GUID& g : c.rendererOffers)
            theirs.push_back(videoType(g));
        TestSource* source = add(TestSource::make({offers}), L"source");
        source->pin(0)->alsoAccepted = {"R2__"}; // of the renderer's types the source itself takes only R2
        TestRenderer* renderer = add(TestRenderer::make(c.rendererAccepts, theirs), L"renderer");
        const HRESULT hr = graph_->ConnectDirect(source->pin(0), renderer->pin(), nullptr);
        EXPECT_EQ(SUCCEEDED(hr), !c.connectedAs.empty()) << c.name;
        // The renderer is asked only the types the source itself takes.
        EXPECT_EQ(renderer->checked, c.checked) << c.name;
        if (!c.connectedAs.empty()) {
            AM_MEDIA_TYPE mt{};
            ASSERT_EQ(source->pin(0)->ConnectionMediaType(&mt), S_OK);
            EXPECT_EQ(subtypeName(mt.subtype), c.connectedAs) << c.name;
            FreeMediaType(mt);
        }
        graph_->RemoveFilter(source);
        graph_->RemoveFilter(renderer);
    }
}

TEST(AllocatorTest, OneBufferPacesAndDecommitWakesWaiters) {
    ComPtr<IMemAllocator> allocator;
    ASSERT_EQ(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                               allocator.ReleaseAndGetVoidAddressOf()),
              S_OK);
    ALLOCATOR_PROPERTIES request{1, 100, 16, 0}, actual{};
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 112); // rounded up to the alignment
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % 16, 0u);

    IMediaSample* second = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
    sample->Release(); // back to the allocator
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);

    HRESULT waited = S_OK;
    std::thread waiter([&] { waited = allocator->GetBuffer(&second, nullptr, nullptr, 0); });
    Sleep(50);
    allocator->Decommit();
    waiter.join();
    EXPECT_EQ(waited, VFW_E_NOT_COMMITTED);
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
    sample->Release();
    EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
}

TEST_F(GraphTest, NoWaitDeliveryWhileTheRendererHoldsTheOnlySampleAndWhileStopped) {
    TestSource* source = add(TestSource::make({{videoType(kA)}}), L"source");
    TestRenderer* renderer = add(TestRenderer::make({"AAAA"}), L"renderer");
    ASSERT_EQ(graph_->ConnectDirect(source->pin(0), renderer->pin(), nullptr), S_OK);
    IMediaSample* sample = nullptr;
    EXPECT_EQ(source->pin(0)->GetDeliveryBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT),
              VFW_E_NOT_COMMITTED);

    // Pause from stopped activates the pins: the allocator is committed.
    ASSERT_EQ(control_->Pause(), S_OK);
    renderer->holdSamples = true;
    HRESULT delivered = E_FAIL;
    std::thread feeder([&] { delivered = source->pin(0)->deliver(0, 400000); });
    ASSERT_TRUE(renderer->waitForReceived(1));
    EXPECT_EQ(source->pin(0)->GetDeliveryBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    renderer->wake();
    feeder.join();
    EXPECT_EQ(delivered, S_OK);
    ASSERT_EQ(source->pin(0)->GetDeliveryBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    sample->Release();
}

TEST_F(GraphTest, StopWakesABlockedReceiveFromAnyThread) {
    TestSource* source = add(TestSource::make({{videoType(kA)}}), L"source");
    TestRenderer* renderer = add(TestRenderer::make({"AAAA"}), L"renderer");
    ASSERT_EQ(graph_->ConnectDirect(source->pin(0), renderer->pin(), nullptr), S_OK);
    renderer->holdSamples = true;
    for (const char* how : {"stopped by another thread", "stopped by this thread"}) {
        ASSERT_EQ(control_->Run(), S_OK);
        HRESULT delivered = S_OK;
        int seen;
        {
            std::lock_guard lock(renderer->mutex);
            seen = renderer->received;
        }
        std::thread feeder([&] { delivered = source->pin(0)->deliver(0, 1); });
        ASSERT_TRUE(renderer->waitForReceived(seen + 1)) << how;
        if (std::string(how) == "stopped by another thread") {
            std::thread stopper([&] { EXPECT_EQ(control_->Stop(), S_OK); });
            stopper.join();
        } else {
            EXPECT_EQ(control_->Stop(), S_OK);
        }
        feeder.join();
        EXPECT_EQ(delivered, VFW_E_WRONG_STATE) << how;
        OAFilterState state;
        control_->GetState(0, &state);
        EXPECT_EQ(state, State_Stopped);
        EXPECT_EQ(source->pin(0)->deliver(0, 1), VFW_E_NOT_COMMITTED) << how;
    }
}

TEST_F(GraphTest, StopWakesATransformWaitingForItsOutputBuffer) {
    TestSource* source = add(TestSource::make({{videoType(kA)}}, 2), L"source");
    TestTransform* transform = add(TestTransform::make(kA, kB), L"transform");
    TestRenderer* renderer = add(TestRenderer::make({"BBBB"}), L"renderer");
    ASSERT_EQ(graph_->Render(source->pin(0)), S_OK);
    renderer->holdSamples = true;
    ASSERT_EQ(control_->Run(), S_OK);
    // The renderer holds the transform's only output buffer; the second input waits for it.
    HRESULT first = S_OK, second = S_OK;
    std::thread one([&] { first = source->pin(0)->deliver(0, 1); });
    ASSERT_TRUE(renderer->waitForReceived(1));
    std::thread two([&] { second = source->pin(0)->deliver(1, 2); });
    Sleep(50);
    EXPECT_EQ(control_->Stop(), S_OK);
    one.join();
    two.join();
    EXPECT_EQ(renderer->received, 1);
    EXPECT_TRUE(FAILED(first));
    EXPECT_TRUE(FAILED(second)); // woken by the decommit, or refused once stopped
    EXPECT_TRUE(transform->GetPin(1)->IsConnected());
}

TEST_F(GraphTest, RenderCompletesTheChainFromFiltersAlreadyInTheGraph) {
    TestSource* source = add(TestSource::make({{videoType(kA)}}), L"source");
    TestRenderer* renderer = add(TestRenderer::make({"BBBB"}), L"renderer");
    TestTransform* wrong = add(TestTransform::make(kA, kC), L"to C");
    TestTransform* right = add(TestTransform::make(kA, kB), L"to B");
    ASSERT_EQ(graph_->Render(source->pin(0)), S_OK);
    // The first transform takes the input but leads nowhere, so the try is taken apart again.
    EXPECT_FALSE(wrong->GetPin(0)->IsConnected());
    EXPECT_TRUE(right->GetPin(0)->IsConnected());
    EXPECT_TRUE(right->GetPin(1)->IsConnected());
    EXPECT_TRUE(renderer->pin()->IsConnected());
    EXPECT_EQ(graph_->Render(source->pin(0)), VFW_E_ALREADY_CONNECTED);

    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_EQ(source->pin(0)->deliver(100, 200), S_OK);
    ASSERT_TRUE(renderer->waitForReceived(1));
    EXPECT_EQ(renderer->starts.at(0), 100); // times pass through the transform
    control_->Stop();

    TestSource* lonely = add(TestSource::make({{videoType(kC)}}), L"lonely");
    EXPECT_EQ(graph_->Render(lonely->pin(0)), VFW_E_CANNOT_RENDER);
    EXPECT_FALSE(lonely->pin(0)->IsConnected());
}

TEST_F(GraphTest, NamesEnumerationAndRemoval) {
    TestRenderer* first = add(TestRenderer::make({"AAAA"}), L"Renderer");
    TestRenderer* second = TestRenderer::make({"AAAA"});
    owned_.push_back(ComPtr<IBaseFilter>::Adopt(second));
    EXPECT_EQ(graph_->AddFilter(second, L"Renderer"), VFW_S_DUPLICATE_NAME);
    FILTER_INFO info{};
    ASSERT_EQ(second->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Renderer 0001");
    ASSERT_NE(info.pGraph, nullptr);
    info.pGraph->Release();
    EXPECT_EQ(graph_->AddFilter(first, L"again"), E_INVALIDARG);

    ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph_->FindFilterByName(L"Renderer 0001", found.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(found.Get(), static_cast<IBaseFilter*>(second));
    EXPECT_EQ(graph_->FindFilterByName(L"renderer", found.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);

    TestSource* source = add(TestSource::make({{videoType(kA)}}), L"source");
    ASSERT_EQ(graph_->ConnectDirect(source->pin(0), first->pin(), nullptr), S_OK);
    EXPECT_EQ(graph_->ConnectDirect(first->pin(), source->pin(0), nullptr), VFW_E_INVALID_DIRECTION);
    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_EQ(graph_->RemoveFilter(first), S_OK); // also from a running graph: it stops, then disconnects
    EXPECT_FALSE(source->pin(0)->IsConnected());

    ComPtr<IEnumFilters> e;
    ASSERT_EQ(graph_->EnumFilters(e.ReleaseAndGetAddressOf()), S_OK);
    std::vector<IBaseFilter*> order;
    IBaseFilter* f = nullptr;
    while (e->Next(1, &f, nullptr) == S_OK) {
        order.push_back(f);
        f->Release();
    }
    EXPECT_EQ(order, (std::vector<IBaseFilter*>{second, source}));
    EXPECT_EQ(graph_->RemoveFilter(first), VFW_E_NOT_FOUND);
}

TEST_F(GraphTest, CompletionComesOnceEveryRendererHasFinished) {
    std::vector<LPARAM> posted;
    HWND window = platform::CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
        if (message == 0x822)
            posted.push_back(lParam);
        return 0;
    });
    ASSERT_EQ(events_->SetNotifyWindow(reinterpret_cast<OAHWND>(window), 0x822, 7), S_OK);
    TestSource* source = add(TestSource::make({{videoType(kA)}, {videoType(kB)}}), L"source");
    TestRenderer* video = add(TestRenderer::make({"AAAA"}), L"video");
    TestRenderer* audio = add(TestRenderer::make({"BBBB"}), L"audio");
    ASSERT_EQ(graph_->ConnectDirect(source->pin(0), video->pin(), nullptr), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(source->pin(1), audio->pin(), nullptr), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);

    LONG code;
    LONG_PTR p1, p2;
    EXPECT_EQ(source->pin(0)->DeliverEndOfStream(), S_OK);
    EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT); // one renderer is still playing
    EXPECT_EQ(source->pin(0)->DeliverEndOfStream(), S_OK);     // the same renderer twice counts once
    EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(source->pin(1)->DeliverEndOfStream(), S_OK);
    ASSERT_EQ(events_->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    platform::PumpPending();
    EXPECT_EQ(posted, std::vector<LPARAM>{7});

    // After a stop and a new run, completion is gathered afresh; with notifications off nothing is posted.
    ASSERT_EQ(events_->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), S_OK);
    control_->Stop();
    ASSERT_EQ(control_->Run(), S_OK);
    source->pin(1)->DeliverEndOfStream();
    source->pin(0)->DeliverEndOfStream();
    EXPECT_EQ(events_->GetEvent(&code, &p1, &p2, 0), S_OK);
    platform::PumpPending();
    EXPECT_EQ(posted.size(), 1u);
    DestroyWindow(window);
}

TEST_F(GraphTest, StreamTimeContinuesAcrossPauseAndRun) {
    platform::SetTimeScale(20.0);
    TestSource* source = add(TestSource::make({{videoType(kA)}}), L"source");
    TestRenderer* renderer = add(TestRenderer::make({"AAAA"}), L"renderer");
    ASSERT_EQ(graph_->ConnectDirect(source->pin(0), renderer->pin(), nullptr), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(300);
    REFERENCE_TIME atPause = 0;
    renderer->StreamTime(atPause); // just before the pause
    ASSERT_EQ(control_->Pause(), S_OK);
    Sleep(2000); // paused: stream time stands still
    ASSERT_EQ(control_->Run(), S_OK);
    REFERENCE_TIME afterRun = 0;
    renderer->StreamTime(afterRun);
    platform::SetTimeScale(1.0);
    EXPECT_GE(atPause, 300 * 10000);
    EXPECT_GE(afterRun, atPause);
    EXPECT_LT(afterRun, atPause + 1000 * 10000); // far less than the 2 s of the pause
}

} // namespace
