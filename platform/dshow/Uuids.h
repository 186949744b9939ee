// The class identifiers of the system's DirectShow classes and of the two filters of the box maker that
// this layer provides. They are defined in the file that registers the classes as built-in COM classes,
// so a program that names one of them links the whole set.
#pragma once

#include "platform/com/Guid.h"

extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_SystemClock;
extern const CLSID CLSID_MemoryAllocator;
extern const CLSID CLSID_VideoMixingRenderer9;
extern const CLSID CLSID_VideoMixingRenderer;  // VMR-7
extern const CLSID CLSID_VideoRendererDefault; // the VMR-7
extern const CLSID CLSID_DSoundRender;
extern const CLSID CLSID_AsyncReader;
extern const CLSID CLSID_KqMp4Demux;    // "KQ MP4 DeMux"
extern const CLSID CLSID_KqAudioDecode; // "KQ Audio Decode"
