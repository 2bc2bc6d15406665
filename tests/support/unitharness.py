"""Starting programs of a unit in a temporary image with their own store key and ports."""
import os
import re
import shutil
import socket
import subprocess
import tempfile
import time
import unittest

import orvixstore

BIN = os.environ.get("ORVIX_BUILD_BIN", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SOURCE_DIR = os.environ.get("ORVIX_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))

SAVESET, UPDATES = 105, 1120  # vxo_saveset; exchanges of the simulated signal processor
# A steady field: no random sparks make the current dip now and then.
STEADY_FIELD = "sparkRateAtSparkover=0\nrandomSeed=1\n"


def wait_for(condition, seconds=10.0, step=0.05):
    """True as soon as condition() holds, else its last answer after the given time."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_port(port, process, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"program ended with status {process.returncode} before listening")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.05)
    raise TimeoutError(f"nothing listens on port {port}")


class Image:
    """A temporary unit image (ORVIX_ROOT) with its own store key."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="orvix-image-")
        self.key = orvixstore.free_key()
        self.env = dict(os.environ, ORVIX_ROOT=self.root, ORVIX_SHM_KEY=str(self.key))
        self.processes = []

    def lay_out(self):
        """The unit's default files and helper programs, and its host-command stand-ins
        first on PATH, as scripts/run-unit prepares an image."""
        subprocess.run([os.path.join(SOURCE_DIR, "unit/lay-out-image"), self.root, BIN], check=True,
                       stdout=subprocess.DEVNULL)
        self.env["PATH"] = ":".join([os.path.join(self.root, "bin"), BIN, os.environ["PATH"]])

    def lay_out_unit(self, dspsim_constants):
        """lay_out, with the register server on a free port of its own (returned) and the
        simulated signal processor on the given constants."""
        self.lay_out()
        port = free_port()
        conf = self.read("/var/lib/orvix/regserver.conf")
        self.write("/var/lib/orvix/regserver.conf", re.sub(r"(?m)^port=.*$", f"port={port}", conf))
        self.write("/var/lib/orvix/dspsim.ini", dspsim_constants)
        return port

    def path(self, unit_path):
        full = os.path.join(self.root, unit_path.lstrip("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        return full

    def write(self, unit_path, text):
        with open(self.path(unit_path), "w") as file:
            file.write(text)

    def read(self, unit_path):
        with open(self.path(unit_path)) as file:
            return file.read()

    def build_store(self):
        subprocess.run([os.path.join(BIN, "orvix-store-fixture")], env=self.env, check=True,
                       stdout=subprocess.DEVNULL)
        return orvixstore.Store(self.key)

    def start(self, name, args, log_name=None):
        """Starts a program of build/bin with stdout and stderr in var/log/<name>.log."""
        with open(self.path(f"/var/log/{log_name or name}.log"), "wb") as log:
            process = subprocess.Popen([os.path.join(BIN, name)] + args, env=self.env, stdout=log,
                                       stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        orvixstore.remove_segment(self.key)
        shutil.rmtree(self.root, ignore_errors=True)


class UnitTestCase(unittest.TestCase):
    """A test on a unit in an image of its own, its programs started as the test needs them;
    `dspsim_constants` is the field they run on."""

    dspsim_constants = STEADY_FIELD

    def setUp(self):
        self.image = Image()
        self.addCleanup(self.image.close)
        self.port = self.image.lay_out_unit(self.dspsim_constants)
        self.store = None

    def start_database(self, log_name="database"):
        """Starts database and waits for its first pass to have saved the settings: from then
        on the store holds the running unit."""
        process = self.image.start("database", ["-c", "/var/lib/orvix/orvix.ini"], log_name=log_name)
        started = lambda: "SAVESTTINGS CALLED" in self.image.read(f"/var/log/{log_name}.log")
        self.assertTrue(wait_for(started, 30), f"database did not start, see {log_name}.log")
        if self.store is None:
            self.store = orvixstore.Store(self.image.key)
            self.addCleanup(self.store.close)
        self.assertTrue(wait_for(lambda: self.store.value(SAVESET) == 0, 15), "the first pass saved nothing")
        return process

    def start_regserver(self, log_name="regserver"):
        process = self.image.start("regserver", ["-c", "/var/lib/orvix/regserver.conf"], log_name=log_name)
        wait_for_port(self.port, process)
        return process

    def start_dspsim(self):
        process = self.image.start("dspsim", [])
        self.assertTrue(wait_for(lambda: self.store.value(UPDATES) > 0, 15), "dspsim exchanges nothing")
        return process

    def connect_modbus(self):
        """A Modbus TCP client of the unit's register server, as a plant's control system has."""
        from pymodbus.client import ModbusTcpClient
        self.modbus = ModbusTcpClient("127.0.0.1", port=self.port, timeout=3)
        self.assertTrue(self.modbus.connect())
        self.addCleanup(self.modbus.close)
        return self.modbus
