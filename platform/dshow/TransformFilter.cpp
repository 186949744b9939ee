#include "platform/dshow/TransformFilter.h"

CTransformInputPin::CTransformInputPin(LPCWSTR objectName, CTransformFilter* filter, HRESULT* hr,
                                       LPCWSTR pinName)
    : CBaseInputPin(objectName, filter, &filter->m_csFilter, hr, pinName), m_pTransformFilter(filter) {}

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
    const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pin);
    return FAILED(hr) ? hr : CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receive) {
    const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, receive);
    return FAILED(hr) ? hr : CBaseInputPin::CompleteConnect(receive);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) {
    const HRESULT hr = m_pTransformFilter->CheckInputType(type);
    if (hr != S_OK)
        return hr;
    // A new input type must also suit an output that is already connected.
    CTransformOutputPin* out = m_pTransformFilter->m_pOutput;
    if (out && out->IsConnected())
        return m_pTransformFilter->CheckTransform(type, &out->CurrentMediaType());
    return S_OK;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
    const HRESULT hr = CBasePin::SetMediaType(type);
    return FAILED(hr) ? hr : m_pTransformFilter->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::Receive(IMediaSample* sample) {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    return m_pTransformFilter->Receive(sample);
}

HRESULT CTransformInputPin::EndOfStream() {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    const HRESULT hr = CheckStreaming();
    return hr == S_OK ? m_pTransformFilter->EndOfStream() : hr;
}

HRESULT CTransformInputPin::BeginFlush() {
    CAutoLock lock(&m_pTransformFilter->m_csFilter);
    if (!IsConnected() || !m_pTransformFilter->m_pOutput->IsConnected())
        return VFW_E_NOT_CONNECTED;
    const HRESULT hr = CBaseInputPin::BeginFlush();
    return FAILED(hr) ? hr : m_pTransformFilter->BeginFlush();
}

HRESULT CTransformInputPin::EndFlush() {
    CAutoLock lock(&m_pTransformFilter->m_csFilter);
    if (!IsConnected() || !m_pTransformFilter->m_pOutput->IsConnected())
        return VFW_E_NOT_CONNECTED;
    const HRESULT hr = m_pTransformFilter->EndFlush();
    return FAILED(hr) ? hr : CBaseInputPin::EndFlush();
}

HRESULT CTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBasePin::NewSegment(start, stop, rate);
    return m_pTransformFilter->NewSegment(start, stop, rate);
}

CTransformOutputPin::CTransformOutputPin(LPCWSTR objectName, CTransformFilter* filter, HRESULT* hr,
                                         LPCWSTR pinName)
    : CBaseOutputPin(objectName, filter, &filter->m_csFilter, hr, pinName), m_pTransformFilter(filter) {}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
    if (!m_pTransformFilter->m_pInput->IsConnected())
        return E_UNEXPECTED;
    const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
    return FAILED(hr) ? hr : CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receive) {
    const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, receive);
    return FAILED(hr) ? hr : CBaseOutputPin::CompleteConnect(receive);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
    if (!m_pTransformFilter->m_pInput->IsConnected())
        return E_INVALIDARG;
    return m_pTransformFilter->CheckTransform(&m_pTransformFilter->m_pInput->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
    const HRESULT hr = CBasePin::SetMediaType(type);
    return FAILED(hr) ? hr : m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
    return m_pTransformFilter->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    return m_pTransformFilter->DecideBufferSize(allocator, request);
}

HRESULT CTransformOutputPin::Notify(IBaseFilter*, Quality quality) {
    return m_pTransformFilter->AlterQuality(quality) == S_OK ? S_OK : E_NOTIMPL;
}

CTransformFilter::CTransformFilter(LPCWSTR objectName, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(objectName, outer, &m_csFilter, clsid) {}

CTransformFilter::~CTransformFilter() {
    delete m_pInput;
    delete m_pOutput;
}

void CTransformFilter::makePins() {
    if (m_pInput)
        return;
    HRESULT hr = S_OK;
    m_pInput = new CTransformInputPin(L"Transform input pin", this, &hr, L"Input");
    m_pOutput = new CTransformOutputPin(L"Transform output pin", this, &hr, L"Output");
}

CBasePin* CTransformFilter::GetPin(int index) {
    CAutoLock lock(&m_csFilter);
    makePins();
    if (index == 0)
        return m_pInput;
    if (index == 1)
        return m_pOutput;
    return nullptr;
}

HRESULT CTransformFilter::Stop() {
    CAutoLock lock(&m_csFilter);
    makePins();
    if (m_State == State_Stopped)
        return S_OK;
    if (!m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
        m_State = State_Stopped;
        return S_OK;
    }
    // Refuse new samples, wake a Receive that waits for an output buffer, then wait for it to return.
    m_pInput->Inactive();
    m_State = State_Stopped;
    if (IMemAllocator* allocator = m_pOutput->Allocator())
        allocator->Decommit();
    CAutoLock streaming(&m_csReceive);
    m_pOutput->Inactive();
    return StopStreaming();
}

HRESULT CTransformFilter::Pause() {
    CAutoLock lock(&m_csFilter);
    makePins();
    if (m_State == State_Stopped && m_pInput->IsConnected() && m_pOutput->IsConnected()) {
        const HRESULT hr = StartStreaming();
        if (FAILED(hr))
            return hr;
    }
    return CBaseFilter::Pause();
}

HRESULT CTransformFilter::Transform(IMediaSample*, IMediaSample*) {
    return E_UNEXPECTED;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* sample, IMediaSample** out) {
    IMediaSample* output = nullptr;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(&output, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    REFERENCE_TIME start, end;
    if (sample->GetTime(&start, &end) == S_OK)
        output->SetTime(&start, &end);
    LONGLONG mediaStart, mediaEnd;
    if (sample->GetMediaTime(&mediaStart, &mediaEnd) == S_OK)
        output->SetMediaTime(&mediaStart, &mediaEnd);
    output->SetSyncPoint(sample->IsSyncPoint() == S_OK);
    output->SetPreroll(sample->IsPreroll() == S_OK);
    output->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
    *out = output;
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
    if (!m_pOutput->IsConnected())
        return S_OK;
    IMediaSample* out = nullptr;
    HRESULT hr = InitializeOutputSample(sample, &out);
    if (FAILED(hr))
        return hr;
    hr = Transform(sample, out);
    if (hr == S_OK)
        hr = m_pOutput->Deliver(out);
    else if (hr == S_FALSE)
        hr = S_OK; // nothing came out of this input
    out->Release();
    return hr;
}

HRESULT CTransformFilter::EndOfStream() {
    return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
    return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
    return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return m_pOutput->DeliverNewSegment(start, stop, rate);
}
