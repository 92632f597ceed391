#!/usr/bin/env bash
# Overhead of the conversion engine over plain ffmpeg: the same six clips
# converted with the default profile by "trelvio-cli convert --jobs 2" and
# by running the argument lists that "--dry-run" prints directly, two at a
# time. Both ways run in alternating rounds in this one process; the figure
# is the ratio of their best rounds.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TRELVIO_BUILD_DIR:-$top/build}"
CLI="$build/src/trelvio-cli"
[[ -x "$CLI" ]] || { echo "missing $CLI" >&2; exit 1; }

WORK="$(mktemp -d "${TMPDIR:-/tmp}/trelvio-bench-convert-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" \
       XDG_CACHE_HOME="$WORK/cache" XDG_STATE_HOME="$WORK/state" XDG_RUNTIME_DIR="$WORK/runtime" \
       TMPDIR="$WORK/tmp" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$TMPDIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"

clips=()
for i in 1 2 3 4 5 6; do
    ffmpeg -nostdin -y -v error -f lavfi -i "testsrc2=size=640x360:rate=25:duration=4" \
        -f lavfi -i "sine=frequency=$((300 + 50 * i)):sample_rate=44100:duration=4" \
        -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "clip$i.mp4"
    clips+=("clip$i.mp4")
done
# The default profile (H.264 and AAC in MP4) at 960*540, so that a round
# takes some seconds and the start of the program is measured against real
# work.
OPTS=(--resolution 960*540 --video-bitrate 1500)

python3 - "$CLI" "${#OPTS[@]}" "${OPTS[@]}" "${clips[@]}" <<'PY'
import os, shutil, subprocess, sys, time
cli = sys.argv[1]
nopts = int(sys.argv[2])
opts = sys.argv[3:3 + nopts]
clips = sys.argv[3 + nopts:]

def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)

def run_cli():
    fresh('out-cli')
    t = time.monotonic()
    subprocess.run([cli, 'convert', '--jobs', '2', *opts, '--video-dir', 'out-cli', *clips],
                   check=True, stdout=subprocess.DEVNULL)
    return time.monotonic() - t

def run_direct():
    fresh('out-direct')
    listing = subprocess.run([cli, 'convert', '--dry-run', *opts, '--video-dir', 'out-direct', *clips],
                             check=True, capture_output=True, text=True).stdout
    jobs = [j.split('\n') for j in listing.rstrip('\n').split('\n\n')]
    assert len(jobs) == len(clips)
    t = time.monotonic()
    running, pending = [], list(jobs)
    while pending or running:
        while pending and len(running) < 2:
            running.append(subprocess.Popen(pending.pop(0), stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        # Start the next as soon as either one ends, as the queue does.
        while True:
            done = [p for p in running if p.poll() is not None]
            if done:
                break
            time.sleep(0.005)
        for p in done:
            if p.returncode != 0:
                raise SystemExit('ffmpeg failed: %d' % p.returncode)
            running.remove(p)
    return time.monotonic() - t

run_direct()   # warm the caches once
# Other work on the machine only ever adds time, so each way's best round
# is its figure; the order alternates so neither always runs first.
cli_times, direct_times = [], []
for r in range(5):
    if r % 2 == 0:
        cli_times.append(run_cli()); direct_times.append(run_direct())
    else:
        direct_times.append(run_direct()); cli_times.append(run_cli())
    print('round %d: cli %.2f s, direct %.2f s' % (r + 1, cli_times[-1], direct_times[-1]), file=sys.stderr)
print('FIGURE convert_overhead %.3f x target <= 1.03' % (min(cli_times) / min(direct_times)))
PY
