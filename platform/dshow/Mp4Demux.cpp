#include "platform/dshow/Mp4Demux.h"

#include "platform/dshow/Uuids.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <string>

namespace platform::dshow {
namespace {

constexpr int kIoBufferSize = 32768;
constexpr LONG kVideoBufferSize = 2 << 20; // larger access units are dropped
constexpr LONG kAudioBufferSize = 64 << 10;
constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

// An MP4 file read through an IAsyncReader, each user with its own position.
class Mp4File {
public:
    explicit Mp4File(IAsyncReader* reader) : reader_(reader) {}
    ~Mp4File() {
        avformat_close_input(&context_);
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }
    Mp4File(const Mp4File&) = delete;
    Mp4File& operator=(const Mp4File&) = delete;

    bool open() {
        LONGLONG available = 0;
        if (!reader_ || FAILED(reader_->Length(&size_, &available)))
            return false;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        if (!buffer)
            return false;
        io_ = avio_alloc_context(buffer, kIoBufferSize, 0, this, &Mp4File::read, nullptr, &Mp4File::seek);
        if (!io_) {
            av_free(buffer);
            return false;
        }
        context_ = avformat_alloc_context();
        if (!context_)
            return false;
        context_->pb = io_;
        context_->flags |= AVFMT_FLAG_CUSTOM_IO;
        const AVInputFormat* mp4 = av_find_input_format("mov");
        if (avformat_open_input(&context_, nullptr, mp4, nullptr) < 0) {
            context_ = nullptr; // freed by the failed open
            return false;
        }
        return true;
    }
    AVFormatContext* context() const { return context_; }

private:
    static int read(void* opaque, uint8_t* buffer, int size) {
        auto* self = static_cast<Mp4File*>(opaque);
        if (self->position_ >= self->size_)
            return AVERROR_EOF;
        const LONG n = static_cast<LONG>(std::min<LONGLONG>(size, self->size_ - self->position_));
        if (self->reader_->SyncRead(self->position_, n, buffer) != S_OK)
            return AVERROR(EIO);
        self->position_ += n;
        return n;
    }
    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<Mp4File*>(opaque);
        if (whence & AVSEEK_SIZE)
            return self->size_;
        int64_t target;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = self->position_ + offset;
            break;
        case SEEK_END:
            target = self->size_ + offset;
            break;
        default:
            return -1;
        }
        if (target < 0)
            return -1;
        self->position_ = target;
        return target;
    }

    IAsyncReader* reader_;
    LONGLONG size_ = 0;
    LONGLONG position_ = 0;
    AVIOContext* io_ = nullptr;
    AVFormatContext* context_ = nullptr;
};

REFERENCE_TIME toUnits(int64_t value, AVRational base) {
    return av_rescale_q(value, base, AVRational{1, static_cast<int>(kUnitsPerSecond)});
}

// The file's length; a fragmented file gives only its tracks' lengths (the reader counts its fragments).
REFERENCE_TIME fileDuration(const AVFormatContext& context) {
    if (context.duration != AV_NOPTS_VALUE)
        return toUnits(context.duration, AVRational{1, AV_TIME_BASE});
    REFERENCE_TIME longest = 0;
    for (unsigned i = 0; i < context.nb_streams; ++i) {
        const AVStream* st = context.streams[i];
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            longest = std::max(longest, toUnits(st->duration, st->time_base));
    }
    return longest;
}

CMediaType videoType(const AVCodecParameters& par, const AVStream& st) {
    CMediaType type;
    type.SetType(&MEDIATYPE_Video);
    type.SetSubtype(&MEDIASUBTYPE_H264);
    type.SetFormatType(&FORMAT_VideoInfo);
    type.SetVariableSize();
    type.SetTemporalCompression(TRUE);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (vih) {
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = par.width;
        vih->bmiHeader.biHeight = par.height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = 24;
        vih->bmiHeader.biCompression = MakeFourCC('H', '2', '6', '4');
        vih->rcSource = vih->rcTarget = RECT{0, 0, par.width, par.height};
        if (st.avg_frame_rate.num > 0 && st.avg_frame_rate.den > 0)
            vih->AvgTimePerFrame = av_rescale(kUnitsPerSecond, st.avg_frame_rate.den, st.avg_frame_rate.num);
    }
    return type;
}

