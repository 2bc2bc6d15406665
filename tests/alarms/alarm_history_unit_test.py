"""The alarm history of a running database daemon in its own image: a trip switches the
T/R set off, raises the sums and becomes the first history entry and the first line of
the alarm log; the operator reset clears it; a restart keeps the history, and the next
alarm is added to it instead of replacing the log.
"""
import os
import re
import time
import unittest

import orvixstore
import unitharness
from unitharness import wait_for

SUM_ALARM, SUM_ALARM_TRIP, SUM_ALARM_WARNING = 0, 81, 84
EXT_WARNING_1, EXT_TRIP_1 = 23, 24
ERRORS_IN_LOG_FILE, TRON, SUM_ALARM_RESET = 89, 94, 106
HISTORY_1_NR, HISTORY_2_NR, ERR_LOG_SIZE, TOP_ERROR_1_NR = 294, 295, 396, 374
SYSTEM_STATE, SLOTS_PER_SECOND = 1101, 1398
STOP_WORD = 470
LOG = "/home/ftp/alarmlog"



class AlarmHistoryOnAUnit(unittest.TestCase):
    def setUp(self):
        self.image = unitharness.Image()
        self.addCleanup(self.image.close)
        self.image.lay_out()
        self.store = None
        self.runs = 0

    def start_database(self):
        self.runs += 1
        process = self.image.start("database", ["-c", "/var/lib/orvix/orvix.ini"], f"database-{self.runs}")
        if self.store is None:
            self.assertTrue(wait_for(lambda: os.path.exists(self.image.path("/tmp/SHM_CREATED"))))
            self.store = orvixstore.Store(self.image.key)
            self.addCleanup(self.store.close)
        # Running once a second has been counted; alarms are handled from the 31st pass on.
        self.assertTrue(wait_for(lambda: self.store.value(SLOTS_PER_SECOND) > 0 and process.poll() is None))
        return process

    def stop_database(self, process):
        self.store.set_value(SYSTEM_STATE, STOP_WORD)
        self.assertEqual(process.wait(timeout=5), 0)
        self.store.set_value(SYSTEM_STATE, 0)
        # What the next start must produce itself.
        for handle in (SLOTS_PER_SECOND, HISTORY_1_NR, ERR_LOG_SIZE):
            self.store.set_value(handle, 0)

    def log_lines(self):
        path = self.image.path(LOG)
        if not os.path.exists(path):
            return []
        with open(path) as log:
            return log.read().splitlines()

    def test_trip_reset_restart_keeps_the_history(self):
        database = self.start_database()
        self.store.set_value(TRON, 1)
        self.store.set_value(EXT_TRIP_1, 1)  # an external trip input
        self.assertTrue(wait_for(lambda: len(self.log_lines()) == 1))
        self.assertEqual(self.store.value(TRON), 0)
        self.assertEqual(self.store.value(SUM_ALARM), 1)
        self.assertEqual(self.store.value(SUM_ALARM_TRIP), 1)
        self.assertEqual(self.store.value(HISTORY_1_NR), 61)
        first = self.log_lines()[0]
        self.assertRegex(first, r"^errNo00=61,\d\d:\d\d:\d\d,\d{6},-?\d+,-?\d+,0,0$")
        self.assertEqual(first.split(",")[2], time.strftime("%y%m%d"))
        self.assertTrue(wait_for(lambda: self.store.value(ERR_LOG_SIZE) == 1))
        self.assertEqual(self.store.value(TOP_ERROR_1_NR), 61)
        self.assertTrue(wait_for(lambda: self.store.value(ERRORS_IN_LOG_FILE) == 1))

        self.store.set_value(SUM_ALARM_RESET, 1)  # the operator's reset
        self.assertTrue(wait_for(lambda: self.store.value(EXT_TRIP_1) == 0 and self.store.value(SUM_ALARM) == 0))
        self.assertEqual(self.store.value(SUM_ALARM_TRIP), 0)
        self.store.set_value(SUM_ALARM_RESET, 0)
        time.sleep(1.5)  # more passes: the cleared alarm is not recorded again
        self.assertEqual(self.log_lines(), [first])

        self.stop_database(database)
        database = self.start_database()
        self.assertEqual(self.store.value(HISTORY_1_NR), 61)  # reloaded before the loop
        self.assertTrue(wait_for(lambda: self.store.value(ERR_LOG_SIZE) >= 1))
        self.assertEqual(self.log_lines()[-1], first)

        self.store.set_value(EXT_WARNING_1, 1)
        self.assertTrue(wait_for(lambda: self.log_lines()[0].startswith("errNo00=60,")))
        lines = self.log_lines()
        self.assertGreaterEqual(len(lines), 2)
        self.assertEqual(lines[-1], re.sub(r"^errNo00=", f"errNo{len(lines) - 1:02d}=", first))
        self.assertEqual(self.store.value(HISTORY_1_NR), 60)
        self.assertEqual(self.store.value(SUM_ALARM_WARNING), 1)
        self.assertIn(first.split("=", 1)[1], self.image.read(LOG + ".bak"))
        self.stop_database(database)


if __name__ == "__main__":
    unittest.main()
