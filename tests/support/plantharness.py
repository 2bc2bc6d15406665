"""A plant started with scripts/run-plant for a test: its units, their stores and the
bridge namespace, and a clean stop. Plant tests need root and `ip netns`."""
import json
import os
import re
import signal
import subprocess
import tempfile

import orvixstore
from unitharness import SOURCE_DIR, wait_for

SKIP = 77  # the exit status CTest counts as skipped


def skip_reason():
    if os.geteuid() != 0:
        return "not root"
    if subprocess.run(["ip", "netns", "list"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        return "no 'ip netns'"
    return None


def skip_if_not_possible(name):
    """Ends the test as skipped, with how to run it, when it cannot make a plant."""
    reason = skip_reason()
    if reason:
        print(f"{name} skipped ({reason}): it needs root and 'ip netns'; run it as root, "
              f"e.g. sudo ctest -R plant --output-on-failure")
        raise SystemExit(SKIP)


def namespace_pids(namespace, program):
    """Process ids of a program running in a network namespace."""
    pids = subprocess.run(["ip", "netns", "pids", namespace], stdout=subprocess.PIPE, text=True).stdout.split()
    found = []
    for pid in pids:
        try:
            with open(f"/proc/{pid}/comm") as f:
                if f.read().strip() == program:
                    found.append(int(pid))
        except OSError:
            pass
    return found


class Plant:
    """scripts/run-plant with its own root, store keys and subnet."""

    def __init__(self, units, key_base, subnet, cells=None):
        self.root = tempfile.mkdtemp(prefix="orvix-plant-")
        self.arguments = ["--units", str(units), "--root", self.root, "--shm-key", str(key_base), "--subnet", subnet]
        if cells:
            self.arguments += ["--cells", str(cells)]
        self.log = open(os.path.join(self.root, "run-plant.log"), "w+")
        self.process = None
        self.stores = []

    def start(self):
        self.log.truncate(0)
        self.process = subprocess.Popen([os.path.join(SOURCE_DIR, "scripts", "run-plant")] + self.arguments,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        ready = wait_for(lambda: "plant ready" in self.read_log() or self.process.poll() is not None, 180, 0.2)
        if not ready or self.process.poll() is not None:
            self.stop()
            raise AssertionError("the plant did not come up:\n" + self.read_log())
        with open(os.path.join(self.root, "plant.json")) as f:
            self.units = json.load(f)["units"]
        self.stores = [orvixstore.Store(unit["shm_key"]) for unit in self.units]
        self.bridge = re.search(r"bridge namespace (\S+)", self.read_log()).group(1)

    def read_log(self):
        with open(self.log.name) as f:
            return f.read()

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=120)
        for store in self.stores:
            store.close()
        self.stores = []

    def close(self):
        self.stop()
        self.log.close()
