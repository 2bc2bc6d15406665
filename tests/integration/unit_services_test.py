"""The unit's services end to end: database, regserver and dspsim in a temporary image.

A V-I measurement requested over the Modbus coil runs through its states and fills the
curve from the simulated field, and a timer simulation reports its progress; the operating
statistics survive a kill -9 of database without going back; update packages and program
files dropped into the FTP area are announced, removed, moved and deciphered, hostile
names included, and an automatic package stops database with the stop word.
"""
import os
import signal
import time
import unittest

import unitharness

# Tags by handle.
TRON_STATUS, UPDATE_AVAILABLE = 86, 91
SEC_CURR_DENS, COLLECTOR_AREA = 225, 623
VI_STATE, VI_LAST_DURATION, VI_STATE_TEXT, VI_TYPE = 286, 287, 304, 109
VI_VOLT_AV_1, VI_CURR_DEN_1 = 326, 347
UPDATE_REMOVE = 194
UP_TIME, IN_TRIP_TIME, ENERGY = 397, 398, 405
SIMULATION_TYPE, SIMULATION_TIME, SIMULATE, SIMULATION_PROGRESS = 1346, 1347, 1348, 1349
# Modbus coils.
COIL_TRON, COIL_START_VI = 16384, 16398
KORA_VI_POINTS = 5  # points of the optimisation set-up, unit/koraVi.ini


def wait_for(condition, seconds=15.0):
    return unitharness.wait_for(condition, seconds, 0.05)


class UnitServices(unitharness.UnitTestCase):
    def start_field(self):
        self.start_regserver()
        self.start_dspsim()
        self.connect_modbus()

    def exists(self, unit_path):
        return os.path.exists(self.image.path(unit_path))

    def test_vi_measurement_and_timer_simulation(self):
        self.start_database()
        self.start_field()
        self.assertFalse(self.modbus.write_coil(COIL_TRON, True, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1))
        # The default field code gives no plate size: the operator enters the area (m²), and
        # measures once the field conducts.
        self.store.set_value(COLLECTOR_AREA, 4000)
        self.assertTrue(wait_for(lambda: self.store.value(SEC_CURR_DENS) > 0, 30))
        self.store.set_value(VI_TYPE, 2)  # the optimisation set-up: five short points
        self.assertFalse(self.modbus.write_coil(COIL_START_VI, True, slave=1).isError())
        states, texts = [], []
        deadline = time.monotonic() + 40
        while time.monotonic() < deadline and not (states and states[-1] == 0 and 90 in states):
            for seen, handle in ((states, VI_STATE), (texts, VI_STATE_TEXT)):
                value = self.store.value(handle)
                if not seen or seen[-1] != value:
                    seen.append(value)
            time.sleep(0.02)
        self.assertEqual(states[-1], 0, states)
        self.assertIn(1, states)
        running = [s for s in states if 10 <= s < 90]
        self.assertTrue(running and running == sorted(running), states)
        self.assertEqual(states[-2], 90, states)  # done, shown until it times out
        self.assertEqual([t for t in texts if t in (2, 1)][-2:], [2, 1], texts)  # running, then stopped
        self.assertGreater(self.store.value(VI_LAST_DURATION), KORA_VI_POINTS)
        for point in range(KORA_VI_POINTS):
            self.assertGreater(self.store.value(VI_VOLT_AV_1 + point), 0, f"point {point + 1}")
            self.assertGreater(self.store.value(VI_CURR_DEN_1 + point), 0, f"point {point + 1}")

        self.store.set_value(SIMULATION_TYPE, 0)
        self.store.set_value(SIMULATION_TIME, 0)  # one hour of timers in a minute
        self.store.set_value(SIMULATE, 1)
        self.assertTrue(wait_for(lambda: self.store.value(SIMULATION_PROGRESS) >= 2, 10))
        self.assertEqual(self.store.value(SIMULATE), 0)

    def test_statistics_survive_kill_9(self):
        # The file was cut short by an older writer; the backup holds the larger counts.
        self.image.write("/home/ftp/statistics", "1000;2;")
        self.image.write("/home/root/orvix/store/statistics.bak", "990;7;0;500;0;0;0;0;0\n")
        database = self.start_database()
        self.assertEqual((self.store.value(UP_TIME), self.store.value(IN_TRIP_TIME), self.store.value(ENERGY)),
                         (1000, 7, 500))
        self.assertTrue(wait_for(lambda: self.store.value(UP_TIME) == 1001, 65), "no minute counted")
        self.assertTrue(wait_for(lambda: self.image.read("/home/ftp/statistics").startswith("1001;7;"), 5))
        database.send_signal(signal.SIGKILL)
        database.wait()
        self.start_database("database-restarted")
        self.assertGreaterEqual(self.store.value(UP_TIME), 1001)
        self.assertEqual(self.store.value(IN_TRIP_TIME), 7)
        self.assertEqual(self.store.value(ENERGY), 500)

    def test_update_packages_and_program_files(self):
        database = self.start_database()
        # A manual package is offered within two checks (10 s apart) and removed on request.
        self.image.write("/home/ftp/vxupdate_3.0 beta;rm -rf x.tar", "package")
        self.assertTrue(wait_for(lambda: self.store.value(UPDATE_AVAILABLE) == 1, 25))
        self.store.set_value(UPDATE_REMOVE, 1)
        self.assertTrue(wait_for(lambda: not self.exists("/home/ftp/vxupdate_3.0 beta;rm -rf x.tar"), 3))
        self.assertTrue(wait_for(lambda: self.store.value(UPDATE_AVAILABLE) == 0, 3))

        # A signal-processor program file, named to break a command, is moved and deciphered.
        hostile = "/home/ftp/ORX 'x'; touch PWNED; $(touch PWNED2).vxd"
        self.image.write(hostile, "signal processor program")
        self.assertTrue(wait_for(lambda: self.exists("/home/root/orvix/dsp/dsp.hex"), 15))
        self.assertEqual(self.image.read("/home/root/orvix/dsp/dsp.hex"), "signal processor program")
        self.assertFalse(self.exists(hostile))
        for trace in ("/home/ftp/PWNED", "/home/ftp/PWNED2"):
            self.assertFalse(self.exists(trace))
        self.assertFalse(any(name.startswith("PWNED") for name in os.listdir(self.image.root)))

        # An automatic package is executed on its third check: database stops everything.
        self.image.write("/home/ftp/vxupdate_3.1.tar", "package")
        self.image.write("/home/ftp/vxupdateAuto", "")
        self.assertEqual(database.wait(timeout=40), 0)
        log = self.image.read("/var/log/database.log")
        self.assertIn("execute update \n", log)
        self.assertTrue(log.endswith("exit db \n"), log[-200:])
        self.assertEqual(self.store.value(1101), 470)


if __name__ == "__main__":
    unittest.main()
