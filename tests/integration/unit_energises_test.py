"""A unit energises: database, regserver and dspsim in a temporary image, driven as a plant
control system drives them (Modbus TCP with pymodbus) and as the field's digital inputs do
(alarm tags written into the store).

One scenario, in order: the T/R set switched on over the run coil, the functional limit
ramping through its bands to the mode's current limit with the secondary current following,
an external trip switching it off and landing first in the history and the alarm log, the
operator reset, a restart of database with the T/R set running that keeps the history, a
mode switch loading the mode's settings and an edit of the working copy stored in the mode.
"""
import os
import signal
import time
import unittest

import unitharness

# Tags by handle.
SUM_ALARM, EXT_TRIP_1, RESTARTED, SUM_TRIP, TRON_STATUS = 0, 24, 15, 81, 86
TRON, SUM_ALARM_RESET = 94, 106
LIMITER, SEC_CURR_PULSE, FUN_CURR_LIMIT, FUN_LIMITER = 212, 224, 410, 413
HISTORY_1_NR, HISTORY_2_NR, HISTORY_1_DATE = 294, 295, 306
MODE, ACT_CURR_LIM, ACT_FIRING_RATIO, ACT_RECOVERY_TIME = 560, 562, 559, 565
MODE3_VOLT_PEAK_LIM, MODE3_CURR_LIM, MODE3_FIRING_RATIO = 705, 706, 707
CAN_REFRESH_RATE = 1117
# Modbus addresses.
COIL_TRON, COIL_SUM_ALARM_RESET = 16384, 16396
# Alarm codes.
CODE_EXT_TRIP_1, CODE_RESTARTED = 61, 210
# vxi_limiter and vxi_funlimiter codes.
PULSE_CURRENT, RAMPING = 9, 12

ALARM_LOG = "/home/ftp/alarmlog"
LOG_LINE = r"errNo{:02d}={},\d\d:\d\d:\d\d,\d{{6}},-?\d+,-?\d+,-?\d+,-?\d+$"


def wait_for(condition, seconds=15.0):
    return unitharness.wait_for(condition, seconds, 0.05)


