#!/usr/bin/env python3
"""CPU and wake-ups of quorvel-cli measure on a real PulseAudio server.

Starts a private PulseAudio server (its own runtime folder, a null sink "Loop" at 48000 Hz whose
monitor is the input), runs `quorvel-cli measure --input "Monitor of Loop" --output "Loop"` a few
times, and reports for each run and on average:
  - the whole process: CPU in percent of one core, and context switches per second (every
    thread, from the kernel's accounting of the ended child);
  - each thread: CPU in percent of one core and context switches per second, sampled from
    /proc/PID/task every 100 ms over the time the thread was seen.

    bench/pulse_measure_cpu.py [--cli build/release/cli/quorvel-cli] [--runs 3] [--keep-busy]

--keep-busy plays silence into the sink with pacat for the whole run, as the older tests did to
keep an idle null sink at a short latency. Needs the pulseaudio and pulseaudio-utils packages.
"""
import argparse
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
PR_SET_PDEATHSIG = 1


def die_with_parent():
    # The server and its helpers end with this script, however it ends.
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def wait_for_socket(path, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            probe.connect(path)
            return True
        except OSError:
            time.sleep(0.05)
        finally:
            probe.close()
    return False


def start_server(folder):
    sock = os.path.join(folder, "native")
    env = dict(os.environ)
    for key in ("PULSE_SERVER", "XDG_CONFIG_HOME"):
        env.pop(key, None)
    env.update(XDG_RUNTIME_DIR=folder, PULSE_RUNTIME_PATH=folder, HOME=folder,
               PULSE_STATE_PATH=os.path.join(folder, "state"))
    args = ["pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--system=no",
            "--exit-idle-time=-1", "--disallow-exit", "--log-target=stderr",
            "-L", "module-null-sink sink_name=loop rate=48000 channels=2 "
                  "sink_properties=\"device.description='Loop'\"",
            "-L", "module-native-protocol-unix socket=%s auth-anonymous=1" % sock]
    log = open(os.path.join(folder, "server.log"), "wb")
    server = subprocess.Popen(args, env=env, stdout=log, stderr=log, stdin=subprocess.DEVNULL,
                              preexec_fn=die_with_parent)
    if not wait_for_socket(sock, 15):
        server.kill()
        sys.exit("pulseaudio did not open its socket; see %s/server.log" % folder)
    return server, "unix:" + sock


def read_threads(pid):
    """{tid: (name, rt_priority, cpu_ticks, context_switches)} of the live threads of pid."""
    threads = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return threads
    for tid in tids:
        base = "/proc/%d/task/%s/" % (pid, tid)
        try:
            with open(base + "stat") as f:
                stat = f.read()
            with open(base + "status") as f:
                status = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        # fields[0] is the state (field 3 of stat): utime is field 14, stime 15, rt_priority 40.
        ticks = int(fields[11]) + int(fields[12])
        rt_priority = int(fields[37])
        switches = 0
        for line in status.splitlines():
            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                switches += int(line.split()[1])
        threads[int(tid)] = (name, rt_priority, ticks, switches)
    return threads


def role_of(name, rt_priority):
    # Named threads speak for themselves; the engine's real-time threads are told apart by
    # their priority (capture one above play) when they carry the program's name.
    if name not in ("quorvel-cli",):
        return name
    if rt_priority == 11:
        return "capture (RT 11)"
    if rt_priority == 10:
        return "play (RT 10)"
    return name


def measure_once(cli, server, workdir):
    env = dict(os.environ, PULSE_SERVER=server)
    args = [cli, "measure", "--input", "Monitor of Loop", "--output", "Loop", "--gain", "-12",
            "--csv", os.path.join(workdir, "curve.csv")]
    started = time.monotonic()
    child = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(workdir, "cli.log"), "wb"),
                             stdin=subprocess.DEVNULL)
    first, last = {}, {}
    done = threading.Event()

    def sample():
        while not done.is_set():
            now = time.monotonic()
            for tid, values in read_threads(child.pid).items():
                first.setdefault(tid, (now, values))
                last[tid] = (now, values)
            time.sleep(0.1)

    sampler = threading.Thread(target=sample)
    sampler.start()
    _, status, usage = os.wait4(child.pid, 0)
    done.set()
    sampler.join()
    child.returncode = os.waitstatus_to_exitcode(status)
    wall = time.monotonic() - started
    result = {
        "wall": wall,
        "exit": child.returncode,
        "cpu": 100.0 * (usage.ru_utime + usage.ru_stime) / wall,
        "switches": (usage.ru_nvcsw + usage.ru_nivcsw) / wall,
        "threads": {},
    }
    for tid, (t0, v0) in first.items():
        t1, v1 = last[tid]
        span = t1 - t0
        if span < 1.0:
            continue  # a short-lived helper thread
        role = role_of(v1[0], v1[1])
        cpu = 100.0 * (v1[2] - v0[2]) / CLOCK_TICKS / span
        switches = (v1[3] - v0[3]) / span
        old = result["threads"].get(role)
        if old is not None:  # two threads of one role (timer threads): add them up
            cpu += old[0]
            switches += old[1]
        result["threads"][role] = (cpu, switches)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default="build/release/cli/quorvel-cli")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep-busy", action="store_true")
    options = parser.parse_args()
    for program in ("pulseaudio", "pacat"):
        if shutil.which(program) is None:
            sys.exit("%s is not installed (Debian packages pulseaudio, pulseaudio-utils)" % program)
    cli = os.path.abspath(options.cli)
    folder = tempfile.mkdtemp(prefix="quorvel-bench-pulse.")
    server, address = start_server(folder)
    keeper = None
    try:
        if options.keep_busy:
            keeper = subprocess.Popen(
                ["pacat", "--raw", "--latency-msec=20", "--format=s16le", "--rate=48000",
                 "--channels=2", "-d", "loop", "/dev/zero"],
                env=dict(os.environ, PULSE_SERVER=address), stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
            time.sleep(1.0)
        results = []
        for run in range(options.runs):
            time.sleep(2.0)  # the sink goes idle between runs, as between a user's measurements
            r = measure_once(cli, address, folder)
            results.append(r)
            print("run %d: exit %d, %.1f s, process CPU %.2f %%, %.0f context switches/s"
                  % (run + 1, r["exit"], r["wall"], r["cpu"], r["switches"]))
            for role, (cpu, switches) in sorted(r["threads"].items()):
                print("    %-22s CPU %6.2f %%  %7.0f context switches/s" % (role, cpu, switches))
        n = len(results)
        print("mean of %d runs: process CPU %.2f %%, %.0f context switches/s" % (
            n, sum(r["cpu"] for r in results) / n, sum(r["switches"] for r in results) / n))
        roles = sorted({role for r in results for role in r["threads"]})
        for role in roles:
            seen = [r["threads"][role] for r in results if role in r["threads"]]
            print("    %-22s CPU %6.2f %%  %7.0f context switches/s" % (
                role, sum(c for c, _ in seen) / len(seen), sum(s for _, s in seen) / len(seen)))
    finally:
        if keeper is not None:
            keeper.terminate()
            keeper.wait()
        server.terminate()
        try:
            server.wait(timeout=5)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
