#include "media/FileGraph.h"

#include "media/GraphHelpers.h"

#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"

using platform::ComPtr;

namespace {

// "KQ Video Decode", served by libTessane.so: the program knows it only by its class identifier, which
// the library's registration puts in the COM registry.
constexpr CLSID kVideoDecodeClsid = platform::MakeGuid("7CD26C67-3858-46B4-9A46-2426537AB81B");

constexpr const wchar_t* kDemuxName = L"KQ MP4 DeMux";
constexpr const wchar_t* kVmr9Name = L"Video Mixing Renderer 9";
constexpr const wchar_t* kVmr7Name = L"Video Mixing Renderer 7";
constexpr const wchar_t* kSoundName = L"Default DirectSound Device";
constexpr const wchar_t* kFileSourceName = L"File Source Filter";
constexpr const wchar_t* kVideoDecodeName = L"KQ Video Decode";
constexpr const wchar_t* kAudioDecodeName = L"KQ Audio Decode";
constexpr const wchar_t* kVideoPin = L"Video 1";
constexpr const wchar_t* kAudioPin = L"Audio 2";

constexpr int kOutput = 0;
constexpr int kInput = 1;

// The renderers, with the graph's time format and its events sent to the notify window.
HRESULT addRenderers(IGraphBuilder* graph, HWND videoWindow, HWND notifyWindow) {
    if (FAILED(AddFilterByClsid(graph, CLSID_VideoMixingRenderer9, kVmr9Name)) &&
        FAILED(AddFilterByClsid(graph, CLSID_VideoRendererDefault, kVmr7Name)))
        return E_FAIL;
    const HRESULT hr = ConfigureVmrWindowless(graph, videoWindow);
    if (FAILED(hr))
        return hr;
    ReportGraphEvents(graph, notifyWindow);
    return FAILED(AddFilterByClsid(graph, CLSID_DSoundRender, kSoundName)) ? E_FAIL : S_OK;
}

// The file source with the file loaded (a file that cannot be opened fails a later step), connected to the
// demultiplexer.
HRESULT addSource(IGraphBuilder* graph, const std::wstring& path) {
    if (FAILED(AddFilterByClsid(graph, CLSID_AsyncReader, kFileSourceName)))
        return E_FAIL;
    IFileSourceFilter* file = nullptr;
    if (SUCCEEDED(FindFileSourceInterface(graph, &file)) && file) {
        ComPtr<IFileSourceFilter>::Adopt(file)->Load(path.c_str(), nullptr);
    }
    IPin* sourceOut = nullptr;
    HRESULT hr = FindFilterPin(graph, kFileSourceName, nullptr, kOutput, &sourceOut);
    if (FAILED(hr))
        return hr;
    IBaseFilter* demux = nullptr;
    hr = FindFilterByName(graph, kDemuxName, &demux);
    if (FAILED(hr))
        return hr;
    IPin* demuxIn = nullptr;
    hr = FindPin(demux, kInput, nullptr, &demuxIn);
    if (FAILED(hr))
        return hr;
    ConnectPinsDirect(graph, sourceOut, demuxIn); // a failure shows when the demultiplexer has no tracks
    return S_OK;
}

// Renders the demultiplexer's track pin through the filters already in the graph.
HRESULT renderTrack(IGraphBuilder* graph, const wchar_t* pinName) {
    IPin* track = nullptr;
    const HRESULT hr = FindFilterPin(graph, kDemuxName, pinName, kOutput, &track);
    return FAILED(hr) ? hr : graph->Render(track);
}

HRESULT build(IGraphBuilder* graph, const std::wstring& path, HWND videoWindow, HWND notifyWindow) {
    if (FAILED(AddFilterByClsid(graph, CLSID_KqMp4Demux, kDemuxName)))
        return E_FAIL;
    HRESULT hr = addRenderers(graph, videoWindow, notifyWindow);
    if (FAILED(hr))
        return hr;
    hr = addSource(graph, path);
    if (FAILED(hr))
        return hr;
    // Both decoders are in the graph before anything is rendered, so rendering connects through them.
    if (FAILED(AddFilterByClsid(graph, kVideoDecodeClsid, kVideoDecodeName)) ||
        FAILED(AddFilterByClsid(graph, CLSID_KqAudioDecode, kAudioDecodeName)))
        return E_FAIL;
    hr = renderTrack(graph, kVideoPin);
    if (FAILED(hr))
        return hr;
    return renderTrack(graph, kAudioPin);
}

} // namespace

HRESULT BuildFileGraph(FileGraphRecord* record, const std::wstring& path, HWND videoWindow,
                       HWND notifyWindow) {
    IGraphBuilder* graph = record ? record->graph : nullptr;
    if (!graph)
        return E_FAIL;
    const HRESULT hr = build(graph, path, videoWindow, notifyWindow);
    if (FAILED(hr))
        RemoveAllFilters(graph);
    return hr;
}
