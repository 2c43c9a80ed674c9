#!/usr/bin/env python3
"""Checks the built module inside Ardour 7, headless, as the CTest "ardour" group.

  scan     Ardour's VST 2 scanner indexes the module; its cache entry is checked.
  session  A session plays a known programme through Vellicor: one snapshot per mode.
  render   Ardour's export of one mode's snapshot equals vellicor-render's, bit for bit.
  state    A mode saved with the session comes back from the chunk alone on reopening.

Every step works in its own folder and gives Ardour private configuration and cache
folders, so nothing of the user's set-up is read or changed. The later steps use the
scan step's cache and module folder, read-only.
"""
import argparse
import array
import base64
import math
import os
import shutil
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

SCANNER = "/usr/lib/ardour7/ardour-vst-scanner"
LUA = "ardour7-lua"
EXPORT = "ardour7-export"
HERE = os.path.dirname(os.path.abspath(__file__))

MODES = ["Out24", "Out16", "Peaks", "Slew", "Subs", "Mono", "Side", "Vinyl", "Aurat",
         "MonoRat", "MonoLat", "Phone", "Cans A", "Cans B", "Cans C", "Cans D", "V Trick"]
UNIQUE_ID = int.from_bytes(b"vlcj", "big")
RATE = 48000
FRAMES = 100000  # not a whole number of Ardour's 1024-frame cycles
SESSION = "vellicor"
TIMEOUT = 30  # seconds for one run of an Ardour program; a run takes about 2
ATTEMPTS = 4


class CheckFailed(Exception):
    pass


def snapshot_name(mode):
    # Prefixed: a snapshot named like a session folder ("peaks") does not load.
    return "monitor-" + mode.lower().replace(" ", "-")


def monitor_value(mode):
    # Mode m covers [m, m + 1) / 16.999 of the range; m / 16 lies inside it, exactly.
    return MODES.index(mode) / 16


def require_ardour():
    missing = [p for p in (SCANNER, shutil.which(LUA), shutil.which(EXPORT))
               if not p or not os.path.exists(p)]
    if missing:
        raise CheckFailed("Ardour 7 is not installed (scripts/install-deps.sh installs it as "
                          "root: apt-get install --no-install-recommends ardour)")


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def ardour_env(work, scan):
    """Private configuration; the plug-in cache copied from the scan step."""
    config, cache = os.path.join(work, "config"), os.path.join(work, "cache")
    shutil.rmtree(cache, ignore_errors=True)
    shutil.copytree(os.path.join(scan, "cache"), cache)
    scripts = os.path.join(config, "ardour7", "scripts")
    os.makedirs(scripts, exist_ok=True)
    shutil.copy(os.path.join(HERE, "programme_player.lua"), scripts)
    env = dict(os.environ, XDG_CONFIG_HOME=config, XDG_CACHE_HOME=cache,
               LXVST_PATH=os.path.join(scan, "vst"))
    env.pop("VST_PATH", None)
    return env


def run(command, env, log, prepare=None):
    """Runs an Ardour program with its output in LOG and returns that output.

    Ardour 7.3's headless programs die of a signal (or, rarely, hang) in a few runs out of
    a hundred on a busy machine, with or without Vellicor in the session. Such a run is
    tried again, PREPARE first setting up its files afresh; any other failure stands.
    """
    name = os.path.basename(command[0])
    for attempt in range(1, ATTEMPTS + 1):
        if prepare:
            prepare()
        with open(log, "w") as out:
            try:
                status = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT, timeout=TIMEOUT).returncode
            except subprocess.TimeoutExpired:
                status = None
        with open(log, errors="replace") as f:
            text = f.read()
        if status == 0:
            return text
        if status is not None and status > 0:
            raise CheckFailed("%s failed (exit status %d):\n%s" % (name, status, text[-3000:]))
        what = ("hung for %d s" % TIMEOUT if status is None
                else "died of signal %d" % -status)
        last = text.strip().splitlines()[-1:] or [""]
        print("%s %s (attempt %d of %d): %s" % (name, what, attempt, ATTEMPTS, last[0]))
    raise CheckFailed("%s %s in every one of %d attempts:\n%s" % (name, what, ATTEMPTS,
                                                                 text[-3000:]))


# --- audio files: stereo 32-bit float WAV ---

