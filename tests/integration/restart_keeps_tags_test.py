"""A restart of regserver or of database under the other programs of a running unit.

A unit in a temporary image (database, regserver, dspsim) is energised over the run coil,
switched to its third operating mode and its working current limit edited, as a plant
control system does over Modbus. Then one program is stopped with SIGTERM and started
again while the others run on. The run command, the mode and the working limit are
sampled throughout the restart; every tag is compared afterwards.
"""
import signal
import threading
import time
import unittest

import unitharness

# Tags by handle.
TRON_STATUS, TRON, TROFF_COMMAND = 86, 94, 100
MODE, ACT_CURR_LIM, MODE3_CURR_LIM = 560, 562, 706
DATE, TIME = 619, 620
RW_COIL_WORDS = 543  # vxo_rw_coil_00_0f .. vxo_rw_coil_f0_ff, one bit per coil
# Settings the database derives itself after any start: eth0's DHCP state, address, gateway
# and mask, and the rapping repetition interval it computes while none is set.
DERIVED_BY_DATABASE = {191, 906, 907, 908, 796, 799}
REFRESH_COUNTER = 1378
NO_OF_HANDLES = 1500
STORE_FLAG = 1 << 3  # a saved setting
# Modbus addresses.
COIL_BASE, HOLDING_BASE = 16384, 1024
COIL_TRON, HOLD_MODE, HOLD_ACT_CURR_LIM = 16384, 1041, 1043
BIT, TEXT12, TEXT7 = 0, 3, 4  # data formats
EMPTY_TEXT_SHOWN = ord("?")  # checksum of what clients see of an empty text

# What moves on its own while the unit runs, whoever restarts.
MOVING = {
    480,                     # vxi_heartbeat, toggled by the signal processor
    DATE, TIME,              # the clock
    1102, 1129, 1130,        # seconds of the day, date word, time word
    1117, 1119, 1120, 1122,  # CAN link: refresh rate, frames received, measurement sets
    REFRESH_COUNTER, 1398,   # the database's loop: Modbus refresh counter, slots per second
    1408,                    # pulse current ratio, smoothed every 10 s
    1373, 1374,              # time in slope over the long and short window, per mille
    *range(511, 522), 540, 541,  # vxi_acctemplim0 .. 12, limiter samples counted by the signal processor
    371,                     # vxi_rappingtimerinfo, the rapping timer's seconds left
    1367,                    # filtered spark dv/dt level, recalculated every 3 s from the measurements
}
TEN_SECOND_TASKS_DONE = 11.0  # seconds after the database's start


def wait_for(condition, seconds=15.0):
    return unitharness.wait_for(condition, seconds, 0.02)


class Sampler:
    """Records (refresh counter, run command, mode, working limit) each time one changes."""

    def __init__(self, store):
        self.store = store
        self.samples = []
        self.running = True
        self.thread = threading.Thread(target=self.run)

    def read(self):
        return tuple(self.store.value(h) for h in (REFRESH_COUNTER, TRON, MODE, ACT_CURR_LIM))

    def run(self):
        while self.running:
            sample = self.read()
            if not self.samples or sample != self.samples[-1]:
                self.samples.append(sample)
            time.sleep(0.001)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.running = False
        self.thread.join()

    def values(self, column, samples=None):
        """The values one column took, each change once."""
        seen = []
        for sample in self.samples if samples is None else samples:
            if not seen or sample[column] != seen[-1]:
                seen.append(sample[column])
        return seen


