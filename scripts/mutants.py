#!/usr/bin/env python3
"""Mutation check: does the test suite catch plausible mistakes?

Each fault below is a single edit of the kind a developer really makes (a wrong constant, a
swapped operand, a dropped guard, a comparison off by one, a wrong answer to a host). For
each one the script applies it to a scratch copy of the tree (build-mutants/), rebuilds
incrementally, runs the normal build's tests without the Ardour group, and restores the file.
It prints a line per fault and `killed K of N`.

    scripts/mutants.py                 every fault
    scripts/mutants.py 3 17            only these faults (numbers as printed)
    scripts/mutants.py --all-killers   name every failing test, not just the first
    scripts/mutants.py --compare LOG   also name the faults LOG (an earlier run's output)
                                       shows killed that this run did not kill
    scripts/mutants.py --check         only check that every fault still applies
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCRATCH = os.path.join(ROOT, "build-mutants")
TREE = os.path.join(SCRATCH, "tree", "main")
BUILD = os.path.join(SCRATCH, "build")

# (file, text, replacement, what the mistake is); the text must occur exactly once.
FAULTS = [
    # effect/
    ("effect/block_values.cpp", "delayLength(b.rateScale, 179.0)", "delayLength(b.rateScale, 197.0)", "delay B length 197 instead of 179"),
    ("effect/block_values.cpp", "rateScale * 17.0", "rateScale * 16.0", "trend length from 16 samples"),
    ("effect/block_values.cpp", "return hostRate < kLowestRate ? kLowestRate : hostRate;", "return hostRate;", "tiny host rates not raised to the floor"),
    ("effect/monitor_mode.h", "kModesPerUnit = 16.999", "kModesPerUnit = 17.0", "mode scale 17 instead of 16.999"),
    ("effect/monitor_modes.def", '(MonoRat, "MonoRat")\nVELLICOR_MODE(MonoLat, "MonoLat")', '(MonoRat, "MonoLat")\nVELLICOR_MODE(MonoLat, "MonoRat")', "two mode names swapped"),
    ("vst/vellicor.cpp", "byteSize < kChunkSize", "byteSize <= kChunkSize", "a whole chunk refused as short"),
    ("vst/vellicor.cpp", "else if (value > 1.0f) value = 1.0f;", "", "restored value not clamped at 1"),
    ("effect/processing.cpp", "state_.noiseStateL = seedNoiseWord();\n    state_.noiseStateR = seedNoiseWord();", "state_.noiseStateR = seedNoiseWord();\n    state_.noiseStateL = seedNoiseWord();", "noise words seeded right first"),
    ("vst/vellicor.cpp", "return 1;\n    return -1;", "return 1;\n    return 0;", "unknown capability answered don't-know"),
    ("vst/vellicor.cpp", "getVendorVersion() noexcept { return 1000; }", "getVendorVersion() noexcept { return 100; }", "wrong vendor version"),
    ("effect/processing.cpp", "kNearSilenceFloat = 1.18e-37", "kNearSilenceFloat = 1.18e-38", "single-precision silence threshold off by ten"),
    ("effect/lanes_sse2.h", "_mm_srli_epi32(words, 17)", "_mm_srli_epi32(words, 15)", "xorshift shift 15 instead of 17"),
    ("effect/processing.cpp", "return buffers && buffers[0] && buffers[1];", "return buffers && buffers[0];", "right channel buffer not checked"),
    ("effect/lanes_sse2.h", "_mm_cmplt_ps(err, _mm_movehl_ps(err, err))", "_mm_cmple_ps(err, _mm_movehl_ps(err, err))", "a tie takes the lower step"),
    ("effect/output_stage.h", "if (std::isnan(whole)) return 0;", "if (std::isnan(whole)) return INT32_MIN;", "NaN quantized to the most negative step"),
    ("effect/lanes_sse2.h", "if (((longRuns | longRuns >> 2) & 3) == 3)", "if (((longRuns | longRuns >> 2) & 3) != 0)", "exact slope taken when one channel's history allows it"),
    ("effect/shaping.h", "if (x < -1.0) return -1.0;", "if (x < -1.0) return 1.0;", "negative overs limited to +1"),
    ("effect/shaping.h", "-1.0 > d ? -1.0 : d", "d >= -1.0 ? d : -1.0", "arcsine limit turns a NaN argument into -1"),
    ("effect/shaping.h", "std::copysign(std::numeric_limits<double>::max(), narrowed)", "std::numeric_limits<double>::max()", "held state loses its sign"),
    ("effect/band_pass.cpp", "kVinylBand{0.0385, 0.0825}", "kVinylBand{0.0385, 0.0852}", "Vinyl resonance digits swapped"),
    ("effect/band_pass.h", "kHighestBandPassCentre = 0.49", "kHighestBandPassCentre = 0.5", "band-pass centre allowed up to half the rate"),
    ("effect/band_pass.h", "state2 = -xa0 - y * bp.b2;", "state2 = -xa0 + y * bp.b2;", "band-pass feedback sign"),
    ("effect/band_pass.h", "argL = fold == BandFold::toRight ? 0.0 : m;", "argL = fold == BandFold::toLeft ? 0.0 : m;", "fold silences the wrong side"),
    ("effect/peaks_slew.h", "kPeaksOutputScale = 0.63679", "kPeaksOutputScale = 0.63697", "Peaks output scale digits swapped"),
    ("effect/peaks_slew.h", "kSlewGain = 2.302585092994046", "kSlewGain = 2.302585", "Slew gain rounded"),
    ("effect/diffuser.h", "return (next < 0 || next > length) ? length : next;", "return next < 0 ? length : next;", "position above a shrunk length kept"),
    ("effect/diffuser.h", "stage.lineL[p] * -0.5", "stage.lineL[p] * 0.5", "diffuser feedback sign, left"),
    ("effect/subs.h", "kSubsDrive = 1.42", "kSubsDrive = 1.24", "Subs drive digits swapped"),
    ("effect/subs.h", "s[j] = static_cast<double>(read(s[j]) * k + a * x);", "s[j] = static_cast<double>(read(s[j]) * a + k * x);", "one-pole weights swapped"),
    ("effect/cross_feed.h", "{0.713, 0.3},", "{0.713, 0.35},", "Cans C cross gain"),
    ("effect/cross_feed.h", "const int32 next = p == n ? 0 : p + 1;", "const int32 next = p == n ? n : p + 1;", "cross-feed wrap reads the wrong end"),
    ("effect/cross_feed.cpp", "* 1e-05 / b.rateScale", "* 1e-06 / b.rateScale", "side coefficient off by ten"),
    ("effect/mid_side.h", "    sampleL = -s;\n    sampleR = s;", "    sampleL = s;\n    sampleR = -s;", "V Trick inverts the right side"),
    ("effect/mid_side.h", "sampleR = -sum * 0.5;", "sampleR = sum * 0.5;", "Side right not inverted"),
    ("effect/mid_side.h", "return error == 0.0;", "return true;", "inexact channel sums taken as doubles"),
    # frame/
    ("frame/audioeffect.cpp", "cEffect.numOutputs = 2;", "cEffect.numOutputs = 1;", "record default of two outputs"),
    ("frame/audioeffect.cpp", "if (value < numPrograms) setProgram", "if (value <= numPrograms) setProgram", "program number at the count accepted"),
    ("frame/audioeffect.cpp", "            if (value == 0)\n                suspend();\n            else\n                resume();", "            if (value == 0)\n                resume();\n            else\n                suspend();", "switching on and off swapped"),
    ("frame/audioeffect.cpp", "getChunk(static_cast<void**>(ptr), index != 0)", "getChunk(static_cast<void**>(ptr), index == 0)", "bank and program chunk confused"),
    ("frame/audioeffect.cpp", "static_cast<double>(level) * 32767.0", "static_cast<double>(level) * 32768.0", "VU scale"),
    ("frame/audioeffect.cpp", "        delete effect;\n        return 1;", "        return 1;", "close through the record leaks the object"),
    ("frame/audioeffect.cpp", "return version == 0 ? 1 : static_cast<int32>(version);", "return static_cast<int32>(version);", "silent host not taken as version 1"),
    ("frame/audioeffect.cpp", "return callHost(audioMasterPinConnected, input, 0) == 0;", "return callHost(audioMasterPinConnected, input, 0) != 0;", "pin answer read inverted"),
    ("frame/audioeffect.cpp", "    setParameter(index, value);\n    if (audioMaster) callHost(audioMasterAutomate, index, 0, nullptr, value);", "    if (audioMaster) callHost(audioMasterAutomate, index, 0, nullptr, value);\n    setParameter(index, value);", "host told of automation before the change"),
    ("frame/audioeffectx.cpp", "return keysRequired() ? 0 : 1;", "return keysRequired() ? 1 : 0;", "keys-required answer not inverted"),
    ("frame/audioeffectx.cpp", "case effConnectInput: inputConnected(index, value != 0); return 1;", "case effConnectInput: inputConnected(index, value != 0); return 0;", "input connection not acknowledged"),
    ("frame/audioeffectx.cpp", "if (canDo(word) != 1) return;", "if (canDo(word) == -1) return;", "don't-know taken as wanting MIDI"),
    ("frame/audioeffectx.cpp", "    blockSize = newBlockSize;\n    sampleRate.store(newSampleRate, std::memory_order_relaxed);", "    blockSize = newBlockSize;\n    (void)newSampleRate;", "combined request drops the sample rate"),
    ("frame/hostservicesx.cpp", "callHost(audioMasterGetTime, 0, filter)", "callHost(audioMasterGetTime, filter, 0)", "time filter sent as index"),
    ("frame/hostservicesx.cpp", "return callHost(audioMasterCanDo, 0, 0, text) > 0;", "return callHost(audioMasterCanDo, 0, 0, text) != 0;", "host's no read as yes"),
    ("frame/hostservicesx.cpp", "if (rate > 0) sampleRate.store", "if (rate >= 0) sampleRate.store", "host rate of 0 taken"),
    ("frame/hostservicesx.cpp", "return select && callHost(audioMasterOpenFileSelector", "return callHost(audioMasterOpenFileSelector", "file selector asked without a subject"),
    ("frame/parametertext.cpp", "a > (negative ? 9999999.0 : 99999999.0)", "a > (negative ? 99999999.0 : 9999999.0)", "Huge! limits swapped"),
    ("frame/parametertext.cpp", "if (value > 99999999 || value < -999999999)", "if (value >= 99999999 || value < -999999999)", "largest integer shown as Huge!"),
    ("frame/parametertext.cpp", "20.0 * std::log10", "10.0 * std::log10", "dB of power instead of amplitude"),
    ("frame/parametertext.cpp", "const std::size_t n = length < static_cast<std::size_t>(maxLen) ? length\n                                                                    : static_cast<std::size_t>(maxLen);", "const std::size_t n = length;", "text not cut to maxLen"),
    ("frame/speakerarrangement.cpp", "std::strncpy(to->name, source.name, sizeof(to->name) - 1);\n    to->name[sizeof(to->name) - 1] = '\\0';", "std::strncpy(to->name, source.name, sizeof(to->name));", "speaker name left unterminated"),
    ("frame/speakerarrangement.cpp", "        std::free(*arrangement);\n        *arrangement = nullptr;\n    }\n    // A negative", "        std::free(*arrangement);\n    }\n    // A negative", "a refused reallocation leaves the freed block in the handle"),
    ("frame/vstplugmain.cpp", "if (!audioMaster) return nullptr;", "", "entry calls a missing host callback"),
    ("frame/vstplugmain.cpp", "0, 0, nullptr, 0.0f) == 0) return nullptr;", "0, 0, nullptr, 0.0f) < 0) return nullptr;", "version answer of 0 accepted"),
    ("frame/aeffect.h", "audioMasterWantMidi = 6,", "audioMasterWantMidi = 5,", "host opcode numbers shifted"),
    # host/
    ("host/vst_host.cpp", "case audioMasterGetSampleRate: return settings_.sampleRate;", "case audioMasterGetSampleRate: return settings_.blockSize;", "host answers the block size for the rate"),
    ("host/vst_host.cpp", "dispatch(effGetChunk, preset ? 1 : 0, 0, &data)", "dispatch(effGetChunk, preset ? 0 : 1, 0, &data)", "host asks for the wrong chunk"),
    ("host/vst_host.cpp", "    AEffect* effect = effect_;\n    effect_ = nullptr;", "    AEffect* effect = effect_;", "closed record kept"),
    # tools/
    ("tools/render.cpp", "inR[i] = interleavedIn[i * channels + channels - 1];", "inR[i] = interleavedIn[i * channels];", "stereo input's right channel ignored"),
    ("tools/render.cpp", "if (number < static_cast<int>(all.size())) return all[number];", "if (number <= static_cast<int>(all.size())) return all[number];", "mode number past the last one accepted"),
    ("tools/audio_file.cpp", "if (info_.channels < 1 || info_.channels > 2)", "if (info_.channels < 1 || info_.channels > 3)", "three-channel input accepted"),
    ("tools/audio_file.cpp", "if (extension == \"aif\" || extension == \"aifc\") return SF_FORMAT_AIFF;", "if (extension == \"aif\" || extension == \"aifc\") return SF_FORMAT_WAV;", "wrong container for .aif"),
    ("tools/audio_file.cpp", "else if (t == \"24\" || t == \"pcm24\") format = SampleFormat::Pcm24;", "else if (t == \"24\" || t == \"pcm24\") format = SampleFormat::Pcm16;", "--format 24 writes 16-bit"),
    ("tools/audio_file.cpp", "    if (!tempPath_.empty()) unregisterTemp();\n    tempPath_.clear();\n}", "    tempPath_.clear();\n}", "a committed file left registered for removal"),
    ("tools/main.cpp", "if (bytes.size() < 4)", "if (bytes.size() < 2)", "short state accepted"),
    ("tools/main.cpp", "if (o.saveState && commands)", "if (o.saveState && o.demo)", "--save-state accepted with --all-modes"),
    ("tools/response.cpp", "point.gain[c] = 2 * std::abs(sum[c]) / weights / amplitude;", "point.gain[c] = std::abs(sum[c]) / weights / amplitude;", "response gain halved"),
    # effect/ again: the floating-point layer
    ("effect/floating_point.h", "kProcessingState{0x037F, 0x1F80, 0}", "kProcessingState{0x027F, 0x1F80, 0}", "x87 precision left at 53 bits"),
    ("effect/floating_point.h", "    ~FloatingPointScope() { setFloatingPointState(callers); }", "    ~FloatingPointScope() {}", "the caller's floating-point state not given back"),
    # frame/ again: the helpers that copy fields from one record to another
    ("frame/speakerarrangement.cpp", "to->azimuth = source.azimuth;", "to->azimuth = source.elevation;", "speaker azimuth copied from the elevation"),
    ("frame/speakerarrangement.cpp", "to->elevation = source.elevation;", "to->elevation = source.azimuth;", "speaker elevation copied from the azimuth"),
    ("frame/speakerarrangement.cpp", "to->radius = source.radius;", "to->radius = source.elevation;", "speaker radius copied from the elevation"),
    ("frame/speakerarrangement.cpp", "to->reserved = source.reserved;", "to->reserved = source.radius;", "speaker reserved value copied from the radius"),
    ("frame/speakerarrangement.cpp", "    to->type = source.type;\n", "", "speaker type not copied"),
    ("frame/speakerarrangement.cpp", "std::memcpy(to->future, source.future,", "std::memcpy(to->future, source.name,", "speaker reserved bytes copied from the name"),
    ("frame/speakerarrangement.cpp", "target->type = from->type;", "target->type = from->numChannels;", "arrangement type copied from the channel count"),
    ("frame/speakerarrangement.cpp", "copySpeaker(speakerAt(target, i), speakerAt(from, i))", "copySpeaker(speakerAt(target, i), speakerAt(from, 0))", "every speaker matched to the source's first"),
    ("frame/audioeffectx.cpp", "key.character = index;", "key.character = static_cast<int32>(value);", "key character taken from the virtual code"),
    ("frame/audioeffectx.cpp", "key.virt = static_cast<unsigned char>(value);", "key.virt = static_cast<unsigned char>(index);", "key virtual code taken from the character"),
]


def run(command, **kwargs):
    """Runs a command quietly; returns (status, output)."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kwargs)
    return result.returncode, result.stdout


