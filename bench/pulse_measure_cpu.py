#!/usr/bin/env python3
"""CPU and wake-ups of a real-time quorvel-cli measure, or of the idle window.

Two modes:

measure (the default): starts a private audio server that speaks the PulseAudio protocol, with
a null sink "Loop" at 48000 Hz stereo whose monitor is the input, and runs
`quorvel-cli measure --input "Monitor of Loop" --output "Loop" --gain -12` --runs times.
--server pulseaudio starts PulseAudio 16 (its own runtime folder, no configuration script);
--server pipewire starts a session D-Bus, pipewire, wireplumber and pipewire-pulse, as the
real-server tests do (every folder and the bus private, libm preloaded into pipewire-pulse for
the LADSPA SDK's plugins, the sink made with pactl and never suspended).

--idle-window: starts the window (build/release/app/quorvel) with no audio server, so on the
simulated devices, with a private home folder, under Qt's offscreen platform (or a private Xvfb
with --xvfb), waits --settle seconds, then measures --window seconds of the idle process.

Each run prints:
  - the whole process: CPU in percent of one core, context switches per second. A measure is
    counted from the kernel's accounting of the ended child (its whole life, every thread); an
    idle window from /proc over the window (CPU of every thread; switches summed over the
    threads alive at both ends of the window);
  - each thread, by name ("main" is the process's first thread, unnamed threads are numbered in
    the order they were made): CPU in percent of one core, voluntary and involuntary context
    switches per second, sampled from /proc/PID/task every 100 ms.
and then, over the runs that completed (a measure that failed, with its reason, is left out),
the median and the best run (least process CPU) with the spread (lowest-highest) of each
figure, and the load average seen while the runs ran.

--strace adds one more run under `strace -f` (not counted in the figures above: tracing slows
every system call) and prints per thread how many times a second each of the waiting calls was
made (sched_yield, futex, poll, ppoll, clock_nanosleep, nanosleep, epoll_wait, read, write,
recvmsg, sendmsg).

--serve-only starts the server of --server, prints the address and the processes, and keeps it
running until interrupted (for trying things by hand: PULSE_SERVER=<address> pacat ...).

Needs pulseaudio, pulseaudio-utils; for --server pipewire also dbus, pipewire, pipewire-pulse,
wireplumber; for --xvfb xvfb; for --strace strace.
"""
import argparse
import ctypes
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
PR_SET_PDEATHSIG = 1
STRACE_CALLS = ("sched_yield", "futex", "poll", "ppoll", "clock_nanosleep", "nanosleep",
                "epoll_wait", "read", "write", "recvmsg", "sendmsg")


