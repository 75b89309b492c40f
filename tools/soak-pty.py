#!/usr/bin/env python3
"""Real-time soak over a serial device: `quorlink update` against
`quorlink simulate --pty` with random faults, each run checked from the
tool's JSON and the simulator's record of what every card holds.

    tools/soak-pty.py BUILD_DIR [RUNS] [SEED]

An update the tool reports done (ok) must have left every chosen card that
takes part holding exactly the file's images, unless the simulator names
the card doubtful (a fault may have changed what it answered); no card
outside the choice may be written; a failed update must say why. Not part
of CI: every run takes seconds of real time.
"""
import json
import os
import random
import subprocess
import sys
import tempfile

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
    command = [tool, "simulate", "--pty", "--faults", str(seed), "--record", record]
    if silent:
        command += ["--silent", ",".join(map(str, silent))]
    if lost:
        command += ["--not-responding", ",".join(map(str, lost))]
    simulator = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    device = simulator.stdout.readline().strip()
    card_list = "all" if len(cards) == 63 else ",".join(map(str, cards))
    file = files["manager" if manager else "remote"]
    update = subprocess.run([tool, "update", file, "--cards", card_list, "--yes", "--device",
                             device, "--json"], capture_output=True, text=True, timeout=600)
    simulator.terminate()
    simulator.communicate(timeout=30)
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


def main():
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    first_seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    faults = {}
    outcomes = {"done": 0, "failed": 0}
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        files = make_files(build, folder)
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
    print("failures: %d" % len(failures))
    for failure in failures:
        print("  " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
