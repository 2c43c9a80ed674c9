#!/usr/bin/env python3
"""Checks the built module and LV2 bundle inside Ardour 7, headless, as the CTest "ardour"
group.

  scan     Ardour's VST 2 scanner indexes the module; its cache entry is checked.
  session  A session plays a known programme through Vellicor, the VST module or (lv2,
           with --bundle) the LV2 plug-in: one snapshot per mode.
  render   Ardour's export of one mode's snapshot equals vellicor-render's, bit for bit.
  state    A mode saved with the session comes back on reopening: for the VST module from
           the chunk alone, for the LV2 plug-in from its saved control port.

The steps share FOLDER, each working in a folder of its own there ("scan", "session",
"render/<snapshot>", "state"; "-lv2" added for the LV2 plug-in), and give Ardour private
configuration and cache folders and an LV2_PATH of the LV2 session step's copy of the
bundle alone, so nothing of the user's set-up is read or changed. The later steps use the
scan step's cache and module folder, and the render and state steps the session step's
session, read-only.
"""
import argparse
import array
import base64
import glob
import math
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

SCANNER = "/usr/lib/ardour7/ardour-vst-scanner"
LUA, EXPORT = "ardour7-lua", "ardour7-export"
HERE = os.path.dirname(os.path.abspath(__file__))
MODES = ["Out24", "Out16", "Peaks", "Slew", "Subs", "Mono", "Side", "Vinyl", "Aurat",
         "MonoRat", "MonoLat", "Phone", "Cans A", "Cans B", "Cans C", "Cans D", "V Trick"]
# Prefixed: a snapshot named like a session folder ("peaks") does not load.
SNAPSHOT = {mode: "monitor-" + mode.lower().replace(" ", "-") for mode in MODES}
# Mode m covers [m, m + 1) / 16.999 of the VST parameter's range; m / 16 lies inside it,
# exactly. The LV2 control is the mode number itself.
VALUE = {"vst": {mode: m / 16 for m, mode in enumerate(MODES)},
         "lv2": {mode: float(m) for m, mode in enumerate(MODES)}}
LV2_URI = "urn:quillotone:vellicor"
UNIQUE_ID = int.from_bytes(b"vlcj", "big")
RATE = 48000
FRAMES = 100000  # not a whole number of Ardour's 1024-frame cycles
TIMEOUT = 30  # seconds for one run of a program; a run of Ardour's takes about 2
ATTEMPTS = 4


class CheckFailed(Exception):
    pass


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def run(command, log, env=None, prepare=None, attempts=ATTEMPTS):
    """Runs a program with its output in LOG and returns that output.

    Ardour 7.3's headless programs die of a signal (or, rarely, hang) in a few runs out of
    a hundred on a busy machine, with or without Vellicor in the session. Such a run is
    tried again, PREPARE first setting up its files afresh; any other failure stands.
    vellicor-render gets one attempt: a crash of its own is a fault.
    """
    name = os.path.basename(command[0])
    for attempt in range(1, attempts + 1):
        if prepare:
            prepare()
        with open(log, "w") as out:
            try:
                status = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT, timeout=TIMEOUT).returncode
            except subprocess.TimeoutExpired:
                status = None
        text = pathlib.Path(log).read_text(errors="replace")
        if status == 0:
            return text
        if status is not None and status > 0:
            raise CheckFailed("%s failed (exit status %d):\n%s" % (name, status, text[-3000:]))
        what = "hung for %d s" % TIMEOUT if status is None else "died of signal %d" % -status
        what = "%s %s (attempt %d of %d)" % (name, what, attempt, attempts)
        print("%s: %s" % (what, (text.strip().splitlines() or [""])[-1]))
    raise CheckFailed("%s:\n%s" % (what, text[-3000:]))


