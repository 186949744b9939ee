// The interfaces of the small DirectShow: samples and allocators, pins and filters, the reference clock,
// the filter graph manager's faces (building, control, seeking, events, audio), the file source's reader,
// and their result and event codes. Only the methods the program calls are declared.
#pragma once

#include "platform/dshow/MediaType.h"

using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using OAHWND = LONG_PTR;
using OAFilterState = LONG;
using LPOLESTR = wchar_t*;
using LPCOLESTR = const wchar_t*;

constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207u);
constexpr HRESULT VFW_E_INVALID_DIRECTION = static_cast<HRESULT>(0x80040208u);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_NO_ALLOCATOR = static_cast<HRESULT>(0x8004020Au);
constexpr HRESULT VFW_E_RUNTIME_ERROR = static_cast<HRESULT>(0x8004020Bu);
constexpr HRESULT VFW_E_BUFFER_OVERFLOW = static_cast<HRESULT>(0x8004020Du);
constexpr HRESULT VFW_E_BADALIGN = static_cast<HRESULT>(0x8004020Eu);
constexpr HRESULT VFW_E_ALREADY_COMMITTED = static_cast<HRESULT>(0x8004020Fu);
constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = static_cast<HRESULT>(0x80040210u);
constexpr HRESULT VFW_E_NOT_COMMITTED = static_cast<HRESULT>(0x80040211u);
constexpr HRESULT VFW_E_SIZENOTSET = static_cast<HRESULT>(0x80040212u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
constexpr HRESULT VFW_E_NOT_STOPPED = static_cast<HRESULT>(0x80040224u);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x8004022Au);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025Fu);

// Graph events (IMediaEventEx::GetEvent).
constexpr LONG EC_COMPLETE = 0x01;
constexpr LONG EC_USERABORT = 0x02;
constexpr LONG EC_ERRORABORT = 0x03;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

constexpr int MAX_PIN_NAME = 128;
constexpr int MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;
struct IMemAllocator;
struct IReferenceClock;

struct PIN_INFO {
    IBaseFilter* pFilter; // with a reference the receiver releases
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph; // with a reference the receiver releases (null outside a graph)
};

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};

// GetBuffer flags.
constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
constexpr DWORD AM_GBF_NOWAIT = 4;

#define VELOQ_IID(name, text) inline constexpr IID IID_##name = platform::MakeGuid(text)
VELOQ_IID(IMediaSample, "D8E49070-0780-4E31-8C8F-D2A160BE76D5");
VELOQ_IID(IMemAllocator, "C2B89317-C84F-4E53-A1BD-771751D95526");
VELOQ_IID(IMemInputPin, "87ECA862-EBBD-47E8-802D-6A3E80955EED");
VELOQ_IID(IPin, "A7D9DC27-4D1B-416A-925A-98D70538901B");
VELOQ_IID(IEnumPins, "0CADB2D1-019A-41E1-88C8-53045DBC68A0");
VELOQ_IID(IEnumMediaTypes, "5B583F00-7BDC-4913-841D-264DF3A5BBB0");
VELOQ_IID(IEnumFilters, "94127E5F-BB36-471D-9F0E-81EFDE015015");
VELOQ_IID(IPersist, "EC87C8AB-6BF4-4D1B-B03E-9523BABDC7E0");
VELOQ_IID(IMediaFilter, "538BBA3A-4A9D-467E-BA90-966406C67435");
VELOQ_IID(IBaseFilter, "B039AF81-C19E-461A-BA8E-145A1D12B8A2");
VELOQ_IID(IReferenceClock, "4B81AA0C-EE3B-4951-92EE-9114C26448FF");
VELOQ_IID(IFilterGraph, "5192831C-4826-40A6-BCAF-5B2E3CD8B13A");
VELOQ_IID(IGraphBuilder, "3BF97583-8DF7-49CE-8D44-FDB4674ACF49");
VELOQ_IID(IMediaControl, "DE30F7F4-9637-4A33-9DA7-4816E45A1AFB");
VELOQ_IID(IMediaSeeking, "648AE567-3ED8-4E83-B2F6-6D285B525090");
VELOQ_IID(IMediaEvent, "9DD1C6A3-443C-42D4-8CCF-04605DF8D2CA");
VELOQ_IID(IMediaEventEx, "2A8EF31C-294E-461B-B0CB-A7F28C4B3959");
VELOQ_IID(IMediaEventSink, "C40131A5-64B1-4C77-AD2E-FAEE23E9E278");
VELOQ_IID(IBasicAudio, "15F7B379-EC8D-4774-95FE-BEDE9809EB60");
VELOQ_IID(IQualityControl, "50AFA065-B396-49A3-9C1B-F29D14C8C0AB");
VELOQ_IID(IFileSourceFilter, "DE3CEA0D-C24D-4D32-9FC8-CD5497EB092B");
VELOQ_IID(IAsyncReader, "E6329A48-9318-4B0F-B87D-5BADD8770EFD");
VELOQ_IID(IAMFilterMiscFlags, "6967A8AC-C45A-427F-BF0A-1F06F274172E");
#undef VELOQ_IID

struct IMediaSample : IUnknown {
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* start,
                            REFERENCE_TIME* end) = 0; // VFW_E_SAMPLE_TIME_NOT_SET when unset
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0; // null start clears the times
    virtual HRESULT IsSyncPoint() = 0;                                       // S_OK or S_FALSE
    virtual HRESULT SetSyncPoint(BOOL sync) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL preroll) = 0;
    virtual LONG GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(LONG length) = 0;
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0; // S_FALSE and null when unchanged
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
    virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
    virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) = 0;