def die_with_parent():
    # The server and its helpers end with this script, however it ends.
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def wait_for_socket(path, seconds, process=None):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            return False
        probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            probe.connect(path)
            return True
        except OSError:
            time.sleep(0.05)
        finally:
            probe.close()
    return False


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def end_process(process):
    """Asks a child to end, and ends it after 5 s if it has not."""
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Server:
    """A private server: its processes (name -> Popen, in start order), its address, its folder."""

    def __init__(self, folder):
        self.folder = folder
        self.processes = {}
        self.address = None

    def client_env(self):
        return dict(os.environ, PULSE_SERVER=self.address)

    def pactl(self, *arguments):
        done = subprocess.run(["pactl"] + list(arguments), env=self.client_env(),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        return done.returncode, done.stdout

    def spawn(self, name, args, env):
        log = open(os.path.join(self.folder, name + ".log"), "wb")
        self.processes[name] = subprocess.Popen(args, env=env, stdout=log, stderr=log,
                                                stdin=subprocess.DEVNULL,
                                                preexec_fn=die_with_parent)
        return self.processes[name]

    def fail(self, why):
        self.stop()
        sys.exit("%s; see the logs in %s" % (why, self.folder))

    def stop(self):
        for process in reversed(list(self.processes.values())):
            end_process(process)
        self.processes.clear()


def start_pulseaudio(folder):
    server = Server(folder)
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
    process = server.spawn("pulseaudio", args, env)
    server.address = "unix:" + sock
    if not wait_for_socket(sock, 15, process):
        server.fail("pulseaudio did not open its socket")
    return server


def start_pipewire(folder):
    server = Server(folder)
    bus = os.path.join(folder, "bus")
    # A session bus of its own: wireplumber and pipewire look for one, and must not reach the
    # user's.
    process = server.spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                    "--address=unix:path=" + bus], dict(os.environ))
    if not wait_for_socket(bus, 15, process):
        server.fail("dbus-daemon did not open its socket")
    env = dict(os.environ)
    for key in ("XDG_RUNTIME_DIR", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE", "PULSE_RUNTIME_PATH",
                "PULSE_STATE_PATH", "PULSE_SERVER", "HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME",
                "XDG_DATA_HOME", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(key, None)
    env.update(XDG_RUNTIME_DIR=folder, PIPEWIRE_RUNTIME_DIR=folder,
               PULSE_RUNTIME_PATH=os.path.join(folder, "pulse"), HOME=folder,
               XDG_CONFIG_HOME=os.path.join(folder, "config"),
               XDG_STATE_HOME=os.path.join(folder, "state"),
               XDG_DATA_HOME=os.path.join(folder, "data"),
               DBUS_SESSION_BUS_ADDRESS="unix:path=" + bus)
    process = server.spawn("pipewire", ["pipewire"], env)
    if not wait_for_socket(os.path.join(folder, "pipewire-0"), 15, process):
        server.fail("pipewire did not open its socket")
    server.spawn("wireplumber", ["wireplumber"], env)
    # The LADSPA SDK's example plugins use the maths library without linking it; pipewire-pulse
    # refuses them ("undefined symbol: sqrtf") unless it is preloaded.
    pulse_env = dict(env)
    pulse_env["LD_PRELOAD"] = (env.get("LD_PRELOAD", "") + " libm.so.6").strip()
    process = server.spawn("pipewire-pulse", ["pipewire-pulse"], pulse_env)
    sock = os.path.join(folder, "pulse", "native")
    server.address = "unix:" + sock
    if not wait_for_socket(sock, 15, process):
        server.fail("pipewire-pulse did not open its socket")
    # Idle sinks stay awake (wireplumber suspends them after 5 s by default; 0 means never).
    status, _ = server.pactl("load-module", "module-null-sink", "sink_name=loop", "rate=48000",
                             "channels=2", "sink_properties='device.description=\"Loop\"' "
                             "session.suspend-timeout-seconds=0")
    if status != 0:
        server.fail("pactl could not make the null sink")
    # The session manager has taken charge once it reports the chosen default sink; only then
    # does a new stream get linked to its device.
    deadline = time.monotonic() + 15
    while True:
        _, sinks = server.pactl("list", "short", "sinks")
        if "loop\t" in sinks:
            _, info = server.pactl("info")
            _, clients = server.pactl("list", "short", "clients")
            if "Default Sink: loop\n" not in info:
                server.pactl("set-default-sink", "loop")
            elif "wireplumber" in clients:
                return server
        if time.monotonic() > deadline:
            server.fail("the sink or wireplumber was not ready in time")
        time.sleep(0.05)


def start_server(kind, folder):
    return start_pipewire(folder) if kind == "pipewire" else start_pulseaudio(folder)


def read_threads(pid):
    """{tid: (name, cpu_ticks, voluntary, involuntary)} of the live threads of pid."""
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
        # fields[0] is the state (field 3 of stat): utime is field 14, stime 15.
        ticks = int(fields[11]) + int(fields[12])
        voluntary = involuntary = 0
        for line in status.splitlines():
            if line.startswith("voluntary_ctxt_switches"):
                voluntary = int(line.split()[1])
            elif line.startswith("nonvoluntary_ctxt_switches"):
                involuntary = int(line.split()[1])
        threads[int(tid)] = (name, ticks, voluntary, involuntary)
    return threads


def process_ticks(pid):
    # utime + stime of every thread of the process, ended ones included.
    with open("/proc/%d/stat" % pid) as f:
        stat = f.read()
    fields = stat[stat.rindex(")") + 2:].split()
    return int(fields[11]) + int(fields[12])


def role_names(pid, names):
    """{tid: role}: "main" for the first thread, named threads by name, the others (named as the
    program) numbered in the order they were made."""
    roles = {}
    unnamed = 0
    program = names.get(pid)
    for tid in sorted(names):
        if tid == pid:
            roles[tid] = "main"
        elif names[tid] == program:
            unnamed += 1
            roles[tid] = "unnamed %d" % unnamed
        else:
            roles[tid] = names[tid]
    return roles


class Sampler:
    """Reads the threads of pid every 100 ms in a thread of its own: the first and the last
    sight of each thread."""

    def __init__(self, pid):
        self.pid = pid
        self.first, self.last = {}, {}
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        while not self.done.is_set():
            self.take()
            time.sleep(0.1)

    def take(self):
        now = time.monotonic()
        for tid, values in read_threads(self.pid).items():
            self.first.setdefault(tid, (now, values))
            self.last[tid] = (now, values)

    def stop(self):
        self.done.set()
        self.thread.join()

    def threads(self, shortest=1.0):
        """{role: (cpu %, voluntary/s, involuntary/s)} of the threads seen for `shortest` s."""
        names = {tid: values[0] for tid, (_, values) in self.last.items()}
        roles = role_names(self.pid, names)
        result = {}
        for tid, (t0, v0) in self.first.items():
            t1, v1 = self.last[tid]
            span = t1 - t0
            if span < shortest:
                continue  # a short-lived helper thread
            figures = (100.0 * (v1[1] - v0[1]) / CLOCK_TICKS / span, (v1[2] - v0[2]) / span,
                       (v1[3] - v0[3]) / span)
            old = result.get(roles[tid])
            if old is not None:  # two threads of one name (timer threads): add them up
                figures = tuple(a + b for a, b in zip(old, figures))
            result[roles[tid]] = figures
        return result


def measure_args(cli, workdir):
    return [cli, "measure", "--input", "Monitor of Loop", "--output", "Loop", "--gain", "-12",
            "--csv", os.path.join(workdir, "curve.csv")]


def measure_once(cli, server, workdir):
    load = load_average()
    started = time.monotonic()
    child = subprocess.Popen(measure_args(cli, workdir), env=server.client_env(),
                             stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(workdir, "cli.log"), "wb"),
                             stdin=subprocess.DEVNULL)
    sampler = Sampler(child.pid)
    _, status, usage = os.wait4(child.pid, 0)
    sampler.stop()
    child.returncode = os.waitstatus_to_exitcode(status)
    wall = time.monotonic() - started
    return {
        "wall": wall,
        "exit": child.returncode,
        "cpu": 100.0 * (usage.ru_utime + usage.ru_stime) / wall,
        "switches": (usage.ru_nvcsw + usage.ru_nivcsw) / wall,
        "threads": sampler.threads(),
        "load": (load, load_average()),
        "why": last_words(workdir) if child.returncode != 0 else "",
    }