def sync_tree():
    """Copies the working tree (tracked and new files) into the scratch tree, touching only
    files that differ, so the scratch build stays incremental between runs."""
    status, listing = run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT)
    if status != 0:
        sys.exit("mutants: git ls-files failed")
    for relative in filter(None, listing.split("\0")):
        source, target = os.path.join(ROOT, relative), os.path.join(TREE, relative)
        if not os.path.isfile(source):
            continue
        with open(source, "rb") as f:
            content = f.read()
        if os.path.exists(target):
            with open(target, "rb") as f:
                if f.read() == content:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(source, target)  # dated now, so the build sees the change
    # The tests find the shared vectors beside the project, as in the real checkout.
    shared = os.path.join(SCRATCH, "tree", "shared")
    if not os.path.exists(shared):
        os.symlink(os.path.realpath(os.path.join(ROOT, "..", "shared")), shared)


def build(jobs):
    status, output = run(["cmake", "--build", BUILD, "-j", str(jobs)])
    return status == 0, output


# "  12 - Suite.Name  # GetParam() = 3 (Failed)": the name before any parameter comment.
FAILED_TEST = re.compile(r"^\s*\d+ - (\S+).* \([^()]+\)$")


def failing_tests(jobs, all_killers):
    """Names of the failing tests of the normal suite without the Ardour group."""
    command = ["ctest", "--test-dir", BUILD, "-LE", "ardour", "-j", str(jobs), "--timeout", "300"]
    if not all_killers:
        command.append("--stop-on-failure")
    status, output = run(command)
    names = []
    in_list = False
    for line in output.splitlines():
        if line.startswith("The following tests FAILED"):
            in_list = True
        elif in_list and FAILED_TEST.match(line):
            names.append(FAILED_TEST.match(line).group(1))
    if status != 0 and not names:
        names.append("ctest (" + output.strip().splitlines()[-1] + ")")
    # Instances of one parameterised test ("Prefix/Suite.Test/param") count as one.
    counts = {}
    for name in names:
        key = name.rsplit("/", 1)[0] + "/*" if name.count("/") >= 2 else name
        counts[key] = counts.get(key, 0) + 1
    return [key if n == 1 else f"{key} ({n})" for key, n in counts.items()]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("only", nargs="*", type=int, help="fault numbers to run")
    parser.add_argument("--all-killers", action="store_true", help="name every failing test")
    parser.add_argument("--check", action="store_true", help="only check that the faults apply")
    parser.add_argument("--compare", metavar="LOG", help="an earlier run's output to compare with")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = parser.parse_args()

    chosen = [(n, f) for n, f in enumerate(FAULTS, 1) if not args.only or n in args.only]
    stale = []
    for number, (path, text, _, what) in chosen:
        with open(os.path.join(ROOT, path)) as f:
            count = f.read().count(text)
        if count != 1:
            stale.append(f"fault {number} ({path}: {what}): its text occurs {count} times")
    if stale:
        sys.exit("mutants: the catalogue no longer matches the code:\n  " + "\n  ".join(stale))
    if args.check:
        print(f"all {len(chosen)} faults apply")
        return

    sync_tree()
    status, output = run(["cmake", "-S", TREE, "-B", BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                          "-DVELLICOR_BENCH=OFF"])
    if status != 0:
        sys.exit("mutants: configuring the scratch build failed:\n" + output[-3000:])
    built, output = build(args.jobs)
    if not built:
        sys.exit("mutants: the unchanged tree does not build:\n" + output[-3000:])
    if failing_tests(args.jobs, False):
        sys.exit("mutants: the unchanged tree fails its tests; fix that first")

    killed = set()
    for number, (path, text, replacement, what) in chosen:
        target = os.path.join(TREE, path)
        with open(target) as f:
            original = f.read()
        try:
            with open(target, "w") as f:
                f.write(original.replace(text, replacement, 1))
            built, output = build(args.jobs)
            if not built:
                verdict, by = "NO BUILD", "the fault does not compile; mend the catalogue"
            else:
                names = failing_tests(args.jobs, args.all_killers)
                verdict = "killed" if names else "SURVIVED"
                by = ("by " + ", ".join(names)) if names else ""
                if names:
                    killed.add(number)
        finally:
            with open(target, "w") as f:
                f.write(original)
        print(f"{verdict:8} {number:3} {path}: {what}  {by}".rstrip(), flush=True)
    built, _ = build(args.jobs)  # leave the scratch build unmutated
    print(f"killed {len(killed)} of {len(chosen)}")
    if args.compare:
        with open(args.compare) as f:
            before = {int(m.group(1)) for m in re.finditer(r"^killed\s+(\d+) ", f.read(), re.M)}
        lost = sorted(before & {n for n, _ in chosen} - killed)
        print("lost: " + (", ".join(map(str, lost)) if lost else "none") + f" of the {len(before)} killed in {args.compare}")
        sys.exit(1 if lost else 0)


if __name__ == "__main__":
    main()