protected:
    ~IMediaSample() = default;
};

constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = static_cast<HRESULT>(0x80040249u);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = static_cast<HRESULT>(0x80040251u);

struct IMemAllocator : IUnknown {
    virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
    virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT Commit() = 0;
    virtual HRESULT Decommit() = 0;
    // Waits for a free sample unless AM_GBF_NOWAIT (then VFW_E_TIMEOUT); VFW_E_NOT_COMMITTED while
    // decommitted, also for a caller who waits when the allocator is decommitted.
    virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                              DWORD flags) = 0;
    virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

protected:
    ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
    // The sample is borrowed for the call: a receiver that keeps it adds a reference.
    virtual HRESULT Receive(IMediaSample* sample) = 0;

protected:
    ~IMemInputPin() = default;
};

struct IEnumMediaTypes : IUnknown {
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0; // DeleteMediaType each
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumMediaTypes() = default;
};

struct IPin : IUnknown {
    // On an output pin: connects to `receive`, with `type` when given (a partial type limits the types
    // tried). The types offered by the receiving pin are tried first, then this pin's own.
    virtual HRESULT Connect(IPin* receive, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect() = 0; // S_FALSE when not connected
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryId(LPWSTR* id) = 0; // CoTaskMemFree the id
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

protected:
    ~IPin() = default;
};

struct IEnumPins : IUnknown {
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0; // each with a reference
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumPins() = default;
};

struct IReferenceClock : IUnknown {
    // Monotonic reference time in 100 ns units.
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;

protected:
    ~IReferenceClock() = default;
};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};

struct IMediaFilter : IPersist {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0; // stream time 0 is reference time `start`
    virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // The graph is held without a reference (it holds the filter); null leaves the graph.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0; // each with a reference
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
    // A name already in use gets " 0001", " 0002", ... appended (VFW_S_DUPLICATE_NAME); a null name a
    // generated one.
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;   // disconnects its pins first
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0; // in the order they were added
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;

protected:
    ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
    // Both complete the chain only from filters already in the graph (nothing is created).
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
    virtual HRESULT Render(IPin* out) = 0;

protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG timeoutMs, OAFilterState* state) = 0;

protected:
    ~IMediaControl() = default;
};

inline constexpr GUID TIME_FORMAT_MEDIA_TIME = platform::MakeGuid("7B785574-8C82-11CF-BC0C-00AA00AC74F6");

constexpr DWORD AM_SEEKING_NoPositioning = 0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
constexpr DWORD AM_SEEKING_RelativePositioning = 2;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 3;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 4;
constexpr DWORD AM_SEEKING_CanSeekAbsolute = 1;
constexpr DWORD AM_SEEKING_CanSeekForwards = 2;
constexpr DWORD AM_SEEKING_CanSeekBackwards = 4;
constexpr DWORD AM_SEEKING_CanGetCurrentPos = 8;
constexpr DWORD AM_SEEKING_CanGetDuration = 0x100;

struct IMediaSeeking : IUnknown {
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double* rate) = 0;

protected:
    ~IMediaSeeking() = default;
};

constexpr LONG AM_MEDIAEVENT_NONOTIFY = 0x01;

struct IMediaEvent : IUnknown {
    // E_ABORT when no event comes within the time-out.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEvent() = default;
};

struct IMediaEventEx : IMediaEvent {
    // Every event queued is posted to the window as (message, 0, instance data) unless notifications are
    // off (AM_MEDIAEVENT_NONOTIFY) or the window is null.
    virtual HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) = 0;
    virtual HRESULT SetNotifyFlags(LONG flags) = 0;
    virtual HRESULT GetNotifyFlags(LONG* flags) = 0;

protected:
    ~IMediaEventEx() = default;
};

// What filters tell the graph; renderers send EC_COMPLETE with their IBaseFilter as the second
// parameter, and the graph passes one EC_COMPLETE on once every renderer has sent it.
struct IMediaEventSink : IUnknown {
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEventSink() = default;
};

struct IBasicAudio : IUnknown {
    virtual HRESULT put_Volume(LONG volume) = 0; // hundredths of a decibel, -10000 (silence) to 0
    virtual HRESULT get_Volume(LONG* volume) = 0;

protected:
    ~IBasicAudio() = default;
};

struct Quality {
    int Type;
    LONG Proportion;
    REFERENCE_TIME Late;
    REFERENCE_TIME TimeStamp;
};

struct IQualityControl : IUnknown {
    virtual HRESULT Notify(IBaseFilter* self, Quality quality) = 0;

protected:
    ~IQualityControl() = default;
};

struct IFileSourceFilter : IUnknown {
    virtual HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0; // CoTaskMemFree the name

protected:
    ~IFileSourceFilter() = default;
};

// Random access to the bytes behind a file source's output pin; callable from any thread.
struct IAsyncReader : IUnknown {
    // S_FALSE when fewer bytes than asked could be read (the rest of the buffer is untouched).
    virtual HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) = 0;
    virtual HRESULT Length(LONGLONG* total, LONGLONG* available) = 0;

protected:
    ~IAsyncReader() = default;
};

constexpr ULONG AM_FILTER_MISC_FLAGS_IS_RENDERER = 1;
constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 2;

struct IAMFilterMiscFlags : IUnknown {
    virtual ULONG GetMiscFlags() = 0;

protected:
    ~IAMFilterMiscFlags() = default;
};
