#!/usr/bin/python3
"""A plant of eight units on one machine, each in its own network namespace
(scripts/run-plant), checked the way a plant sees it: the master's summary, commands
from the master to every unit, a unit that falls silent, and tag commands from an
independent peer on the plant network.

Needs root and `ip netns`; exits 77 (skipped) otherwise.
"""
import os
import signal
import socket
import subprocess
import time
import unittest

import orvixstore
from plantharness import Plant as RunningPlant, namespace_pids, skip_if_not_possible
from unitharness import wait_for

UNITS = 8
UDP_PORT = 49200

# Handles of the tags the test reads and writes.
TRON = 94
MASTERTRON = 152
MODE = 560
MASTERMODE = 584
TRONDELAY = 762
LOCKEDMODE = 922
MASTERTOTALNR = 270
SAVESET = 105
NODEADDRESS = 621
FIELDPOSITION = 622
SEND_COUNTER = 1136  # broadcasts the master sent
IP_ADDRESS, IP_GATEWAY, IP_NETMASK = 906, 907, 908  # network byte order
HOLD_IP_ADDRESS = 1546  # holding registers of vxo_ipaddress, low word first


def read_text(path):
    with open(path) as f:
        return f.read()


PEER = r"""
import socket, sys, time
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
sock.bind(("0.0.0.0", 49200))
sock.settimeout(0.5)
request, expected = sys.argv[1].encode(), sys.argv[2].encode()
deadline = time.monotonic() + 20
while time.monotonic() < deadline:
    sock.sendto(request, ("255.255.255.255", 49200))
    end = time.monotonic() + 2
    while time.monotonic() < end:
        try:
            answer = sock.recv(512)
        except socket.timeout:
            continue
        if answer.startswith(expected):
            print(answer.decode())
            sys.exit(0)
sys.exit(1)
"""


