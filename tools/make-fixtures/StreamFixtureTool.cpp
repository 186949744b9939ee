// stream-fixture: the steps of make-fixtures.sh that turn encoder output into what the box sends.
//
//   stream-fixture video <encoded.264> <video.264>
//     Drops the encoder's own SEI units, puts the field-pair SEI (payload type 224, one byte 1) in a NAL
//     unit of its own before the first IDR picture and writes every NAL unit behind a 4-byte start code.
//     Fails when a NAL unit is larger than one stream record can carry.
//   stream-fixture index <video.264> <audio.aac> <packets> <records.txt> <units.txt>
//     <packets>: ffprobe's access units of video.264, one "pos=P|size=S" line each. Writes the records
//     the box sends, interleaved by timestamp, and the access units a receiver hands on, with the
//     timestamp of the record that completes each (the last unit is never complete).
#include "media/Adts.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxRecordPayload = 2037; // record length n <= 2045, of which 8 bytes precede the payload
constexpr uint32_t kFirstTimestamp = 500000;
constexpr uint32_t kPictureMs = 20;    // 50 field pictures a second
constexpr uint32_t kAudioFrameMs = 32; // 1024 samples at 32000 Hz

struct Span {
    size_t offset; // first byte behind the start code
    size_t length;
};

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot read ") + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const char* path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error(std::string("cannot write ") + path);
}

std::vector<Span> splitNals(const std::vector<uint8_t>& stream) {
    std::vector<size_t> starts;
    for (size_t i = 0; i + 2 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1)
            starts.push_back(i + 3);
    }
    std::vector<Span> nals;
    for (size_t k = 0; k < starts.size(); ++k) {
        size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : stream.size();
        while (end > starts[k] && stream[end - 1] == 0)
            --end;
        if (end > starts[k])
            nals.push_back({starts[k], end - starts[k]});
    }
    return nals;
}

int makeVideo(const char* encodedPath, const char* videoPath) {
    const std::vector<uint8_t> encoded = readFile(encodedPath);
    static const uint8_t fieldPairSei[] = {0x06, 0xE0, 0x01, 0x01, 0x80};
    std::string out;
    auto put = [&out](const uint8_t* nal, size_t length) {
        out.append("\0\0\0\1", 4);
        out.append(reinterpret_cast<const char*>(nal), length);
    };
    bool marked = false;
    for (const Span& nal : splitNals(encoded)) {
        const uint8_t type = encoded[nal.offset] & 0x1F;
        if (nal.length > kMaxRecordPayload)
            throw std::runtime_error("a NAL unit of " + std::to_string(nal.length) + " bytes");
        if (type == 6)
            continue;
        if (!marked && (type == 7 || type == 5)) {
            put(fieldPairSei, sizeof fieldPairSei);
            marked = true;
        }
        put(&encoded[nal.offset], nal.length);
    }
    writeFile(videoPath, out);
    return 0;
}

std::vector<Span> splitAdts(const std::vector<uint8_t>& audio) {
    std::vector<Span> frames;
    for (size_t at = 0; at + 7 <= audio.size();) {
        if (audio[at] != 0xFF || (audio[at + 1] & 0xF6) != 0xF0)
            throw std::runtime_error("audio is not a run of ADTS frames");
        const size_t size = AdtsFrameSize(&audio[at]);
        if (size < 7 || at + size > audio.size() || size > kMaxRecordPayload)
            throw std::runtime_error("bad ADTS frame length");
        frames.push_back({at, size});
        at += size;
    }
    return frames;
}

// Each line "pos=P|size=S" (in any order of its fields) gives the start code offset of an access unit.
std::vector<size_t> readPacketOffsets(const char* path) {
    std::ifstream in(path);
    std::vector<size_t> offsets;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '|');) {
            if (field.rfind("pos=", 0) == 0)
                offsets.push_back(std::stoull(field.substr(4)));
        }
    }
    return offsets;
}

struct Unit {
    size_t first;
    size_t count;
    const char* kind;
};

