"""regserver driven by independent Modbus clients: pymodbus and mbpoll.

The store is built the way the database builds it; the test plays the database by
writing tags directly and advancing the Modbus refresh counter.
"""
import select
import signal
import socket
import struct
import subprocess
import threading
import time
import unittest

from pymodbus.client import ModbusTcpClient

import unitharness

# Tags by handle and their Modbus addresses.
TRON, TROFF, SCOPE_TRIGGER, LOCK = 94, 100, 165, 182
MODE, SCOPE_VIEW2_TYPE, DATE = 560, 592, 619
LOCKED_BY_IP, LOCKED_MODE = 921, 922
IOGR1_NAME, UNIT_NAME, FIRING_RATIO = 768, 767, 215
ACTIVITY, REFRESH = 1116, 1378
COIL_TRON, COIL_TROFF, COIL_SCOPE_TRIGGER, COIL_LOCK = 16384, 16390, 16456, 16476
HOLD_MODE, HOLD_SCOPE_VIEW2, HOLD_DATE = 1041, 1078, 1107
HOLD_IOGR1_NAME, HOLD_UNIT_NAME, INPUT_FIRING_RATIO = 1293, 1280, 19
EXEMPT_COIL = 16462

ILLEGAL_FUNCTION, ILLEGAL_ADDRESS, SERVER_BUSY = 1, 2, 6
LOCALHOST_WORD = struct.unpack("<I", socket.inet_aton("127.0.0.1"))[0]


def table_sizes(modbus_map):
    """What the configuration must cover: highest address plus the width of its tag."""
    sizes = {"nr_diginp": 0, "nr_coils": 0, "nr_input": 0, "nr_holding": 0}
    for address, fmt, _, _ in modbus_map:
        if fmt == 0:
            key, end = ("nr_diginp", address + 1) if address < 16384 else ("nr_coils", address + 1 - 16384)
        elif address < 1024:
            key, end = "nr_input", address + (2 if fmt == 2 else 1)
        else:
            key, end = "nr_holding", address + {2: 2, 3: 12, 4: 7}.get(fmt, 1) - 1024
        sizes[key] = max(sizes[key], end)
    return sizes


class Unit:
    """A store built by the definitions and a regserver on a free port."""

    def __init__(self, open_tags=None, with_sizes=True, max_clients=None):
        self.image = unitharness.Image()
        try:
            if open_tags is not None:
                self.image.write("/var/lib/orvix/openTags.ini", "".join(f"{name}\n" for name in open_tags))
            self.store = self.image.build_store()
            self.port = unitharness.free_port()
            lines = ["5", f"port={self.port}"]
            if with_sizes:
                lines += [f"{key}={value}" for key, value in table_sizes(self.store.modbus_map()).items()]
            if max_clients:
                lines.append(f"max_clients={max_clients}")
            self.image.write("/etc/regserver.conf", "\n".join(lines) + "\n")
            self.server = self.image.start("regserver", ["-c", "/etc/regserver.conf"])
            unitharness.wait_for_port(self.port, self.server)
            self.pump()
        except BaseException:
            self.image.close()
            raise

    def client(self, source="127.0.0.1"):
        client = ModbusTcpClient("127.0.0.1", port=self.port, source_address=(source, 0), timeout=3)
        assert client.connect()
        return client

    def pump(self):
        """Plays the database asking for a pass, and gives the server time to run it."""
        self.store.set_value(REFRESH, self.store.value(REFRESH) + 1)
        time.sleep(0.3)

    def log(self):
        return self.image.read("/var/log/regserver.log")

    def close(self):
        self.store.close()
        self.image.close()


def assert_logged(test, unit, text):
    """Checks the server's log (written once per round) without printing all of it on failure."""
    test.assertTrue(unitharness.wait_for(lambda: text in unit.log(), 3.0), f"not in the regserver log: {text!r}")


