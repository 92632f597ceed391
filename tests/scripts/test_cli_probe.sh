#!/usr/bin/env bash
# trelvio-cli probe against ffprobe on real files of the common containers:
# every file is made here with ffmpeg, probed with "probe --json", and each
# property is compared with what ffprobe reports. A damaged and a non-media
# file must be named on standard error with exit status 1 while the others
# are still printed.
set -euo pipefail

CLI="${TRELVIO_BIN_DIR:?set TRELVIO_BIN_DIR to the src folder of the build}/trelvio-cli"
[[ -x "$CLI" ]] || { echo "missing $CLI" >&2; exit 1; }
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null && command -v python3 >/dev/null || {
    echo "ffmpeg, ffprobe and python3 are needed" >&2; exit 1; }

WORK="$(mktemp -d "${TMPDIR:-/tmp}/trelvio-probe-XXXXXX")"
[[ -n "${KEEP_PROBE_WORK:-}" ]] || trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 runtime

ff() { ffmpeg -nostdin -y -v error "$@"; }
V="testsrc2=size=320x240:rate=25:duration=1"
V30="testsrc2=size=320x240:rate=30:duration=1"
A="sine=frequency=440:sample_rate=44100:duration=1"
A48="sine=frequency=440:sample_rate=48000:duration=1"

# Video containers.
ff -f lavfi -i "$V30" -f lavfi -i "$A48" -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
   -c:a aac -ac 2 -metadata "com.apple.quicktime.make=Phone" phone_plain.mov
# A phone records sideways and stores a 90-degree display matrix in the
# video track header; write it the way phones do.
python3 - phone_plain.mov phone.mov <<'EOF'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
i = d.find(b'tkhd')
off = i - 4 + (48 if d[i + 4] == 0 else 60)
assert struct.unpack('>9i', d[off:off + 36]) == (0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000)
height = struct.unpack('>I', d[off + 40:off + 44])[0]
struct.pack_into('>9i', d, off, 0, 0x10000, 0, -0x10000, 0, 0, height, 0, 0x40000000)
open(sys.argv[2], 'wb').write(d)
EOF
ff -f lavfi -i "$V" -f lavfi -i "$A" -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 128k old.avi
ff -f lavfi -i "$V" -f lavfi -i "$A48" -c:v mpeg1video -b:v 1M -c:a mp2 -f mpeg program1.mpg
ff -f lavfi -i "testsrc=size=720x576:rate=25:duration=1" -f lavfi -i "$A48" -vf setsar=16/15 \
   -c:v mpeg2video -b:v 2M -c:a ac3 -f vob program2.vob
ff -f lavfi -i "$V" -f lavfi -i "$A48" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 300k \
   -c:a libopus -b:a 64k clip.webm
ff -f lavfi -i "$V" -f lavfi -i "$A48" -c:v libx264 -preset ultrafast -c:a aac \
   -f mpegts -output_ts_offset 10 segment.ts

# Audio of every common container.
ff -f lavfi -i "$A" -c:a libmp3lame -b:a 128k -metadata title="A song" -metadata artist="Someone" song.mp3
ff -f lavfi -i "$A" -c:a aac -b:a 96k song.m4a
ff -f lavfi -i "$A" -c:a flac song.flac
ff -f lavfi -i "$A" -c:a pcm_s16le song.wav
ff -f lavfi -i "$A" -c:a libvorbis -metadata title="Ogg title" song.ogg
ff -f lavfi -i "$A48" -c:a libopus -b:a 64k song.opus
ff -f lavfi -i "$A" -c:a wmav2 -b:a 64k song.wma
ff -f lavfi -i "$A48" -c:a ac3 -b:a 192k song.ac3
ff -f lavfi -i "$A" -c:a pcm_s16be song.aiff

# A name with spaces, quotes, a leading dash and a colon.
ODD="-odd name 'single' \"double\": part.mp3"
cp song.mp3 "./$ODD"

