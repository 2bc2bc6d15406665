#!/usr/bin/python3
"""The remoteio daemon against an independent device on port 502 of a loopback address of
its own: an input and an output served, the device going away and coming back, and the
stop word ending the daemon."""
import os
import socket
import subprocess
import sys
import unittest

from pymodbus.client import ModbusTcpClient

import unitharness
from unitharness import wait_for

MODBUS_PORT = 502
STOP_WORD = 470
SYSTEM_STATE = 1101
INPUT_VALUE, INPUT_TYPE, INPUT_IP, INPUT_ADDRESS, INPUT_BIT, INPUT_HEALTH = 171, 846, 852, 858, 864, 429
OUTPUT_TYPE, OUTPUT_IP, OUTPUT_ADDRESS, OUTPUT_BIT, OUTPUT_HEALTH, GROUP_OUTPUT = 177, 808, 813, 1051, 435, 49
SINGLE_BIT = 16
CONNECTED, FAILED = 1, 2
DEVICE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "device.py")


def tag_address(host):
    """The first octet is the least significant byte of the tag's value."""
    return int.from_bytes(socket.inet_aton(host), "little")


@unittest.skipUnless(os.geteuid() == 0, "a device on port 502 needs root")
class RemoteIoDaemon(unittest.TestCase):
    def setUp(self):
        self.host = f"127.{20 + os.getpid() % 200}.1.1"
        self.image = unitharness.Image()
        self.addCleanup(self.image.close)
        self.store = self.image.build_store()
        self.device = None
        self.start_device()
        self.addCleanup(self.stop_device)

    def start_device(self):
        self.device = subprocess.Popen([sys.executable, DEVICE, str(MODBUS_PORT), self.host],
                                       stderr=subprocess.DEVNULL)

        def serving():
            try:
                with socket.create_connection((self.host, MODBUS_PORT), timeout=0.2):
                    return True
            except OSError:
                return False
        self.assertTrue(wait_for(serving), "the device does not serve")

    def stop_device(self):
        if self.device.poll() is None:
            self.device.kill()
            self.device.wait()

    def test_serves_a_device_follows_its_absence_and_stops_on_the_stop_word(self):
        s = self.store
        # Input 1: discrete input 1 (on at odd addresses); output 1: coil 3, from group output 1.
        for handle, value in ((INPUT_TYPE, 1), (INPUT_IP, tag_address(self.host)), (INPUT_ADDRESS, 1),
                              (INPUT_BIT, SINGLE_BIT), (OUTPUT_TYPE, 1), (OUTPUT_IP, tag_address(self.host)),
                              (OUTPUT_ADDRESS, 3), (OUTPUT_BIT, SINGLE_BIT), (GROUP_OUTPUT, 1)):
            s.set_value(handle, value)
        daemon = self.image.start("remoteio", [])
        self.assertTrue(wait_for(lambda: s.value(INPUT_VALUE) == 1 and s.value(INPUT_HEALTH) == CONNECTED))
        self.assertEqual(s.value(OUTPUT_HEALTH), CONNECTED)
        client = ModbusTcpClient(self.host, port=MODBUS_PORT, timeout=2)
        self.assertTrue(client.connect())
        self.assertTrue(client.read_coils(3, 1, slave=1).bits[0])
        client.close()

        self.stop_device()
        self.assertTrue(wait_for(lambda: s.value(INPUT_HEALTH) == FAILED and s.value(OUTPUT_HEALTH) == FAILED))
        self.assertEqual(s.value(INPUT_VALUE), 1)
        self.start_device()
        # The first retry comes five passes of about 0.3 s after the failure.
        self.assertTrue(wait_for(lambda: s.value(INPUT_HEALTH) == CONNECTED, seconds=10))

        s.set_value(SYSTEM_STATE, STOP_WORD)
        self.assertEqual(daemon.wait(timeout=5), 0)
        self.assertIn(self.host, self.image.read("/var/log/remoteio.log"))


if __name__ == "__main__":
    unittest.main()
