// Test support: a renderer stand-in with one input pin that accepts a set of subtypes (offering types of
// its own first when given) and keeps what every sample it receives carried, and a graph that holds the
// live source filter and such sinks.
#pragma once

#include "media/SourceFilter.h"
#include "platform/com/Com.h"
#include "platform/dshow/BasePin.h"
#include "platform/dshow/Uuids.h"
#include "tests/support/FilterGraphSetup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace capture {

struct Sample {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    LONG length = 0;
    std::vector<BYTE> bytes;
};

class Sink;

class SinkPin final : public CBaseInputPin {
public:
    SinkPin(Sink* sink, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    IMemAllocator* allocator() const { return m_pAllocator; }

private:
    Sink* sink_;
};

class Sink final : public CBaseFilter {
public:
    // With one reference for the caller.
    static Sink* make(std::vector<GUID> accepted, std::vector<CMediaType> offered = {}) {
        auto* sink = new Sink(std::move(accepted), std::move(offered));
        sink->AddRef();
        return sink;
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
    SinkPin* pin() { return &pin_; }

    std::vector<Sample> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    bool waitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return samples_.size() >= count; });
    }
    ALLOCATOR_PROPERTIES allocatorProperties() {
        ALLOCATOR_PROPERTIES properties{};
        if (pin_.allocator())
            pin_.allocator()->GetProperties(&properties);
        return properties;
    }

    const std::vector<GUID> accepted;
    const std::vector<CMediaType> offered;

private:
    friend class SinkPin;
    Sink(std::vector<GUID> a, std::vector<CMediaType> o)
        : CBaseFilter(L"CaptureSink", nullptr, &lock_, GUID_NULL), accepted(std::move(a)),
          offered(std::move(o)), pin_(this, &lock_) {}

    void keep(IMediaSample* sample) {
        Sample kept;
        sample->GetTime(&kept.start, &kept.stop);
        kept.length = sample->GetActualDataLength();
        BYTE* data = nullptr;
        if (SUCCEEDED(sample->GetPointer(&data)) && kept.length > 0)
            kept.bytes.assign(data, data + kept.length);
        {
            std::lock_guard lock(mutex_);
            samples_.push_back(std::move(kept));
        }
        changed_.notify_all();
    }

    CCritSec lock_;
    SinkPin pin_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Sample> samples_;
};

inline SinkPin::SinkPin(Sink* sink, CCritSec* lock)
    : CBaseInputPin(L"SinkPin", sink, lock, nullptr, L"In"), sink_(sink) {}

inline HRESULT SinkPin::CheckMediaType(const CMediaType* type) {
    for (const GUID& subtype : sink_->accepted)
        if (*type->Subtype() == subtype)
            return S_OK;
    return S_FALSE;
}

inline HRESULT SinkPin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position >= static_cast<int>(sink_->offered.size()))
        return VFW_S_NO_MORE_ITEMS;
    *type = sink_->offered[static_cast<size_t>(position)];
    return S_OK;
}

inline HRESULT SinkPin::Receive(IMediaSample* sample) {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    sink_->keep(sample);
    return S_OK;
}

constexpr DWORD kWidth = 720, kHeight = 288, kPitch = 1536;

// A graph holding the source filter and the capture sinks its pins connect to.
class SourceBench {
public:
    explicit SourceBench(DWORD width = kWidth, DWORD height = kHeight, DWORD pitch = kPitch) {
        source_ = new KQ_AV_SourceFilter();
        source_->AddRef();
        source_->VideoPin()->SetPictureFormat(width, height, pitch);
        graph_ = MakeFilterGraph();
        EXPECT_EQ(graph_->AddFilter(source_, L"NetSource Video"), S_OK);
    }
    ~SourceBench() {
        stop();
        for (Sink* sink : sinks_) {
            graph_->RemoveFilter(sink);
            sink->Release();
        }
        graph_->RemoveFilter(source_);
        source_->Release();
    }
    SourceBench(const SourceBench&) = delete;
    SourceBench& operator=(const SourceBench&) = delete;

    Sink* addSink(std::vector<GUID> accepted, std::vector<CMediaType> offered = {}) {
        Sink* sink = Sink::make(std::move(accepted), std::move(offered));
        sinks_.push_back(sink);
        EXPECT_EQ(graph_->AddFilter(sink, nullptr), S_OK);
        return sink;
    }
    HRESULT connect(int pin, Sink* sink) {
        return graph_->ConnectDirect(source_->GetPin(pin), sink->pin(), nullptr);
    }
    HRESULT run() { return control()->Run(); }
    HRESULT stop() { return control()->Stop(); }

    KQ_AV_SourceFilter* source_ = nullptr;
    platform::ComPtr<IGraphBuilder> graph_;

private:
    platform::ComPtr<IMediaControl> control() {
        return platform::Query<IMediaControl>(graph_.Get(), IID_IMediaControl);
    }

    std::vector<Sink*> sinks_;
};

} // namespace capture
