// Inside the media room: an interface of any filter in a graph as a typed pointer with its reference.
#pragma once

#include "media/Graph.h"
#include "platform/com/Unknown.h"

template <class I> platform::ComPtr<I> FindGraphFace(IGraphBuilder* graph, REFIID iid) {
    platform::ComPtr<I> face;
    if (FAILED(FindGraphInterface(graph, iid, face.ReleaseAndGetVoidAddressOf())))
        face.Reset();
    return face;
}
