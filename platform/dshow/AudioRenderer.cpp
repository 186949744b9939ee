#include "platform/dshow/AudioRenderer.h"

#include "platform/dshow/SystemClock.h"
#include "platform/dshow/Uuids.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform::dshow {
namespace {

// Whether the subsystem's driver can open an output device at all (a driver can start on a machine that
// has no sound card).
bool deviceOpens() {
    SDL_AudioSpec spec{};
    spec.freq = 48000;
    spec.format = AUDIO_S16SYS;
    spec.channels = 2;
    spec.samples = 1024;
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (device == 0)
        return false;
    SDL_CloseAudioDevice(device);
    return true;
}

// SDL's audio subsystem, kept for the process once a renderer has needed it. Without a usable device the
// silent driver stands in, which consumes the sound at its real pace: the picture then plays without
// sound, on the same clock, instead of not at all.
bool audioSubsystem() {
    static const bool ready = [] {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            if (deviceOpens())
                return true;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
        return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }();
    return ready;
}

constexpr REFERENCE_TIME kSecond = 10000000;

} // namespace

AudioRendererPin::AudioRendererPin(AudioRenderer* filter, CCritSec* lock)
    : CBaseInputPin(L"AudioRendererPin", filter, lock, nullptr, L"Audio Input pin (rendered)"),
      renderer_(filter) {}

HRESULT AudioRendererPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (*type->Type() != MEDIATYPE_Audio || *type->Subtype() != MEDIASUBTYPE_PCM ||
        *type->FormatType() != FORMAT_WaveFormatEx || type->FormatLength() < sizeof(WAVEFORMATEX) ||
        !type->Format())
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* f = reinterpret_cast<const WAVEFORMATEX*>(type->Format());
    if (f->wFormatTag != WAVE_FORMAT_PCM || f->nChannels < 1 || f->nChannels > 8 ||
        f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 384000 ||
        (f->wBitsPerSample != 8 && f->wBitsPerSample != 16))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT AudioRendererPin::CompleteConnect(IPin* receive) {
    const HRESULT hr = renderer_->open(*reinterpret_cast<const WAVEFORMATEX*>(m_mt.Format()));
    return FAILED(hr) ? hr : CBaseInputPin::CompleteConnect(receive);
}

HRESULT AudioRendererPin::BreakConnect() {
    renderer_->close();
    return CBaseInputPin::BreakConnect();
}

HRESULT AudioRendererPin::Receive(IMediaSample* sample) {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    return hr == S_OK ? renderer_->queue(sample) : hr;
}

HRESULT AudioRendererPin::EndOfStream() {
    const HRESULT hr = CheckStreaming();
    if (hr == S_OK)
        renderer_->endOfStream();
    return hr;
}

HRESULT AudioRendererPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    std::lock_guard lock(renderer_->mutex_);
    renderer_->flushing_ = true;
    renderer_->clearLocked();
    ++renderer_->generation_;
    renderer_->changed_.notify_all();
    return S_OK;
}

HRESULT AudioRendererPin::EndFlush() {
    {
        std::lock_guard lock(renderer_->mutex_);
        renderer_->flushing_ = false;
    }
    return CBaseInputPin::EndFlush();
}

CUnknown* AudioRenderer::CreateInstance(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new AudioRenderer;
}

AudioRenderer::AudioRenderer()
    : CBaseFilter(L"AudioRenderer", nullptr, &lock_, CLSID_DSoundRender), pin_(this, &lock_) {}

AudioRenderer::~AudioRenderer() {
    close();
}

