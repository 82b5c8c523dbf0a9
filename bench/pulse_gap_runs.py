#!/usr/bin/env python3
"""Gaps of silence through a private audio server: whose are they?

Starts a private server as the real-server tests do (--server pipewire: pipewire, wireplumber
and pipewire-pulse with the tests' quanta drop-in; --server pulseaudio: PulseAudio 16; --server
both: the one, then the other), with a null sink "Loop" at 48000 Hz stereo whose monitor is
the input, and then --runs times either

  --mode pacat (the default): plays the signal a 20 Hz - 20 kHz measurement plays
    (`quorvel-cli sweep`, as 16-bit stereo) with pacat at the playback stream's settings
    (--latency-ms, --process-ms) while parec records the monitor at the capture stream's
    (--fragment-ms). The recording is compared with the played samples frame by frame: each
    run of at least 64 zero frames inside the played part is a gap (what the measurement calls
    "a gap of silence"), and a recording shorter or longer than the signal lost or gained
    frames. pacat reads a file and is never late, so a gap here is the server's own;
  --mode measure: runs `quorvel-cli measure --input "Monitor of Loop" --output Loop --gain -12`
    and counts how each ended.

--quantum N sets the graph's minimum quantum (default.clock.min-quantum and pulse.min.quantum
N/48000; the tests use 1024); --quantum-max N also its default.clock.max-quantum.
--pipewire-latency sets PIPEWIRE_LATENCY for the clients (e.g. 1024/48000).

Prints one line per run and the sums, with the load average at the start and at the end; exits
1 when a run was wrong. `--mode measure --server both --runs 20` is the soak test's run.
Needs pulseaudio-utils and the server's programs (as bench/pulse_measure_cpu.py).
"""
import argparse
import array
import os
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pulse_measure_cpu as servers  # noqa: E402

GAP_FRAMES = 64


def write_quanta(folder, quantum, quantum_max):
    if quantum is None and quantum_max is None:
        return
    context = []
    if quantum is not None:
        context.append("default.clock.min-quantum = %d" % quantum)
    if quantum_max is not None:
        context.append("default.clock.max-quantum = %d" % quantum_max)
    text = "context.properties = { %s }\n" % " ".join(context)
    if quantum is not None:
        text += "pulse.properties = { pulse.min.quantum = %d/48000 }\n" % quantum
    for name in ("pipewire.conf", "pipewire-pulse.conf"):
        folder_d = os.path.join(folder, "config", "pipewire", name + ".d")
        os.makedirs(folder_d, exist_ok=True)
        with open(os.path.join(folder_d, "quanta.conf"), "w") as f:
            f.write(text)


def stereo_signal(cli, folder):
    """The 20 Hz - 20 kHz measurement's signal as 16-bit stereo frames (an array of samples)."""
    path = os.path.join(folder, "sweep.wav")
    subprocess.run([cli, "sweep", "--fmin", "20", "--fmax", "20000", "--out", path], check=True,
                   stdout=subprocess.DEVNULL)
    with wave.open(path) as w:
        mono = array.array("h", w.readframes(w.getnframes()))
    stereo = array.array("h", bytes(4 * len(mono)))
    stereo[0::2] = mono
    stereo[1::2] = mono
    return stereo


def nonzero_span(frames):
    """First and one-past-last frame index that is not (0, 0)."""
    n = len(frames) // 2
    first = 0
    while first < n and frames[2 * first] == 0 and frames[2 * first + 1] == 0:
        first += 1
    last = n
    while last > first and frames[2 * last - 2] == 0 and frames[2 * last - 1] == 0:
        last -= 1
    return first, last


def gaps(frames, first, last):
    """Runs of at least GAP_FRAMES zero frames in [first, last): (start, length) each."""
    found = []
    run = 0
    for i in range(first, last):
        if frames[2 * i] == 0 and frames[2 * i + 1] == 0:
            run += 1
        else:
            if run >= GAP_FRAMES:
                found.append((i - run, run))
            run = 0
    return found


