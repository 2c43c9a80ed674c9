#!/usr/bin/env python3
"""Turns the benchmark's JSON results into the README's performance table and summary."""
import json
import math
import platform
import sys

MODES = ["Out24", "Out16", "Peaks", "Slew", "Subs", "Mono", "Side", "Vinyl", "Aurat",
         "MonoRat", "MonoLat", "Phone", "CansA", "CansB", "CansC", "CansD", "VTrick"]


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def main(path):
    with open(path) as f:
        data = json.load(f)
    ns, rt, entry = {}, {}, {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        kind, mode, rate, precision = b["run_name"].split("/")
        if kind == "Entry":  # Entry/FORMAT/MODE/BLOCK
            entry[(mode, rate, int(precision))] = b["ns_per_frame"]
            continue
        key = (kind, mode, int(rate), precision)
        ns[key] = b["ns_per_frame"]
        rt[key] = b["realtime_x"]

    ctx = data["context"]
    print(f"Machine: {cpu_name()}, {ctx['num_cpus']} cores; float, 512-frame blocks "
          "of stereo noise; ns per stereo frame (CPU time), real-time factor of the module.")
    print()
    print("| mode | 48k step-by-step | 48k module | 48k ratio | 48k real-time "
          "| 96k step-by-step | 96k module | 96k ratio | 96k real-time |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    ratios = {}
    for mode in MODES:
        cells = [mode]
        for rate in (48000, 96000):
            ref = ns.get(("StepByStep", mode, rate, "float"))
            mod = ns.get(("Module", mode, rate, "float"))
            if ref is None or mod is None:
                cells += ["-"] * 4
                continue
            ratios[(mode, rate)] = ref / mod
            cells += [f"{ref:.0f}", f"{mod:.1f}", f"{ref / mod:.1f}x",
                      f"{rt[('Module', mode, rate, 'float')]:.0f}x"]
        print("| " + " | ".join(cells) + " |")
    print()
    r48 = [ratios[(m, 48000)] for m in MODES if (m, 48000) in ratios]
    if r48:
        geo = math.exp(sum(math.log(r) for r in r48) / len(r48))
        worst = min(MODES, key=lambda m: ratios.get((m, 48000), math.inf))
        print(f"48 kHz float: geometric mean of the ratios {geo:.2f}x, lowest "
              f"{ratios[(worst, 48000)]:.2f}x ({worst})")
    o44 = ns.get(("Module", "Out24", 44100, "float"))
    o192 = ns.get(("Module", "Out24", 192000, "float"))
    if o44 and o192:
        print(f"Out24 per frame at 192 kHz / 44.1 kHz: {o192 / o44:.2f}")
    subs = rt.get(("Module", "Subs", 48000, "float"))
    if subs:
        print(f"Subs at 48 kHz: {subs:.0f}x real time")
    if entry:
        print_entries(entry)


def print_entries(entry):
    """The VST entry beside the LV2 plug-in's run: float, 48 kHz, ns per stereo frame."""
    print()
    print("Entries, float at 48 kHz; ns per stereo frame (CPU time):")
    print()
    print("| mode | VST, 512 | LV2, 512 | LV2/VST | VST, 32 | LV2, 32 | LV2/VST |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    shares = []
    for mode in MODES:
        cells = [mode]
        for block in (512, 32):
            vst, lv2 = entry.get(("VST", mode, block)), entry.get(("LV2", mode, block))
            if vst is None or lv2 is None:
                cells += ["-"] * 3
                continue
            shares.append(lv2 / vst)
            cells += [f"{vst:.1f}", f"{lv2:.1f}", f"{lv2 / vst:.2f}"]
        print("| " + " | ".join(cells) + " |")
    if shares:
        geo = math.exp(sum(math.log(r) for r in shares) / len(shares))
        print()
        print(f"LV2/VST: geometric mean {geo:.3f}, range {min(shares):.2f} to {max(shares):.2f}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build-bench/bench.json")
