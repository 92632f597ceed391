#!/usr/bin/env bash
# trelvio-cli convert end to end: real conversions of lavfi clips with trim,
# crop and watermarks checked by ffprobe and by the pixels of a decoded
# frame, the --dry-run listing, exit statuses, awkward file names, and
# Ctrl-C leaving no partial output behind.
set -euo pipefail

CLI="${TRELVIO_BIN_DIR:?set TRELVIO_BIN_DIR to the src folder of the build}/trelvio-cli"
[[ -x "$CLI" ]] || { echo "missing $CLI" >&2; exit 1; }
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null && command -v python3 >/dev/null || {
    echo "ffmpeg, ffprobe and python3 are needed" >&2; exit 1; }

WORK="$(mktemp -d "${TMPDIR:-/tmp}/trelvio-convert-XXXXXX")"
[[ -n "${KEEP_CONVERT_WORK:-}" ]] || trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
# A private world: settings, default folders and temporary files stay here.
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" \
       XDG_CACHE_HOME="$WORK/cache" XDG_STATE_HOME="$WORK/state" XDG_RUNTIME_DIR="$WORK/runtime" \
       TMPDIR="$WORK/tmp" QT_QPA_PLATFORM=offscreen
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-session-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/no-system-bus"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$TMPDIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*" >&2; exit 1; }
ff() { ffmpeg -nostdin -y -v error "$@"; }
A="sine=frequency=440:sample_rate=44100"
# Options that make every conversion small and fast, whatever the default profile.
FAST=(--video-codec libx264 --video-bitrate 400 --fps 25 --resolution 320*240 --audio-codec aac --audio-bitrate 96 --sample-rate 44100)

# Sources.
ff -f lavfi -i "testsrc2=size=640x360:rate=25:duration=4" -f lavfi -i "$A:duration=4" \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest clip.mp4
# Black, with a white box exactly where the crop goes.
ff -f lavfi -i "color=c=black:s=640x360:r=25:d=3" -f lavfi -i "$A:duration=3" \
   -vf "drawbox=x=40:y=20:w=320:h=180:color=white:t=fill" \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest box.mp4
ff -f lavfi -i "color=c=black:s=320x240:r=25:d=2" -f lavfi -i "$A:duration=2" \
   -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest black.mp4
ff -f lavfi -i "color=c=red:s=64x64" -frames:v 1 red.png
printf 'not media' > broken.mp4

probe() { ffprobe -v error -select_streams v:0 -show_entries "$1" -of csv=p=0 "$2"; }
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
near() { python3 -c "import sys; sys.exit(0 if abs(float('$1') - float('$2')) <= float('$3') else 1)"; }
# Decodes the middle frame to PPM and answers questions about its pixels.
pixels() {
    local video="$1"; shift
    ff -ss 0.5 -i "$video" -frames:v 1 -f image2 -vcodec ppm "$WORK/frame.ppm"
    python3 - "$WORK/frame.ppm" "$@" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
fields, pos = [], 0
while len(fields) < 4:                      # P6 width height maxval
    while data[pos:pos + 1].isspace(): pos += 1
    end = pos
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[pos:end]); pos = end
pos += 1
w, h = int(fields[1]), int(fields[2])
px = data[pos:]
def at(x, y):
    i = (y * w + x) * 3
    return px[i], px[i + 1], px[i + 2]
def region(x0, y0, x1, y1):
    return [at(x, y) for y in range(y0, y1) for x in range(x0, x1)]
