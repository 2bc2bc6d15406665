"""dspsim as a program on a private store and image: the link counters, the run state and
current, alarms from the control file and the command line, and its ways to stop.

The store is built the way the database builds it; the test plays the module side by
writing the tags the database would write.
"""
import os
import signal
import time
import unittest

import unitharness
from unitharness import wait_for

SUM_ALARM, TEMP_TRIP, OIL_WARNING, TRON_STATUS, TRON, SUM_ALARM_RESET = 0, 2, 3, 86, 94, 106
LIMITER, FUN_CURR_LIMIT, HEARTBEAT = 212, 410, 480
SYSTEM_STATE, ACTIVITY, TX_FRAMES, RX_FRAMES, UPDATES = 1101, 1116, 1118, 1119, 1120
STOP_WORD, PULSE_CURRENT_LIMITER = 470, 9

CONSTANTS = "tronStartDelayMs=500\nsparkRateAtSparkover=0\nrandomSeed=3\n"



class DspsimProgram(unittest.TestCase):
    def setUp(self):
        self.image = unitharness.Image()
        self.addCleanup(self.image.close)
        self.store = self.image.build_store()
        self.addCleanup(self.store.close)
        self.image.write("/var/lib/orvix/dspsim.ini", CONSTANTS)

    def start(self, *args):
        return self.image.start("dspsim", list(args))

    def log(self):
        return self.image.read("/var/log/dspsim.log")

    def test_link_counters_and_run_state(self):
        process = self.start()
        self.assertTrue(wait_for(lambda: self.store.value(UPDATES) > 0))
        updates, started = self.store.value(UPDATES), time.monotonic()
        time.sleep(2)
        rate = (self.store.value(UPDATES) - updates) / (time.monotonic() - started)
        self.assertTrue(5 < rate < 40, f"{rate} measurement sets per second")
        self.assertGreater(self.store.value(RX_FRAMES), self.store.value(UPDATES))
        self.assertTrue(self.store.value(ACTIVITY) & 2)
        beats = {self.store.value(HEARTBEAT)}
        self.assertTrue(wait_for(lambda: beats.add(self.store.value(HEARTBEAT)) or len(beats) == 2, 5))

        self.store.set_value(FUN_CURR_LIMIT, 300)
        self.store.set_value(TRON, 1)
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1))
        self.assertEqual(self.store.value(TX_FRAMES), 2)  # the two changes, once each
        self.assertTrue(wait_for(lambda: self.store.value(LIMITER) == PULSE_CURRENT_LIMITER))
        self.assertIsNone(process.poll())

    def test_alarms_from_control_file_and_command_line_cleared_by_reset(self):
        self.start("-r", "vxi_alwcheckoilw")
        self.assertTrue(wait_for(lambda: self.store.value(OIL_WARNING) == 1 and self.store.value(SUM_ALARM) == 1))

        # A writer renames its file into place; dspsim takes it and removes it.
        staging = self.image.path("/var/lib/orvix/dspsim.ctl.new")
        with open(staging, "w") as file:
            file.write("raise vxi_alttemphight\nspark\nraise vxi_nothing\n")
        os.rename(staging, self.image.path("/var/lib/orvix/dspsim.ctl"))
        self.assertTrue(wait_for(lambda: self.store.value(TEMP_TRIP) == 1))
        self.assertFalse(os.path.exists(self.image.path("/var/lib/orvix/dspsim.ctl")))
        self.assertTrue(wait_for(lambda: "line 3: no alarm of the signal processor is called 'vxi_nothing'" in self.log()))

        self.store.set_value(SUM_ALARM_RESET, 1)
        self.assertTrue(wait_for(lambda: self.store.value(SUM_ALARM_RESET) == 0))
        self.assertEqual((self.store.value(TEMP_TRIP), self.store.value(OIL_WARNING), self.store.value(SUM_ALARM)),
                         (0, 0, 0))

    def test_stop_word_and_signals_end_it_cleanly(self):
        process = self.start()
        self.assertTrue(wait_for(lambda: self.store.value(UPDATES) > 0))
        self.store.set_value(SYSTEM_STATE, STOP_WORD)
        self.assertEqual(process.wait(timeout=5), 0)
        self.assertIn("system stop", self.log())

        self.store.set_value(SYSTEM_STATE, 0)
        for sig in (signal.SIGTERM, signal.SIGINT):
            process = self.start()
            self.assertTrue(wait_for(lambda: "running" in self.log()))
            process.send_signal(sig)
            self.assertEqual(process.wait(timeout=5), 0)

    def test_bad_command_line_and_constants(self):
        self.assertEqual(self.start("-x").wait(timeout=5), 1)
        self.assertIn("Usage: dspsim", self.log())
        self.image.write("/var/lib/orvix/dspsim.ini", "fieldCapacitance=0\n")
        process = self.start()
        self.assertTrue(wait_for(lambda: "fieldCapacitance=0 is not a number in 1..10000, default kept" in self.log()))
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=5), 0)


if __name__ == "__main__":
    unittest.main()
