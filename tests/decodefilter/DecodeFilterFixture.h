// Test support for "KQ Video Decode" alone: a filter made as its class factory makes it, its input
// connected to a test source that offers one H.264 type, and the filter's own calls reached through it.
#pragma once

#include "decodefilter/TessaneFilter.h"

#include "platform/com/Com.h"
#include "platform/ddraw/DirectDraw.h"
#include "platform/dshow/Allocator.h"

#include "tests/support/TestFilters.h"

#include <gtest/gtest.h>

inline CMediaType h264Type(LONG width, LONG height, ULONG sampleSize = 0) {
    CMediaType type = testfilters::videoType(MEDIASUBTYPE_H264);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.Format());
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    type.SetSampleSize(sampleSize);
    return type;
}

class DecodeFilterFixture : public ::testing::Test {
protected:
    void TearDown() override {
        platform::ddraw::SetProbeHook({});
        if (source_)
            source_->pin(0)->Disconnect();
        if (filter_)
            filter_->GetPin(0)->Disconnect();
    }

    // A new filter; with a type, its input connected to a source offering that type.
    TessaneFilter& make(const CMediaType* input = nullptr) {
        object_.Reset();
        EXPECT_EQ(platform::CreateObject(&TessaneFilter::CreateInstance, nullptr, IID_IBaseFilter,
                                         object_.ReleaseAndGetVoidAddressOf()),
                  S_OK);
        filter_ = static_cast<TessaneFilter*>(object_.Get());
        if (input) {
            source_ =
                platform::ComPtr<testfilters::TestSource>::Adopt(testfilters::TestSource::make({{*input}}));
            EXPECT_EQ(source_->pin(0)->Connect(filter_->GetPin(0), input), S_OK);
        }
        return *filter_;
    }

    // The buffer the filter asks of an allocator for its output.
    LONG bufferSize() {
        auto allocator = platform::ComPtr<IMemAllocator>();
        platform::QueryNew(new CMemAllocator(L"test", nullptr, nullptr), IID_IMemAllocator,
                           allocator.ReleaseAndGetVoidAddressOf());
        ALLOCATOR_PROPERTIES request{};
        EXPECT_EQ(filter_->DecideBufferSize(allocator.Get(), &request), S_OK);
        EXPECT_EQ(request.cBuffers, 1);
        return request.cbBuffer;
    }

    // The output packing that the output's type position selects (0 UYVY, 1 YUY2).
    void choose(int position) {
        CMediaType type;
        EXPECT_EQ(filter_->GetMediaType(position, &type), S_OK);
    }

    platform::ComPtr<IBaseFilter> object_;
    TessaneFilter* filter_ = nullptr;
    platform::ComPtr<testfilters::TestSource> source_;
};