def read_wav(path, channels):
    """The interleaved samples of a 32-bit float WAV at RATE with CHANNELS channels."""
    if not os.path.exists(path):
        raise CheckFailed("%s was not written" % path)
    d = pathlib.Path(path).read_bytes()
    chunks, pos = {}, 12
    while d[:4] == b"RIFF" and d[8:12] == b"WAVE" and pos + 8 <= len(d):
        size = struct.unpack_from("<I", d, pos + 4)[0]
        chunks[d[pos:pos + 4]] = d[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    if len(chunks.get(b"fmt ", b"")) < 16 or b"data" not in chunks:
        raise CheckFailed("%s is not a WAV file with a format and data" % path)
    tag, count, rate, _, _, bits = struct.unpack_from("<HHIIHH", chunks[b"fmt "])
    if tag not in (3, 0xFFFE) or bits != 32 or count != channels or rate != RATE:
        raise CheckFailed("%s: format %#x, %d channels, %d Hz, %d bits; expected 32-bit float, "
                          "%d channels, %d Hz" % (path, tag, count, rate, bits, channels, RATE))
    return array.array("f", chunks[b"data"])


def programme():
    """A known stereo programme: bass, tones in the band-pass modes' bands, noise and
    decaying bursts, different on the two sides and never exactly silent (the effect
    replaces near-silence with its own noise, which no two hosts share)."""
    out, noise, tau = array.array("f", bytes(8 * FRAMES)), 0x2545F491, 2 * math.pi
    for n in range(FRAMES):
        t = n / RATE
        noise = (noise * 1664525 + 1013904223) & 0xFFFFFFFF
        hiss = noise / 2147483648.0 - 1.0
        burst = 0.4 * math.exp(-(n % 12000) / 400.0) * math.sin(tau * 3000 * t)
        out[2 * n] = (0.3 * math.sin(tau * 55 * t) + 0.15 * math.sin(tau * 1650 * t)
                      + 0.08 * math.sin(tau * 5500 * t + 0.5) + 0.08 * hiss + burst)
        out[2 * n + 1] = (0.25 * math.sin(tau * 82.5 * t + 1.0) + 0.15 * math.sin(tau * 1700 * t)
                          + 0.06 * math.sin(tau * 7000 * t) - 0.06 * hiss - burst)
    quiet = [i for i, v in enumerate(out) if abs(v) < 1e-30]
    if quiet:
        raise CheckFailed("the programme is silent at sample %d" % quiet[0])
    return out


def export_and_compare(work, env, session, args):
    """Ardour's export of the mode's snapshot of SESSION against vellicor-render's output
    for the mode from the session step's programme."""
    export = os.path.join(work, "export")

    def fresh():  # a copy per run: Ardour may write into a session it opens
        shutil.copytree(session, os.path.join(fresh_folder(export), "session"))
    ardour_wav = os.path.join(export, "ardour.wav")
    expected_wav = os.path.join(work, "expected.wav")
    run([args.renderer, "--quiet", "--mode", args.mode,
         os.path.join(args.folder, args.session, "programme.wav"), expected_wav],
        os.path.join(work, "render.log"), attempts=1)
    expected = read_wav(expected_wav, 2)
    # On a busy machine Ardour's export now and then plays the track a few frames early or
    # late, so that the effect hears the programme out of step with the export.
    def out_of_step(actual):
        return any(all(abs(actual[2 * (i + k) + c] - expected[2 * i + c]) < 1e-3
                       for i in range(5000, 5100) for c in (0, 1)) for k in range(-64, 65) if k)
    for attempt in range(1, ATTEMPTS + 1):
        run([EXPORT, "--bitdepth", "float", "--output", ardour_wav, os.path.join(export, "session"),
             SNAPSHOT[args.mode]], os.path.join(work, "export.log"), env, fresh)
        actual = read_wav(ardour_wav, 2)
        if actual.tobytes() == expected.tobytes() or len(actual) != len(expected) or not out_of_step(actual):
            break
        print("%s played the track out of step (attempt %d of %d)" % (EXPORT, attempt, ATTEMPTS))
    what = "%s, %s: Ardour's export against vellicor-render" % (args.name, args.mode)
    if len(actual) != len(expected):
        raise CheckFailed("%s: %d frames, expected %d" % (what, len(actual) // 2,
                                                        len(expected) // 2))
    differing = [i for i in range(len(expected))  # bit for bit: -0.0 is not 0.0
                 if struct.pack("<f", expected[i]) != struct.pack("<f", actual[i])]
    if differing:
        i = differing[0]
        raise CheckFailed("%s: %d of %d samples differ; first at frame %d %s: %.9g, expected "
                          "%.9g; largest difference %.3g" % (
                              what, len(differing), len(expected), i // 2, ("left", "right")[i % 2],
                              actual[i], expected[i],
                              max(abs(expected[k] - actual[k]) for k in differing)))


def step_scan(work, env, args):
    module = os.path.join(fresh_folder(env["LXVST_PATH"]), "Vellicor.so")
    shutil.copyfile(args.module, module)
    # Ardour takes a cache entry only if it is dated later than the module, and the
    # scanner dates it with the current whole second: so the copy is dated a second back.
    whole = int(time.time()) - 1
    os.utime(module, (whole, whole))
    # It exits 0 whether or not it could load the module: what it wrote is the result.
    log = run([SCANNER, "--force", "--verbose", module], os.path.join(work, "scan.log"),
              dict(env, LD_LIBRARY_PATH=os.path.dirname(SCANNER)))
    entries = glob.glob(os.path.join(work, "cache", "ardour7", "vst", "*"))
    if len(entries) != 1 or not entries[0].endswith(".v2i"):
        raise CheckFailed("the scanner recorded no plug-in (files: %s); its output:\n%s"
                          % (entries, log[-2000:]))
    if os.stat(entries[0]).st_mtime <= os.stat(module).st_mtime:
        raise CheckFailed("the cache entry is not dated after the module: Ardour would skip it")
    root = ET.parse(entries[0]).getroot()
    infos = root.findall("VST2Info")
    # One plug-in, in the module scanned, as Vellicor describes itself.
    recorded = dict(infos[0].attrib if infos else {}, binary=root.get("binary"),
                    plugins=str(len(infos)))
    expected = dict(binary=module, plugins="1", name="Vellicor", creator="quillotone",
                    id=str(UNIQUE_ID), category="Effect", n_inputs="2", n_outputs="2",
                    n_midi_inputs="0", n_midi_outputs="0", is_instrument="0",
                    can_process_replace="1", has_editor="0")

    def shown(key, value):  # the unique ID also as its four characters
        if key == "id" and value and value.isdigit() and int(value) < 1 << 32:
            return "%s ('%s')" % (value, int(value).to_bytes(4, "big").decode("latin-1"))
        return repr(value)
    wrong = ["%s=%s (expected %s)" % (k, shown(k, recorded.get(k)), shown(k, v))
             for k, v in expected.items() if recorded.get(k) != v]
    if wrong:
        raise CheckFailed("Ardour recorded " + ", ".join(wrong))
    print("Ardour's entry: " + " ".join('%s="%s"' % kv for kv in infos[0].attrib.items()))


def step_session(work, env, args):
    samples, wav = programme(), os.path.join(work, "programme.wav")
    # 32-bit float, with the 44-byte header the script skips
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + 8 * FRAMES, b"WAVE", b"fmt ", 16, 3, 2,
                         RATE, RATE * 8, 8, 32, b"data", 8 * FRAMES)
    pathlib.Path(wav).write_bytes(header + samples.tobytes())
    folder = os.path.join(work, "session")
    if args.format == "lv2":
        shutil.copytree(args.bundle, os.path.join(env["LV2_PATH"], "Vellicor.lv2"))
    run([LUA, os.path.join(HERE, "make_session.lua"), folder, "vellicor", wav, str(FRAMES),
         args.format] + ["%s=%r" % (SNAPSHOT[mode], VALUE[args.format][mode]) for mode in MODES],
        os.path.join(work, "make_session.log"), env,
        lambda: shutil.rmtree(folder, ignore_errors=True))
    # What the track plays must be the programme itself: no conversion, offset or fade.
    for side, channel in (("L", 0), ("R", 1)):
        path = os.path.join(folder, "interchange", "session", "audiofiles",
                            "programme%%%s.wav" % side)
        if read_wav(path, 1).tobytes() != samples[channel::2].tobytes():
            raise CheckFailed("Ardour's copy of the programme's %s channel differs from it" % side)
    # ardour7-export exports the session range, which Ardour's Lua cannot set: the script's
    # one range, over the programme, becomes it.
    for mode in MODES:
        path = pathlib.Path(folder, SNAPSHOT[mode] + ".ardour")
        path.write_text(path.read_text().replace('flags="IsRangeMarker"', 'flags="IsSessionRange"'))
    print("session with %d snapshots in %s" % (len(MODES), work))


def step_render(work, env, args):
    export_and_compare(work, env, os.path.join(args.folder, args.session, "session"), args)
    print("%s: Ardour's export equals vellicor-render's output (%d frames)" % (args.mode, FRAMES))


def step_state(work, env, args):
    value, snapshot = VALUE[args.format][args.mode], SNAPSHOT[args.mode]
    if value == 0:
        raise CheckFailed("the state check needs a mode other than the default")
    folder = os.path.join(work, "saved", "session")
    shutil.copytree(os.path.join(args.folder, args.session, "session"), folder)
    snapshot_file = os.path.join(folder, snapshot + ".ardour")
    if args.format == "lv2":
        # Ardour keeps an LV2 plug-in's control ports in the session: nothing to strip.
        found = [p for p in ET.parse(snapshot_file).iter("Processor") if p.get("type") == "lv2"]
        if len(found) != 1 or found[0].get("unique-id") != LV2_URI:
            raise CheckFailed("the snapshot does not hold exactly one Vellicor LV2 plug-in")
        ports = [p.get("value") for p in found[0].iter("Port") if p.get("symbol") == "monitor"]
        if len(ports) != 1 or float(ports[0]) != value:
            raise CheckFailed("the snapshot keeps Monitor %s, expected %r" % (ports, value))
        return reopen_and_compare(work, env, folder, snapshot, value, args)
    # Ardour saved the chunk Vellicor gave it: the parameter value as a 32-bit float.
    tree = ET.parse(snapshot_file)
    found = [p for p in tree.iter("Processor") if p.get("type") == "lxvst"]
    if len(found) != 1 or found[0].get("unique-id") != str(UNIQUE_ID):
        raise CheckFailed("the snapshot does not hold exactly one Vellicor")
    chunk = found[0].find("lxvst/chunk")
    control = [c for c in found[0].iter("Controllable") if c.get("name") == "Monitor"]
    if chunk is None or len(control) != 1:
        raise CheckFailed("the snapshot has no chunk or no Monitor control for Vellicor")
    saved, expected = base64.b64decode(chunk.text.strip()), struct.pack("<f", value)
    if saved != expected:
        raise CheckFailed("the saved chunk is %s, expected %s" % (saved.hex(), expected.hex()))
    # The control's value is set before the chunk on reopening; with it at the default,
    # only the chunk can bring the mode back.
    control[0].set("value", "0")
    tree.write(snapshot_file, encoding="UTF-8", xml_declaration=True)
    reopen_and_compare(work, env, folder, snapshot, value, args)


def reopen_and_compare(work, env, folder, snapshot, value, args):
    text = run([LUA, os.path.join(HERE, "read_monitor.lua"), folder, snapshot],
               os.path.join(work, "read_monitor.log"), env)
    reported = [float(line.split()[1]) for line in text.splitlines() if line.startswith("Monitor ")]
    if reported != [value]:
        raise CheckFailed("reopened, Vellicor reports Monitor %s; saved %r (%s)"
                          % (reported, value, args.mode))
    export_and_compare(work, env, folder, args)
    print("saved in %s, reopened in %s" % (args.mode, args.mode))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    steps = parser.add_subparsers(required=True)
    for name, step, arguments in (("scan", step_scan, ["module"]),
                                  ("session", step_session, ["format"]),
                                  ("render", step_render, ["format", "renderer", "mode"]),
                                  ("state", step_state, ["format", "renderer", "mode"])):
        p = steps.add_parser(name)
        p.set_defaults(name=name, step=step, format="vst")
        p.add_argument("folder")
        for argument in arguments:
            p.add_argument(argument, choices={"mode": MODES, "format": VALUE}.get(argument))
        if name == "session":
            p.add_argument("--bundle", help="the LV2 bundle, for the lv2 format")
    args = parser.parse_args()
    suffix = "-lv2" if args.format == "lv2" else ""
    args.session = "session" + suffix
    scan = os.path.join(args.folder, "scan")
    try:
        if not (os.path.exists(SCANNER) and shutil.which(LUA) and shutil.which(EXPORT)):
            raise CheckFailed("Ardour 7 is not installed (scripts/install-deps.sh --for-tests installs it as "
                              "root: apt-get install --no-install-recommends ardour)")
        work = fresh_folder(os.path.join(args.folder, args.name + suffix, SNAPSHOT[args.mode])
                            if args.name == "render" else os.path.join(args.folder, args.name + suffix))
        if args.name != "scan":
            # The scan step's plug-in cache; the programme player where Ardour finds scripts.
            shutil.copytree(os.path.join(scan, "cache"), os.path.join(work, "cache"))
            scripts = os.path.join(work, "config", "ardour7", "scripts")
            os.makedirs(scripts)
            shutil.copy(os.path.join(HERE, "programme_player.lua"), scripts)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_CACHE_HOME=os.path.join(work, "cache"), LXVST_PATH=os.path.join(scan, "vst"),
                   LV2_PATH=os.path.join(args.folder, "session-lv2", "lv2"))
        env.pop("VST_PATH", None)
        args.step(work, env, args)
    except CheckFailed as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
