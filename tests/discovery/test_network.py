#!/usr/bin/python3
"""The discovery CGI on a test network of simulated units.

A network namespace plays the web front end's host with a bridge; every unit is a
namespace of its own, wired to the bridge, running unit_responder.py. The CGI runs in
the host namespace with its system log caught on a socket of the test.

Usage: test_network.py --binary PATH [--runner PROGRAM] [unittest options]
(--runner qemu-ppc runs a PowerPC build). Needs root; otherwise exits 77 (skipped)
with the command that runs it as root.
"""
import argparse
import os
import re
import select
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PREFIX = "odisc"
HOST_ADDRESS = "10.0.0.1"
SKIP = 77

OPTIONS = argparse.Namespace(binary=None, runner=None)

PAGE_ALARM_TRIP = (
    "ADDRESS = 1\r\nTRON = 1\r\nNAME = a.b\r\nSECCURR = 812\r\nSECVOL = 45\r\nSPARKS = 3\r\n"
    "LIM = 2\r\nCR = 10\r\nALARMS4 = 0x0100\r\nALARMS4_MASK_T = 0x0300\r\nALARMS4_MASK_W = 0\r\n")
PAGE_ALARM_WARNING = (
    "ADDRESS = 2\nTRON = 0\nNAME = Field 2\nSECCURR = 640\nSECVOL = 51\nSPARKS = 0\n"
    "LIM = 0\nCR = 1\nALARMS1 = 010\nALARMS1_MASK_T = 7\nALARMS1_MASK_W = 8\n")
PAGE_NO_ALARM = (
    "ADDRESS = 3\nTRON = 1\nNAME = Field-3\nSECCURR = 0\nSECVOL = 0\nSPARKS = 12\n"
    "LIM = 5\nCR = 3\nALARMS9 = 5\nALARMS9_MASK_T = 2\nALARMS9_MASK_W = 8\n")


def reply(ip, name, mac, dhcp="ON", version="2.31"):
    return (f"IP = {ip}; HN = {name}; MAC = {mac}; DHCP = {dhcp}; SN = 255.255.255.0; "
            f"GW = {HOST_ADDRESS}; Module version = {version}")


# address     scan replies it sends                                                      page
UNITS = [
    ("10.0.0.2",  [reply("10.0.0.2", "field-1", "00:30:11:00:00:02")],                      PAGE_ALARM_TRIP),
    ("10.0.0.10", [reply("10.0.0.10", "field-2", "00:30:11:00:00:0a"),
                   reply("10.0.0.10", "duplicate", "00:30:11:00:00:ff")],                   PAGE_ALARM_WARNING),
    ("10.0.0.7",  [reply("10.0.0.7", "field-3", "00:30:11:00:00:07", dhcp="OFF")],          PAGE_NO_ALARM),
    ("10.0.0.3",  ["HN = broken; MAC = 00:30:11:00:00:03; DHCP = ON"],                       PAGE_NO_ALARM),
    ("10.0.0.4",  [reply("10.0.0.4", "no-page", "00:30:11:00:00:04", version="1.0")],       None),
]
LISTED = ["10.0.0.10", "10.0.0.2", "10.0.0.4", "10.0.0.7"]  # byte-wise order of the address text


def xml_document(values):
    elements = [
        ('<data id="disc_alarm" type="int">', "alarm"),
        ('<data id="disc_address" type="int">', "address"),
        ('<data id="disc_00" type="int"  flags=",,,disc_mu,,,,disc_tron">', "tron"),
        ('<data id="disc_name" type="str">', "name"),
        ('<data id="disc_seccurr" type="int">', "seccurr"),
        ('<data id="disc_secvol" type="int">', "secvol"),
        ('<data id="disc_sparks" type="int">', "sparks"),
        ('<data id="disc_lim" type="int">', "lim"),
        ('<data id="disc_cr" type="int">', "cr"),
        ('<data id="disc_dhcp" type="int">', "dhcp"),
        ('<data id="disc_mac" type="str">', "mac"),
        ('<data id="disc_gateway" type="str">', "gateway"),
        ('<data id="disc_netmask" type="str">', "netmask"),
        ('<data id="disc_anybus" type="str">', "anybus"),
        ('<data id="disc_ip" type="str">', "ip"),
    ]
    lines = ["Content-Type: text/xml; charset=utf-8", "",
             '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>', "<unit_data>"]
    lines += [tag + values[key] + "</data>" for tag, key in elements]
    lines.append("</unit_data>")
    return "\n".join(lines) + "\n"