int makeIndex(const char* videoPath, const char* audioPath, const char* packetsPath, const char* recordsPath,
              const char* unitsPath) {
    const std::vector<uint8_t> video = readFile(videoPath);
    const std::vector<Span> nals = splitNals(video);
    const std::vector<Span> frames = splitAdts(readFile(audioPath));
    const std::vector<size_t> packets = readPacketOffsets(packetsPath);
    auto nalType = [&](size_t i) { return video[nals[i].offset] & 0x1F; };

    // The picture index of every NAL unit, from the packet it starts in.
    std::vector<uint32_t> picture(nals.size());
    std::vector<size_t> packetFirst;
    for (size_t i = 0, k = 0; i < nals.size(); ++i) {
        const size_t codeAt = nals[i].offset - 4;
        if (k < packets.size() && packets[k] == codeAt) {
            packetFirst.push_back(i);
            ++k;
        }
        if (packetFirst.empty())
            throw std::runtime_error("the first packet does not begin at the first NAL unit");
        picture[i] = static_cast<uint32_t>(packetFirst.size() - 1);
    }
    if (packetFirst.size() != packets.size())
        throw std::runtime_error("a packet does not begin at a NAL unit");

    // Access units: each packet, with a leading run that holds parameter sets split off as its own unit.
    std::vector<Unit> units;
    for (size_t k = 0; k < packetFirst.size(); ++k) {
        const size_t begin = packetFirst[k];
        const size_t end = k + 1 < packetFirst.size() ? packetFirst[k + 1] : nals.size();
        size_t slice = begin;
        bool parameterSets = false;
        while (slice < end && nalType(slice) != 1 && nalType(slice) != 5) {
            parameterSets |= nalType(slice) == 7 || nalType(slice) == 8;
            ++slice;
        }
        if (parameterSets && slice < end) {
            units.push_back({begin, slice - begin, "params"});
            units.push_back({slice, end - slice, nalType(slice) == 5 ? "idr" : "picture"});
        } else {
            units.push_back({begin, end - begin, slice < end && nalType(slice) == 5 ? "idr" : "picture"});
        }
    }

    std::ostringstream records;
    records << "# The records of the stream in the order the box sends them: v = video (one NAL unit of "
               "video.264), a = audio (one ADTS frame of audio.aac).\n# kind timestamp offset length\n";
    for (size_t v = 0, a = 0; v < nals.size() || a < frames.size();) {
        const uint32_t videoTime = v < nals.size() ? kFirstTimestamp + picture[v] * kPictureMs : UINT32_MAX;
        const uint32_t audioTime =
            a < frames.size() ? kFirstTimestamp + uint32_t(a) * kAudioFrameMs : UINT32_MAX;
        if (videoTime <= audioTime) {
            records << "v " << videoTime << ' ' << nals[v].offset << ' ' << nals[v].length << '\n';
            ++v;
        } else {
            records << "a " << audioTime << ' ' << frames[a].offset << ' ' << frames[a].length << '\n';
            ++a;
        }
    }
    writeFile(recordsPath, records.str());

    std::ostringstream out;
    out << "# The access units a receiver hands on: video NAL units first .. first + count - 1 (counted "
           "in video.264), each behind 00 00 00 01,\n# with the timestamp of the NAL unit that completes "
           "it. The last unit is never complete.\n# timestamp first count kind\n";
    for (size_t u = 0; u + 1 < units.size(); ++u) {
        const uint32_t completedAt = kFirstTimestamp + picture[units[u + 1].first] * kPictureMs;
        out << completedAt << ' ' << units[u].first << ' ' << units[u].count << ' ' << units[u].kind << '\n';
    }
    writeFile(unitsPath, out.str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "video" && argc == 4)
            return makeVideo(argv[2], argv[3]);
        if (mode == "index" && argc == 7)
            return makeIndex(argv[2], argv[3], argv[4], argv[5], argv[6]);
        std::fprintf(stderr, "usage: stream-fixture video <encoded.264> <video.264>\n"
                             "       stream-fixture index <video.264> <audio.aac> <packets> <records.txt> "
                             "<units.txt>\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stream-fixture: %s\n", e.what());
        return 1;
    }
}