def write_wav(path, interleaved):
    data = interleaved.tobytes()
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<IHHIIHH", 16, 3, 2, RATE, RATE * 8, 8, 32))
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def read_wav(path, channels):
    """The samples of a 32-bit float WAV at RATE with CHANNELS channels, interleaved."""
    if not os.path.exists(path):
        raise CheckFailed("%s was not written" % path)
    with open(path, "rb") as f:
        d = f.read()
    if d[:4] != b"RIFF" or d[8:12] != b"WAVE":
        raise CheckFailed("%s is not a WAV file" % path)
    fmt = data = None
    pos = 12
    while pos + 8 <= len(d):
        chunk, size = d[pos:pos + 4], struct.unpack("<I", d[pos + 4:pos + 8])[0]
        if chunk == b"fmt ":
            fmt = struct.unpack("<HHIIHH", d[pos + 8:pos + 24])
        elif chunk == b"data":
            data = d[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    if not fmt or data is None:
        raise CheckFailed("%s has no format or no data" % path)
    tag, count, rate, bits = fmt[0], fmt[1], fmt[2], fmt[5]
    if tag not in (3, 0xFFFE) or bits != 32 or count != channels or rate != RATE:
        raise CheckFailed("%s: format %#x, %d channels, %d Hz, %d bits; expected 32-bit "
                          "float, %d channels, %d Hz" % (path, tag, count, rate, bits,
                                                         channels, RATE))
    samples = array.array("f")
    samples.frombytes(data)
    return samples


def programme():
    """A known stereo programme: bass, tones in the band-pass modes' bands, noise and
    decaying bursts, different on the two sides and never exactly silent."""
    out = array.array("f", bytes(8 * FRAMES))
    noise = 0x2545F491
    for n in range(FRAMES):
        t = n / RATE
        noise = (noise * 1664525 + 1013904223) & 0xFFFFFFFF
        hiss = noise / 2147483648.0 - 1.0
        burst = 0.4 * math.exp(-(n % 12000) / 400.0) * math.sin(2 * math.pi * 3000 * t)
        out[2 * n] = (0.3 * math.sin(2 * math.pi * 55 * t) + 0.15 * math.sin(2 * math.pi * 1650 * t)
                      + 0.08 * math.sin(2 * math.pi * 5500 * t + 0.5) + 0.08 * hiss + burst)
        out[2 * n + 1] = (0.25 * math.sin(2 * math.pi * 82.5 * t + 1.0)
                          + 0.15 * math.sin(2 * math.pi * 1700 * t)
                          + 0.06 * math.sin(2 * math.pi * 7000 * t) - 0.06 * hiss - burst)
    # The effect replaces near-silence with its own noise, which no two hosts share.
    quiet = [i for i, v in enumerate(out) if abs(v) < 1e-30]
    if quiet:
        raise CheckFailed("the programme is silent at sample %d" % quiet[0])
    return out


def compare(expected_path, actual_path, what):
    expected, actual = read_wav(expected_path, 2), read_wav(actual_path, 2)
    if len(actual) != len(expected):
        raise CheckFailed("%s: %d frames, expected %d" % (what, len(actual) // 2,
                                                        len(expected) // 2))
    if actual.tobytes() == expected.tobytes():
        return
    differing = [i for i in range(len(expected))
                 if struct.pack("<f", expected[i]) != struct.pack("<f", actual[i])]
    first = differing[0]
    worst = max(abs(expected[i] - actual[i]) for i in differing)
    raise CheckFailed("%s: %d of %d samples differ; first at frame %d %s: %.9g, expected "
                      "%.9g; largest difference %.3g" % (
                          what, len(differing), len(expected), first // 2,
                          "left" if first % 2 == 0 else "right", actual[first],
                          expected[first], worst))


# --- session files ---

def add_session_range(snapshot_file):
    """Sets the session range, which ardour7-export exports, to the programme's region.

    Ardour's Lua cannot set it, and adding a region in a script leaves it unset.
    """
    tree = ET.parse(snapshot_file)
    session = tree.getroot()
    region = session.find("./Playlists/Playlist/Region")
    length, at = region.get("length").split("@")  # "a<superclock length>@a<position>"
    start = int(at.lstrip("a"))
    end = start + int(length.lstrip("a"))
    locations = session.find("Locations")
    for old in locations.findall("Location"):
        if "IsSessionRange" in old.get("flags", ""):
            locations.remove(old)
    # The saved id-counter can lie below ids already in the file.
    next_id = 1 + max([int(e.get("id")) for e in session.iter() if e.get("id", "").isdigit()]
                      + [int(session.get("id-counter"))])
    session.set("id-counter", str(next_id + 1))
    ET.SubElement(locations, "Location", {
        "id": str(next_id), "name": "session", "start": "a%d" % start, "end": "a%d" % end,
        "flags": "IsSessionRange", "locked": "0", "timestamp": "0", "cue": "0"})
    tree.write(snapshot_file, encoding="UTF-8", xml_declaration=True)


def vellicor_state(tree):
    """The saved chunk and Monitor control of the one Vellicor in a snapshot."""
    found = [p for p in tree.iter("Processor") if p.get("type") == "lxvst"]
    if len(found) != 1 or found[0].get("unique-id") != str(UNIQUE_ID):
        raise CheckFailed("the snapshot does not hold exactly one Vellicor")
    chunk = found[0].find("lxvst/chunk")
    control = [c for c in found[0].iter("Controllable") if c.get("name") == "Monitor"]
    if chunk is None or len(control) != 1:
        raise CheckFailed("the snapshot has no chunk or no Monitor control for Vellicor")
    return chunk, control[0]


def make_session(work, scan, snapshots):
    """Writes the programme and a session with the given {snapshot: value} in WORK."""
    env = ardour_env(work, scan)
    samples = programme()
    write_wav(os.path.join(work, "programme.wav"), samples)
    raw = os.path.join(work, "programme.f32")
    with open(raw, "wb") as f:
        f.write(samples.tobytes())
    folder = os.path.join(work, "session")
    run([LUA, os.path.join(HERE, "make_session.lua"), folder, SESSION, raw, str(FRAMES)]
        + ["%s=%r" % item for item in snapshots.items()], env,
        os.path.join(work, "make_session.log"),
        prepare=lambda: shutil.rmtree(folder, ignore_errors=True))

    # What the track plays must be the programme itself: no conversion, offset or fade.
    for side, channel in (("L", 0), ("R", 1)):
        path = os.path.join(folder, "interchange", "session", "audiofiles",
                            "programme%%%s.wav" % side)
        if read_wav(path, 1).tobytes() != samples[channel::2].tobytes():
            raise CheckFailed("Ardour's copy of the programme's %s channel differs from it"
                              % side)
    for snapshot in snapshots:
        add_session_range(os.path.join(folder, snapshot + ".ardour"))
    return env, folder


def export(env, folder, snapshot, output, log, prepare=None):
    def fresh():
        if os.path.exists(output):
            os.remove(output)
        if prepare:
            prepare()
    run([EXPORT, "--bitdepth", "float", "--output", output, folder, snapshot], env, log, fresh)


def render(renderer, mode, programme_wav, output, log):
    with open(log, "w") as out:
        status = subprocess.run([renderer, "--quiet", "--mode", mode, programme_wav, output],
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                timeout=TIMEOUT).returncode
    if status != 0:
        raise CheckFailed("vellicor-render failed (%d); see %s" % (status, log))


# --- the steps ---

def step_scan(args):
    require_ardour()
    work = fresh_folder(args.work)
    vst = fresh_folder(os.path.join(work, "vst"))
    module = os.path.join(vst, "Vellicor.so")
    shutil.copyfile(args.module, module)
    # Ardour takes a cache entry only if it is dated later than the module, and the
    # scanner dates it with the current whole second: so the copy is dated a second back.
    whole = int(time.time()) - 1
    os.utime(module, (whole, whole))
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_CACHE_HOME=os.path.join(work, "cache"), LXVST_PATH=vst,
               LD_LIBRARY_PATH=os.path.dirname(SCANNER))
    # It exits 0 whether or not it could load the module: what it wrote is the result.
    log = run([SCANNER, "--force", "--verbose", module], env, os.path.join(work, "scan.log"))
    cache = os.path.join(work, "cache", "ardour7", "vst")
    entries = sorted(os.listdir(cache)) if os.path.isdir(cache) else []
    if len(entries) != 1 or not entries[0].endswith(".v2i"):
        raise CheckFailed("the scanner recorded no plug-in (files: %s); its output:\n%s"
                          % (entries, log[-2000:]))
    entry = os.path.join(cache, entries[0])
    if os.stat(entry).st_mtime <= os.stat(module).st_mtime:
        raise CheckFailed("the cache entry is not dated after the module: Ardour would skip it")
    root = ET.parse(entry).getroot()
    infos = root.findall("VST2Info")
    if root.get("binary") != module or len(infos) != 1:
        raise CheckFailed("the cache entry is for %s with %d plug-ins"
                          % (root.get("binary"), len(infos)))
    expected = {"name": "Vellicor", "creator": "quillotone", "id": str(UNIQUE_ID),
                "category": "Effect", "n_inputs": "2", "n_outputs": "2",
                "n_midi_inputs": "0", "n_midi_outputs": "0", "is_instrument": "0",
                "can_process_replace": "1", "has_editor": "0"}
    def shown(key, value):  # the unique ID also as its four characters
        if key == "id" and value and value.isdigit() and int(value) < 1 << 32:
            return "%s ('%s')" % (value, int(value).to_bytes(4, "big").decode("latin-1"))
        return repr(value)
    wrong = ["%s=%s (expected %s)" % (k, shown(k, infos[0].get(k)), shown(k, v))
             for k, v in expected.items() if infos[0].get(k) != v]
    if wrong:
        raise CheckFailed("Ardour recorded " + ", ".join(wrong))
    print("Ardour's entry: " + " ".join('%s="%s"' % kv for kv in infos[0].attrib.items()))


def step_session(args):
    require_ardour()
    work = fresh_folder(args.work)
    make_session(work, args.scan, {snapshot_name(m): monitor_value(m) for m in args.modes})
    print("session with %d snapshots in %s" % (len(args.modes), work))


def step_render(args):
    require_ardour()
    work = fresh_folder(args.work)
    # A copy per test: Ardour may write into a session it opens.
    folder = os.path.join(work, "session")

    def copy_session():
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(os.path.join(args.session, "session"), folder)
    env = ardour_env(work, args.scan)
    ardour_wav, expected_wav = os.path.join(work, "ardour.wav"), os.path.join(work, "expected.wav")
    export(env, folder, snapshot_name(args.mode), ardour_wav, os.path.join(work, "export.log"),
           copy_session)
    render(args.renderer, args.mode, os.path.join(args.session, "programme.wav"), expected_wav,
           os.path.join(work, "render.log"))
    compare(expected_wav, ardour_wav, "%s: Ardour's export against vellicor-render" % args.mode)
    print("%s: Ardour's export equals vellicor-render's output (%d frames)" % (args.mode, FRAMES))


def step_state(args):
    require_ardour()
    work = fresh_folder(args.work)
    mode, value = args.mode, monitor_value(args.mode)
    if value == 0:
        raise CheckFailed("the state check needs a mode other than the default")
    env, folder = make_session(work, args.scan, {"saved": value})
    snapshot_file = os.path.join(folder, "saved.ardour")

    # Ardour saved the chunk Vellicor gave it: the parameter value as a 32-bit float.
    tree = ET.parse(snapshot_file)
    chunk, control = vellicor_state(tree)
    saved = base64.b64decode(chunk.text.strip())
    if saved != struct.pack("<f", value):
        raise CheckFailed("the saved chunk is %s, expected %s" % (
            saved.hex(), struct.pack("<f", value).hex()))
    # The control's value is set before the chunk on reopening; with it at the default,
    # only the chunk can bring the mode back.
    control.set("value", "0")
    tree.write(snapshot_file, encoding="UTF-8", xml_declaration=True)

    text = run([LUA, os.path.join(HERE, "read_monitor.lua"), folder, "saved"], env,
               os.path.join(work, "read_monitor.log"))
    reported = [float(line.split()[1]) for line in text.splitlines()
                if line.startswith("Monitor ")]
    if reported != [value]:
        raise CheckFailed("reopened, Vellicor reports Monitor %s; saved %r (%s)"
                          % (reported, value, mode))

    ardour_wav, expected_wav = os.path.join(work, "ardour.wav"), os.path.join(work, "expected.wav")
    export(env, folder, "saved", ardour_wav, os.path.join(work, "export.log"))
    render(args.renderer, mode, os.path.join(work, "programme.wav"), expected_wav,
           os.path.join(work, "render.log"))
    compare(expected_wav, ardour_wav, "reopened in %s: Ardour's export against vellicor-render"
            % mode)
    print("saved in %s, reopened in %s from the chunk alone" % (mode, mode))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    steps = parser.add_subparsers(dest="step", required=True)
    p = steps.add_parser("scan")
    p.add_argument("--work", required=True)
    p.add_argument("--module", required=True)
    p.set_defaults(run=step_scan)
    p = steps.add_parser("session")
    p.add_argument("--work", required=True)
    p.add_argument("--scan", required=True)
    p.add_argument("--modes", nargs="+", choices=MODES, required=True)
    p.set_defaults(run=step_session)
    for name, run_step in (("render", step_render), ("state", step_state)):
        p = steps.add_parser(name)
        p.add_argument("--work", required=True)
        p.add_argument("--scan", required=True)
        p.add_argument("--renderer", required=True)
        p.add_argument("--mode", choices=MODES, required=True)
        if name == "render":
            p.add_argument("--session", required=True)
        p.set_defaults(run=run_step)
    args = parser.parse_args()
    try:
        args.run(args)
    except CheckFailed as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
