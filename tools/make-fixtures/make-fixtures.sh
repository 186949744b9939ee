#!/usr/bin/env bash
# Makes the stream fixtures in tests/fixtures/stream: what the box sends on the audio/video connection.
# - video.264: 1.6 s of 720x288 field pictures at 50 a second (x264 baseline, an IDR every 32 pictures with
#   its parameter sets, no scene cut, slices of at most about 1900 bytes so that every NAL unit fits one
#   record), the field-pair SEI in its own NAL unit before the first IDR, 4-byte start codes;
# - audio.aac: AAC-LC ADTS frames, 32000 Hz stereo;
# - records.txt: the records in sending order with their timestamps; units.txt: the access units a
#   receiver hands on, from ffprobe's parsing of video.264.
# Needs ffmpeg, ffprobe, x264 and the stream-fixture tool (cmake --build --preset release).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="${STREAM_FIXTURE:-$root/build/release/bin/stream-fixture}"
out="$root/tests/fixtures/stream"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
mkdir -p "$out"

ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "testsrc2=size=720x288:rate=50" -frames:v 80 \
  -pix_fmt yuv420p -f yuv4mpegpipe - |
  x264 --quiet --no-progress --threads 1 --demuxer y4m --profile baseline --keyint 32 --min-keyint 32 \
    --scenecut 0 --slice-max-size 1900 --bitrate 1000 -o "$work/encoded.264" - 2>/dev/null
"$tool" video "$work/encoded.264" "$out/video.264"

ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=32000:duration=1.6" \
  -ac 2 -c:a aac -profile:a aac_low -b:a 48k -f adts "$out/audio.aac"

ffprobe -v error -f h264 -show_entries packet=pos,size -of compact=p=0 "$out/video.264" >"$work/packets"
"$tool" index "$out/video.264" "$out/audio.aac" "$work/packets" "$out/records.txt" "$out/units.txt"
