#!/usr/bin/python3
"""Rapping across a plant (scripts/run-plant): four units of one cell ask unit 1 for their
rapping slots. They rap one at a time, every one of them in turn; unit 1's queue is seen
by an independent Modbus client in holding registers 320..339; a scheduler whose register
server goes away is marked failed on every unit, and the units reconnect when it is back.

Needs root and `ip netns`; exits 77 (skipped) otherwise.
"""
import json
import os
import signal
import socket
import subprocess
import time
import unittest

from plantharness import Plant, namespace_pids, skip_if_not_possible
from unitharness import BIN, wait_for

UNITS = 4
SLOT_SECONDS = 3
INTERVAL_SECONDS = 20
RAPS_PER_UNIT = 2  # several intervals of every unit
QUEUE_REGISTER = 320
QUEUE_LENGTH = 20

# Handles of the tags the test reads and writes.
TRON = 94
SCHEDULER_RESULT = 46
IOGR1_CONNECTION = 637
RAPPING_RUNTIME = 793
RAPPING_SCHED1_IP = 794
RAPP_REP_TIME = 796
RAPP_REP_DAY = 799
QUEUE_POS00 = 445
CONNECT_STATUS = 1056  # bits 0 and 1: scheduler 1 failed (01) or connected (11)

RAPPING_OUTPUT = 11  # I/O group connection code


def time_word(seconds):
    """Packed time of day with seconds only (bits 8-15)."""
    return seconds << 8


def address_tag(address):
    """An IPv4 address as the unit's address tags hold it: network byte order in memory,
    the first octet in the least significant byte."""
    return int.from_bytes(socket.inet_aton(address), "little", signed=True)


# Reads unit 1's queue registers from the plant network each time it is asked.
QUEUE_READER = r"""
import json, sys
from pymodbus.client import ModbusTcpClient
client = ModbusTcpClient(sys.argv[1], port=502, timeout=3)
client.connect()
for _ in sys.stdin:
    reply = client.read_holding_registers(int(sys.argv[2]), int(sys.argv[3]), slave=1)
    print(json.dumps(None if reply.isError() else reply.registers), flush=True)
"""


class Rapping(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.plant = Plant(UNITS, 130000 + (os.getpid() % 4000) * 10, f"10.216.{os.getpid() % 250}", cells=1)
        cls.plant.start()
        cls.units, cls.stores = cls.plant.units, cls.plant.stores
        cls.scheduler = cls.units[0]
        # Every unit asks unit 1, with I/O group 1 as its rapping output, and runs.
        for store in cls.stores:
            store.set_value(RAPPING_SCHED1_IP, address_tag(cls.scheduler["address"]))
            store.set_value(IOGR1_CONNECTION, RAPPING_OUTPUT)
            store.set_value(RAPPING_RUNTIME, time_word(SLOT_SECONDS))
            store.set_value(RAPP_REP_DAY, 0)
            store.set_value(RAPP_REP_TIME, time_word(INTERVAL_SECONDS))
        for store in cls.stores:
            store.set_value(TRON, 1)

    @classmethod
    def tearDownClass(cls):
        cls.plant.close()

    def scheduler_queue(self):
        store = self.stores[0]
        return [store.value(QUEUE_POS00 + index) for index in range(QUEUE_LENGTH)]

    def connect_status(self):
        return [store.value(CONNECT_STATUS) & 0b11 for store in self.stores]

    def start_queue_reader(self):
        reader = subprocess.Popen(["ip", "netns", "exec", self.plant.bridge, "/usr/bin/python3", "-c", QUEUE_READER,
                                   self.scheduler["address"], str(QUEUE_REGISTER), str(QUEUE_LENGTH)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(reader.wait, 10)
        self.addCleanup(reader.stdout.close)
        self.addCleanup(reader.stdin.close)
        return reader

    def queue_over_modbus(self, reader):
        """Unit 1's queue as a Modbus client reads it, with its tags read just after."""
        reader.stdin.write("read\n")
        reader.stdin.flush()
        registers = json.loads(reader.stdout.readline())
        self.assertIsNotNone(registers, "the Modbus read failed")
        return registers, self.scheduler_queue()

    @staticmethod
    def same_queue(registers, tags):
        """The same units in the same order, times at most a second apart (the register
        server refreshes its registers from the tags about twice a second)."""
        return ([entry >> 8 for entry in registers] == [entry >> 8 for entry in tags] and
                all(abs((register & 0xFF) - (entry & 0xFF)) <= 1 for register, entry in zip(registers, tags)))

    def test_1_units_rap_one_at_a_time_each_in_turn(self):
        reader = self.start_queue_reader()
        raps = [0] * UNITS
        was_rapping = [False] * UNITS
        overlaps = []
        queue_seen = False
        last_read = None
        deadline = time.monotonic() + 240
        while time.monotonic() < deadline and (min(raps) < RAPS_PER_UNIT or not queue_seen):
            rapping = [store.value(SCHEDULER_RESULT) == 1 for store in self.stores]
            if sum(rapping) > 1:
                overlaps.append(rapping)
            raps = [count + (now and not before) for count, now, before in zip(raps, rapping, was_rapping)]
            was_rapping = rapping
            queue = self.scheduler_queue()
            if not queue_seen and sum(entry != 0 for entry in queue) >= 2:
                # Cell 1 (bits 12-15), fields A..D (bits 8-11): every entry a unit of the plant.
                self.assertTrue(all(entry >> 12 == 1 and 1 <= (entry >> 8 & 0xF) <= UNITS
                                    for entry in queue if entry), queue)
                last_read = self.queue_over_modbus(reader)
                queue_seen = self.same_queue(*last_read) and sum(entry != 0 for entry in last_read[0]) >= 2
            time.sleep(0.05)
        self.assertEqual(len(overlaps), 0, f"units rapped at the same time, first {overlaps[:3]}")
        self.assertTrue(all(count >= RAPS_PER_UNIT for count in raps), f"raps per unit {raps}")
        self.assertTrue(queue_seen, f"the queue over Modbus and in the tags: {last_read}")

    def test_2_units_mark_a_lost_scheduler_failed_and_reconnect(self):
        self.assertTrue(wait_for(lambda: self.connect_status() == [0b11] * UNITS, 30), self.connect_status())
        namespace = self.scheduler["namespace"]
        [regserver] = namespace_pids(namespace, "regserver")
        os.kill(regserver, signal.SIGTERM)
        self.assertTrue(wait_for(lambda: self.connect_status() == [0b01] * UNITS, 30), self.connect_status())

        root = self.scheduler["root"]
        environment = ["env", f"ORVIX_ROOT={root}", f"ORVIX_SHM_KEY={self.scheduler['shm_key']}",
                       f"PATH={root}/bin:{BIN}:{os.environ['PATH']}"]
        with open(os.path.join(root, "var", "log", "regserver.log"), "a") as log:
            restarted = subprocess.Popen(["ip", "netns", "exec", namespace] + environment +
                                         [os.path.join(BIN, "regserver"), "-c", "/var/lib/orvix/regserver.conf"],
                                         stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(restarted.wait, 10)
        self.addCleanup(restarted.terminate)
        self.assertTrue(wait_for(lambda: self.connect_status() == [0b11] * UNITS, 60), self.connect_status())


if __name__ == "__main__":
    skip_if_not_possible("rapping plant test")
    unittest.main()
