#include "platform/dshow/BasePin.h"

#include "platform/com/Com.h"
#include "platform/dshow/Allocator.h"
#include "platform/dshow/Enumerators.h"

#include <cwchar>
#include <initializer_list>

using platform::ComPtr;

namespace platform::dshow {

MediaTypeEnum::MediaTypeEnum(CBasePin* pin) : pin_(pin) {
    pin_->AddRef();
}

MediaTypeEnum::~MediaTypeEnum() {
    pin_->Release();
}

HRESULT MediaTypeEnum::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types || (count > 1 && !fetched))
        return E_POINTER;
    ULONG n = 0;
    while (n < count) {
        CMediaType type;
        if (pin_->GetMediaType(position_, &type) != S_OK)
            break;
        ++position_;
        types[n] = CreateMediaType(&type);
        if (!types[n])
            break;
        ++n;
    }
    if (fetched)
        *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnum::Skip(ULONG count) {
    position_ += static_cast<int>(count);
    CMediaType type;
    return pin_->GetMediaType(position_, &type) == S_OK ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnum::Reset() {
    position_ = 0;
    return S_OK;
}

} // namespace platform::dshow

CBasePin::CBasePin(LPCWSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr, LPCWSTR pinName,
                   PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), m_pName(pinName ? pinName : L""), m_dir(direction), m_pLock(lock),
      m_pFilter(filter) {
    if (hr)
        *hr = S_OK;
}

CBasePin::~CBasePin() {
    if (m_Connected)
        m_Connected->Release();
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IPin)
        return GetInterface(static_cast<IPin*>(this), out);
    if (iid == IID_IQualityControl)
        return GetInterface(static_cast<IQualityControl*>(this), out);
    if (iid == IID_IUnknown)
        return GetInterface(static_cast<IPin*>(this), out);
    return CUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT CBasePin::Connect(IPin* receive, const AM_MEDIA_TYPE* type) {
    if (!receive)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected)
        return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    const CMediaType wanted = type ? CMediaType(*type) : CMediaType();
    return AgreeMediaType(receive, &wanted);
}

HRESULT CBasePin::AgreeMediaType(IPin* receive, const CMediaType* type) {
    if (!type->IsPartiallySpecified())
        return AttemptConnection(receive, type);
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    // The receiving pin's types first, then our own.
    for (IPin* offering : {receive, static_cast<IPin*>(this)}) {
        ComPtr<IEnumMediaTypes> types;
        if (FAILED(offering->EnumMediaTypes(types.ReleaseAndGetAddressOf())) || !types)
            continue;
        const HRESULT hr = TryMediaTypes(receive, type, types.Get());
        if (SUCCEEDED(hr))
            return hr;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES)
            last = hr;
    }
    return last;
}

HRESULT CBasePin::TryMediaTypes(IPin* receive, const CMediaType* type, IEnumMediaTypes* types) {
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    types->Reset();
    for (;;) {
        AM_MEDIA_TYPE* next = nullptr;
        ULONG fetched = 0;
        if (types->Next(1, &next, &fetched) != S_OK || fetched != 1)
            return last;
        const CMediaType candidate(*next);
        DeleteMediaType(next);
        if (!type->MatchesPartial(&candidate))
            continue;
        const HRESULT hr = AttemptConnection(receive, &candidate);
        if (SUCCEEDED(hr))
            return hr;
        last = hr;
    }
}

HRESULT CBasePin::AttemptConnection(IPin* receive, const CMediaType* type) {
    HRESULT hr = CheckConnect(receive);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(type);
    if (hr != S_OK) {
        BreakConnect();
        return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_Connected = receive;
    m_Connected->AddRef();
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
        hr = receive->ReceiveConnection(static_cast<IPin*>(this), type);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(receive);
            if (SUCCEEDED(hr))
                return hr;
            receive->Disconnect();
        }
    }
    BreakConnect();
    m_Connected->Release();
    m_Connected = nullptr;
    m_mt.InitMediaType();
    return FAILED(hr) ? hr : VFW_E_CANNOT_CONNECT;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected)
        return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const CMediaType wanted(*type);
    hr = CheckMediaType(&wanted);
    if (hr != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_Connected = connector;
    m_Connected->AddRef();
    hr = SetMediaType(&wanted);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(connector);
        if (SUCCEEDED(hr))
            return S_OK;
    }
    BreakConnect();
    m_Connected->Release();
    m_Connected = nullptr;
    m_mt.InitMediaType();
    return hr;
}