class Window:
    """The window on the simulated devices: no audio server answers, its settings in a private
    home folder, on the offscreen platform or a private Xvfb."""

    def __init__(self, app, folder, xvfb):
        self.folder = folder
        self.xvfb = None
        env = dict(os.environ)
        for key in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                    "XDG_CACHE_HOME", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(key, None)
        client_conf = os.path.join(folder, "client.conf")
        with open(client_conf, "w") as f:
            f.write("autospawn = no\n")
        env.update(HOME=folder, XDG_RUNTIME_DIR=folder, PULSE_CLIENTCONFIG=client_conf,
                   PULSE_SERVER="unix:" + os.path.join(folder, "no-server"))
        if xvfb:
            read_end, write_end = os.pipe()
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                 "1280x1024x24"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                stderr=open(os.path.join(folder, "xvfb.log"), "wb"), preexec_fn=die_with_parent)
            os.close(write_end)
            with os.fdopen(read_end) as f:
                display = f.readline().strip()
            if not display:
                sys.exit("Xvfb did not start; see %s/xvfb.log" % folder)
            env.update(DISPLAY=":" + display, QT_QPA_PLATFORM="xcb")
        else:
            env["QT_QPA_PLATFORM"] = "offscreen"
        self.child = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL,
                                      stderr=open(os.path.join(folder, "app.log"), "wb"),
                                      stdin=subprocess.DEVNULL, preexec_fn=die_with_parent)

    def stop(self):
        for process in (self.child, self.xvfb):
            if process is not None:
                end_process(process)


