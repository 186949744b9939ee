#include "media/RecordPlan.h"

#include "media/AccessUnitKind.h"
#include "media/Adts.h"
#include "media/EsH264.h"

#include <cstdio>

namespace {

constexpr DWORD kFullSizePeriodMs = 5400000;
constexpr DWORD kPeriodMs = 7200000;
constexpr int kFullSizeClass = 4;
constexpr ULONGLONG kAacFrameSamples = 1024;

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

RecordFrameRate LookUpRecordFrameRate(bool rows50Hz, bool largePicture) {
    if (rows50Hz)
        return largePicture ? RecordFrameRate{50, 1800} : RecordFrameRate{25, 3600};
    return largePicture ? RecordFrameRate{60, 1500} : RecordFrameRate{30, 3000};
}

DWORD RolloverPeriodMs(int sizeClass) {
    return sizeClass == kFullSizeClass ? kFullSizePeriodMs : kPeriodMs;
}

std::wstring RolloverFileName(const std::wstring& recordPath, int index) {
    size_t nameStart = recordPath.size();
    while (nameStart > 0 && !isSeparator(recordPath[nameStart - 1]))
        --nameStart;
    const size_t dot = recordPath.rfind(L'.');
    const size_t stem = dot != std::wstring::npos && dot >= nameStart ? dot : recordPath.size();
    wchar_t suffix[16];
    std::swprintf(suffix, std::size(suffix), L"_%.2d.mp4", index);
    return recordPath.substr(0, stem) + suffix;
}

std::wstring RecordFolder(const std::wstring& recordPath) {
    size_t end = recordPath.size();
    while (end > 0 && !isSeparator(recordPath[end - 1]))
        --end;
    if (end == 0)
        return L".";
    return end == 1 ? recordPath.substr(0, 1) : recordPath.substr(0, end - 1);
}

DWORD ReadUnitTimestamp(const BYTE* unit) {
    return static_cast<DWORD>(unit[0]) | static_cast<DWORD>(unit[1]) << 8 |
           static_cast<DWORD>(unit[2]) << 16 | static_cast<DWORD>(unit[3]) << 24;
}

ULONGLONG AudioUnitsTicks(ULONGLONG units, DWORD samplingRate) {
    return samplingRate == 0 ? 0 : units * kAacFrameSamples * 90000 / samplingRate;
}

DWORD AdtsUnitRate(const BYTE* frame, DWORD length) {
    uint8_t header[kAdtsMaxHeaderSize];
    if (!AdtsFindHeader(frame, length, header))
        return 0;
    return AacSamplingRate(AdtsParseFields(header).samplingIndex);
}

std::vector<BYTE> UnitSequenceParameterSet(const BYTE* unit, DWORD length) {
    if (length <= 4)
        return {};
    EsNalReader reader;
    reader.Reset(unit + 4, length - 4);
    while (reader.Next()) {
        if (reader.Type() == EsNalSps)
            return {reader.Unit().begin() + reader.StartCodeLength(), reader.Unit().end()};
    }
    return {};
}

bool SpsGivesPicture(const std::vector<BYTE>& sps, DWORD width, DWORD height, bool largePicture) {
    std::vector<BYTE> nal = {0, 0, 0, 1};
    nal.insert(nal.end(), sps.begin(), sps.end());
    EsParserState state;
    if (sps.empty() || EsReadSequenceInfo(nal.data(), nal.size(), state) < 0)
        return false;
    const DWORD spsHeight = state.sps.pic_height;
    return state.sps.pic_width == width && (spsHeight == height || (largePicture && 2 * spsHeight == height));
}

void RecordStartCollector::Offer(const BYTE* unit, DWORD length, std::vector<std::vector<BYTE>>& out) {
    if (Done())
        return;
    if (idrTaken_) {
        out.emplace_back(unit, unit + length);
        ++taken_;
        return;
    }
    if (!ScanMediaUnit(unit, length).idr) {
        held_.assign(unit, unit + length);
        holding_ = true;
        return;
    }
    if (!holding_)
        return; // an IDR unit without the unit before it: wait for the next pair
    out.push_back(std::move(held_));
    out.emplace_back(unit, unit + length);
    holding_ = false;
    idrTaken_ = true;
    taken_ += 2;
}
