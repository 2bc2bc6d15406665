"""limiters in an energised simulated unit: database, dspsim and limiters in a temporary
image. Over a whole 10 seconds of a steady field the short shares of the 13 limiter codes
add up to 1000 per mille (each rounded, so within 13) and the largest names the limiter
code that dspsim reports in vxi_limiter.
"""
import time
import unittest

import unitharness

TRON, TRON_STATUS, LIMITER = 94, 86, 212
STAT_SHORT = 910
SECONDS_OF_DAY = 1102
COUNT_PULSE_CURRENT = 520  # vxi_acctemplim9, cleared as each row is taken
# vxi_accshortlim0 .. 12 by code
SHORT_SHARES = [490, 485, 487, 486, 484, 489, 488, 491, 493, 492, 522, 536, 537]
PULSE_CURRENT = 9


class LimitersInAUnit(unitharness.UnitTestCase):
    def setUp(self):
        super().setUp()
        self.start_database()
        self.start_dspsim()
        self.image.start("limiters", [])

    def rows_pass(self, rows):
        """Waits for this many whole 10 seconds of the unit's tick, and a moment for the row."""
        # The tick may step over the first second of a ten: wait for the ten to begin.
        for _ in range(rows):
            start = self.store.value(SECONDS_OF_DAY) // 10
            if not unitharness.wait_for(lambda: self.store.value(SECONDS_OF_DAY) // 10 != start, 25):
                return False
        return True

    def shares(self):
        return [self.store.value(handle) for handle in SHORT_SHARES]

    def test_short_shares_add_up_and_name_the_reported_limiter(self):
        self.store.set_value(STAT_SHORT, 0)  # the last 10 seconds
        self.store.set_value(TRON, 1)
        steady = lambda: self.store.value(TRON_STATUS) == 1 and self.store.value(LIMITER) == PULSE_CURRENT
        self.assertTrue(unitharness.wait_for(steady, 30), "the T/R set does not reach its current limit")
        # limiters first aligns itself to a whole ten seconds (TICK2); the second row after
        # that and after the steady field lies wholly in the steady field. A loaded machine
        # may let the database's tick step over a second, and limiters then waits for the
        # next whole ten.
        started = lambda: "TICK2" in self.image.read("/var/log/limiters.log")
        self.assertTrue(unitharness.wait_for(started, 45), "limiters does not align to the tick")
        self.assertTrue(self.rows_pass(2), "the seconds-of-day tick stands still")
        self.assertTrue(unitharness.wait_for(lambda: self.store.value(COUNT_PULSE_CURRENT) < 20, 15))
        # The counts are taken before the shares are written (the first row wrote none).
        self.assertTrue(unitharness.wait_for(lambda: sum(self.shares()) > 0, 5), "no row with shares")
        last = self.shares()
        self.assertEqual(self.store.value(LIMITER), PULSE_CURRENT)
        self.assertLessEqual(abs(sum(last) - 1000), 13, last)
        self.assertEqual(last.index(max(last)), PULSE_CURRENT, last)


if __name__ == "__main__":
    unittest.main()