HRESULT CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    if (!m_Connected)
        return S_FALSE;
    const HRESULT hr = BreakConnect();
    if (FAILED(hr))
        return hr;
    m_Connected->Release();
    m_Connected = nullptr;
    m_mt.InitMediaType();
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
    if (!pin)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    *pin = m_Connected;
    if (!m_Connected)
        return VFW_E_NOT_CONNECTED;
    m_Connected->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!m_Connected) {
        *type = CMediaType();
        type->lSampleSize = 0;
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info)
        return E_POINTER;
    info->pFilter = m_pFilter;
    m_pFilter->AddRef();
    info->dir = m_dir;
    std::wcsncpy(info->achName, m_pName.c_str(), MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction)
        return E_POINTER;
    *direction = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* id) {
    if (!id)
        return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc((m_pName.size() + 1) * sizeof(wchar_t)));
    if (!*id)
        return E_OUTOFMEMORY;
    std::wmemcpy(*id, m_pName.c_str(), m_pName.size() + 1);
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    const CMediaType candidate(*type);
    return CheckMediaType(&candidate) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types)
        return E_POINTER;
    auto* e = new platform::dshow::MediaTypeEnum(this);
    e->AddRef();
    *types = e;
    return S_OK;
}

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    m_tStart = start;
    m_tStop = stop;
    m_dRate = rate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter*, Quality) {
    return E_NOTIMPL;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) {
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
    return m_mt.Set(*type);
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION theirs;
    if (FAILED(pin->QueryDirection(&theirs)))
        return E_FAIL;
    return theirs == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) {
    return S_OK;
}

CBaseOutputPin::CBaseOutputPin(LPCWSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                               LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    if (m_pAllocator)
        m_pAllocator->Release();
    if (m_pInputPin)
        m_pInputPin->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr))
        return hr;
    if (m_pInputPin)
        m_pInputPin->Release();
    m_pInputPin = nullptr;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_pInputPin));
    return FAILED(hr) ? E_NOINTERFACE : S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
    return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::BreakConnect() {
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    if (m_pInputPin) {
        m_pInputPin->Release();
        m_pInputPin = nullptr;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
    return platform::QueryNew(new CMemAllocator(L"Output allocator", nullptr, nullptr), IID_IMemAllocator,
                              reinterpret_cast<void**>(allocator));
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    if (!pin || !allocator)
        return E_POINTER;
    if (*allocator) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    ALLOCATOR_PROPERTIES properties{};
    pin->GetAllocatorRequirements(&properties);
    if (properties.cbAlign == 0)
        properties.cbAlign = 1;
    HRESULT hr = pin->GetAllocator(allocator);
    if (SUCCEEDED(hr) && *allocator) {
        ALLOCATOR_PROPERTIES request = properties;
        hr = DecideBufferSize(*allocator, &request);
        if (SUCCEEDED(hr)) {
            hr = pin->NotifyAllocator(*allocator, FALSE);
            if (SUCCEEDED(hr))
                return S_OK;
        }
    }
    if (*allocator) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    hr = InitAllocator(allocator);
    if (FAILED(hr))
        return hr;
    ALLOCATOR_PROPERTIES request = properties;
    hr = DecideBufferSize(*allocator, &request);
    if (SUCCEEDED(hr))
        hr = pin->NotifyAllocator(*allocator, FALSE);
    if (FAILED(hr)) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    return hr;
}

HRESULT CBaseOutputPin::Active() {
    return m_pAllocator ? m_pAllocator->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::Inactive() {
    return m_pAllocator ? m_pAllocator->Decommit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                          DWORD flags) {
    IMemAllocator* allocator = m_pAllocator;
    if (!allocator)
        return VFW_E_NO_ALLOCATOR;
    return allocator->GetBuffer(sample, start, end, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
    IMemInputPin* pin = m_pInputPin;
    if (!pin)
        return VFW_E_NOT_CONNECTED;
    return pin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    IPin* pin = m_Connected;
    return pin ? pin->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    IPin* pin = m_Connected;
    return pin ? pin->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    IPin* pin = m_Connected;
    return pin ? pin->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* pin = m_Connected;
    return pin ? pin->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}

CBaseInputPin::CBaseInputPin(LPCWSTR objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                             LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
    if (m_pAllocator)
        m_pAllocator->Release();
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IMemInputPin)
        return GetInterface(static_cast<IMemInputPin*>(this), out);
    return CBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!m_pAllocator) {
        const HRESULT hr = platform::QueryNew(new CMemAllocator(L"Input allocator", nullptr, nullptr),
                                              IID_IMemAllocator, reinterpret_cast<void**>(&m_pAllocator));
        if (FAILED(hr))
            return hr;
    }
    *allocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (!allocator)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    allocator->AddRef();
    if (m_pAllocator)
        m_pAllocator->Release();
    m_pAllocator = allocator;
    m_bReadOnly = readOnly != FALSE;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (IsStopped())
        return VFW_E_WRONG_STATE;
    if (m_bFlushing)
        return S_FALSE;
    if (m_bRunTimeError)
        return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    return CheckStreaming();
}

HRESULT CBaseInputPin::BeginFlush() {
    m_bFlushing = true;
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
    m_bFlushing = false;
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
    if (m_pAllocator) {
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    m_bRunTimeError = false;
    m_bFlushing = false;
    return S_OK;
}
