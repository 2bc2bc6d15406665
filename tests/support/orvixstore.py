"""Direct access to a unit's tag store from integration tests, as the programs see it.

The layout offsets are those of the store's binary interface; a test reads and writes
tags here to check what the programs under test did, without going through them.
"""
import ctypes
import os

SIZE = 120216
IPC_RMID = 0

# Offsets of the store's arrays.
I_VALUE = 0
I_MAX = 6000
I_MIN = 12000
I_DEFAULT = 18000
CONFIG = 27000
I_SAVE_VALUE = 33000
MODBUS_BLOCK = 103804
TEXT_BLOCK = 119164
TEXT_TXT = TEXT_BLOCK + 1
TEXT_IREF = TEXT_BLOCK + 992

_libc = ctypes.CDLL(None, use_errno=True)
_libc.shmat.restype = ctypes.c_void_p
_libc.shmat.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
_libc.shmdt.argtypes = [ctypes.c_void_p]
_libc.shmctl.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_void_p]


class Store:
    def __init__(self, key):
        self.key = key
        self.id = _libc.shmget(key, SIZE, 0)
        if self.id < 0:
            raise OSError(ctypes.get_errno(), f"no tag store under key {key}")
        self.base = _libc.shmat(self.id, None, 0)
        if self.base in (None, ctypes.c_void_p(-1).value):
            raise OSError(ctypes.get_errno(), "cannot attach the tag store")

    def _int(self, offset):
        return ctypes.c_int32.from_address(self.base + offset)

    def value(self, handle):
        return self._int(I_VALUE + 4 * handle).value

    def set_value(self, handle, value):
        """Writes directly, as another program of the unit would (no range check)."""
        self._int(I_VALUE + 4 * handle).value = value

    def default(self, handle):
        return self._int(I_DEFAULT + 4 * handle).value

    def save_value(self, handle):
        return self._int(I_SAVE_VALUE + 4 * handle).value

    def flags(self, handle):
        return ctypes.c_uint32.from_address(self.base + CONFIG + 4 * handle).value

    def set_flags(self, handle, flags):
        ctypes.c_uint32.from_address(self.base + CONFIG + 4 * handle).value = flags

    def modbus_map(self):
        """The Modbus mapping list: (address, format, word swap, handle) per entry."""
        count = ctypes.c_int16.from_address(self.base + MODBUS_BLOCK).value
        entries = []
        for index in range(count):
            word = ctypes.c_uint32.from_address(self.base + MODBUS_BLOCK + 4 + 4 * index).value
            entries.append((word >> 5 & 0x7FFF, word & 0x7, bool(word >> 3 & 1), word >> 20))
        return entries

    def text_of(self, handle):
        count = ctypes.c_char.from_address(self.base + TEXT_BLOCK).value[0]
        for entry in range(count):
            if ctypes.c_int16.from_address(self.base + TEXT_IREF + 2 * entry).value == handle:
                raw = ctypes.string_at(self.base + TEXT_TXT + 30 * entry, 30)
                return raw.split(b"\0")[0].decode("latin-1")
        raise KeyError(handle)

    def set_text_raw(self, handle, text):
        """Puts characters into a text entry without touching the tag's checksum."""
        count = ctypes.c_char.from_address(self.base + TEXT_BLOCK).value[0]
        for entry in range(count):
            if ctypes.c_int16.from_address(self.base + TEXT_IREF + 2 * entry).value == handle:
                data = text.encode("latin-1")[:29].ljust(30, b"\0")
                ctypes.memmove(self.base + TEXT_TXT + 30 * entry, data, 30)
                return
        raise KeyError(handle)

    def close(self):
        if self.base:
            _libc.shmdt(ctypes.c_void_p(self.base))
            self.base = None


def remove_segment(key):
    shm_id = _libc.shmget(key, 0, 0)
    if shm_id >= 0:
        _libc.shmctl(shm_id, IPC_RMID, None)


def free_key():
    """A store key no segment uses, spread by process id."""
    key = 0x0D000000 + ((os.getpid() & 0xFFFF) << 8)
    while _libc.shmget(key, 0, 0) >= 0:
        key += 1
    return key