CMediaType audioType(const AVCodecParameters& par) {
    CMediaType type;
    type.SetType(&MEDIATYPE_Audio);
    type.SetSubtype(&MEDIASUBTYPE_RAW_AAC1);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    type.SetVariableSize();
    const int extra = std::clamp(par.extradata_size, 0, 1024);
    auto* format =
        type.AllocFormatBuffer(static_cast<ULONG>(sizeof(WAVEFORMATEX) + static_cast<size_t>(extra)));
    if (format) {
        WAVEFORMATEX wave{};
        wave.wFormatTag = WAVE_FORMAT_RAW_AAC1;
        wave.nChannels = static_cast<WORD>(par.ch_layout.nb_channels);
        wave.nSamplesPerSec = static_cast<DWORD>(par.sample_rate);
        wave.nBlockAlign = 1;
        wave.wBitsPerSample = 16;
        wave.cbSize = static_cast<WORD>(extra);
        std::memcpy(format, &wave, sizeof wave);
        if (extra)
            std::memcpy(format + sizeof wave, par.extradata, static_cast<size_t>(extra));
    }
    return type;
}

} // namespace

DemuxInputPin::DemuxInputPin(Mp4Demux* filter, CCritSec* lock)
    : CBasePin(L"DemuxInputPin", filter, lock, nullptr, L"Input", PINDIR_INPUT), demux_(filter) {}

HRESULT DemuxInputPin::CheckMediaType(const CMediaType* type) {
    return *type->Type() == MEDIATYPE_Stream ? S_OK : S_FALSE;
}

HRESULT DemuxInputPin::CheckConnect(IPin* pin) {
    const HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr))
        return hr;
    reader_ = platform::Query<IAsyncReader>(pin, IID_IAsyncReader);
    return reader_ ? S_OK : E_NOINTERFACE;
}

HRESULT DemuxInputPin::CompleteConnect(IPin*) {
    return demux_->openTracks(reader_.Get());
}

HRESULT DemuxInputPin::BreakConnect() {
    demux_->dropTracks();
    reader_.Reset();
    return S_OK;
}

DemuxOutputPin::DemuxOutputPin(Mp4Demux* filter, CCritSec* lock, LPCWSTR name, DemuxTrack track)
    : CBaseOutputPin(L"DemuxOutputPin", filter, lock, nullptr, name), demux_(filter),
      track_(std::move(track)) {}

DemuxOutputPin::~DemuxOutputPin() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

HRESULT DemuxOutputPin::CheckMediaType(const CMediaType* type) {
    return *type->Type() == *track_.type.Type() && *type->Subtype() == *track_.type.Subtype() ? S_OK
                                                                                              : S_FALSE;
}

HRESULT DemuxOutputPin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    *type = track_.type;
    return S_OK;
}

HRESULT DemuxOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    request->cBuffers = std::max(request->cBuffers, track_.buffers);
    request->cbBuffer = std::max(request->cbBuffer, track_.bufferSize);
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer < track_.bufferSize ? E_FAIL : S_OK;
}

HRESULT DemuxOutputPin::Active() {
    const HRESULT hr = CBaseOutputPin::Active();
    if (SUCCEEDED(hr))
        startStreaming();
    return hr;
}

HRESULT DemuxOutputPin::Inactive() {
    const HRESULT hr = CBaseOutputPin::Inactive(); // wakes the thread if it waits for a buffer
    stopStreaming();
    return hr;
}

