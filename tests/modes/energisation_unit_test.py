"""A unit energising its field end to end: database, regserver and dspsim in an image of
their own. The T/R set is switched on through its Modbus coil, the functional limit ramps
through its bands to the mode's current limit with the secondary current following, a
mode switch over Modbus loads the mode's set into the working copy, an edit of the working
copy is stored into the mode's set, and the off command switches the set off again.
"""
import os
import time
import unittest

from pymodbus.client import ModbusTcpClient

import orvixstore
import unitharness

TRON_STATUS, TRON, TRON_COMMAND, TROFF_COMMAND = 86, 94, 99, 100
SEC_CURR_PULSE, FUN_CURR_LIMIT, FUN_LIMITER = 224, 410, 413
ACT_MODE_CURR_LIM, MODE3_CURR_LIM = 562, 706
SYSTEM_STATE, SLOTS_PER_SECOND, STOP_WORD = 1101, 1398, 470
COIL_TRON, COIL_TROFF_COMMAND = 16384, 16390
HOLD_MODE, HOLD_ACT_MODE_CURR_LIM, HOLD_MODE3_CURR_LIM = 1041, 1043, 1214
RAMPING, AT_CURRENT_LIMIT, OFF = 12, 9, 0
TRON_FLAG = "/home/root/TRON"
# No sparks, so that the current settles at the limit.
DSPSIM_CONSTANTS = "tronStartDelayMs=300\nsparkRateAtSparkover=0\nrandomSeed=5\n"


def wait_for(condition, seconds=10.0):
    return unitharness.wait_for(condition, seconds, 0.02)


class EnergisationOnAUnit(unittest.TestCase):
    def setUp(self):
        self.image = unitharness.Image()
        self.addCleanup(self.image.close)
        self.image.lay_out()
        self.image.write("/var/lib/orvix/dspsim.ini", DSPSIM_CONSTANTS)
        port = unitharness.free_port()
        self.image.write("/var/lib/orvix/regserver-test.conf", f"port={port}\nmax_clients=4\n")

        self.database = self.image.start("database", ["-c", "/var/lib/orvix/orvix.ini"])
        self.assertTrue(wait_for(lambda: os.path.exists(self.image.path("/tmp/SHM_CREATED"))))
        self.store = orvixstore.Store(self.image.key)
        self.addCleanup(self.store.close)
        self.assertTrue(wait_for(lambda: self.store.value(SLOTS_PER_SECOND) > 0))
        regserver = self.image.start("regserver", ["-c", "/var/lib/orvix/regserver-test.conf"])
        unitharness.wait_for_port(port, regserver)
        self.image.start("dspsim", [])
        self.client = ModbusTcpClient("127.0.0.1", port=port, timeout=3)
        self.assertTrue(self.client.connect())
        self.addCleanup(self.client.close)

    def tearDown(self):
        if self.database.poll() is None:
            self.store.set_value(SYSTEM_STATE, STOP_WORD)
            self.assertEqual(self.database.wait(timeout=5), 0)

    def ramp_to(self, limit, seconds=15.0):
        """The functional limits seen until the limit is reached, one sample per 10 ms."""
        seen = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = self.store.value(FUN_CURR_LIMIT)
            if not seen or seen[-1] != value:
                seen.append(value)
            if value == limit:
                break
            time.sleep(0.01)
        return seen

    def test_switch_on_ramp_mode_switch_edit_and_off(self):
        self.assertFalse(self.client.write_coil(COIL_TRON, True, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(TRON) == 1))
        self.assertTrue(wait_for(lambda: self.store.value(TRON_COMMAND) == 1))
        self.assertTrue(wait_for(lambda: self.store.value(FUN_LIMITER) == RAMPING, 5))
        ramp = self.ramp_to(500)
        self.assertEqual(ramp[-1], 500, ramp)
        self.assertEqual(ramp, sorted(ramp), "the limit only rises")
        self.assertGreater(len(ramp), 10, ramp)  # a ramp, not a jump
        self.assertTrue(any(0 < value < 20 for value in ramp), ramp)  # the slow first band
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1))
        self.assertTrue(wait_for(lambda: abs(self.store.value(SEC_CURR_PULSE) - 500) <= 10), "current follows")
        self.assertTrue(wait_for(lambda: self.store.value(FUN_LIMITER) == AT_CURRENT_LIMIT))
        self.assertTrue(wait_for(lambda: os.path.exists(self.image.path(TRON_FLAG))))

        # The third mode's set, edited and then selected over Modbus.
        self.assertFalse(self.client.write_register(HOLD_MODE3_CURR_LIM, 640, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(MODE3_CURR_LIM) == 640))
        self.assertEqual(self.store.value(ACT_MODE_CURR_LIM), 500)
        self.assertFalse(self.client.write_register(HOLD_MODE, 2, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(ACT_MODE_CURR_LIM) == 640))
        self.assertEqual(self.ramp_to(640)[-1], 640)
        self.assertTrue(wait_for(lambda: abs(self.store.value(SEC_CURR_PULSE) - 640) <= 10))

        # An edit of the working copy goes into the mode's set and down at once.
        self.assertFalse(self.client.write_register(HOLD_ACT_MODE_CURR_LIM, 580, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(MODE3_CURR_LIM) == 580))
        self.assertTrue(wait_for(lambda: self.store.value(FUN_CURR_LIMIT) == 580, 5))
        reply = self.client.read_holding_registers(HOLD_MODE3_CURR_LIM, 1, slave=1)
        self.assertTrue(wait_for(lambda: self.client.read_holding_registers(
            HOLD_MODE3_CURR_LIM, 1, slave=1).registers == [580]), reply)

        # The operator's off command.
        self.assertFalse(self.client.write_coil(COIL_TROFF_COMMAND, True, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(TRON) == 0))
        self.assertTrue(wait_for(lambda: self.store.value(FUN_CURR_LIMIT) == 0))
        self.assertEqual(self.store.value(FUN_LIMITER), OFF)
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 0))
        self.assertTrue(wait_for(lambda: not os.path.exists(self.image.path(TRON_FLAG))))
        self.assertTrue(wait_for(lambda: self.store.value(TROFF_COMMAND) == 1))


if __name__ == "__main__":
    unittest.main()
