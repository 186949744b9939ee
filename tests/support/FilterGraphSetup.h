// Test support: a test's filter graph set up as the program sets its graphs up: the graph manager and the
// filters made by class identifier through the COM layer, added under their names, pins found by name.
// Failures are the running test's.
#pragma once

#include "platform/com/Com.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/Uuids.h"

#include <gtest/gtest.h>

// A new filter graph manager; null when it could not be made.
inline platform::ComPtr<IGraphBuilder> MakeFilterGraph() {
    platform::ComPtr<IGraphBuilder> graph;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               graph.ReleaseAndGetVoidAddressOf()),
              S_OK);
    return graph;
}

// The filter of `clsid`, made and added to the graph under `name`; null when it could not be made.
inline platform::ComPtr<IBaseFilter> AddFilterOf(IGraphBuilder* graph, REFCLSID clsid, const wchar_t* name) {
    platform::ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               filter.ReleaseAndGetVoidAddressOf()),
              S_OK);
    if (filter) {
        EXPECT_EQ(graph->AddFilter(filter.Get(), name), S_OK);
    }
    return filter;
}

// The filter's pin of that name; null when it has none.
inline platform::ComPtr<IPin> PinOf(IBaseFilter* filter, const wchar_t* name) {
    platform::ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}