ok = True
for check in sys.argv[2:]:
    kind, coords = check.split(':')
    x0, y0, x1, y1 = map(int, coords.split(','))
    r = region(x0, y0, x1, y1)
    if kind == 'white':   good = all(min(p) > 200 for p in r)
    elif kind == 'black': good = all(max(p) < 40 for p in r)
    elif kind == 'red':   good = all(p[0] > 180 and p[1] < 80 and p[2] < 80 for p in r)
    elif kind == 'some-bright': good = any(min(p) > 180 for p in r)
    else: raise SystemExit('unknown check ' + kind)
    if not good:
        print('pixel check failed:', check, 'sample', r[len(r) // 2], file=sys.stderr); ok = False
print(w, h)
sys.exit(0 if ok else 1)
PY
}

# --- trim and crop -----------------------------------------------------------
# The crop is in source pixels and runs before the scaling: the white box,
# and only it, fills the 320x180 result.
"$CLI" convert "${FAST[@]}" --trim 1,2 --crop 40,20,320,180 --resolution 320*180 --aspect 1 \
    --video-dir out1 box.mp4 > out1.log || fail "trim+crop conversion: $(cat out1.log)"
res=(out1/box.*)
[[ -f "${res[0]}" ]] || fail "no output in out1"
[[ "$(probe stream=width,height "${res[0]}")" == "320,180" ]] || fail "size $(probe stream=width,height "${res[0]}")"
near "$(duration "${res[0]}")" 2.0 0.15 || fail "duration $(duration "${res[0]}")"
size="$(pixels "${res[0]}" white:4,4,316,176)" || fail "crop picture"
[[ "$size" == "320 180" ]] || fail "frame size $size"

# --- text watermark ----------------------------------------------------------
"$CLI" convert "${FAST[@]}" --watermark-text "XXXX" --watermark-position 4 --watermark-opacity 1 \
    --watermark-size 40 --resolution 320*240 --video-dir out2 black.mp4 > out2.log || fail "text watermark: $(cat out2.log)"
pixels out2/black.* some-bright:160,120,310,230 black:0,0,150,110 >/dev/null || fail "text watermark pixels"
# The overlay picture is gone after the run.
[[ -z "$(find "$TMPDIR" -name 'resultWaterMark*.png')" ]] || fail "overlay picture left behind"

# --- image watermark, with a crop after it ------------------------------------
"$CLI" convert "${FAST[@]}" --watermark-image red.png --watermark-position 0 --watermark-opacity 1 \
    --resolution 320*240 --video-dir out3 black.mp4 > out3.log || fail "image watermark: $(cat out3.log)"
pixels out3/black.* red:14,14,70,70 black:100,100,310,230 >/dev/null || fail "image watermark pixels"
"$CLI" convert "${FAST[@]}" --watermark-image red.png --watermark-position 0 --watermark-opacity 1 \
    --crop 0,0,160,120 --resolution 160*120 --aspect 1 --video-dir out4 black.mp4 > out4.log \
    || fail "image watermark with crop: $(cat out4.log)"
pixels out4/black.* red:14,14,70,70 black:90,90,155,115 >/dev/null || fail "image watermark + crop pixels"

# --- dry run -----------------------------------------------------------------
"$CLI" convert --dry-run "${FAST[@]}" --trim 0.5,2 --video-dir dry clip.mp4 box.mp4 > dry.txt || fail "dry run"
python3 - dry.txt "$WORK" <<'PY' || fail "dry-run listing: $(cat dry.txt)"
import sys, os
text = open(sys.argv[1]).read()
jobs = text.rstrip('\n').split('\n\n')
assert len(jobs) == 2, jobs
for job, name in zip(jobs, ['clip', 'box']):
    args = job.split('\n')
    assert os.path.basename(args[0]) == 'ffmpeg', args[0]
    i = args.index('-i')
    assert args[1:i] == ['-ss', '0.5000', '-t', '2.0000'], args[1:i]
    assert args[i + 1] == os.path.join(sys.argv[2], name + '.mp4'), args[i + 1]
    assert args[-2] == '-y' and args[-1].startswith(os.path.join(sys.argv[2], 'dry', name + '.')), args[-2:]
    assert args[args.index('-vcodec') + 1] == 'libx264'
PY
[[ -z "$(ls -A dry 2>/dev/null)" ]] || fail "dry run wrote files"
# Readable codec names go through the catalogue's codec map.
"$CLI" convert --dry-run --video-codec H.264 --audio-codec AAC --video-dir dry clip.mp4 > dry2.txt || fail "dry run 2"
grep -A1 -x -- "-vcodec" dry2.txt | grep -qx libx264 && grep -A1 -x -- "-acodec" dry2.txt | grep -qx aac \
    || fail "codec names: $(cat dry2.txt)"

# --- an audio file with the default audio profile --------------------------------
ff -f lavfi -i "$A:duration=2" -c:a aac song.m4a
"$CLI" convert --dry-run --audio-dir audio song.m4a > dry3.txt || fail "audio dry run"
grep -qx -- "-vn" dry3.txt && ! grep -qx -- "-vcodec" dry3.txt && tail -1 dry3.txt | grep -q "/audio/song\.m4a$" \
    || fail "audio arguments: $(cat dry3.txt)"
"$CLI" convert --audio-dir audio song.m4a > audio.log || fail "audio conversion: $(cat audio.log)"
[[ "$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 audio/song.m4a)" == "audio" ]] || fail "audio streams"
near "$(duration audio/song.m4a)" 2.0 0.15 || fail "audio duration"
# A watermark for a list that holds an audio file is ignored for that file.
"$CLI" convert --watermark-text X --audio-dir audio2 song.m4a > /dev/null 2> wm.err || fail "audio with watermark"
grep -q "no picture" wm.err && [[ -f audio2/song.m4a ]] || fail "audio with watermark: $(cat wm.err)"

# --- exit statuses -------------------------------------------------------------
set +e
"$CLI" convert --fps abc clip.mp4 > /dev/null 2> bad.err; rc=$?
set -e
[[ $rc -eq 2 ]] || fail "bad option value: status $rc"
grep -q -- "--fps" bad.err || fail "bad option message: $(cat bad.err)"
for bad in "--profile=NoSuchProfile" "--aspect 7" "--resolution 640x480" "--trim 1" "--jobs 0" "--frobnicate"; do
    set +e
    # shellcheck disable=SC2086
    "$CLI" convert $bad clip.mp4 > /dev/null 2> bad.err; rc=$?
    set -e
    [[ $rc -eq 2 ]] || fail "'$bad': status $rc"
    [[ -s bad.err ]] || fail "'$bad': no message"
done
"$CLI" convert --help | grep -q -- "--watermark-position" || fail "--help"
set +e
"$CLI" convert "${FAST[@]}" --crop 600,0,100,100 --video-dir outx clip.mp4 > /dev/null 2> crop.err; rc=$?
set -e
[[ $rc -eq 2 ]] || fail "crop outside the picture: status $rc"
[[ -z "$(ls -A outx 2>/dev/null)" ]] || fail "nothing may run after a bad option"

set +e
"$CLI" convert "${FAST[@]}" --video-codec no_such_encoder --video-dir out5 clip.mp4 > out5.log 2> out5.err; rc=$?
set -e
[[ $rc -eq 1 ]] || fail "failing job: status $rc"
grep -q "clip.mp4" out5.err && grep -q "no_such_encoder" out5.err || fail "failure report: $(cat out5.err)"
[[ -z "$(ls -A out5 2>/dev/null)" ]] || fail "failed job left $(ls out5)"

set +e
"$CLI" convert "${FAST[@]}" --video-dir out6 broken.mp4 black.mp4 > out6.log 2> out6.err; rc=$?
set -e
[[ $rc -eq 1 ]] || fail "unreadable file: status $rc"
grep -q "broken.mp4" out6.err || fail "unreadable file not named: $(cat out6.err)"
ls out6/black.* >/dev/null 2>&1 || fail "the readable file was not converted"

# --- awkward names -------------------------------------------------------------
mkdir names
cp black.mp4 "names/sp ace 'q\"uote.mp4"
cp black.mp4 "names/-dash.mp4"
cp black.mp4 "names/co:lon.mp4"
cp black.mp4 "names/[brackets],semi;.mp4"
cd names
"$CLI" convert "${FAST[@]}" --jobs 2 --video-dir ../out7 -- "sp ace 'q\"uote.mp4" -dash.mp4 co:lon.mp4 \
    "[brackets],semi;.mp4" > ../out7.log || fail "awkward names: $(cat ../out7.log)"
cd ..
for n in "sp ace 'q\"uote" "-dash" "co:lon" "[brackets],semi;"; do
    f=(out7/"$n".*)
    [[ -f "${f[0]}" ]] || fail "no output for $n: $(ls out7)"
    near "$(duration "${f[0]}")" 2.0 0.15 || fail "duration of $n"
done
# A name that is not UTF-8 cannot pass through the program's text arguments
# unchanged; it must fail cleanly and be named, not crash.
bad=$'names/bad\xff.mp4'
cp black.mp4 "$bad"
set +e
"$CLI" convert "${FAST[@]}" --video-dir out8 "$bad" > out8.log 2> out8.err; rc=$?
set -e
if [[ $rc -ne 0 ]]; then
    [[ $rc -eq 1 ]] && grep -q "bad" out8.err || fail "non-UTF-8 name: status $rc $(cat out8.err)"
fi

# --- Ctrl-C --------------------------------------------------------------------
# The ffmpeg found on PATH here reads its input in real time, so the
# conversion is still running when the signal comes.
mkdir slowbin
cat > slowbin/ffmpeg <<SH
#!/bin/sh
exec "$(command -v ffmpeg)" -re "\$@"
SH
chmod +x slowbin/ffmpeg
# First the program alone gets the signal, then, as from a terminal, the
# whole process group with the ffmpeg children.
for target in program group; do
    out="out9-$target"
    PATH="$WORK/slowbin:$PATH" setsid "$CLI" convert "${FAST[@]}" --watermark-text "X" --video-dir "$out" \
        clip.mp4 black.mp4 > "$out.log" 2> "$out.err" &
    cli=$!
    for _ in $(seq 100); do
        grep -q "Converting" "$out.log" 2>/dev/null && break
        sleep 0.1
    done
    grep -q "Converting" "$out.log" || fail "the conversion did not start: $(cat "$out.log" "$out.err")"
    if [[ $target == program ]]; then kill -INT $cli; else kill -INT -- -$cli; fi
    rc=0; wait $cli || rc=$?
    [[ $rc -eq 130 ]] || fail "Ctrl-C ($target): status $rc $(cat "$out.err")"
    [[ -z "$(ls -A "$out")" ]] || fail "partial output left ($target): $(ls "$out")"
    grep -q "Canceled" "$out.log" || fail "no Canceled line ($target): $(cat "$out.log")"
    [[ -z "$(find "$TMPDIR" -name 'resultWaterMark*.png')" ]] || fail "overlay picture left behind ($target)"
done
echo "ok"
