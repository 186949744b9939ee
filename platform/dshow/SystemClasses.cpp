// The built-in classes of the DirectShow layer and their class identifiers.
#include "platform/dshow/Uuids.h"

#include "platform/com/Com.h"
#include "platform/dshow/AacDecoder.h"
#include "platform/dshow/Allocator.h"
#include "platform/dshow/AudioRenderer.h"
#include "platform/dshow/FileSource.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/Mp4Demux.h"
#include "platform/dshow/SystemClock.h"
#include "platform/dshow/VideoRenderer.h"

const CLSID CLSID_FilterGraph = platform::MakeGuid("E436EBB3-524F-11CE-9F53-0020AF0BA770");
const CLSID CLSID_SystemClock = platform::MakeGuid("E436EBB1-524F-11CE-9F53-0020AF0BA770");
const CLSID CLSID_MemoryAllocator = platform::MakeGuid("1E651CC0-B199-11D0-8212-00C04FC32C45");
const CLSID CLSID_VideoMixingRenderer9 = platform::MakeGuid("51B4ABF3-748F-4E3B-A276-C828330E926A");
const CLSID CLSID_VideoMixingRenderer = platform::MakeGuid("B87BEB7B-8D29-423F-AE4D-6582C10175AC");
const CLSID CLSID_VideoRendererDefault = platform::MakeGuid("6BC1CFFA-8FC1-4261-AC22-CFB4CC38DB50");
const CLSID CLSID_DSoundRender = platform::MakeGuid("79376820-07D0-11CF-A24D-0020AFD79767");
const CLSID CLSID_AsyncReader = platform::MakeGuid("E436EBB5-524F-11CE-9F53-0020AF0BA770");
const CLSID CLSID_KqMp4Demux = platform::MakeGuid("84D0C4F3-51A0-46FB-9B57-211ADC37E0ED");
const CLSID CLSID_KqAudioDecode = platform::MakeGuid("EF3770BE-B7DA-43CB-8C12-C5B2CB14C0B2");

namespace {

const bool g_registered = [] {
    platform::RegisterBuiltinClass(CLSID_FilterGraph, &platform::CreateCUnknown<FilterGraph>);
    platform::RegisterBuiltinClass(CLSID_SystemClock, &platform::CreateCUnknown<SystemClock>);
    platform::RegisterBuiltinClass(CLSID_MemoryAllocator, &platform::CreateCUnknown<CMemAllocator>);
    platform::RegisterBuiltinClass(CLSID_DSoundRender,
                                   &platform::CreateCUnknown<platform::dshow::AudioRenderer>);
    platform::RegisterBuiltinClass(CLSID_AsyncReader, &platform::CreateCUnknown<platform::dshow::FileSource>);
    platform::RegisterBuiltinClass(CLSID_KqMp4Demux, &platform::CreateCUnknown<platform::dshow::Mp4Demux>);
    platform::RegisterBuiltinClass(CLSID_KqAudioDecode,
                                   &platform::CreateCUnknown<platform::dshow::AacDecoder>);
    using platform::dshow::VideoRenderer;
    platform::RegisterBuiltinClass(CLSID_VideoMixingRenderer9,
                                   &platform::CreateWith<&VideoRenderer::CreateVmr9>);
    platform::RegisterBuiltinClass(CLSID_VideoMixingRenderer,
                                   &platform::CreateWith<&VideoRenderer::CreateVmr7>);
    platform::RegisterBuiltinClass(CLSID_VideoRendererDefault,
                                   &platform::CreateWith<&VideoRenderer::CreateDefault>);
    return true;
}();

} // namespace