void DemuxOutputPin::startStreaming() {
    stopStreaming();
    stop_ = false;
    thread_ = std::thread([this] { stream(); });
}

void DemuxOutputPin::stopStreaming() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void DemuxOutputPin::stream() {
    Mp4File file(demux_->reader());
    if (!file.open() || track_.stream >= static_cast<int>(file.context()->nb_streams)) {
        DeliverEndOfStream();
        return;
    }
    AVFormatContext* context = file.context();
    for (unsigned i = 0; i < context->nb_streams; ++i)
        context->streams[i]->discard =
            static_cast<int>(i) == track_.stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    AVStream* st = context->streams[track_.stream];
    const REFERENCE_TIME start = demux_->start();
    if (start > 0)
        av_seek_frame(context, track_.stream,
                      av_rescale_q(start, AVRational{1, static_cast<int>(kUnitsPerSecond)}, st->time_base),
                      AVSEEK_FLAG_BACKWARD);
    DeliverNewSegment(start, demux_->duration(), 1.0);

    AVPacket* packet = av_packet_alloc();
    std::vector<std::uint8_t> payload;
    bool first = true;
    while (!stop_ && packet) {
        if (av_read_frame(context, packet) < 0) {
            if (!stop_)
                DeliverEndOfStream();
            break;
        }
        if (packet->stream_index != track_.stream) {
            av_packet_unref(packet);
            continue;
        }
        payload.clear();
        const std::span<const std::uint8_t> data(packet->data, static_cast<size_t>(packet->size));
        if (track_.video) {
            if (first)
                payload = track_.avc.parameterSets;
            if (!AppendAnnexB(data, track_.avc.lengthSize, &payload))
                payload.assign(data.begin(), data.end()); // not length-prefixed: taken as it is
        } else {
            payload.assign(data.begin(), data.end());
        }
        const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        REFERENCE_TIME begin = pts != AV_NOPTS_VALUE ? toUnits(pts, st->time_base) - start : 0;
        REFERENCE_TIME end = begin + std::max<REFERENCE_TIME>(1, toUnits(packet->duration, st->time_base));
        const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(packet);

        IMediaSample* sample = nullptr;
        if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0)))
            break; // decommitted: the filter stops
        BYTE* buffer = nullptr;
        if (payload.size() > static_cast<size_t>(sample->GetSize()) || FAILED(sample->GetPointer(&buffer))) {
            sample->Release(); // too large for any buffer: dropped
            continue;
        }
        std::memcpy(buffer, payload.data(), payload.size());
        sample->SetActualDataLength(static_cast<LONG>(payload.size()));
        sample->SetTime(&begin, &end);
        sample->SetSyncPoint(key);
        sample->SetDiscontinuity(first);
        first = false;
        const HRESULT hr = Deliver(sample);
        sample->Release();
        if (hr != S_OK)
            break; // downstream stopped or flushes: a restart follows if it is a seek
    }
    av_packet_free(&packet);
}

CUnknown* Mp4Demux::CreateInstance(IUnknown*, HRESULT* hr) {
    *hr = S_OK;
    return new Mp4Demux;
}

Mp4Demux::Mp4Demux() : CBaseFilter(L"Mp4Demux", nullptr, &lock_, CLSID_KqMp4Demux), input_(this, &lock_) {}

Mp4Demux::~Mp4Demux() {
    for (auto& pin : outputs_)
        pin->stopStreaming();
    for (auto& pin : retired_)
        pin->stopStreaming();
}

HRESULT Mp4Demux::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (iid == IID_IMediaSeeking)
        return GetInterface(static_cast<IMediaSeeking*>(this), out);
    return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

int Mp4Demux::GetPinCount() {
    CAutoLock lock(&lock_);
    return 1 + static_cast<int>(outputs_.size());
}