class Plant(unittest.TestCase):
    """One plant for all checks, in the order a commissioning engineer would make them."""

    @classmethod
    def setUpClass(cls):
        cls.plant = RunningPlant(UNITS, 50000 + (os.getpid() % 4000) * 10, f"10.214.{os.getpid() % 250}")
        cls.start()

    @classmethod
    def start(cls):
        cls.plant.start()
        cls.units, cls.stores, cls.bridge = cls.plant.units, cls.plant.stores, cls.plant.bridge

    @classmethod
    def tearDownClass(cls):
        cls.plant.close()

    def master(self):
        return self.stores[0]

    def test_1_summary_counts_every_unit_within_two_polls(self):
        def all_counted():
            self.polls = self.master().value(SEND_COUNTER)
            return self.master().value(MASTERTOTALNR) == UNITS
        self.assertTrue(wait_for(all_counted, 30), f"total {self.master().value(MASTERTOTALNR)}")
        self.assertLessEqual(self.polls, 2)

    def test_2_set_and_read_from_an_independent_peer(self):
        peer = ["ip", "netns", "exec", self.bridge, "/usr/bin/python3", "-c", PEER]
        done = subprocess.run(peer + ["I Command;No:003-003;Mn:099;St:vxo_trondelay:700;", "Set Ok;Mn:003;"],
                              stdout=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        self.assertEqual(self.stores[2].value(TRONDELAY), 700)
        done = subprocess.run(peer + ["I Command;No:003-003;Mn:099;Rg:vxo_trondelay;", "Read Ok;Mn:003;"],
                              stdout=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stdout.strip(), "Read Ok;Mn:003;700;")

    def test_3_mode_command_reaches_unlocked_units_only(self):
        locked = self.stores[4]
        locked.set_value(LOCKEDMODE, 1)
        self.addCleanup(locked.set_value, LOCKEDMODE, 0)
        self.master().set_value(MASTERMODE, 3)
        others = [store for store in self.stores if store is not locked]
        self.assertTrue(wait_for(lambda: all(store.value(MODE) == 3 for store in others), 30),
                        [store.value(MODE) for store in self.stores])
        time.sleep(3)  # the resend to units that did not acknowledge
        self.assertEqual(locked.value(MODE), 0)

    def test_4_master_switches_every_tr_set_on(self):
        self.assertTrue(all(store.value(TRON) == 0 for store in self.stores))
        self.master().set_value(MASTERTRON, 1)
        self.assertTrue(wait_for(lambda: all(store.value(TRON) == 1 for store in self.stores), 40),
                        [store.value(TRON) for store in self.stores])

    def test_5_silent_unit_drops_out_after_five_polls(self):
        namespace = self.units[7]["namespace"]
        masters = namespace_pids(namespace, "master")
        self.assertEqual(len(masters), 1)
        self.assertTrue(wait_for(lambda: self.master().value(MASTERTOTALNR) == UNITS, 20))
        os.kill(masters[0], signal.SIGTERM)
        stopped_at = self.master().value(SEND_COUNTER)
        self.assertTrue(wait_for(lambda: self.master().value(MASTERTOTALNR) == UNITS - 1, 90))
        polls = self.master().value(SEND_COUNTER) - stopped_at
        # The poll the unit last answered, four polls with its old data, the fifth without.
        self.assertGreaterEqual(polls, 5)
        self.assertLessEqual(polls, 7)

    def test_6_stop_leaves_nothing_behind_and_a_restart_keeps_the_settings(self):
        # An operator moves unit 2 to field H and saves.
        self.stores[1].set_value(FIELDPOSITION, ord("H"))
        self.stores[1].set_value(SAVESET, 1)
        self.assertTrue(wait_for(lambda: self.stores[1].save_value(FIELDPOSITION) == ord("H"), 30))

        namespaces = [unit["namespace"] for unit in self.units] + [self.bridge]
        self.plant.stop()
        listing = subprocess.run(["ip", "netns", "list"], stdout=subprocess.PIPE, text=True).stdout
        for namespace in namespaces:
            self.assertNotIn(namespace, listing)
        for unit in self.units:
            with self.assertRaises(OSError):
                orvixstore.Store(unit["shm_key"])

        self.start()
        self.assertEqual(self.stores[1].value(FIELDPOSITION), ord("H"))
        self.assertEqual([store.value(NODEADDRESS) for store in self.stores], list(range(1, UNITS + 1)))
        self.assertTrue(wait_for(lambda: self.master().value(MASTERTOTALNR) == UNITS, 30))

    def test_7_network_tags_show_eth0_and_a_new_address_is_applied(self):
        unit = self.units[1]
        subnet = unit["address"].rsplit(".", 1)[0]
        in_memory = lambda text: int.from_bytes(socket.inet_aton(text), "little", signed=True)  # as the store reads
        store = self.stores[1]
        self.assertTrue(wait_for(lambda: store.value(IP_ADDRESS) == in_memory(unit["address"]), 10))
        self.assertEqual(store.value(IP_NETMASK), in_memory("255.255.255.0"))
        self.assertEqual(store.value(IP_GATEWAY), in_memory(subnet + ".254"))

        new = in_memory(subnet + ".99")
        writer = ("from pymodbus.client import ModbusTcpClient; import sys; c = ModbusTcpClient(sys.argv[1], port=502); "
                  "c.connect(); sys.exit(c.write_registers(%d, [%d, %d], slave=1).isError())"
                  % (HOLD_IP_ADDRESS, new & 0xFFFF, (new >> 16) & 0xFFFF))
        done = subprocess.run(["ip", "netns", "exec", self.bridge, "/usr/bin/python3", "-c", writer, unit["address"]],
                              timeout=30)
        self.assertEqual(done.returncode, 0)
        self.assertTrue(wait_for(lambda: store.value(IP_ADDRESS) == new, 10))
        peer = ["ip", "netns", "exec", self.bridge, "/usr/bin/python3", "-c", PEER]
        done = subprocess.run(peer + ["I Command;No:002-002;Mn:099;St:vxo_ipapply:1;", "Set Ok;Mn:002;"],
                              stdout=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        interface_file = os.path.join(unit["root"], "etc/systemd/network/20-wired.network")
        self.assertTrue(wait_for(lambda: os.path.exists(interface_file), 10))
        self.assertEqual(read_text(interface_file), "# ORVIX eth0 config\n[Match]\nName=eth0\n\n[Network]\n"
                         f"Address={subnet}.99/24\nGateway={subnet}.254\n")
        log = os.path.join(unit["root"], "var/log/host-commands.log")
        restarted = lambda: os.path.exists(log) and "systemctl restart systemd-networkd" in read_text(log)
        self.assertTrue(wait_for(restarted, 10))  # the network is restarted last
        commands = read_text(log)
        for command in (f"ifconfig eth0 {subnet}.99\n", "ifconfig eth0 netmask 255.255.255.0\n",
                        f"ip route add default via {subnet}.254 dev eth0\n", "systemctl restart systemd-networkd\n"):
            self.assertIn(command, commands)
        # The stand-ins changed nothing: the tags show the unit's eth0 again.
        self.assertTrue(wait_for(lambda: store.value(IP_ADDRESS) == in_memory(unit["address"]), 10))


if __name__ == "__main__":
    skip_if_not_possible("plant test")
    unittest.main()
