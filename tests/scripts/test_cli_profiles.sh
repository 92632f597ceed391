#!/usr/bin/env bash
# trelvio-cli profiles: the JSON listing has the three menu groups, each
# profile carries its title, extension, type and default codecs, the named
# profiles are where the program expects them, and the text listing shows
# the same groups in menu order.
set -euo pipefail

CLI="${TRELVIO_BIN_DIR:?set TRELVIO_BIN_DIR to the src folder of the build}/trelvio-cli"
[[ -x "$CLI" ]] || { echo "missing $CLI" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 1; }

WORK="$(mktemp -d "${TMPDIR:-/tmp}/trelvio-profiles-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
mkdir -m 700 "$WORK/runtime" "$WORK/home"

"$CLI" profiles --json >"$WORK/profiles.json"
"$CLI" profiles >"$WORK/profiles.txt"

python3 - "$WORK/profiles.json" "$WORK/profiles.txt" <<'PY'
import json, sys

doc = json.load(open(sys.argv[1]))
text = open(sys.argv[2]).read().splitlines()
groups = ["Devices", "Video Formats", "Audio Formats"]
assert sorted(doc) == sorted(groups), f"group keys: {sorted(doc)}"

titles = []
for group in groups:
    profiles = doc[group]
    assert isinstance(profiles, list) and profiles, f"{group} is empty"
    for p in profiles:
        for key, kind in (("title", str), ("ext", str), ("formattype", int), ("acodec", str),
                          ("aencoder", str), ("abitrate", (int, float)), ("samplerate", (int, float))):
            assert isinstance(p.get(key), kind), f"{group}: {p.get('title')}: {key} = {p.get(key)!r}"
        assert p["title"] and p["ext"] and not p["ext"].startswith("."), p
        assert p["aencoder"], f"{p['title']}: no audio encoder"
        audio = p["formattype"] == 4
        assert audio == (group == "Audio Formats"), f"{p['title']}: formattype {p['formattype']} in {group}"
        if not audio:
            for key in ("vcodec", "vencoder", "resolution"):
                assert isinstance(p.get(key), str) and p[key], f"{p['title']}: {key} = {p.get(key)!r}"
            assert p["framerate"] > 0 and p["vbitrate"] > 0, p
            assert p["resolution"].count("*") == 1, p
        else:
            assert "vcodec" not in p, f"{p['title']}: an audio profile lists a video codec"
        titles.append(p["title"])

assert len(titles) == len(set(titles)), "titles are unique"
by_title = {p["title"]: (g, p) for g in groups for p in doc[g]}
assert by_title["new iPhone"][0] == "Devices"
assert by_title["iBooks Author (m4v/m4a)"][0] == "Devices"
assert by_title["AAC Audio (m4a)"][0] == "Audio Formats"
assert by_title["AAC Audio (m4a)"][1]["ext"] == "m4a"
assert by_title["AAC Audio (m4a)"][1]["aencoder"] == "aac"

# The text listing: group headers in menu order, then one indented line per profile.
headers = [l for l in text if l and not l.startswith(" ")]
assert headers == groups, headers
lines = [l.strip() for l in text if l.startswith("  ")]
assert len(lines) == len(titles), (len(lines), len(titles))
for line, title in zip(lines, titles):
    assert line.startswith(title + " ["), (line, title)
print(f"{len(titles)} profiles in {len(groups)} groups")
PY

# Options it does not know are refused.
if "$CLI" profiles --bogus >/dev/null 2>"$WORK/err.txt"; then
    echo "an unknown option was accepted" >&2; exit 1
fi
grep -q "unknown option" "$WORK/err.txt"
echo "profiles: ok"