# Damaged (an MP4 cut before its index) and not media at all.
ff -f lavfi -i "$V" -c:v libx264 -preset ultrafast whole.mp4
head -c "$(( $(stat -c %s whole.mp4) / 3 ))" whole.mp4 > damaged.mp4
echo "This is plain text, not a video." > notes.mkv

GOOD=(phone.mov old.avi program1.mpg program2.vob clip.webm segment.ts
      song.mp3 song.m4a song.flac song.wav song.ogg song.opus song.wma song.ac3 song.aiff "$ODD")

for f in "${GOOD[@]}"; do
    ffprobe -v error -of json -show_format -show_streams "file:$f" > "$f.ffprobe.json"
done

set +e
"$CLI" probe --json -- "${GOOD[0]}" damaged.mp4 "${GOOD[@]:1}" notes.mkv > probe.out 2> probe.err
status=$?
set -e

fail=0
if [[ $status -ne 1 ]]; then
    echo "FAIL: exit status $status, expected 1 with a damaged and a non-media file" >&2; fail=1
fi
for bad in damaged.mp4 notes.mkv; do
    if ! grep -q "\"$bad\"" probe.err; then
        echo "FAIL: no error naming $bad on standard error:" >&2; cat probe.err >&2; fail=1
    fi
done
if grep -q '"damaged.mp4".*damaged or incomplete' probe.err; then :; else
    echo "FAIL: the damaged file is not reported as damaged:" >&2; cat probe.err >&2; fail=1
fi

python3 - "$WORK" "${GOOD[@]}" <<'EOF' || fail=1
import json, os, sys
from fractions import Fraction

work, names = sys.argv[1], sys.argv[2:]
objs = [json.loads(line) for line in open(os.path.join(work, 'probe.out')) if line.strip()]
by_path = {os.path.basename(o['filePath']): o for o in objs}
errors = []

def check(name, what, got, want, tol=None):
    if tol is None:
        ok = got == want
    else:
        ok = abs(float(got) - float(want)) <= tol
    if not ok:
        errors.append(f'{name}: {what}: trelvio {got!r}, ffprobe {want!r}')

def ratio(text):
    num, den = text.split(':')
    return int(num), int(den)

if len(objs) != len(names):
    errors.append(f'{len(objs)} objects printed for {len(names)} good files')