class UnitEnergises(unitharness.UnitTestCase):
    def setUp(self):
        super().setUp()
        self.database = self.start_database()
        self.start_regserver()
        self.start_dspsim()
        self.connect_modbus()

    def write_coil(self, address, value):
        self.assertFalse(self.modbus.write_coil(address, value, slave=1).isError())

    def holding_address(self, tag_handle):
        return next(a for a, fmt, _, h in self.store.modbus_map() if h == tag_handle and fmt == 1)

    def write_holding(self, tag_handle, value):
        self.assertFalse(self.modbus.write_register(self.holding_address(tag_handle), value, slave=1).isError())

    def read_holding(self, tag_handle):
        reply = self.modbus.read_holding_registers(self.holding_address(tag_handle), 1, slave=1)
        return None if reply.isError() else reply.registers[0]

    def alarm_log(self):
        """The lines of the alarm log; none for the moment the daemon renames it into place."""
        try:
            with open(self.image.path(ALARM_LOG)) as file:
                return file.read().splitlines()
        except FileNotFoundError:
            return []

    def test_switch_on_ramp_trip_reset_restart_and_modes(self):
        self.switch_on_and_ramp_to_the_mode_current_limit()
        self.external_trip_switches_off_and_is_recorded()
        self.operator_reset_clears_it()
        self.restart_keeps_the_history()
        self.mode_switch_and_working_copy_edit()
        self.heartbeat_supervision()

    def switch_on_and_ramp_to_the_mode_current_limit(self):
        limit = self.store.value(ACT_CURR_LIM)
        self.assertEqual(limit, 500, "default current limit of mode 1")
        self.write_coil(COIL_TRON, True)
        limits, ramping = [], False
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and (not limits or limits[-1] < limit):
            value = self.store.value(FUN_CURR_LIMIT)
            ramping = ramping or self.store.value(FUN_LIMITER) == RAMPING
            if value and (not limits or value != limits[-1]):
                limits.append(value)
            time.sleep(0.003)
        self.assertEqual(limits[-1], limit, limits)
        self.assertTrue(ramping)
        self.assertEqual(limits, sorted(limits), "the limit only rises")
        self.assertLess(limits[0], 20, limits)
        steps = [b - a for a, b in zip(limits, limits[1:])]
        self.assertLessEqual(max(steps), 30, f"a jump instead of a ramp: {limits}")
        # Every band of the ramp is passed: below 4, 15, 85, 96 % of the target and above.
        for low, high in ((0, 20), (20, 75), (75, 425), (425, 480), (480, 500)):
            self.assertTrue(any(low <= v < high for v in limits), f"nothing in {low}..{high}: {limits}")
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1))
        self.assertTrue(wait_for(lambda: abs(self.store.value(SEC_CURR_PULSE) - limit) <= 5))
        self.assertEqual(self.store.value(LIMITER), PULSE_CURRENT)
        self.assertTrue(wait_for(lambda: self.store.value(FUN_LIMITER) == PULSE_CURRENT))
        self.assertTrue(self.modbus.read_coils(COIL_TRON, 1, slave=1).bits[0])

    def external_trip_switches_off_and_is_recorded(self):
        self.store.set_value(EXT_TRIP_1, 1)
        self.assertTrue(wait_for(lambda: self.store.value(TRON) == 0))
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 0 and self.store.value(SEC_CURR_PULSE) == 0))
        self.assertEqual((self.store.value(SUM_ALARM), self.store.value(SUM_TRIP)), (1, 1))
        self.assertTrue(wait_for(lambda: self.store.value(HISTORY_1_NR) == CODE_EXT_TRIP_1))
        self.assertEqual(self.store.value(HISTORY_1_DATE) >> 16, time.localtime().tm_year - 1900)
        self.assertTrue(wait_for(lambda: len(self.alarm_log()) == 1), self.alarm_log())
        lines = self.alarm_log()
        self.assertEqual(len(lines), 1, lines)
        self.assertRegex(lines[0], LOG_LINE.format(0, CODE_EXT_TRIP_1))

    def operator_reset_clears_it(self):
        self.store.set_value(EXT_TRIP_1, 0)  # the input has gone; the alarm stays latched
        time.sleep(1)
        self.assertEqual(self.store.value(SUM_ALARM), 1)
        self.write_coil(COIL_SUM_ALARM_RESET, True)
        self.assertTrue(wait_for(lambda: self.store.value(SUM_ALARM) == 0 and self.store.value(SUM_TRIP) == 0))
        # dspsim acknowledges the reset by clearing it.
        self.assertTrue(wait_for(lambda: self.store.value(SUM_ALARM_RESET) == 0))
        self.assertEqual(self.store.value(HISTORY_1_NR), CODE_EXT_TRIP_1)

    def restart_keeps_the_history(self):
        self.write_coil(COIL_TRON, True)
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1))
        self.assertTrue(wait_for(lambda: os.path.exists(self.image.path("/home/root/TRON"))))
        # A power cut: no chance to tidy up.
        self.database.send_signal(signal.SIGKILL)
        self.database.wait()
        self.database = self.start_database("database-restarted")
        # The T/R set was running: the restart is a trip of its own, recorded on top of the
        # history reloaded from the log.
        self.assertTrue(wait_for(lambda: self.store.value(HISTORY_1_NR) == CODE_RESTARTED))
        self.assertEqual(self.store.value(HISTORY_2_NR), CODE_EXT_TRIP_1)
        self.assertTrue(wait_for(lambda: len(self.alarm_log()) == 2), self.alarm_log())
        lines = self.alarm_log()
        self.assertRegex(lines[0], LOG_LINE.format(0, CODE_RESTARTED))
        self.assertRegex(lines[1], LOG_LINE.format(1, CODE_EXT_TRIP_1))
        self.assertEqual(self.store.value(RESTARTED), 1)
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 0), "the signal processor was told to stop")
        self.write_coil(COIL_SUM_ALARM_RESET, True)
        self.assertTrue(wait_for(lambda: self.store.value(SUM_ALARM) == 0 and self.store.value(RESTARTED) == 0))

    def mode_switch_and_working_copy_edit(self):
        self.write_holding(MODE3_CURR_LIM, 300)
        self.write_holding(MODE3_FIRING_RATIO, 3333)
        self.assertTrue(wait_for(lambda: self.store.value(MODE3_CURR_LIM) == 300))
        self.assertEqual(self.store.value(ACT_CURR_LIM), 500, "another mode's set leaves the working copy")
        self.write_holding(MODE, 2)
        self.assertTrue(wait_for(lambda: self.store.value(ACT_CURR_LIM) == 300))
        self.assertEqual(self.store.value(ACT_FIRING_RATIO), 3333)
        self.assertEqual(self.store.value(MODE), 2)

        # The operator edits what the register map shows for the new mode.
        self.assertTrue(wait_for(lambda: self.read_holding(ACT_CURR_LIM) == 300))
        self.write_holding(ACT_CURR_LIM, 350)
        self.assertTrue(wait_for(lambda: self.store.value(MODE3_CURR_LIM) == 350))
        self.assertEqual(self.store.value(ACT_CURR_LIM), 350)
        # The new limit is the limiter's target once the T/R set runs again.
        self.write_coil(COIL_TRON, True)
        self.assertTrue(wait_for(lambda: self.store.value(FUN_CURR_LIMIT) == 350))
        self.assertTrue(wait_for(lambda: abs(self.store.value(SEC_CURR_PULSE) - 350) <= 5))

    def heartbeat_supervision(self):
        # About 20 measurement sets a second reach the unit's CAN refresh rate, taken every 10 s.
        # The first window after the restart may be a short one, so allow for two windows.
        self.assertTrue(wait_for(lambda: 100 <= self.store.value(CAN_REFRESH_RATE) <= 300, 25),
                        self.store.value(CAN_REFRESH_RATE))
        log = lambda: self.image.read("/var/log/database-restarted.log")
        self.assertNotIn("reset dsp readings", log(), "a live heartbeat never reads as lost")
        staging = self.image.path("/var/lib/orvix/dspsim.ctl.new")
        with open(staging, "w") as file:
            file.write("heartbeat stop\n")
        os.rename(staging, self.image.path("/var/lib/orvix/dspsim.ctl"))
        self.assertTrue(wait_for(lambda: "reset dsp readings" in log(), 20))


if __name__ == "__main__":
    unittest.main()