CBasePin* Mp4Demux::GetPin(int index) {
    CAutoLock lock(&lock_);
    if (index == 0)
        return &input_;
    if (index > 0 && index <= static_cast<int>(outputs_.size()))
        return outputs_[static_cast<size_t>(index - 1)].get();
    return nullptr;
}

HRESULT Mp4Demux::openTracks(IAsyncReader* reader) {
    Mp4File file(reader);
    if (!file.open())
        return VFW_E_TYPE_NOT_ACCEPTED;
    AVFormatContext* context = file.context();
    dropTracks();
    bool haveVideo = false, haveAudio = false;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* st = context->streams[i];
        const AVCodecParameters* par = st->codecpar;
        const int number = st->id > 0 ? st->id : static_cast<int>(i) + 1;
        DemuxTrack track;
        track.stream = static_cast<int>(i);
        std::wstring name;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && par->codec_id == AV_CODEC_ID_H264 && !haveVideo) {
            haveVideo = true;
            track.video = true;
            track.type = videoType(*par, *st);
            if (par->extradata && par->extradata_size > 0)
                ParseAvcConfig(std::span(par->extradata, static_cast<size_t>(par->extradata_size)),
                               &track.avc);
            track.bufferSize = kVideoBufferSize;
            track.buffers = 2;
            name = L"Video " + std::to_wstring(number);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->codec_id == AV_CODEC_ID_AAC && !haveAudio) {
            haveAudio = true;
            track.type = audioType(*par);
            track.bufferSize = kAudioBufferSize;
            track.buffers = 4;
            name = L"Audio " + std::to_wstring(number);
        } else {
            continue;
        }
        outputs_.push_back(std::make_unique<DemuxOutputPin>(this, &lock_, name.c_str(), std::move(track)));
    }
    duration_ = fileDuration(*context);
    start_ = 0;
    return outputs_.empty() ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
}

void Mp4Demux::dropTracks() {
    for (auto& pin : outputs_) {
        if (IPin* peer = pin->GetConnected()) {
            peer->Disconnect();
            pin->Disconnect();
        }
        retired_.push_back(std::move(pin));
    }
    outputs_.clear();
    duration_ = 0;
}

HRESULT Mp4Demux::GetCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    *capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                    AM_SEEKING_CanGetDuration;
    return S_OK;
}

HRESULT Mp4Demux::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT Mp4Demux::GetTimeFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT Mp4Demux::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT Mp4Demux::GetDuration(LONGLONG* duration) {
    if (!duration)
        return E_POINTER;
    CAutoLock lock(&lock_);
    if (outputs_.empty())
        return VFW_E_NOT_CONNECTED;
    *duration = duration_;
    return S_OK;
}

HRESULT Mp4Demux::GetStopPosition(LONGLONG* stop) {
    return GetDuration(stop);
}

HRESULT Mp4Demux::GetCurrentPosition(LONGLONG* current) {
    if (!current)
        return E_POINTER;
    *current = start_;
    return S_OK;
}

HRESULT Mp4Demux::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current)
        *current = start_;
    return stop ? GetDuration(stop) : S_OK;
}

HRESULT Mp4Demux::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) {
    const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (positioning == AM_SEEKING_NoPositioning)
        return S_OK;
    if (!current)
        return E_POINTER;
    CAutoLock lock(&lock_);
    REFERENCE_TIME target = positioning == AM_SEEKING_RelativePositioning ? start_ + *current : *current;
    target = std::clamp<REFERENCE_TIME>(target, 0, std::max<REFERENCE_TIME>(duration_.load(), 0));
    if (IsStopped()) {
        start_ = target;
        return S_OK;
    }
    // Streaming: flush downstream (which lets a blocked thread go), stop, move, start again.
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->DeliverBeginFlush();
    for (auto& pin : outputs_)
        pin->stopStreaming();
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->DeliverEndFlush();
    start_ = target;
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->startStreaming();
    return S_OK;
}

HRESULT Mp4Demux::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT Mp4Demux::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

} // namespace platform::dshow