for name in names:
    o = by_path.get(name)
    if o is None:
        errors.append(f'{name}: not printed')
        continue
    ref = json.load(open(os.path.join(work, name + '.ffprobe.json')))
    fmt, streams = ref['format'], ref['streams']
    video = [s for s in streams if s['codec_type'] == 'video' and not s['disposition'].get('attached_pic')]
    audio = [s for s in streams if s['codec_type'] == 'audio']
    check(name, 'formatName', o['formatName'], fmt['format_name'])
    check(name, 'streamCount', o['streamCount'], fmt['nb_streams'])
    check(name, 'duration', o['duration'], fmt['duration'], 1e-6)
    check(name, 'startTime', o['startTime'], fmt.get('start_time', 0), 1e-6)
    if 'bit_rate' in fmt:
        check(name, 'bitrate', o['bitrate'], int(fmt['bit_rate']))
    tags = fmt.get('tags', {})
    if not tags and not video and audio:
        tags = audio[0].get('tags', {})  # Ogg and Opus comments live on the stream
    check(name, 'metaData', o['metaData'], tags)
    check(name, 'mediaType', o['mediaType'], 0 if video else 1)
    if video:
        v = video[0]
        rot = 0
        for sd in v.get('side_data_list', []):
            if 'rotation' in sd:
                rot = (-int(sd['rotation'])) % 360
        check(name, 'rotation', o['rotation'], rot)
        w, h = v['width'], v['height']
        sar = ratio(v['sample_aspect_ratio']) if v.get('sample_aspect_ratio', 'N/A') != 'N/A' else None
        dar = ratio(v['display_aspect_ratio']) if v.get('display_aspect_ratio', 'N/A') != 'N/A' else None
        if dar is None:
            f = Fraction(w, h); dar = (f.numerator, f.denominator); sar = (0, 1)
        if rot in (90, 270):
            w, h = h, w
            dar = (dar[1], dar[0])
            sar = (sar[1], sar[0]) if sar[0] else sar
        check(name, 'pixWidth', o['pixWidth'], w)
        check(name, 'pixHeight', o['pixHeight'], h)
        check(name, 'display_aspect_ratio', ratio(o['display_aspect_ratio']), dar)
        check(name, 'sample_aspect_ratio', ratio(o['sample_aspect_ratio']), sar)
        fr = v['avg_frame_rate'] if v['avg_frame_rate'] not in ('0/0', '0/1') else v['r_frame_rate']
        check(name, 'videoFps', o['videoFps'], float(Fraction(fr)), 1e-3)
        check(name, 'videoCodecName', o['videoCodecName'], v['codec_name'])
        check(name, 'pixfmtName', o['pixfmtName'], v.get('pix_fmt', ''))
        if 'duration' in v:
            check(name, 'videoDuration', o['videoDuration'], v['duration'], 1e-6)
        # A stated rate above the whole file's average (MPEG video's "variable"
        # marker, Vorbis's nominal rate) is replaced by a computed one.
        if 'bit_rate' in v and ('bit_rate' not in fmt or int(v['bit_rate']) <= int(fmt['bit_rate'])):
            check(name, 'videoBitrate', o['videoBitrate'], int(v['bit_rate']))
        elif not 0 < o['videoBitrate'] <= int(fmt.get('bit_rate', o['videoBitrate'])):
            errors.append(f'{name}: no sensible video bit rate computed: {o["videoBitrate"]}')
        check(name, 'videoTrack', o['videoTrack'],
              {'pixWidth': w, 'pixHeight': h, 'display_aspect_ratio': o['display_aspect_ratio']})
    else:
        check(name, 'videoTrack', o['videoTrack'], None)
        check(name, 'videoCodecName', o['videoCodecName'], '')
    if audio:
        a = audio[0]
        check(name, 'audioCodecName', o['audioCodecName'], a['codec_name'])
        check(name, 'audioSamplerate', o['audioSamplerate'], int(a['sample_rate']))
        check(name, 'audioChannels', o['audioChannels'], a['channels'])
        check(name, 'audioSampleFmt', o['audioSampleFmt'], a['sample_fmt'])
        if 'duration' in a:
            check(name, 'audioDuration', o['audioDuration'], a['duration'], 1e-6)
        # A stated rate above the whole file's average (MPEG video's "variable"
        # marker, Vorbis's nominal rate) is replaced by a computed one.
        if 'bit_rate' in a and ('bit_rate' not in fmt or int(a['bit_rate']) <= int(fmt['bit_rate'])):
            check(name, 'audioBitrate', o['audioBitrate'], int(a['bit_rate']))
        elif not 0 < o['audioBitrate'] <= int(fmt.get('bit_rate', o['audioBitrate'])):
            errors.append(f'{name}: no sensible audio bit rate computed: {o["audioBitrate"]}')

for e in errors:
    print('FAIL:', e, file=sys.stderr)
print(f'{len(names)} files compared with ffprobe, {len(errors)} differences')
sys.exit(1 if errors else 0)
EOF

# Plain text output names each file and its properties.
"$CLI" probe -- "$ODD" > text.out
grep -qF -- "$ODD" text.out || { echo "FAIL: text output does not name the file" >&2; fail=1; }
grep -q '^  audioCodecName  *mp3$' text.out || { echo "FAIL: text output lacks the audio codec" >&2; fail=1; }
# A word starting with '-' before "--" is an option, and an unknown one is refused.
set +e
"$CLI" probe --bogus song.mp3 > /dev/null 2>&1; [[ $? -eq 2 ]] || { echo "FAIL: unknown option accepted" >&2; fail=1; }
set -e

[[ $fail -eq 0 ]] && echo "PASS: trelvio-cli probe agrees with ffprobe"
exit $fail