HRESULT AudioRenderer::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
    if (iid == IID_IBasicAudio)
        return GetInterface(static_cast<IBasicAudio*>(this), out);
    if (iid == IID_IReferenceClock)
        return GetInterface(static_cast<IReferenceClock*>(this), out);
    return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT AudioRenderer::open(const WAVEFORMATEX& format) {
    close();
    if (!audioSubsystem())
        return E_FAIL;
    SDL_AudioSpec wanted{}, obtained{};
    wanted.freq = static_cast<int>(format.nSamplesPerSec);
    wanted.format = format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(format.nChannels);
    // About 16 ms per device buffer keeps the clock fine-grained.
    Uint16 samples = 64;
    while (samples < 8192 && samples * 60 < wanted.freq)
        samples = static_cast<Uint16>(samples * 2);
    wanted.samples = samples;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0)
        return E_FAIL;
    std::lock_guard lock(mutex_);
    device_ = device;
    bytesPerSample_ = format.wBitsPerSample / 8;
    bytesPerSecond_ = static_cast<int>(format.nSamplesPerSec) * format.nChannels * bytesPerSample_;
    chunkBytes_ =
        static_cast<Uint32>(obtained.samples) * format.nChannels * static_cast<Uint32>(bytesPerSample_);
    queuedTotal_ = 0;
    return S_OK;
}

void AudioRenderer::close() {
    SDL_AudioDeviceID device;
    {
        std::lock_guard lock(mutex_);
        device = device_;
        device_ = 0;
        running_ = false;
    }
    if (device)
        SDL_CloseAudioDevice(device);
}

Uint32 AudioRenderer::queuedLocked() const {
    return device_ ? SDL_GetQueuedAudioSize(device_) : 0;
}

void AudioRenderer::clearLocked() {
    if (!device_)
        return;
    queuedTotal_ -= std::min<Uint64>(queuedTotal_, SDL_GetQueuedAudioSize(device_));
    SDL_ClearQueuedAudio(device_);
}

void AudioRenderer::changed() {
    ++generation_;
    changed_.notify_all();
}

HRESULT AudioRenderer::Stop() {
    const HRESULT hr = CBaseFilter::Stop();
    std::lock_guard lock(mutex_);
    if (device_)
        SDL_PauseAudioDevice(device_, 1);
    clearLocked();
    running_ = false;
    changed();
    return hr;
}

HRESULT AudioRenderer::Pause() {
    const HRESULT hr = CBaseFilter::Pause();
    std::lock_guard lock(mutex_);
    if (device_)
        SDL_PauseAudioDevice(device_, 1);
    running_ = false;
    changed();
    return hr;
}

HRESULT AudioRenderer::Run(REFERENCE_TIME start) {
    const HRESULT hr = CBaseFilter::Run(start);
    std::lock_guard lock(mutex_);
    if (device_)
        SDL_PauseAudioDevice(device_, 0);
    running_ = true;
    changed();
    return hr;
}

HRESULT AudioRenderer::queue(IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)))
        return E_POINTER;
    const LONG length = sample->GetActualDataLength();
    std::unique_lock lock(mutex_);
    if (!device_ || length <= 0)
        return S_OK;
    const Uint32 lead = static_cast<Uint32>(static_cast<long long>(bytesPerSecond_) * kLeadMs / 1000);
    // Keep the sample while more than the lead is waiting to be heard: for as long as the device takes to
    // play the excess, then look again.
    for (Uint32 queued = queuedLocked(); queued > lead; queued = queuedLocked()) {
        if (m_State == State_Stopped || flushing_)
            return m_State == State_Stopped ? VFW_E_WRONG_STATE : S_FALSE;
        const int seen = generation_;
        platform::WaitUntilScaled(changed_, lock, drainDeadlineLocked(queued - lead),
                                  [&] { return generation_ != seen; });
    }
    if (m_State == State_Stopped || flushing_)
        return S_OK;
    const LONG volume = volume_;
    const BYTE* sound = data;
    if (volume != 0) {
        scaled_.assign(data, data + length); // the buffer is kept: no allocation once it is large enough
        const double gain = volume <= -10000 ? 0.0 : std::pow(10.0, volume / 2000.0);
        if (bytesPerSample_ == 2) {
            for (LONG i = 0; i + 1 < length; i += 2) {
                Sint16 s;
                std::memcpy(&s, &scaled_[static_cast<size_t>(i)], 2);
                s = static_cast<Sint16>(std::lround(s * gain));
                std::memcpy(&scaled_[static_cast<size_t>(i)], &s, 2);
            }
        } else {
            for (BYTE& b : scaled_)
                b = static_cast<BYTE>(128 + std::lround((b - 128) * gain));
        }
        sound = scaled_.data();
    }
    if (SDL_QueueAudio(device_, sound, static_cast<Uint32>(length)) == 0)
        queuedTotal_ += static_cast<Uint64>(length);
    return S_OK;
}