def idle_once(app, folder, xvfb, settle, window_seconds):
    window = Window(app, folder, xvfb)
    try:
        time.sleep(settle)
        if window.child.poll() is not None:
            sys.exit("the window ended by itself (exit %d); see %s/app.log"
                     % (window.child.returncode, folder))
        pid = window.child.pid
        load = load_average()
        started = time.monotonic()
        ticks0 = process_ticks(pid)
        sampler = Sampler(pid)
        time.sleep(window_seconds)
        sampler.stop()
        ticks1 = process_ticks(pid)
        wall = time.monotonic() - started
        threads = sampler.threads(shortest=0.5 * window_seconds)
        return {
            "wall": wall,
            "exit": 0,
            "cpu": 100.0 * (ticks1 - ticks0) / CLOCK_TICKS / wall,
            "switches": sum(v + i for _, v, i in threads.values()),
            "threads": threads,
            "load": (load, load_average()),
        }
    finally:
        window.stop()


def print_threads(threads, indent="    "):
    for role, (cpu, voluntary, involuntary) in sorted(threads.items()):
        print("%s%-18s CPU %6.2f %%  %6.0f voluntary + %5.0f involuntary switches/s"
              % (indent, role, cpu, voluntary, involuntary))


def print_run(number, r):
    print("run %d: exit %d, %.1f s, load %.2f-%.2f, process CPU %.2f %%, %.0f context switches/s"
          % (number, r["exit"], r["wall"], r["load"][0], r["load"][1], r["cpu"], r["switches"]))
    if r["exit"] != 0 and r.get("why"):
        print("    failed%s" % r["why"])
    print_threads(r["threads"])
    sys.stdout.flush()


def spread(values, digits=2):
    return "%.*f-%.*f" % (digits, min(values), digits, max(values))


def print_summary(all_results):
    # A failed measure stopped early (a dropout, a missing device): its figures are of another
    # kind of run and stay out of the summary.
    results = [r for r in all_results if r["exit"] == 0] or all_results
    if len(results) != len(all_results):
        print("\n%d of %d runs failed and are left out" % (len(all_results) - len(results),
                                                         len(all_results)), end="")
    n = len(results)
    cpus = [r["cpu"] for r in results]
    switches = [r["switches"] for r in results]
    loads = [x for r in results for x in r["load"]]
    print("\n%d runs, load average %.2f-%.2f while they ran" % (n, min(loads), max(loads)))
    print("median: process CPU %.2f %% (%s), %.0f context switches/s (%s)"
          % (statistics.median(cpus), spread(cpus), statistics.median(switches),
             spread(switches, 0)))
    roles = sorted({role for r in results for role in r["threads"]})
    for role in roles:
        seen = [r["threads"][role] for r in results if role in r["threads"]]
        columns = list(zip(*seen))
        print("    %-18s CPU %6.2f %% (%s)  %6.0f voluntary (%s) + %5.0f involuntary/s (%s)%s"
              % (role, statistics.median(columns[0]), spread(columns[0]),
                 statistics.median(columns[1]), spread(columns[1], 0),
                 statistics.median(columns[2]), spread(columns[2], 0),
                 "" if len(seen) == n else "  [in %d of %d runs]" % (len(seen), n)))
    best = min(range(n), key=lambda i: results[i]["cpu"])
    print("best: run %d, process CPU %.2f %%, %.0f context switches/s"
          % (all_results.index(results[best]) + 1, results[best]["cpu"],
             results[best]["switches"]))
    print_threads(results[best]["threads"])


def count_strace(prefix, roles_by_tid, seconds):
    """{role: {call: per second}} from strace -ff files prefix.TID."""
    counts = {}
    folder, stem = os.path.split(prefix)
    pattern = re.compile(r"^(?:\d+\.\d+ )?(\w+)\(")
    for entry in os.listdir(folder):
        suffix = entry[len(stem) + 1:]
        if not entry.startswith(stem + ".") or not suffix.isdigit():
            continue
        tid = int(suffix)
        role = roles_by_tid.get(tid, "thread %d" % tid)
        calls = counts.setdefault(role, {})
        with open(os.path.join(folder, entry), errors="replace") as f:
            for line in f:
                match = pattern.match(line)
                if match:  # "<... futex resumed>" lines finish a call counted already
                    calls[match.group(1)] = calls.get(match.group(1), 0) + 1
    return {role: {call: n / seconds for call, n in calls.items()}
            for role, calls in counts.items()}