def pacat_once(server, signal, folder, args):
    raw = os.path.join(folder, "signal.raw")
    rec = os.path.join(folder, "recording.raw")
    env = server.client_env()
    common = ["--raw", "--format=s16le", "--rate=48000", "--channels=2"]
    with open(rec, "wb") as out:
        recorder = subprocess.Popen(["parec"] + common + ["-d", "loop.monitor",
                                    "--latency-msec=%d" % args.fragment_ms], env=env, stdout=out)
        time.sleep(0.5)
        subprocess.run(["pacat"] + common + ["-d", "loop", "--latency-msec=%d" % args.latency_ms,
                        "--process-time-msec=%d" % args.process_ms, raw], env=env, check=True)
        time.sleep(0.5)
        servers.end_process(recorder)
    with open(rec, "rb") as f:
        got = array.array("h", f.read())
    played_first, played_last = nonzero_span(signal)
    first, last = nonzero_span(got)
    # The signal's own silences (between the sync burst and the sweep) are no gaps.
    shift = played_first - first
    found = [(start, length) for start, length in gaps(got, first, last)
             if any(signal[2 * (start + shift + i)] != 0 for i in range(length)
                    if 0 <= start + shift + i < len(signal) // 2)]
    # Frames lost (negative: gained) between the signal's first and last sound.
    lost = (played_last - played_first) - (last - first)
    # The first frame where the recording differs from what was played (-1: none).
    differ = -1
    for i in range(min(last - first, played_last - played_first)):
        j, k = 2 * (first + i), 2 * (played_first + i)
        if got[j] != signal[k] or got[j + 1] != signal[k + 1]:
            differ = i
            break
    return found, lost, differ


def measure_once(server, cli):
    env = server.client_env()
    done = subprocess.run([cli, "measure", "--input", "Monitor of Loop", "--output", "Loop",
                           "--gain", "-12"], env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    last = done.stderr.strip().splitlines()[-1] if done.stderr.strip() else ""
    return done.returncode, last


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", choices=("pipewire", "pulseaudio", "both"), default="pipewire")
    parser.add_argument("--mode", choices=("pacat", "measure"), default="pacat")
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--latency-ms", type=int, default=300)
    parser.add_argument("--process-ms", type=int, default=50)
    parser.add_argument("--fragment-ms", type=int, default=10)
    parser.add_argument("--quantum", type=int, default=1024)
    parser.add_argument("--quantum-max", type=int)
    parser.add_argument("--pipewire-latency")
    parser.add_argument("--cli", default="build/release/cli/quorvel-cli")
    args = parser.parse_args()
    if args.pipewire_latency:
        os.environ["PIPEWIRE_LATENCY"] = args.pipewire_latency
    names = ("pipewire", "pulseaudio") if args.server == "both" else (args.server,)
    return 0 if all([run_server(name, args) for name in names]) else 1


def run_server(name, args):
    """The runs through one private server; True when every one was right."""
    folder = tempfile.mkdtemp(prefix="quorvel-gaps.")
    if name == "pipewire":
        write_quanta(folder, args.quantum if args.quantum > 0 else None, args.quantum_max)
    server = servers.start_server(name, folder)
    load_start = servers.load_average()
    bad = 0
    try:
        if args.mode == "pacat":
            signal = stereo_signal(args.cli, folder)
            with open(os.path.join(folder, "signal.raw"), "wb") as f:
                f.write(signal.tobytes())
        for run in range(1, args.runs + 1):
            if args.mode == "pacat":
                found, lost, differ = pacat_once(server, signal, folder, args)
                ok = not found and lost == 0
                print("run %2d: %s, %d gaps %s, frames lost %d, first differing frame %d" %
                      (run, "right" if ok else "WRONG", len(found), found[:4], lost, differ),
                      flush=True)
            else:
                status, last = measure_once(server, args.cli)
                ok = status == 0
                print("run %2d: exit %d %s" % (run, status, "" if ok else last), flush=True)
            bad += 0 if ok else 1
    finally:
        server.stop()
    print("%s %s: %d of %d right; load average %.2f at the start, %.2f at the end" %
          (name, args.mode, args.runs - bad, args.runs, load_start, servers.load_average()),
          flush=True)
    return bad == 0

if __name__ == "__main__":
    sys.exit(main())