platform::Duration AudioRenderer::drainDeadlineLocked(Uint32 bytes) const {
    if (!running_ || bytesPerSecond_ <= 0)
        return platform::Duration::max(); // a paused device does not drain: only a state change helps
    // The device takes a chunk at a time: less than one makes no difference to the queue.
    bytes = std::max(bytes, chunkBytes_);
    const long long ms = std::max<long long>(1, static_cast<long long>(bytes) * 1000 / bytesPerSecond_);
    return platform::DeadlineAfter(static_cast<DWORD>(std::min<long long>(ms, 1000)));
}

void AudioRenderer::endOfStream() {
    {
        std::unique_lock lock(mutex_);
        // The end comes when the last sound has been heard.
        for (;;) {
            if (m_State == State_Stopped || flushing_)
                return;
            const Uint32 queued = queuedLocked();
            if (running_ && queued == 0)
                break;
            const int seen = generation_;
            platform::WaitUntilScaled(changed_, lock, drainDeadlineLocked(queued),
                                      [&] { return generation_ != seen; });
        }
    }
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

HRESULT AudioRenderer::put_Volume(LONG volume) {
    if (volume < -10000 || volume > 0)
        return E_INVALIDARG;
    volume_ = volume;
    return S_OK;
}

HRESULT AudioRenderer::get_Volume(LONG* volume) {
    if (!volume)
        return E_POINTER;
    *volume = volume_;
    return S_OK;
}

HRESULT AudioRenderer::GetTime(REFERENCE_TIME* time) {
    if (!time)
        return E_POINTER;
    const REFERENCE_TIME system = SystemClock::Now();
    bool running;
    Uint32 waiting = 0;
    Uint64 played = 0;
    REFERENCE_TIME chunk = 0;
    int rate = 0;
    {
        std::lock_guard lock(mutex_);
        waiting = queuedLocked();
        running = running_ && device_ && bytesPerSecond_ > 0;
        if (running) {
            played = queuedTotal_ - std::min<Uint64>(queuedTotal_, waiting);
            rate = bytesPerSecond_;
            chunk = static_cast<REFERENCE_TIME>(chunkBytes_) * kSecond / rate;
        }
    }
    std::lock_guard lock(clockMutex_);
    if (played != lastPlayed_) {
        if (played < lastPlayed_)
            audioMode_ = false; // the queue was thrown away: anchor afresh
        lastPlayed_ = played;
        playedChangedAt_ = system;
    }
    // Sound is being heard while the queue holds some, or the device still plays what it took last.
    const bool audible = running && played > 0 && (waiting > 0 || system - playedChangedAt_ < chunk);
    REFERENCE_TIME now;
    if (audible) {
        // What the device took last is being heard now: count the time since it took it, up to its length.
        const REFERENCE_TIME heard =
            static_cast<REFERENCE_TIME>(played * kSecond / static_cast<Uint64>(rate)) - chunk +
            std::min(system - playedChangedAt_, chunk);
        if (!audioMode_) {
            audioMode_ = true;
            offset_ = last_ - heard;
        }
        now = offset_ + heard;
    } else {
        if (audioMode_ || !anchored_) {
            audioMode_ = false;
            anchored_ = true;
            offset_ = last_ - system;
        }
        now = offset_ + system;
    }
    last_ = std::max(last_, now);
    *time = last_;
    return S_OK;
}

} // namespace platform::dshow
