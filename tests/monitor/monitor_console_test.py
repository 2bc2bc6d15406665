"""The monitor at a terminal: every screen in its own tmux window against a running,
energised unit (database and dspsim in a temporary image), the CSV logger beside them,
and the stop word ending every screen at once.
"""
import os
import re
import signal
import subprocess
import time
import unittest

import unitharness

# Tags by handle.
TRON, TRON_STATUS = 94, 86
SEC_CURR_AVG, QUEUE_POS_00 = 234, 445
SYSTEM_STATE, ACTIVITY, DEBUG_WORDS = 1101, 1116, 1396
STOP = 470
UDP_ACTIVITY = 1 << 3

SCREENS = {
    "basic": [],
    "extended": ["-e"],
    "spark": ["-S"],
    "rapping": ["-R"],
    "activity": ["-s"],
    "canbus": ["-c"],
    "limiter": ["-l"],
    "mira": ["-E"],
    "debug": ["-D"],
}
LOG_LINE = re.compile(r"^(\d{4})/(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d)(,-?\d+){20}$")
HEADER = ("Mode,FiringRatio,FiringAngle,LineFrequency,Limiter,PrimVoltRMS,PrimCurrRMS,ActPower,SecVoltAvg,"
          "SecCurrPulse,SecCurrDens,SPM,PrimCurrAvg,SecVoltPeak,SecVoltValley,SecCurrPeak,SecCurrAvg,FrSource,"
          "IdleCurrent,SumAlarm")


def wait_for(condition, seconds=15.0):
    return unitharness.wait_for(condition, seconds, 0.05)