class RestartKeepsTags(unitharness.UnitTestCase):
    def setUp(self):
        super().setUp()
        self.database = self.start_database()
        self.regserver = self.start_regserver()
        self.start_dspsim()

    def start_database(self, log_name="database"):
        process = super().start_database(log_name)
        self.database_started = time.monotonic()
        return process

    def start_regserver(self, log_name="regserver"):
        process = super().start_regserver(log_name)
        self.connect_modbus()
        return process

    def wait_for_passes(self, count):
        """Until the database has asked regserver for count more synchronisation passes."""
        first = self.store.value(REFRESH_COUNTER)
        self.assertTrue(wait_for(lambda: self.store.value(REFRESH_COUNTER) >= first + count))

    def snapshot(self):
        return [self.store.value(h) for h in range(NO_OF_HANDLES)]

    def energise_in_mode_3_with_an_edited_limit(self):
        self.assertFalse(self.modbus.write_coil(COIL_TRON, True, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1))
        self.assertFalse(self.modbus.write_register(HOLD_MODE, 2, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(MODE) == 2))
        self.wait_for_passes(2)  # the database has loaded the mode's settings
        self.assertFalse(self.modbus.write_register(HOLD_ACT_CURR_LIM, 350, slave=1).isError())
        # The edit of the working copy lands in the mode's own setting.
        self.assertTrue(wait_for(lambda: self.store.value(MODE3_CURR_LIM) == 350))
        self.assertEqual((self.store.value(TRON), self.store.value(MODE), self.store.value(ACT_CURR_LIM)), (1, 2, 350))
        self.wait_until_settled()

    def wait_until_settled(self, quiet_seconds=4.0, limit_seconds=45.0):
        """Until no tag but those that always move has changed for a while: the field has
        reached its current, the derived values and the settings' save state follow, and
        the database's ten-second tasks (the position text among them) have run."""
        time.sleep(max(0.0, self.database_started + TEN_SECOND_TASKS_DONE - time.monotonic()))
        last, quiet_since = self.snapshot(), time.monotonic()
        deadline = quiet_since + limit_seconds
        while time.monotonic() - quiet_since < quiet_seconds:
            self.assertLess(time.monotonic(), deadline, "the unit does not settle")
            time.sleep(0.1)
            now = self.snapshot()
            if any(a != b for h, (a, b) in enumerate(zip(last, now)) if h not in MOVING):
                last, quiet_since = now, time.monotonic()

    def assert_client_writes_still_land(self):
        self.assertFalse(self.modbus.write_register(HOLD_ACT_CURR_LIM, 360, slave=1).isError())
        self.assertTrue(wait_for(lambda: self.store.value(ACT_CURR_LIM) == 360))
        reply = self.modbus.read_holding_registers(HOLD_ACT_CURR_LIM, 1, slave=1)
        self.assertEqual(reply.registers, [360])

    def test_regserver_restart(self):
        self.energise_in_mode_3_with_an_edited_limit()
        before = self.snapshot()
        with Sampler(self.store) as sampler:
            self.regserver.send_signal(signal.SIGTERM)
            self.regserver.wait()
            self.modbus.close()
            self.regserver = self.start_regserver("regserver-restarted")
            self.wait_for_passes(4)
        after = self.snapshot()

        for column, name in ((1, "vxo_tron"), (2, "vxo_mode"), (3, "vxo_actmodecurrlim")):
            self.assertEqual(sampler.values(column), [sampler.samples[0][column]], name)
        changed = {h: (before[h], after[h]) for h in range(NO_OF_HANDLES) if h not in MOVING and before[h] != after[h]}
        self.assertEqual(changed, {}, "handle: (before, after)")
        self.assert_client_writes_still_land()

    def test_database_restart(self):
        self.energise_in_mode_3_with_an_edited_limit()
        mappings = self.store.modbus_map()
        writable = {h: fmt for address, fmt, _, h in mappings
                    if address >= (COIL_BASE if fmt == BIT else HOLDING_BASE) and fmt <= TEXT7}
        # What the database restores by itself: a setting as last saved, any other tag its
        # default; an empty text is shown, and so stored, as "?".
        restored = {}
        for h, fmt in writable.items():
            restored[h] = self.store.save_value(h) if self.store.flags(h) & STORE_FLAG else self.store.default(h)
            if fmt in (TEXT12, TEXT7) and restored[h] == 0:
                restored[h] = EMPTY_TEXT_SHOWN
        with Sampler(self.store) as sampler:
            self.database.send_signal(signal.SIGTERM)
            self.database.wait()
            self.database = self.start_database("database-restarted")
            self.assertTrue(wait_for(lambda: self.store.value(unitharness.SAVESET) == 0))
            self.wait_for_passes(4)
        after = self.snapshot()

        # A stale value never comes back once the database has rebuilt the store.
        for column, name, old in ((2, "vxo_mode", 2), (3, "vxo_actmodecurrlim", 350)):
            values = sampler.values(column)
            self.assertEqual(values[0], old, name)
            self.assertNotIn(old, values[1:], f"{name}: {values}")
        # A restart with the T/R set running is a trip: the start-up switches it off, and from
        # the moment the store is rebuilt (the refresh counter drops) nothing, neither a stale
        # register image nor the signal processor's old state, sets it running again.
        restart = next(i for i, s in enumerate(sampler.samples) if s[0] < sampler.samples[0][0])
        self.assertEqual(set(sampler.values(1, sampler.samples[restart:])), {0}, sampler.values(1))

        # The clock runs; vxo_troffcommand is kept the inverse of vxo_tron by the loop; the
        # coil words are checked as the mirror of the coils below.
        compared = (set(writable) - {DATE, TIME, TROFF_COMMAND} - DERIVED_BY_DATABASE
                    - set(range(RW_COIL_WORDS, RW_COIL_WORDS + 16)))
        differing = {h: (restored[h], after[h]) for h in compared if after[h] != restored[h]}
        self.assertEqual(differing, {}, "handle: (restored by the database, found)")
        for address, fmt, _, h in mappings:
            if fmt == BIT and address >= COIL_BASE:
                offset = address - COIL_BASE
                word = after[RW_COIL_WORDS + offset // 16]
                self.assertEqual(word >> (offset % 16) & 1, int(after[h] != 0), f"coil {address} of handle {h}")
        self.assert_client_writes_still_land()


if __name__ == "__main__":
    unittest.main()
