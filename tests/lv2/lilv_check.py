#!/usr/bin/env python3
"""Checks the LV2 bundle with the LV2 tools of others, as CTest tests.

  validate BUNDLE          lv2_validate finds no error in the bundle's Turtle.
  info PATH MODES_DEF      lv2info, with LV2_PATH=PATH, lists the five ports and a scale
                           point per line of the table of modes, numbered in its order.
  apply PATH DEMO          lv2apply renders DEMO/programme.wav through every mode equal,
                           sample for sample, to vellicor-render's DEMO/NN-*.wav.
"""
import glob
import os
import re
import subprocess
import sys

URI = "urn:quillotone:vellicor"


def run(command, path=None):
    env = dict(os.environ, **({"LV2_PATH": path} if path else {}))
    done = subprocess.run(command, env=env, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"{command[0]} failed ({done.returncode}):\n{done.stdout}{done.stderr}")
    return done.stdout + done.stderr


def samples(path):
    """The bytes of a WAV file's data chunk."""
    data = open(path, "rb").read()
    at = 12
    while at + 8 <= len(data):
        size = int.from_bytes(data[at + 4:at + 8], "little")
        if data[at:at + 4] == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    sys.exit(f"{path}: no data chunk")


def validate(bundle):
    output = run(["lv2_validate"] + sorted(glob.glob(os.path.join(bundle, "*.ttl"))))
    if not re.search(r"Found 0 errors", output) or "warning" in output.lower():
        sys.exit(output)


def info(path, modes_def):
    output = run(["lv2info", URI], path)
    names = re.findall(r'^VELLICOR_MODE\(\w+, "([^"]+)"\)$', open(modes_def).read(), re.M)
    ports = re.findall(r"^\tPort (\d+):", output, re.M)
    points = dict((int(k), v) for k, v in re.findall(r'^\t\t\t(\d+) = "([^"]*)"$', output, re.M))
    facts = ["Name:              Vellicor", "Has latency:       no", "Symbol:      monitor",
             "Default:     0.000000", "Maximum:     16.000000", "lv2core#hardRTCapable"]
    problems = [f"no '{fact}'" for fact in facts if fact not in output]
    if ports != list("01234") or points != dict(enumerate(names)) or len(names) != 17 or problems:
        sys.exit(f"ports {ports}, scale points {points}, modes {names}; {problems}\n{output}")


def apply(path, demo):
    source = os.path.join(demo, "programme.wav")
    failed = []
    for mode in range(17):
        [expected] = glob.glob(os.path.join(demo, f"{mode:02d}-*.wav"))
        out = os.path.join(demo, f"lv2apply-{mode:02d}.wav")
        run(["lv2apply", "-i", source, "-o", out, "-c", "monitor", str(mode), URI], path)
        if samples(out) != samples(expected):
            failed.append(os.path.basename(expected))
    if failed:
        sys.exit(f"lv2apply's output differs from vellicor-render's: {', '.join(failed)}")


if __name__ == "__main__":
    {"validate": validate, "info": info, "apply": apply}[sys.argv[1]](*sys.argv[2:])