def strace_attach(pid, prefix):
    tracer = subprocess.Popen(["strace", "-f", "-ff", "-qq", "-o", prefix, "-e",
                               "trace=" + ",".join(STRACE_CALLS), "-p", str(pid)],
                              stdout=subprocess.DEVNULL,
                              stderr=open(prefix + ".log", "wb"), preexec_fn=die_with_parent)
    time.sleep(0.2)  # strace has attached to every thread
    return tracer


def print_strace(calls_by_role, what):
    print("\nunder strace (%s; tracing slows every call, the CPU figures above are without it), "
          "calls per second:" % what)
    for role, calls in sorted(calls_by_role.items()):
        shown = ", ".join("%s %.0f" % (call, calls[call])
                          for call in STRACE_CALLS if calls.get(call, 0) >= 0.5)
        print("    %-18s %s" % (role, shown or "-"))


def strace_measure(cli, server, workdir):
    # strace starts the measure itself, so that --seccomp-bpf stops only the traced calls: an
    # attached strace stops every call, and the slowed measure fails with a dropout.
    prefix = os.path.join(workdir, "strace", "trace")
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    started = time.monotonic()
    tracer = subprocess.Popen(["strace", "-f", "-ff", "--seccomp-bpf", "-qq", "-o", prefix, "-e",
                               "trace=" + ",".join(STRACE_CALLS)] + measure_args(cli, workdir),
                              env=server.client_env(), stdout=subprocess.DEVNULL,
                              stderr=open(os.path.join(workdir, "cli.log"), "wb"),
                              stdin=subprocess.DEVNULL)
    pid = None
    while pid is None and tracer.poll() is None:
        pid = descendant_named(tracer.pid, os.path.basename(cli)[:15])
        time.sleep(0.005)
    sampler = Sampler(pid) if pid is not None else None
    tracer.wait()
    seconds = time.monotonic() - started
    names = {}
    if sampler is not None:
        sampler.stop()
        names = {tid: values[0] for tid, (_, values) in sampler.last.items()}
    print_strace(count_strace(prefix, role_names(pid, names), seconds),
                 "one measure, exit %d%s" % (tracer.returncode, last_words(workdir)))


def descendant_named(ancestor, name):
    # The process called `name` below `ancestor` (strace runs its tracee through a helper).
    parents = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        parents[int(entry)] = (stat[stat.index("(") + 1:stat.rindex(")")],
                               int(stat[stat.rindex(")") + 2:].split()[1]))
    for pid, (comm, parent) in parents.items():
        while comm == name and parent > 1:
            if parent == ancestor:
                return pid
            parent = parents.get(parent, ("", 0))[1]
    return None


def last_words(workdir):
    # The last line quorvel-cli wrote to its error output, to say why a run failed.
    try:
        with open(os.path.join(workdir, "cli.log"), errors="replace") as f:
            lines = [line.strip() for line in f if line.strip()]
    except OSError:
        return ""
    return ": " + lines[-1] if lines else ""


def strace_idle(app, folder, xvfb, settle, window_seconds):
    prefix = os.path.join(folder, "strace", "trace")
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    window = Window(app, folder, xvfb)
    try:
        time.sleep(settle)
        sampler = Sampler(window.child.pid)
        tracer = strace_attach(window.child.pid, prefix)
        started = time.monotonic()
        time.sleep(window_seconds)
        tracer.send_signal(signal.SIGINT)  # detaches, the window goes on
        tracer.wait()
        seconds = time.monotonic() - started
        sampler.stop()
        names = {tid: values[0] for tid, (_, values) in sampler.last.items()}
        print_strace(count_strace(prefix, role_names(window.child.pid, names), seconds),
                     "%.0f s of the idle window" % window_seconds)
    finally:
        window.stop()


