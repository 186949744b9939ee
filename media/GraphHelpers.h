// Free helpers on a filter graph, for the graph builders, the on-screen display, the snapshot and the
// windows. Pins and filters found by name are borrowed: the helper keeps no reference for the caller, and
// the object stays valid while its filter is in the graph. FindGraphInterface and FindFileSourceInterface
// hand the caller a reference that it releases.
#pragma once

#include "platform/dshow/Interfaces.h"

// The filter's first pin of the direction (0 output, any other value input) whose name contains `name`
// (both in the legacy code page, at most 128 bytes, case-sensitive); any pin of the direction without a
// name. S_OK, or E_FAIL when the filter is missing, its pins cannot be enumerated or none matches.
HRESULT FindPin(IBaseFilter* filter, int direction, LPCWSTR name, IPin** pin);

// FindFilterByName, then FindPin on that filter.
HRESULT FindFilterPin(IGraphBuilder* graph, LPCWSTR filterName, LPCWSTR pinName, int direction, IPin** pin);

// The graph's first filter, in enumeration order, whose name in the graph equals `name` exactly.
HRESULT FindFilterByName(IGraphBuilder* graph, LPCWSTR name, IBaseFilter** filter);

// ConnectDirect without a media type; E_FAIL when an argument is missing or it fails, else its result.
HRESULT ConnectPinsDirect(IGraphBuilder* graph, IPin* out, IPin* in);

// Creates the class in-process as a filter and adds it under the name; the graph then holds it alone.
// E_FAIL when creation or AddFilter fails, else AddFilter's result.
HRESULT AddFilterByClsid(IGraphBuilder* graph, REFCLSID clsid, LPCWSTR name);

// Removes filters until none is left. S_OK; E_FAIL when the graph is missing, its filters cannot be
// enumerated, or a removal fails (the rest then stays).
HRESULT RemoveAllFilters(IGraphBuilder* graph);

// Asks each filter in turn for the interface; the first that has it wins. E_POINTER for a missing graph
// or slot, E_FAIL for a graph without filters, else the last query's result.
HRESULT FindGraphInterface(IGraphBuilder* graph, REFIID iid, void** out);

// The same for IFileSourceFilter, asking also the pins of each filter that does not offer it.
HRESULT FindFileSourceInterface(IGraphBuilder* graph, IFileSourceFilter** out);

// Puts the graph's video renderer (VMR-9, else VMR-7 with four mixer streams) in windowless mode clipped
// to the window, aspect ratio mode none. S_OK; E_FAIL without a renderer or its windowless control.
HRESULT ConfigureVmrWindowless(IGraphBuilder* graph, HWND window);

// What both graph builders ask of the graph once the video renderer is in: positions in media time, and
// every graph event posted to the window as WM_AV_GRAPH_EVENT (notifications on). Results ignored.
void ReportGraphEvents(IGraphBuilder* graph, HWND window);
