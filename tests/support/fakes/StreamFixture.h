// Test support: the stream fixtures of tests/fixtures/stream (made by tools/make-fixtures) and the record
// format of the audio/video connection. A record is u8 type, u16 little-endian n, then n bytes; an audio or
// video body is a u32 the box fills with a running count, the u32 timestamp in ms and the payload.
#pragma once

#include "tests/support/ReadFile.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace streamfixture {

using ::readFile;

using Bytes = std::vector<uint8_t>;

inline void appendLe(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A record with a raw body of n bytes.
inline void appendRecord(Bytes& out, uint8_t type, const Bytes& body) {
    out.push_back(type);
    appendLe(out, static_cast<uint32_t>(body.size()), 2);
    out.insert(out.end(), body.begin(), body.end());
}

// An audio or video record: n = payload + 8.
inline void appendMediaRecord(Bytes& out, uint8_t type, uint32_t timestamp, const Bytes& payload,
                              uint32_t count = 0) {
    Bytes body;
    appendLe(body, count, 4);
    appendLe(body, timestamp, 4);
    body.insert(body.end(), payload.begin(), payload.end());
    appendRecord(out, type, body);
}

struct Record {
    bool video;
    uint32_t timestamp;
    Bytes payload; // one NAL unit without start code, or one ADTS frame
};

struct Unit {
    uint32_t timestamp; // of the record that completes the unit
    size_t firstNal;    // index among the video records
    size_t nalCount;
    std::string kind; // params, idr or picture
    Bytes media;      // the MediaUnit: timestamp, then each NAL unit behind 00 00 00 01
};

class Fixture {
public:
    explicit Fixture(const std::string& folder) {
        const Bytes video = readFile(folder + "/video.264");
        const Bytes audio = readFile(folder + "/audio.aac");
        std::ifstream records(folder + "/records.txt");
        for (std::string line; std::getline(records, line);) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            char kind = 0;
            Record record{};
            size_t offset = 0, length = 0;
            fields >> kind >> record.timestamp >> offset >> length;
            const Bytes& source = kind == 'v' ? video : audio;
            if (!fields || offset + length > source.size())
                throw std::runtime_error("bad line in records.txt: " + line);
            record.video = kind == 'v';
            record.payload.assign(source.begin() + offset, source.begin() + offset + length);
            if (record.video)
                videoNals_.push_back(records_.size());
            records_.push_back(std::move(record));
        }
        std::ifstream units(folder + "/units.txt");
        for (std::string line; std::getline(units, line);) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            Unit unit{};
            fields >> unit.timestamp >> unit.firstNal >> unit.nalCount >> unit.kind;
            if (!fields || unit.firstNal + unit.nalCount > videoNals_.size())
                throw std::runtime_error("bad line in units.txt: " + line);
            appendLe(unit.media, unit.timestamp, 4);
            for (size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
                const Bytes& nal = videoNal(i);
                unit.media.insert(unit.media.end(), {0, 0, 0, 1});
                unit.media.insert(unit.media.end(), nal.begin(), nal.end());
            }
            units_.push_back(std::move(unit));
        }
        if (records_.empty() || units_.empty())
            throw std::runtime_error("no stream fixture in " + folder);
    }

    const std::vector<Record>& records() const { return records_; }
    const std::vector<Unit>& units() const { return units_; }
    size_t videoNalCount() const { return videoNals_.size(); }
    const Bytes& videoNal(size_t i) const { return records_[videoNals_.at(i)].payload; }

    // The whole stream as the box sends it, with the record types of one stream generation.
    Bytes wire(uint8_t videoType = 15, uint8_t audioType = 10) const {
        Bytes out;
        uint32_t count = 0;
        for (const Record& r : records_)
            appendMediaRecord(out, r.video ? videoType : audioType, r.timestamp, r.payload, count++);
        return out;
    }

private:
    std::vector<Record> records_;
    std::vector<size_t> videoNals_;
    std::vector<Unit> units_;
};

#ifdef VELOQ_FIXTURES_DIR
inline const Fixture& fixture() {
    static const Fixture loaded(std::string(VELOQ_FIXTURES_DIR) + "/stream");
    return loaded;
}
#endif

} // namespace streamfixture