def read_request(transaction, address, count):
    return struct.pack(">HHHBBHH", transaction, 0, 6, 1, 3, address, count)


def read_reply(transaction, registers):
    return struct.pack(f">HHHBBB{len(registers)}H", transaction, 0, 3 + 2 * len(registers), 1, 3,
                       2 * len(registers), *registers)


class RawClient:
    """A client that sends bytes as the test cuts them and reads replies whole."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.sock.settimeout(3)

    def send(self, data):
        self.sock.sendall(data)

    def reply(self):
        header = self._exactly(6)
        return header + self._exactly(struct.unpack(">H", header[4:6])[0])

    def _exactly(self, size):
        data = b""
        while len(data) < size:
            chunk = self.sock.recv(size - len(data))
            if not chunk:
                raise ConnectionError("closed by the server")
            data += chunk
        return data

    def is_open(self):
        """Whether the server still holds the connection, seen at once."""
        if not select.select([self.sock], [], [], 0)[0]:
            return True
        try:
            return self.sock.recv(1, socket.MSG_PEEK) != b""
        except ConnectionError:
            return False

    def close(self):
        self.sock.close()


def holding(client, address, count=1):
    reply = client.read_holding_registers(address, count, slave=1)
    assert not reply.isError(), reply
    return reply.registers


class RegserverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.unit = Unit(open_tags=["vxo_mode", "vxo_scopeview2type"])
        cls.store = cls.unit.store

    @classmethod
    def tearDownClass(cls):
        cls.unit.close()

    def setUp(self):
        self.client = self.unit.client()
        for handle in (LOCKED_MODE, LOCK):
            self.store.set_value(handle, 0)
        self.unit.pump()

    def tearDown(self):
        self.client.close()

    def test_every_table_reads_at_every_mapped_address(self):
        reads = {0: self.client.read_discrete_inputs, 16384: self.client.read_coils}
        for address, fmt, _, handle in self.store.modbus_map():
            if fmt == 0:
                table = 0 if address < 16384 else 16384
                reply = reads[table](address, 1, slave=1)
            elif address < 1024:
                reply = self.client.read_input_registers(address, 2 if fmt == 2 else 1, slave=1)
            else:
                reply = self.client.read_holding_registers(address, {2: 2, 3: 12, 4: 7}.get(fmt, 1), slave=1)
            self.assertFalse(reply.isError(), f"handle {handle} at {address} format {fmt}: {reply}")

    def test_write_reaches_the_store_and_a_refused_one_comes_back_old(self):
        self.assertFalse(self.client.write_register(HOLD_MODE, 3, slave=1).isError())
        self.unit.pump()
        self.assertEqual(self.store.value(MODE), 3)
        self.assertTrue(self.store.value(ACTIVITY) & 4, "activity bit 2 marks a Modbus change")
        self.assertFalse(self.client.write_register(HOLD_MODE, 9, slave=1).isError())  # range 0..5
        self.client.write_registers(HOLD_MODE, [9], slave=1)
        for line in ("Read registe:r Offset 7, Slave 1, function 6, address 1041\n",
                     "Write register: Offset 7, Slave 1, function 6, address 1041\n",
                     "Write mult reg: Rc: 15 Offset 7, Slave 1, function 16, address 1041\n"):
            assert_logged(self, self.unit, line)
        self.unit.pump()
        self.assertEqual(self.store.value(MODE), 3)
        self.assertEqual(holding(self.client, HOLD_MODE), [3])

    def test_database_changes_are_published(self):
        self.store.set_value(MODE, 4)
        self.unit.pump()
        self.assertEqual(holding(self.client, HOLD_MODE), [4])

    def test_negative_values_read_back_as_unsigned_16_bit_and_stay_negative(self):
        self.store.set_value(FIRING_RATIO, -5)
        self.unit.pump()
        self.unit.pump()
        reply = self.client.read_input_registers(INPUT_FIRING_RATIO, 1, slave=1)
        self.assertEqual(reply.registers, [65531])
        self.assertEqual(holding(self.client, INPUT_FIRING_RATIO), [65531], "mirrored into holding")
        self.assertEqual(self.store.value(FIRING_RATIO), -5)

    def test_32_bit_values_with_and_without_word_swap(self):
        for swapped in (False, True):
            candidates = [(a, h) for a, f, s, h in self.store.modbus_map()
                          if f == 2 and a >= 1024 and s == swapped and h != DATE]
            self.assertTrue(candidates, f"a 32-bit holding tag with swap={swapped}")
            address, handle = candidates[0]
            self.store.set_value(handle, 0x00012345)
            self.unit.pump()
            expected = [0x0001, 0x2345] if swapped else [0x2345, 0x0001]
            self.assertEqual(holding(self.client, address, 2), expected, f"handle {handle}")
            self.client.write_registers(address, [0x0000, 0x0002] if swapped else [0x0002, 0x0000], slave=1)
            self.unit.pump()
            self.assertEqual(self.store.value(handle), 2, f"handle {handle}")
        inputs = [(a, h) for a, f, _, h in self.store.modbus_map() if f == 2 and a < 1024]
        address, handle = inputs[0]
        self.store.set_value(handle, 0x00012345)
        self.unit.pump()
        self.assertEqual(self.client.read_input_registers(address, 2, slave=1).registers, [0x0001, 0x2345])

    def test_date_layout(self):
        self.store.set_value(DATE, 0x00ABCDEF)
        self.unit.pump()
        self.assertEqual(holding(self.client, HOLD_DATE, 2), [0xABCD, 0xEF00])
        self.client.write_registers(HOLD_DATE, [0x1234, 0x5600], slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(DATE), 0x123456)

    def test_texts_in_both_directions(self):
        self.client.write_registers(HOLD_IOGR1_NAME, [ord("A"), ord("B"), 0, ord("Z"), 0, 0, 0], slave=1)
        self.unit.pump()
        self.unit.pump()
        self.assertEqual(self.store.text_of(IOGR1_NAME), "AB")
        self.assertEqual(holding(self.client, HOLD_IOGR1_NAME, 7), [65, 66, 0, 0, 0, 0, 0])

        # A character outside "0".."z" ends the stored text.
        self.client.write_registers(HOLD_IOGR1_NAME, [ord("C"), ord("D"), ord(" "), ord("E"), 0, 0, 0], slave=1)
        self.unit.pump()
        self.unit.pump()
        self.assertEqual(self.store.text_of(IOGR1_NAME), "CD")
        self.assertEqual(holding(self.client, HOLD_IOGR1_NAME, 7), [67, 68, 0, 0, 0, 0, 0])

        # Clearing the first register brings the stored text back; an empty text shows "?".
        self.client.write_register(HOLD_IOGR1_NAME, 0, slave=1)
        self.unit.pump()
        self.assertEqual(holding(self.client, HOLD_IOGR1_NAME, 2), [67, 68])
        self.store.set_text_raw(UNIT_NAME, "")
        self.client.write_register(HOLD_UNIT_NAME, 0, slave=1)
        self.unit.pump()
        self.assertEqual(holding(self.client, HOLD_UNIT_NAME, 2), [ord("?"), 0])

        # The database changing a text is published with all twelve registers.
        self.store.set_text_raw(UNIT_NAME, "FIELD7")
        self.store.set_value(UNIT_NAME, sum(ord(c) << i for i, c in enumerate("FIELD7")))
        self.unit.pump()
        self.assertEqual(holding(self.client, HOLD_UNIT_NAME, 12), [ord(c) for c in "FIELD7"] + [0] * 6)

    def test_coils_and_their_word_tags(self):
        self.assertFalse(self.client.write_coil(COIL_TROFF, True, slave=1).isError())
        self.unit.pump()
        self.assertEqual(self.store.value(TROFF), 1)
        word = holding(self.client, 1024 + (COIL_TROFF - 16384) // 16)[0]
        self.assertTrue(word >> ((COIL_TROFF - 16384) % 16) & 1, "coil mirrored in its word tag")
        self.client.write_coil(COIL_TROFF, False, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(TROFF), 0)
        # Discrete inputs show up as coils below 16384 and in the read-only word tags.
        bits = [(a, h) for a, f, _, h in self.store.modbus_map() if f == 0 and a < 16384]
        address, handle = bits[5]
        self.store.set_value(handle, 1)
        self.unit.pump()
        self.assertTrue(self.client.read_discrete_inputs(address, 1, slave=1).bits[0])
        self.assertTrue(self.client.read_coils(address, 1, slave=1).bits[0])
        word = self.client.read_input_registers(address // 16, 1, slave=1).registers[0]
        self.assertTrue(word >> (address % 16) & 1)
        self.store.set_value(handle, 0)

    def test_lock_protects_all_but_the_open_tags(self):
        protected = [(a, h) for a, f, _, h in self.store.modbus_map()
                     if f == 1 and a >= 1040 and h not in (MODE, SCOPE_VIEW2_TYPE)]
        address, handle = protected[0]
        before = self.store.value(handle)
        self.client.write_coil(COIL_LOCK, True, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(LOCK), 1)
        self.client.write_registers(HOLD_MODE, [2], slave=1)
        self.client.write_register(address, (before + 1) & 0xFFFF, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(MODE), 2, "open tag stays writable")
        self.assertEqual(self.store.value(handle), before, f"protected handle {handle}")
        self.assertEqual(holding(self.client, address), [before & 0xFFFF])
        assert_logged(self, self.unit, "(register) the address (%x) is protected and we are locked" % address)
        self.client.write_coil(COIL_LOCK, False, slave=1)
        self.unit.pump()

    def test_scope_trigger_resets_the_view_type(self):
        self.client.write_register(HOLD_SCOPE_VIEW2, 3, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(SCOPE_VIEW2_TYPE), 3)
        self.client.write_coil(COIL_SCOPE_TRIGGER, True, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(SCOPE_TRIGGER), 1)
        self.assertEqual(self.store.value(SCOPE_VIEW2_TYPE), 0)
        self.unit.pump()
        self.assertEqual(holding(self.client, HOLD_SCOPE_VIEW2), [0])
        assert_logged(self, self.unit, "Scope trigger from Modbus, set SCOPEVIEW2TYPE to CONTROL")
        self.store.set_value(SCOPE_TRIGGER, 0)

    def test_lock_gate_between_two_client_addresses(self):
        self.store.set_value(LOCKED_BY_IP, LOCALHOST_WORD)
        self.store.set_value(LOCKED_MODE, 1)
        other = self.unit.client("127.0.0.2")
        try:
            refused = other.write_register(HOLD_MODE, 1, slave=1)
            self.assertTrue(refused.isError())
            self.assertEqual(refused.exception_code, SERVER_BUSY)
            self.assertFalse(other.read_holding_registers(HOLD_MODE, 1, slave=1).isError(), "reads pass")
            self.assertFalse(other.write_coil(EXEMPT_COIL, True, slave=1).isError(), "exempt coil")
            multiple = other.write_coils(EXEMPT_COIL, [True, True], slave=1)
            self.assertEqual(multiple.exception_code, SERVER_BUSY)
            self.assertFalse(self.client.write_register(HOLD_MODE, 1, slave=1).isError(), "lock holder")
            assert_logged(self, self.unit, "Blocked modbus requ from 127.0.0.2")
        finally:
            other.close()

    def test_locked_mode_lets_clients_only_switch_the_tr_set_off(self):
        self.store.set_value(TRON, 0)
        self.unit.pump()
        self.store.set_value(LOCKED_BY_IP, LOCALHOST_WORD)
        self.store.set_value(LOCKED_MODE, 1)
        self.client.write_coil(COIL_TRON, True, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(TRON), 0)
        self.assertFalse(self.client.read_coils(COIL_TRON, 1, slave=1).bits[0])
        assert_logged(self, self.unit, "write coil from modbus not possible, write back ! ")
        self.store.set_value(TRON, 1)
        self.unit.pump()
        self.client.write_coil(COIL_TRON, False, slave=1)
        self.unit.pump()
        self.assertEqual(self.store.value(TRON), 0)

    def test_unsupported_functions_and_addresses_get_exceptions(self):
        reply = self.client.read_exception_status(slave=1)
        self.assertEqual(reply.exception_code, ILLEGAL_FUNCTION)
        reply = self.client.readwrite_registers(read_address=HOLD_MODE, read_count=1, write_address=HOLD_MODE,
                                                write_registers=[5], slave=1)
        self.assertEqual(reply.exception_code, ILLEGAL_FUNCTION, "no write around the lock gate")
        self.assertEqual(self.client.read_holding_registers(1595, 2, slave=1).exception_code, ILLEGAL_ADDRESS)
        self.assertEqual(self.client.read_input_registers(365, 1, slave=1).exception_code, ILLEGAL_ADDRESS)
        self.assertEqual(self.client.read_coils(16480, 1, slave=1).exception_code, ILLEGAL_ADDRESS)
        self.assertEqual(self.client.read_discrete_inputs(99, 1, slave=1).exception_code, ILLEGAL_ADDRESS)

    def test_fifty_clients_at_once(self):
        results = []

        def one_client():
            client = self.unit.client()
            try:
                for _ in range(10):
                    results.append(not client.read_holding_registers(1024, 100, slave=1).isError())
            finally:
                client.close()

        threads = [threading.Thread(target=one_client) for _ in range(50)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(30)
        self.assertEqual(len(results), 500)
        self.assertTrue(all(results))

    def test_a_request_arriving_in_pieces_holds_up_no_other_client(self):
        self.store.set_value(MODE, 4)
        self.unit.pump()
        slow = RawClient(self.unit.port)
        try:
            request = read_request(11, HOLD_MODE, 1)
            slow.send(request[:3])
            self.assertEqual(holding(self.client, HOLD_MODE), [4], "answered while half a header waits")
            self.assertTrue(slow.is_open(), "the half request was not given up to answer the other client")
            for byte in request[3:]:
                slow.send(bytes([byte]))
                self.assertEqual(holding(self.client, HOLD_MODE), [4])
            self.assertEqual(slow.reply(), read_reply(11, [4]))

            # Two requests in pieces that cross the border between them; a frame whose header
            # counts bytes past its request; each answered in order.
            pair = holding(self.client, HOLD_MODE - 1, 2)
            first, second = read_request(12, HOLD_MODE, 1), read_request(13, HOLD_MODE - 1, 2)
            slow.send(first + second[:5])
            slow.send(second[5:])
            self.assertEqual(slow.reply(), read_reply(12, [4]))
            self.assertEqual(slow.reply(), read_reply(13, pair))
            padded = bytearray(read_request(14, HOLD_MODE, 1) + b"\xAA\xBB")
            padded[5] += 2
            slow.send(bytes(padded) + read_request(15, HOLD_MODE, 1))
            self.assertEqual(slow.reply(), read_reply(14, [4]))
            self.assertEqual(slow.reply(), read_reply(15, [4]))

            # A request that stops half way is given up, and its client with it.
            slow.send(request[:3])
            self.assertTrue(unitharness.wait_for(lambda: not slow.is_open(), 5.0), "a stalled request is given up")
        finally:
            slow.close()
        self.assertEqual(holding(self.client, HOLD_MODE), [4])

    def test_requests_that_cannot_be_framed_close_their_connection(self):
        self.store.set_value(MODE, 1)
        self.unit.pump()
        # Two registers announced, one register's bytes sent: nothing is written.
        short_write = struct.pack(">HHHBBHHBH", 21, 0, 9, 1, 16, HOLD_MODE, 2, 4, 5)
        no_length = struct.pack(">HHHBB", 22, 0, 1, 1, 3)
        too_long = struct.pack(">HHHBB", 23, 0, 255, 1, 3) + bytes(254)
        for name, frame in (("short write", short_write), ("length 1", no_length), ("length 255", too_long)):
            raw = RawClient(self.unit.port)
            try:
                raw.send(frame)
                self.assertTrue(unitharness.wait_for(lambda: not raw.is_open(), 5.0), name)
            finally:
                raw.close()
        self.unit.pump()
        self.assertEqual(self.store.value(MODE), 1)
        self.assertEqual(holding(self.client, HOLD_MODE), [1])

    def test_a_client_that_never_reads_is_dropped_and_holds_up_no_one(self):
        greedy = socket.socket()
        for option in (socket.SO_RCVBUF, socket.SO_SNDBUF):
            greedy.setsockopt(socket.SOL_SOCKET, option, 4096)
        greedy.connect(("127.0.0.1", self.unit.port))
        greedy.settimeout(20)
        # Replies to all of them, asked for before any is read, are far more than the
        # server keeps for one client; the requests go out only as fast as it reads them.
        requests = b"".join(read_request(n % 65536, 1024, 125) for n in range(20000))
        outcome = []

        def send_all():
            try:
                greedy.sendall(requests)
                outcome.append("all sent")
            except (BrokenPipeError, ConnectionResetError):
                outcome.append("dropped")

        sender = threading.Thread(target=send_all)
        sender.start()
        try:
            while sender.is_alive():
                self.assertEqual(len(holding(self.client, HOLD_MODE)), 1)
        finally:
            sender.join()
            greedy.close()
        self.assertEqual(outcome, ["dropped"])

    def test_mbpoll_reads_and_writes(self):
        port = str(self.unit.port)
        subprocess.run(["mbpoll", "-m", "tcp", "-p", port, "-a", "1", "-0", "-1", "-t", "4", "-r",
                        str(HOLD_MODE), "127.0.0.1", "2"], check=True, capture_output=True, timeout=10)
        self.unit.pump()
        self.assertEqual(self.store.value(MODE), 2)
        out = subprocess.run(["mbpoll", "-m", "tcp", "-p", port, "-a", "1", "-0", "-1", "-t", "4", "-r",
                              str(HOLD_MODE), "-c", "1", "127.0.0.1"], capture_output=True, text=True, timeout=10)
        self.assertEqual(out.returncode, 0, out.stderr)
        self.assertIn(f"[{HOLD_MODE}]: \t2", out.stdout)
        bad = subprocess.run(["mbpoll", "-m", "tcp", "-p", port, "-a", "1", "-0", "-1", "-t", "3", "-r", "400",
                              "127.0.0.1"], capture_output=True, text=True, timeout=10)
        self.assertEqual(bad.returncode, 1)


class RegserverProcessTest(unittest.TestCase):
    def test_sigint_ends_with_status_2(self):
        unit = Unit()
        try:
            unit.server.send_signal(signal.SIGINT)
            self.assertEqual(unit.server.wait(10), 2)
        finally:
            unit.close()

    def test_missing_sizes_are_derived_from_the_map(self):
        unit = Unit(with_sizes=False)
        try:
            sizes = table_sizes(unit.store.modbus_map())
            assert_logged(self, unit, f"Rec bits: {sizes['nr_coils'] + 16384} \t inp bits: {sizes['nr_diginp']} \t "
                          f"inp reg:{sizes['nr_input']} \t reg:{sizes['nr_holding'] + 1024}")
            assert_logged(self, unit, "Missing setting nr_holding")
        finally:
            unit.close()

    def test_connections_over_the_limit_are_turned_away(self):
        unit = Unit(max_clients=3)
        clients = []
        try:
            clients = [unit.client() for _ in range(3)]
            extra = socket.create_connection(("127.0.0.1", unit.port))
            extra.settimeout(3)
            self.assertEqual(extra.recv(1), b"", "closed at once")
            extra.close()
            self.assertEqual(len(holding(clients[0], HOLD_MODE)), 1)
            clients.pop().close()
            time.sleep(0.3)
            clients.append(unit.client())
            self.assertEqual(len(holding(clients[-1], HOLD_MODE)), 1, "a freed place is taken again")
            assert_logged(self, unit, "refused: 3 clients connected, limit 3")
        finally:
            for client in clients:
                client.close()
            unit.close()

    def test_daemon_holds_its_locked_pid_file(self):
        image = unitharness.Image()
        try:
            image.build_store()
            port = unitharness.free_port()
            image.write("/etc/regserver.conf", f"5\nport={port}\n")
            regserver = unitharness.os.path.join(unitharness.BIN, "regserver")
            args = [regserver, "-d", "-p", "/var/run/regserver.pid", "-c", "/etc/regserver.conf"]
            image.path("/var/run/x")
            self.assertEqual(subprocess.run(args, env=image.env, timeout=10).returncode, 0)
            # The daemon creates the file, then writes its number: wait for the whole line.
            unitharness.wait_for(lambda: unitharness.os.path.exists(image.path("/var/run/regserver.pid"))
                                 and image.read("/var/run/regserver.pid").endswith("\n"), 5.0)
            pid = int(image.read("/var/run/regserver.pid"))
            try:
                client = ModbusTcpClient("127.0.0.1", port=port, timeout=3)
                deadline = time.monotonic() + 5
                while not client.connect() and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertFalse(client.read_holding_registers(HOLD_MODE, 1, slave=1).isError())
                client.close()
                # A second daemon on the same pid file finds it locked and gives up.
                second = args[:]
                second[-1] = "/etc/other.conf"
                image.write("/etc/other.conf", f"5\nport={unitharness.free_port()}\n")
                subprocess.run(second, env=image.env, timeout=10)
                time.sleep(0.5)
                self.assertEqual(int(image.read("/var/run/regserver.pid")), pid)
                unitharness.os.kill(pid, 0)
            finally:
                unitharness.os.kill(pid, signal.SIGINT)
                deadline = time.monotonic() + 5
                while time.monotonic() < deadline:
                    try:
                        unitharness.os.kill(pid, 0)
                        time.sleep(0.05)
                    except ProcessLookupError:
                        break
                else:
                    unitharness.os.kill(pid, signal.SIGKILL)
                    self.fail("the daemon did not end on SIGINT")
        finally:
            image.close()

    def test_command_line(self):
        regserver = unitharness.os.path.join(unitharness.BIN, "regserver")
        usage = subprocess.run([regserver, "-h"], capture_output=True, text=True)
        self.assertEqual(usage.returncode, 0)
        self.assertIn("   -t --test_conf filename   Test configuration file\n", usage.stdout)
        self.assertEqual(subprocess.run([regserver, "-x"], capture_output=True).returncode, 1)
        image = unitharness.Image()
        try:
            image.write("/etc/good.conf", "5\nport=1502\n")
            image.write("/etc/bad.conf", "port=1502\n")
            run = lambda name: subprocess.run([regserver, "-t", name], env=image.env, capture_output=True, text=True)
            self.assertEqual(run("/etc/good.conf").returncode, 0)
            bad = run("/etc/bad.conf")
            self.assertEqual((bad.returncode, bad.stderr), (1, "Wrong config file /etc/bad.conf\n"))
            missing = run("/etc/none.conf")
            self.assertEqual((missing.returncode, missing.stderr), (1, "Can't read config file /etc/none.conf\n"))
        finally:
            image.close()


if __name__ == "__main__":
    unittest.main()
