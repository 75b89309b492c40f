#!/usr/bin/env python3
"""Real-time soak over a serial device: `quorlink` against
`quorlink simulate --pty`, the simulator modelling the wire's time.

    tools/soak-pty.py BUILD_DIR [RUNS] [FIRST_SEED] [--hog N]
    tools/soak-pty.py BUILD_DIR [RUNS] --clean [--hog N]

By default each run is an update with random faults, checked from the
tool's JSON and the simulator's record of what every card holds: an update
the tool reports done (ok) must have left every chosen card that takes part
holding exactly the file's images, unless the simulator names the card
doubtful (a fault may have changed what it answered); no card outside the
choice may be written; a failed update must say why.

With --clean the line has no faults and nothing may fail: each run updates
remote cards 2-5 and then reads the versions of the management card and of
cards 2-5, all of which must succeed with the file's version on the remote
cards. A failing command's --trace file is kept and named.

--hog N keeps N processes spinning on the CPU while the soak runs (2 fill
this machine's two cores), bounded in time and ended with the soak: a busy
machine must not make the simulator's replies come short.

Not part of CI: every run takes seconds of real time.
"""
import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import time

END_RECORD = ":00000001FF"


def images_of(path):
    """What a card holds after taking the file: the records (first 77
    characters) up to the file's end record, then the fixed end record; a
    management card file's second image comes first."""
    with open(path, encoding="latin-1") as file:
        lines = [line.rstrip("\r\n")[:77] for line in file if line.strip()]
    end = next(i for i, line in enumerate(lines) if line.startswith(END_RECORD))
    first = lines[:end] + [END_RECORD]
    if end + 1 == len(lines):
        return [first]
    return [lines[end + 1:-1] + [END_RECORD], first]


def make_files(build, folder):
    maker = os.path.join(build, "bin", "make_firmware")
    files = {}
    for kind, name, version in (("remote", "qdx_rem108_e.hex", "QLREM ver1.08 US"),
                                ("manager", "qdx_mgt232_e.hex", "QLMGR ver2.32 US")):
        path = os.path.join(folder, name)
        subprocess.run([maker, kind, path, "--version", version, "--size", "400"], check=True,
                       stdout=subprocess.DEVNULL)
        files[kind] = path
    return files


def start_simulator(tool, options):
    simulator = subprocess.Popen([tool, "simulate", "--pty"] + options, stdout=subprocess.PIPE,
                                 text=True)
    return simulator, simulator.stdout.readline().strip()


def stop_simulator(simulator):
    simulator.terminate()
    simulator.communicate(timeout=30)


def one_run(build, files, rng, seed, folder):
    tool = os.path.join(build, "bin", "quorlink")
    manager = rng.random() < 0.2
    if manager:
        cards = [1]
    elif rng.random() < 0.1:
        cards = list(range(2, 65))
    else:
        cards = sorted(rng.sample(range(2, 65), rng.randint(1, 4)))
    silent = [c for c in cards if rng.random() < 0.05]
    lost = [c for c in cards if c not in silent and rng.random() < 0.05]
    record = os.path.join(folder, "record-%d.json" % seed)
    command = ["--faults", str(seed), "--record", record]
    if silent:
        command += ["--silent", ",".join(map(str, silent))]
    if lost:
        command += ["--not-responding", ",".join(map(str, lost))]
    simulator, device = start_simulator(tool, command)
    card_list = "all" if len(cards) == 63 else ",".join(map(str, cards))
    file = files["manager" if manager else "remote"]
    update = subprocess.run([tool, "update", file, "--cards", card_list, "--yes", "--device",
                             device, "--json"], capture_output=True, text=True, timeout=600)
    stop_simulator(simulator)
    with open(record) as stream:
        held = json.load(stream)
    result = json.loads(update.stdout)

    problems = []
    images = {entry["card"]: entry["images"] for entry in held["cards"]}
    doubtful = set(held["doubtful"])
    expected = images_of(file)
    for card, received in images.items():
        if card not in cards and received:
            problems.append("card %d written though not chosen" % card)
    # Done for a card: the whole update reported ok, or the card read back
    # with the file's version.
    read_back = {entry["card"] for entry in result.get("after", [])
                 if entry.get("status") == "ok" and entry.get("matches_file")}
    for card in cards:
        takes_part = card not in silent and card not in lost
        reported = (result["ok"] and takes_part) or card in read_back
        if reported and card not in doubtful and images.get(card, []) != expected:
            problems.append("reported done, card %d holds %d image(s), not the file's"
                            % (card, len(images.get(card, []))))
    troubled = any(entry.get("status") != "ok" for entry in result.get("after", []))
    if not result["ok"] and not result.get("message") and not troubled:
        problems.append("failed without saying why: %s" % update.stdout.strip())
    if (update.returncode == 0) != bool(result["ok"]):
        problems.append("exit code %d with ok %s" % (update.returncode, result["ok"]))
    return result["ok"], held["faults"], problems, cards


