#!/usr/bin/python3
"""A plant of many units on this machine (scripts/run-plant): how long it takes to come
up and until the master counts every unit, the master's poll cycle, and the CPU share
of the whole plant (every process in its namespaces) at rest and with every T/R set on.
Each figure comes with its error count: units missing from the master's summary at the
end of the window and "sendto" failures in the master logs. Needs root.
  bench/plant_scale.py [--units N] [--window SECONDS] [--bin DIR]
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
import orvixstore  # noqa: E402
from unitharness import wait_for  # noqa: E402

TRON, MASTER, MASTERTRON, MASTERTOTALNR, SEND_COUNTER = 94, 98, 152, 270, 1136
TICKS = os.sysconf("SC_CLK_TCK")
UNITS_SEEN = []  # plant.json's units, for the logs


def plant_ticks(namespaces):
    """CPU ticks per program of every process in the namespaces, with those of the
    children it reaped."""
    ticks = {}
    for namespace in namespaces:
        pids = subprocess.run(["ip", "netns", "pids", namespace], stdout=subprocess.PIPE, text=True).stdout.split()
        for pid in pids:
            try:
                with open(f"/proc/{pid}/stat") as f:
                    name, fields = f.read().split(" (", 1)[1].rsplit(")", 1)
            except (OSError, ValueError):
                continue
            used = sum(int(value) for value in fields.split()[11:15])  # utime stime cutime cstime
            ticks[name] = ticks.get(name, 0) + used
    return ticks


def store_exists(key):
    try:
        orvixstore.Store(key)
        return True
    except OSError:
        return False


def sendto_errors(units):
    count = 0
    for unit in units:
        try:
            with open(os.path.join(unit["root"], "var", "log", "master.log"), errors="replace") as f:
                count += f.read().count("sendto")
        except OSError:
            pass
    return count


def window(label, seconds, namespaces, master, total_units):
    """CPU share of the plant and the master's poll cycle, timed from poll to poll."""
    ticks_before = plant_ticks(namespaces)
    started = time.monotonic()
    first = last = None  # (time, polls) at the first and the last poll seen
    polls = master.value(SEND_COUNTER)
    while time.monotonic() - started < seconds:
        time.sleep(0.02)
        now_polls = master.value(SEND_COUNTER)
        if now_polls != polls:
            polls = now_polls
            last = (time.monotonic(), polls)
            first = first or last
    elapsed = time.monotonic() - started
    ticks_after = plant_ticks(namespaces)
    used = {name: ticks_after.get(name, 0) - ticks_before.get(name, 0) for name in ticks_after}
    share = sum(used.values()) / TICKS / elapsed
    cycle = (last[0] - first[0]) / (last[1] - first[1]) if first and last[1] > first[1] else float("nan")
    missing = total_units - master.value(MASTERTOTALNR)
    print(f"{label}: CPU {share * 100:.1f} % of one core over {elapsed:.0f} s; master cycle {cycle:.2f} s; "
          f"errors: {missing} units missing from the summary, {sendto_errors(UNITS_SEEN)} sendto failures")
    by_program = sorted(used.items(), key=lambda item: -item[1])
    print("  by program: " + ", ".join(f"{name} {ticks / TICKS / elapsed * 100:.1f} %" for name, ticks in by_program
                                       if ticks > 0))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--units", type=int, default=32)
    parser.add_argument("--window", type=int, default=60)
    parser.add_argument("--bin", default=os.path.join(SOURCE, "build", "bin"))
    args = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("plant_scale needs root (network namespaces)")

    root = tempfile.mkdtemp(prefix="orvix-plant-scale-")
    env = dict(os.environ, ORVIX_BUILD_BIN=os.path.abspath(args.bin))
    log = open(os.path.join(root, "run-plant.log"), "w")
    started = time.monotonic()
    base = 60000 + os.getpid() % 1000 * 100
    plant = subprocess.Popen([os.path.join(SOURCE, "scripts", "run-plant"), "--units", str(args.units), "--root", root,
                              "--shm-key", str(base), "--subnet", "10.215.3"],
                             stdout=log, stderr=subprocess.STDOUT, env=env)

    def read_log():
        with open(log.name) as f:
            return f.read()
    try:
        # From the moment unit 1 becomes master: its polls until the summary counts every unit.
        key = base + 1
        if not wait_for(lambda: store_exists(key) or plant.poll() is not None, 600):
            sys.exit("no store of unit 1:\n" + read_log())
        master = orvixstore.Store(key)
        wait_for(lambda: master.value(MASTER) == 1 or plant.poll() is not None, 600, 0.02)
        became_master = time.monotonic()
        counted = wait_for(lambda: master.value(MASTERTOTALNR) == args.units or plant.poll() is not None, 120, 0.02)
        polls_to_count = master.value(SEND_COUNTER)
        all_counted = time.monotonic()
        if not wait_for(lambda: "plant ready" in read_log() or plant.poll() is not None, 600):
            sys.exit("the plant did not come up:\n" + read_log())
        if plant.poll() is not None:
            sys.exit("run-plant ended:\n" + read_log())
        ready = time.monotonic() - started
        with open(os.path.join(root, "plant.json")) as f:
            units = json.load(f)["units"]
        stores = [orvixstore.Store(unit["shm_key"]) for unit in units]
        namespaces = [unit["namespace"] for unit in units] + [re.search(r"bridge namespace (\S+)", read_log()).group(1)]
        print(f"{args.units} units: plant ready after {ready:.1f} s; unit 1 master after {became_master - started:.1f} s; "
              f"its summary counts {master.value(MASTERTOTALNR)} units {all_counted - became_master:.1f} s and "
              f"{polls_to_count} polls later{'' if counted else ' (NOT ALL)'}")
        UNITS_SEEN.extend(units)
        window("at rest", args.window, namespaces, master, args.units)

        master.set_value(MASTERTRON, 1)
        switched = time.monotonic()
        on = wait_for(lambda: all(store.value(TRON) == 1 for store in stores), 120)
        print(f"T/R sets on: {sum(store.value(TRON) == 1 for store in stores)} of {args.units} after "
              f"{time.monotonic() - switched:.1f} s{'' if on else ' (NOT ALL)'}")
        window("energised", args.window, namespaces, master, args.units)
    finally:
        if plant.poll() is None:
            plant.send_signal(signal.SIGTERM)
            plant.wait(timeout=300)
        log.close()


if __name__ == "__main__":
    main()
