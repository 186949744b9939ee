#!/usr/bin/env bash
# Makes a marked stream in the form of tests/fixtures/stream (video.264, audio.aac, records.txt, units.txt):
# what the box sends, with the same marks in its pictures and its sound, so that a recording of it can be
# measured by content.
# - Pictures: 50 a second, each with its number (counted over all segments from 0) in a band on top: rows
#   0 to 31 hold 16 blocks of width/16 pixels, block b white when bit b of the number is set, else black.
# - Sound: 32000 Hz stereo AAC-LC; every 25th picture (every 0.5 s) a 64 ms burst of 1 kHz under a raised
#   cosine begins with the picture, over noise 50 dB down (so that no two frames are alike).
# A stream that a box loops keeps its bursts 0.5 s apart across the seam when it holds a multiple of 25
# pictures that also lasts a whole number of audio frames (a multiple of 8 pictures): 400, for instance.
# Each segment is encoded on its own (x264 baseline, an IDR picture with its parameter sets every 32
# pictures, slices that fit one record) and the segments are joined: a segment of another size, or with
# other x264 options, changes the sequence parameter set there.
#
#   make-marked-stream.sh OUT_DIR WIDTHxHEIGHT:PICTURES[:X264_OPTION,...] ...
#
# Needs ffmpeg, ffprobe, x264 and the stream-fixture tool ($STREAM_FIXTURE, else the release build's).
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 OUT_DIR WIDTHxHEIGHT:PICTURES[:X264_OPTION,...] ..." >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/../.." && pwd)"
tool="${STREAM_FIXTURE:-$root/build/release/bin/stream-fixture}"
out=$1
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
mkdir -p "$out"

first=0
: >"$work/encoded.264"
for segment in "$@"; do
  IFS=: read -r size pictures options <<<"$segment"
  width=${size%x*}
  block=$((width / 16))
  band="drawbox=x=0:y=0:w=$width:h=32:color=black:t=fill"
  for bit in $(seq 0 15); do
    band="$band,drawbox=x=$((block * bit)):y=0:w=$block:h=32:color=white:t=fill"
    band="$band:enable='mod(floor((n+$first)/pow(2\,$bit))\,2)'"
  done
  ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "testsrc2=size=$size:rate=50,$band" \
    -frames:v "$pictures" -pix_fmt yuv420p -f yuv4mpegpipe - |
    x264 --quiet --no-progress --threads 1 --demuxer y4m --profile baseline --preset veryfast \
      --keyint 32 --min-keyint 32 --scenecut 0 --slice-max-size 1900 --bitrate 600 \
      ${options//,/ } -o "$work/segment.264" - 2>/dev/null
  cat "$work/segment.264" >>"$work/encoded.264"
  first=$((first + pictures))
done
"$tool" video "$work/encoded.264" "$out/video.264"

burst="0.7*sin(2*PI*1000*t)*0.5*(1-cos(2*PI*mod(t\,0.5)/0.064))"
sound="if(lt(mod(t\,0.5)\,0.064)\,$burst\,0)+0.003*(2*random(0)-1)"
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc='$sound|$sound':s=32000:d=$(awk "BEGIN { print $first / 50 }")" \
  -c:a aac -profile:a aac_low -b:a 48k -f adts "$out/audio.aac"

ffprobe -v error -f h264 -show_entries packet=pos,size -of compact=p=0 "$out/video.264" >"$work/packets"
"$tool" index "$out/video.264" "$out/audio.aac" "$work/packets" "$out/records.txt" "$out/units.txt"