def clean_run(build, files, run, folder):
    """One update of cards 2-5 and the version runs after it, without faults:
    the problems found, each naming the kept trace of the command that failed."""
    tool = os.path.join(build, "bin", "quorlink")
    updated = {card: "QLREM ver1.08 US" for card in range(2, 6)}
    steps = ((["update", files["remote"], "--cards", "2-5", "--yes"], "after", updated),
             (["versions", "--cards", "1"], "cards", {1: "QLMGR ver2.31 US"}),
             (["versions", "--cards", "2-5"], "cards", updated))
    simulator, device = start_simulator(tool, ["--cards", "1-5"])
    problems = []
    try:
        for number, (command, key, expected) in enumerate(steps):
            trace = os.path.join(folder, "trace.txt")
            result = subprocess.run([tool] + command + ["--device", device, "--json", "--trace",
                                                        trace],
                                    capture_output=True, text=True, timeout=120)
            outcome = json.loads(result.stdout) if result.stdout.strip() else {}
            versions = {entry["card"]: entry["version"] for entry in outcome.get(key, [])}
            if result.returncode == 0 and outcome.get("ok") and versions == expected:
                continue
            kept = os.path.abspath("soak-trace-%d-%d.txt" % (run, number))
            if os.path.exists(trace):
                os.replace(trace, kept)
            problems.append("%s: exit %d, %s, versions %s (trace %s)" % (
                " ".join(command[:1] + command[-2:]), result.returncode,
                (outcome.get("message") or result.stderr.strip() or "-").splitlines()[0],
                versions, kept))
            break
    finally:
        stop_simulator(simulator)
    return problems


class CpuHog:
    """`count` processes spinning until `seconds` have passed or the hog ends."""

    def __init__(self, count, seconds):
        spin = "import time\nend = time.monotonic() + %d\nwhile time.monotonic() < end: pass\n"
        self.processes = [subprocess.Popen([sys.executable, "-c", spin % seconds])
                          for _ in range(count)]

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        for process in self.processes:
            process.kill()
            process.wait()


def fault_soak(build, files, runs, first_seed, folder):
    faults = {}
    outcomes = {"done": 0, "failed": 0}
    failures = []
    for seed in range(first_seed, first_seed + runs):
        rng = random.Random(seed)
        ok, injected, problems, cards = one_run(build, files, rng, seed, folder)
        outcomes["done" if ok else "failed"] += 1
        for kind, count in injected.items():
            faults[kind] = faults.get(kind, 0) + count
        if problems:
            failures.append("seed %d, cards %s: %s" % (seed, cards, "; ".join(problems)))
        print("run %d: %s%s" % (seed, "done" if ok else "failed",
                                " PROBLEM " + "; ".join(problems) if problems else ""),
              flush=True)
    print("runs: %d, outcomes: %s" % (runs, outcomes))
    print("faults injected: " + ", ".join("%s %d" % item for item in faults.items()))
    return failures


def clean_soak(build, files, runs, folder):
    failures = []
    for run in range(1, runs + 1):
        problems = clean_run(build, files, run, folder)
        if problems:
            failures.append("run %d: %s" % (run, "; ".join(problems)))
        print("run %d: %s" % (run, "PROBLEM " + "; ".join(problems) if problems else "ok"),
              flush=True)
    print("runs: %d, each an update of cards 2-5 and two version runs" % runs)
    return failures


def main():
    parser = argparse.ArgumentParser(description="Real-time soak against quorlink simulate --pty.")
    parser.add_argument("build")
    parser.add_argument("runs", nargs="?", type=int, default=100)
    parser.add_argument("first_seed", nargs="?", type=int, default=1)
    parser.add_argument("--clean", action="store_true",
                        help="no faults: every update and version run must succeed")
    parser.add_argument("--hog", type=int, default=0, metavar="N",
                        help="keep N processes spinning on the CPU meanwhile")
    arguments = parser.parse_args()
    started = time.monotonic()
    # The hog stops by itself at the latest after a generous time per run.
    with tempfile.TemporaryDirectory() as folder, CpuHog(arguments.hog, 60 * arguments.runs + 60):
        files = make_files(arguments.build, folder)
        if arguments.clean:
            failures = clean_soak(arguments.build, files, arguments.runs, folder)
        else:
            failures = fault_soak(arguments.build, files, arguments.runs, arguments.first_seed,
                                  folder)
    print("time: %.0f s with %d CPU hog(s)" % (time.monotonic() - started, arguments.hog))
    print("failures: %d" % len(failures))
    for failure in failures:
        print("  " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
