#!/usr/bin/python3
"""Independent Modbus TCP devices for the remoteio tests, one per address given, all on
one port: 10010 holding registers and coils (all 0), 10010 discrete inputs (on at odd
addresses), and as input register a the number of reads of holding register a."""
import asyncio
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusTcpServer

SIZE = 10010
READ_HOLDING_REGISTERS = 3
READ_INPUT_REGISTERS = 4


class CountingDevice(ModbusSlaveContext):
    def __init__(self):
        super().__init__(
            di=ModbusSequentialDataBlock(0, [a % 2 for a in range(SIZE)]),
            co=ModbusSequentialDataBlock(0, [0] * SIZE),
            hr=ModbusSequentialDataBlock(0, [0] * SIZE),
            ir=ModbusSequentialDataBlock(0, [0] * SIZE),
            zero_mode=True,
        )
        self.reads = [0] * SIZE

    def getValues(self, fc_as_hex, address, count=1):
        if fc_as_hex == READ_INPUT_REGISTERS:
            return self.reads[address:address + count]
        if fc_as_hex == READ_HOLDING_REGISTERS:
            for a in range(address, address + count):
                self.reads[a] += 1
        return super().getValues(fc_as_hex, address, count)


async def serve(port, hosts):
    servers = [
        ModbusTcpServer(ModbusServerContext(slaves=CountingDevice(), single=True),
                        address=(host, port), allow_reuse_address=True)
        for host in hosts
    ]
    await asyncio.gather(*(server.serve_forever() for server in servers))


if __name__ == "__main__":
    asyncio.run(serve(int(sys.argv[1]), sys.argv[2:]))