class MonitorConsole(unitharness.UnitTestCase):
    def setUp(self):
        if not os.access("/usr/bin/tmux", os.X_OK):
            self.skipTest("tmux is not installed")
        super().setUp()
        self.start_database()
        self.start_dspsim()
        # A tmux server of the test's own; only that server is ever stopped.
        self.socket = f"orvix-monitor-{os.getpid()}"
        self.addCleanup(self.stop_tmux)

    def stop_tmux(self):
        path = self.tmux("display-message", "-p", "#{socket_path}", check=False).strip()
        self.tmux("kill-server", check=False)
        # The server leaves its socket file behind when it is killed.
        if path and os.path.exists(path):
            os.unlink(path)

    def tmux(self, *args, check=True):
        return subprocess.run(["/usr/bin/tmux", "-L", self.socket, *args], capture_output=True, text=True,
                              check=check).stdout

    def screen(self, name, colours=False):
        return self.tmux("capture-pane", "-p", *(["-e"] if colours else []), "-t", f"monitor:{name}")

    def shows(self, name, *texts):
        return wait_for(lambda: all(text in self.screen(name) for text in texts), 10)

    def start_screens(self):
        monitor = os.path.join(unitharness.BIN, "monitor")
        env = [f"ORVIX_SHM_KEY={self.image.key}", f"ORVIX_ROOT={self.image.root}", f"PATH={self.image.env['PATH']}"]
        for index, (name, args) in enumerate(SCREENS.items()):
            # The window stays after the program: its last line tells how it ended.
            command = " ".join([monitor, *args]) + "; echo ENDED $?; sleep 600"
            place = ["new-session", "-d", "-s", "monitor", "-x", "120", "-y", "50"] if index == 0 else \
                    ["new-window", "-t", "monitor"]
            self.tmux(*place, "-n", name, *sum((["-e", e] for e in env), []), command)

    def test_screens_show_the_running_unit_and_end_on_the_stop_word(self):
        self.store.set_value(QUEUE_POS_00, 20 | 2 << 8 | 3 << 12)  # B3 rapping for 20 s
        self.store.set_value(QUEUE_POS_00 + 1, 15 | 1 << 8 | 4 << 12)
        for offset, value in enumerate((11, 22)):
            self.store.set_value(DEBUG_WORDS + offset, value)
        self.store.set_value(TRON, 1)
        self.assertTrue(wait_for(lambda: self.store.value(TRON_STATUS) == 1 and self.store.value(SEC_CURR_AVG) > 0, 30),
                        "the unit does not energise")
        log = subprocess.Popen([os.path.join(unitharness.BIN, "monitor"), "-L", "10", "1"], env=self.image.env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: log.poll() is None and log.kill())
        self.start_screens()

        # Live values: the current the unit runs at, in the basic and the extended screen.
        current_row = lambda name: re.search(r"SecCurrent\(mA\) +(\d+)", self.screen(name))
        for name in ("basic", "extended"):
            self.assertTrue(wait_for(lambda: current_row(name) and int(current_row(name).group(1)) > 0), self.screen(name))
        self.assertTrue(self.shows("basic", "SecVolt(kV)", "Power(kW)", "Sparks(spm)"), self.screen("basic"))
        self.assertTrue(self.shows("extended", "------------------------now-------------min-------------max-----",
                                   "PhaseCurrent------------A---------------B----------------Avg(A-B)"),
                        self.screen("extended"))
        self.assertTrue(self.shows("spark", "PulseCurrent (mA) Max ", "Voltage (kV) Max ", "Sparks 0 logged 1"),
                        self.screen("spark"))
        self.assertTrue(self.shows("rapping", "Queue Length:2", "Rapping Now:B3", "Total Queue Time:35"),
                        self.screen("rapping"))
        self.assertTrue(self.shows("mira", "Mira Main Limit", "OpOpt Limit", "MIRASTATUS10", "PROFILE", "MIRALIMITS10"),
                        self.screen("mira"))
        # The unit writes the last two debug words itself: the screen follows the store.
        last_debug_line = lambda: self.screen("debug").rstrip().splitlines()[-1:]
        store_words = lambda: [" " + " ".join(str(self.store.value(DEBUG_WORDS + i)) for i in range(4))]
        self.assertTrue(wait_for(lambda: last_debug_line() == store_words()), self.screen("debug"))
        self.assertTrue(last_debug_line()[0].startswith(" 11 22 "))
        self.assertTrue(self.shows("canbus", "TX Frames", "RX Frames", "Refresh freq"), self.screen("canbus"))
        refresh = lambda: re.search(r"Refresh freq\s+(\d+)\.(\d) Hz", self.screen("canbus"))
        self.assertTrue(wait_for(lambda: refresh() and int(refresh().group(1) + refresh().group(2)) > 0),
                        self.screen("canbus"))

        # Energised, some limiter holds the current: it is marked and counted.
        limiter_lines = lambda: [line for line in self.screen("limiter").splitlines() if " + " in line]
        self.assertTrue(wait_for(lambda: limiter_lines() and not re.search(r"\s0\.00\s", limiter_lines()[0])),
                        self.screen("limiter"))
        self.assertIn("Limiter-------------------------30-sec--5-min---2-hour-", self.screen("limiter"))

        # A producer's activity bit is shown and acknowledged.
        self.store.set_value(ACTIVITY, self.store.value(ACTIVITY) | UDP_ACTIVITY)
        self.assertTrue(wait_for(lambda: self.store.value(ACTIVITY) & UDP_ACTIVITY == 0))
        self.assertTrue(self.shows("activity", "UDP       00001 -> |"), self.screen("activity"))

        # The logger: its plan, the header and one line more than asked, with the unit's date.
        out, err = log.communicate(timeout=30)
        self.assertEqual(log.returncode, 0)
        self.assertEqual(err, "noOfLoggs 10 interval 1 log ends in 00:00:10\n")
        lines = out.splitlines()
        self.assertEqual(lines[0], HEADER)
        self.assertEqual(len(lines), 12, out)
        today = time.localtime()
        for line in lines[1:]:
            match = LOG_LINE.match(line)
            self.assertTrue(match, line)
            self.assertEqual(tuple(int(x) for x in match.group(1, 2, 3)), (today.tm_year, today.tm_mon, today.tm_mday))

        # Interrupted while its colour is on, the debug screen gives the terminal back plain.
        shell = self.tmux("display-message", "-p", "-t", "monitor:debug", "#{pane_pid}").strip()
        with open(f"/proc/{shell}/task/{shell}/children") as children:
            os.kill(int(children.read().split()[0]), signal.SIGINT)
        self.assertTrue(self.shows("debug", "ENDED 130"), self.screen("debug"))
        ended = [line for line in self.screen("debug", colours=True).splitlines() if "ENDED" in line]
        self.assertEqual(len(ended), 1, ended)
        self.assertEqual(re.sub(r"\x1b\[(0|39|49)m", "", ended[0]), "ENDED 130")

        # The stop word ends every other screen; none is left running.
        self.store.set_value(SYSTEM_STATE, STOP)
        for name in SCREENS:
            if name != "debug":
                self.assertTrue(self.shows(name, "ENDED 0"), f"{name}: {self.screen(name)}")


if __name__ == "__main__":
    unittest.main()