def require(programs):
    packages = {"pulseaudio": "pulseaudio", "pacat": "pulseaudio-utils",
                "pactl": "pulseaudio-utils", "dbus-daemon": "dbus", "pipewire": "pipewire",
                "pipewire-pulse": "pipewire-pulse", "wireplumber": "wireplumber",
                "Xvfb": "xvfb", "strace": "strace"}
    for program in programs:
        if shutil.which(program) is None:
            sys.exit("%s is not installed (Debian package %s)" % (program, packages[program]))


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog="\n\n".join(__doc__.split("\n\n")[1:]),
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--server", choices=("pulseaudio", "pipewire"), default="pulseaudio",
                        help="the private server a measure plays through (default pulseaudio)")
    parser.add_argument("--idle-window", action="store_true",
                        help="measure the idle window on the simulated devices instead")
    parser.add_argument("--runs", type=int, default=3, help="how many runs (default 3)")
    parser.add_argument("--cli", default="build/release/cli/quorvel-cli",
                        help="the quorvel-cli to measure (default %(default)s)")
    parser.add_argument("--app", default="build/release/app/quorvel",
                        help="the window to measure (default %(default)s)")
    parser.add_argument("--xvfb", action="store_true",
                        help="run the window on a private Xvfb instead of the offscreen platform")
    parser.add_argument("--settle", type=float, default=5.0,
                        help="seconds the window runs before its idle window (default 5)")
    parser.add_argument("--window", type=float, default=10.0,
                        help="seconds of the idle window measured (default 10)")
    parser.add_argument("--keep-busy", action="store_true",
                        help="play silence into the sink with pacat for the whole run (as the "
                             "older tests did to keep an idle null sink at a short latency)")
    parser.add_argument("--strace", action="store_true",
                        help="one more run under strace: waiting calls per second per thread")
    parser.add_argument("--serve-only", action="store_true",
                        help="start the server, print its address, keep it until interrupted")
    options = parser.parse_args()
    # A polite end (SIGTERM) also stops the server and removes the private folder.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("ended by SIGTERM"))
    if options.runs < 1:
        parser.error("--runs must be at least 1")
    if options.strace:
        require(["strace"])
    folder = tempfile.mkdtemp(prefix="quorvel-bench.")
    try:
        if options.idle_window:
            if options.xvfb:
                require(["Xvfb"])
            app = os.path.abspath(options.app)
            print("the idle window (%s, %s platform): %.0f s after %.0f s to settle"
                  % (app, "Xvfb" if options.xvfb else "offscreen", options.window,
                     options.settle))
            results = []
            for run in range(options.runs):
                results.append(idle_once(app, folder, options.xvfb, options.settle,
                                         options.window))
                print_run(run + 1, results[-1])
            print_summary(results)
            if options.strace:
                strace_idle(app, folder, options.xvfb, options.settle, options.window)
            return
        require(["pulseaudio", "pacat", "pactl"] if options.server == "pulseaudio" else
                ["dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse", "pacat", "pactl"])
        server = start_server(options.server, folder)
        keeper = None
        try:
            if options.serve_only:
                print("%s serves at PULSE_SERVER=%s (null sink \"loop\", described \"Loop\")"
                      % (options.server, server.address))
                for name, process in server.processes.items():
                    print("    %-15s pid %d" % (name, process.pid))
                print("logs in %s; Ctrl-C ends it" % folder)
                sys.stdout.flush()
                try:
                    signal.pause()
                except KeyboardInterrupt:
                    pass
                return
            if options.keep_busy:
                keeper = subprocess.Popen(
                    ["pacat", "--raw", "--latency-msec=20", "--format=s16le", "--rate=48000",
                     "--channels=2", "-d", "loop", "/dev/zero"],
                    env=server.client_env(), stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
                time.sleep(1.0)
            cli = os.path.abspath(options.cli)
            print("quorvel-cli measure through %s (%s)" % (options.server, cli))
            results = []
            for run in range(options.runs):
                time.sleep(2.0)  # the sink goes idle between runs, as between a user's measurements
                results.append(measure_once(cli, server, folder))
                print_run(run + 1, results[-1])
            print_summary(results)
            if options.strace:
                time.sleep(2.0)
                strace_measure(cli, server, folder)
        finally:
            if keeper is not None:
                keeper.terminate()
                keeper.wait()
            server.stop()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
