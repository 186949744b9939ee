// The recorder's elementary-stream parsing on arbitrary bytes: the input is cut into NAL units, each
// goes through the new-picture test, the parameter set and slice parsers and the SEI filter; the same
// bytes are then read as ADTS frames and as Exp-Golomb codes.
#include "media/Adts.h"
#include "media/EsBitReader.h"
#include "media/EsH264.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EsParserState state;
    EsNalReader reader;
    reader.Reset(data, size);
    while (reader.Next()) {
        const std::vector<uint8_t>& unit = reader.Unit();
        EsDetectBoundary(unit.data(), unit.size(), state);
        EsParserState scratch = state;
        EsReadSequenceInfo(unit.data(), unit.size(), scratch);
        EsReadSliceInfo(unit.data(), unit.size(), scratch);
        if (reader.Type() == EsNalSei)
            EsStripSeiMessages(reader, reader.StartCodeLength());
    }

    for (size_t pos = 0; pos < size;) {
        uint8_t header[kAdtsMaxHeaderSize];
        size_t offset = 0;
        if (!AdtsFindHeader(data + pos, size - pos, header, &offset))
            break;
        const AdtsFields fields = AdtsParseFields(header);
        AacMakeConfig(fields.profile, AacSamplingRate(fields.samplingIndex), fields.channels);
        const auto raw = AdtsRawData(data + pos, size - pos);
        pos += raw.empty() ? offset + 1 : static_cast<size_t>(raw.data() + raw.size() - (data + pos));
    }

    EsBitReader bits(data, size);
    try {
        for (;;) {
            EsReadSe(bits);
            EsSkipScalingList(bits, 16);
        }
    } catch (BitstreamErr_t) {
    }
    return 0;
}