SCAN_VALUES = {
    "dhcp": "1,1,1,0",
    "mac": "00:30:11:00:00:0a,00:30:11:00:00:02,00:30:11:00:00:04,00:30:11:00:00:07",
    "gateway": ",".join([HOST_ADDRESS] * 4),
    "netmask": ",".join(["255.255.255.0"] * 4),
    "anybus": "2.31,2.31,1.0,2.31",
    "ip": ",".join(LISTED),
}
# Order: 10.0.0.10 (warning), 10.0.0.2 (trip, name a.b), 10.0.0.4 (no page), 10.0.0.7 (no alarm).
PAGE_VALUES = {
    "alarm": "1,2,,0", "address": "2,1,,3", "tron": "0,1,,1", "name": "Field 2,a%2eb,,Field-3",
    "seccurr": "640,812,,0", "secvol": "51,45,,0", "sparks": "0,3,,12", "lim": "0,2,,5", "cr": "1,10,,3",
}
NO_PAGE_VALUES = {key: ",,," for key in PAGE_VALUES}
FULL_XML = xml_document({**SCAN_VALUES, **PAGE_VALUES})
SCAN_ONLY_XML = xml_document({**SCAN_VALUES, **NO_PAGE_VALUES})


def run(*command, check=True):
    return subprocess.run(command, check=check, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def remove_stale_namespaces():
    """Namespaces of earlier runs whose test process is gone (killed by a time-out)."""
    listing = run("ip", "netns", "list", check=False).stdout
    for line in listing.splitlines():
        name = line.split()[0] if line.split() else ""
        match = re.fullmatch(PREFIX + r"(\d+)[a-z]\d*", name)
        if match and not os.path.exists(f"/proc/{match.group(1)}"):
            run("ip", "netns", "del", name, check=False)


class SyslogCatcher:
    """A datagram socket that stands in for /dev/log while the CGI runs. It is read
    all the time: a full queue would block the CGI's next log line."""

    LINE = re.compile(r"<(\d+)>\w{3} [ \d]\d \d\d:\d\d:\d\d ([^:\[]+)(?:\[\d+\])?: (.*)", re.S)

    def __init__(self, directory):
        self.path = os.path.join(directory, "log.sock")
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(self.path)
        self.sock.settimeout(0.1)
        self.raw = []
        self.stopping = threading.Event()
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        while not self.stopping.is_set():
            try:
                self.raw.append(self.sock.recv(65536).decode("latin-1"))
            except socket.timeout:
                continue

    def close(self):
        """(priority, ident, message) of every line received."""
        self.stopping.set()
        self.reader.join()
        self.sock.close()
        lines = []
        for raw in self.raw:
            match = self.LINE.fullmatch(raw)
            if not match:
                raise AssertionError(f"malformed syslog line: {raw!r}")
            lines.append((int(match.group(1)), match.group(2), match.group(3)))
        return lines


class TestNetwork:
    """The host namespace with its bridge and one namespace per unit."""

    def __init__(self):
        self.tag = f"{PREFIX}{os.getpid()}"
        self.host = self.tag + "h"
        self.namespaces = []
        self.processes = []
        self.directory = tempfile.mkdtemp(prefix="discovery-net-")
        self.logs = {}

    def __enter__(self):
        try:
            self.build()
        except BaseException:
            self.tear_down()
            raise
        return self

    def __exit__(self, *exc):
        self.tear_down()

    def add_namespace(self, name):
        run("ip", "netns", "add", name)
        self.namespaces.append(name)
        run("ip", "-n", name, "link", "set", "lo", "up")

    def build(self):
        self.add_namespace(self.host)
        run("ip", "-n", self.host, "link", "add", "br0", "type", "bridge")
        run("ip", "-n", self.host, "addr", "add", HOST_ADDRESS + "/24", "dev", "br0")
        run("ip", "-n", self.host, "link", "set", "br0", "up")
        run("ip", "-n", self.host, "route", "add", "default", "dev", "br0")
        for index, (address, replies, page) in enumerate(UNITS):
            self.add_unit(index, address, replies, page)
        # A host without any route: its broadcast cannot be sent.
        self.isolated = self.tag + "x"
        self.add_namespace(self.isolated)

    def add_unit(self, index, address, replies, page):
        name = f"{self.tag}u{index}"
        self.add_namespace(name)
        port = f"veth{index}"
        run("ip", "-n", self.host, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns", name)
        run("ip", "-n", self.host, "link", "set", port, "master", "br0", "up")
        run("ip", "-n", name, "addr", "add", address + "/24", "dev", "eth0")
        run("ip", "-n", name, "link", "set", "eth0", "up")
        log = os.path.join(self.directory, f"unit-{address}.log")
        open(log, "w").close()
        self.logs[address] = log
        command = ["ip", "netns", "exec", name, "/usr/bin/python3", os.path.join(HERE, "unit_responder.py"),
                   "--log", log]
        for text in replies:
            command += ["--reply", text]
        if page is not None:
            page_path = os.path.join(self.directory, f"page-{address}.htm")
            with open(page_path, "w", encoding="latin-1", newline="") as page_file:
                page_file.write(page)
            command += ["--page", page_path]
        self.start(command)

    def start(self, command):
        process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
        self.processes.append(process)
        ready, _, _ = select.select([process.stdout], [], [], 10)
        if not ready or process.stdout.readline().strip() != "ready":
            raise RuntimeError(f"did not start: {command}")
        return process

    def tear_down(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()
            for pipe in (process.stdout, process.stderr):
                if pipe:
                    pipe.close()
        for name in reversed(self.namespaces):
            run("ip", "netns", "del", name, check=False)
        shutil.rmtree(self.directory, ignore_errors=True)

    def unit_log(self, address):
        with open(self.logs[address], encoding="utf-8") as log:
            return log.read().splitlines()

    def discovery(self, args=(), query=None, namespace=None, wait=True):
        """Starts the CGI in the host namespace with /dev/log pointing at a catcher."""
        run_dir = tempfile.mkdtemp(dir=self.directory)
        for sub in ("upper", "work"):
            os.mkdir(os.path.join(run_dir, sub))
        catcher = SyslogCatcher(run_dir)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        if query is not None:
            env["QUERY_STRING"] = query
        program = ([OPTIONS.runner] if OPTIONS.runner else []) + [OPTIONS.binary] + list(args)
        setup = ('mount -t overlay overlay -o lowerdir=/dev,upperdir="$1"/upper,workdir="$1"/work /dev'
                 ' && ln -s "$1"/log.sock /dev/log && shift && exec "$@"')
        command = ["ip", "netns", "exec", namespace or self.host, "unshare", "--mount", "--propagation", "private",
                   "sh", "-c", setup, "sh", run_dir] + program
        # Unbuffered, so that reading the first line leaves the rest to communicate().
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, bufsize=0)
        self.processes.append(process)
        result = CgiRun(process, catcher)
        if wait:
            result.finish()
        return result


class CgiRun:
    def __init__(self, process, catcher):
        self.process = process
        self.catcher = catcher
        self.stdout = b""
        self.stderr = b""
        self.status = None
        self.syslog = []

    def finish(self, timeout=60):
        out, err = self.process.communicate(timeout=timeout)
        self.stdout += out
        self.stderr += err
        self.status = self.process.returncode
        self.syslog = self.catcher.close()
        return self

    def logged(self, priority, message):
        """True when the CGI logged the message (format's trailing newline ignored)."""
        return any(p == 8 + priority and m.rstrip("\n") == message.rstrip("\n") for p, _, m in self.syslog)


class DiscoveryOnTestNetwork(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        remove_stale_namespaces()
        cls.net = TestNetwork().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.net.tear_down()

    def page_requests(self):
        return {address: sum(line.startswith("get ") for line in self.net.unit_log(address))
                for address, _, _ in UNITS}

    def assertLogged(self, result, priority, message):
        self.assertTrue(result.logged(priority, message),
                        f"not logged with priority {priority}: {message!r}\nlog: {result.syslog}")

    def test_xml_answer_lists_units_sorted_with_their_pages(self):
        result = self.net.discovery()
        self.assertEqual(result.status, 0, result.stderr)
        self.assertEqual(result.stdout.decode(), FULL_XML)
        self.assertIn(b"Got unparsable response: HN = broken; MAC = 00:30:11:00:00:03; DHCP = ON\n", result.stderr)

        # What each unit saw on the wire: the 12-byte request from port 49210.
        for address, _, _ in UNITS:
            scans = [line.split() for line in self.net.unit_log(address) if line.startswith("scan ")]
            self.assertEqual(scans[-1][1:], [HOST_ADDRESS, "49210", b"Module Scan\0".hex()])

        self.assertLogged(result, 7, "Number of nodes limited to 1000")
        self.assertLogged(result, 6, "from 10.0.0.2:UDP3250 : " + UNITS[0][1][0] + " \n")
        self.assertLogged(result, 7, "Found node with name: field-1 and ip: 10.0.0.2\n")
        self.assertLogged(result, 7, "Found node with name: no-page and ip: 10.0.0.4\n")
        self.assertLogged(result, 7, "Fetching page: http://10.0.0.7/node_summary.htm\n")
        self.assertLogged(result, 7, "Fetched data: " + PAGE_NO_ALARM + "\n")
        self.assertLogged(result, 7, "Could not fetch page: http://10.0.0.4/node_summary.htm\n")
        for index in range(4):
            self.assertLogged(result, 7, f"Thread created: {index}\n")
        self.assertFalse(result.logged(7, "Found node with name: duplicate and ip: 10.0.0.10"))
        self.assertFalse(any(p != 8 + 7 and p != 8 + 6 for p, _, _ in result.syslog), result.syslog)
        self.assertTrue(all(ident == "discovery" for _, ident, _ in result.syslog))

    def test_save_answer_sets_the_cookie(self):
        result = self.net.discovery(query="save")
        self.assertEqual(result.status, 0, result.stderr)
        self.assertEqual(result.stdout.decode(),
                         "Content-Type: text/plain; charset=utf-8\n"
                         "Set-Cookie: saved_nodes=ADDRESS = 2,1,,3:NAME = Field 2,a%2eb,,Field-3:"
                         "IP = 10.0.0.10,10.0.0.2,10.0.0.4,10.0.0.7:; expires=31-Dec-2099 23:59:59 GMT\n"
                         "\n"
                         "\n OK")
        self.assertLogged(result, 3, "got save")
        self.assertEqual(self.net.discovery(["save"]).stdout, result.stdout)

    def test_node_limit_zero_fetches_no_page(self):
        before = self.page_requests()
        result = self.net.discovery(["0"])
        self.assertEqual(result.status, 0, result.stderr)
        self.assertEqual(result.stdout.decode(), SCAN_ONLY_XML)
        self.assertEqual(self.page_requests(), before)
        self.assertLogged(result, 7, "Number of nodes limited to 0")
        self.assertFalse(any(m.startswith("Thread created") for _, _, m in result.syslog))

    def test_node_limit_above_999_is_ignored(self):
        result = self.net.discovery(["1000"])
        self.assertEqual(result.stdout.decode(), FULL_XML)
        self.assertLogged(result, 7, "Number of nodes limited to 1000")

    def test_node_limit_takes_the_first_units_found(self):
        before = self.page_requests()
        result = self.net.discovery(["2"])
        self.assertEqual(result.status, 0, result.stderr)
        after = self.page_requests()
        fetched = sum(after[address] - before[address] for address in after)
        self.assertLessEqual(fetched, 2)
        alarm_line = next(line for line in result.stdout.decode().splitlines() if 'id="disc_alarm"' in line)
        values = alarm_line[alarm_line.index(">") + 1:alarm_line.index("</data>")].split(",")
        self.assertEqual(len(values), 4)
        self.assertEqual(sum(value != "" for value in values), fetched)

    def test_find_prints_each_address_as_it_is_found(self):
        before = self.page_requests()
        result = self.net.discovery(["find"], wait=False)
        first_line = result.process.stdout.readline()
        # The first address arrives while the one-second scan window is still open,
        # not with the answer at the end.
        time.sleep(0.2)
        self.assertIsNone(result.process.poll())
        result.stdout = first_line
        result.finish()
        self.assertEqual(result.status, 0, result.stderr)
        output = result.stdout.decode()
        found = output.splitlines()[:4]
        self.assertCountEqual(found, LISTED)
        self.assertEqual(output, "".join(line + "\n" for line in found) + SCAN_ONLY_XML)
        self.assertEqual(self.page_requests(), before)

    def test_bound_port_falls_back_to_any_port(self):
        holder = self.net.start(["ip", "netns", "exec", self.net.host, "/usr/bin/python3", "-c",
                                 "import socket, time; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); "
                                 "s.bind(('', 49210)); print('ready', flush=True); time.sleep(120)"])
        try:
            result = self.net.discovery()
        finally:
            holder.kill()
            holder.wait()
        self.assertEqual(result.status, 0, result.stderr)
        self.assertEqual(result.stdout.decode(), FULL_XML)
        last_scan = [line.split() for line in self.net.unit_log("10.0.0.2") if line.startswith("scan ")][-1]
        self.assertNotEqual(last_scan[2], "49210")

    def test_failed_scan_exits_with_minus_one_and_no_answer(self):
        result = self.net.discovery(namespace=self.net.isolated)
        self.assertEqual(result.status, 255)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(result.stderr, b"cannot send to port\n")
        self.assertLogged(result, 3, "Could not scan nodes\n")


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--runner")
    options, rest = parser.parse_known_args()
    OPTIONS.binary = os.path.abspath(options.binary)
    OPTIONS.runner = shutil.which(options.runner) if options.runner else None
    if options.runner and not OPTIONS.runner:
        print(f"{options.runner} not found", file=sys.stderr)
        return 1
    if os.geteuid() != 0:
        command = [sys.executable, os.path.abspath(__file__), "--binary", OPTIONS.binary]
        if options.runner:
            command += ["--runner", options.runner]
        print("SKIPPED: network namespaces for the simulated units need root; run it as root:\n"
              f"  sudo {shlex.join(command)}\n"
              "or, in the build directory: sudo ctest -R discovery_network --output-on-failure",
              file=sys.stderr)
        return SKIP
    # A time-out of the test runner sends SIGTERM: tear the network down on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
