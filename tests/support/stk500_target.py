#!/usr/bin/env python3
"""An ATmega328P behind an STK500 version 1 programmer, on a pseudo-terminal, for avrdude.

Usage: stk500_target.py [--port-file FILE] [--idle SECONDS] [--programmer TYPE] [--trace]
                        EEPROM_FILE

The target opens a pseudo-terminal in raw mode and prints the name of its terminal end
(/dev/pts/N) on standard output, or writes it to FILE (the whole name at once, with a line
end, once the terminal is ready), for avrdude's -P. It then serves any number of avrdude runs
one after another, until it is killed or, with --idle, until no byte has come for SECONDS.
The EEPROM is EEPROM_FILE itself, 1,024 bytes, read before and written after every access,
so that separate avrdude runs (and anyone who looks at the file) see the same memory; a
missing file is created erased (every byte 0xff). The 32 KiB of flash live in memory only.
--trace prints every command and its answer on standard error.

TYPE is the programmer type avrdude is given, stk500v1 (the default) or arduino:

    avrdude -p m328p -c stk500v1 -P /dev/pts/N -U eeprom:r:-:i

The two send the same commands, except that avrdude's stk500v1 loads the byte address of an
EEPROM page, as the STK500's firmware takes it, and its arduino type the word address (half
of it), as Arduino bootloaders take it; flash addresses are word addresses for both. A target
given the other type reads and writes the EEPROM at the wrong places, unnoticed by avrdude's
own verification. stk500v1 is the type to use: the arduino type first resets the board by
toggling DTR and RTS, an ioctl that a pseudo-terminal refuses (avrdude then prints an error
for each toggle and goes on), and waits 300 ms for the reset.

A pseudo-terminal has no baud rate, parity or modem lines: avrdude's settings of the line
are accepted and change nothing, and bytes pass at once.

The subset of the STK500 version 1 protocol (Atmel's AVR061) implemented: every command ends
with Sync_CRC_EOP (0x20) and is answered Resp_STK_INSYNC (0x14), the command's data, and
Resp_STK_OK (0x10); a command whose last byte is not 0x20 is answered Resp_STK_NOSYNC (0x15).

    0x30 get sync                   0x50 enter programming mode
    0x31 get sign-on ("AVR STK")    0x51 leave programming mode
    0x40 set parameter              0x52 chip erase (flash, and the EEPROM: EESAVE is unset)
    0x41 get parameter              0x53 check auto-increment
    0x42 set device (accepted)      0x55 load address
    0x45 set device ext (accepted)  0x56 universal: the 4-byte serial programming instruction
    0x64 program page, memory 'E' (EEPROM) or 'F' (flash)
    0x74 read page, memory 'E' or 'F'
    0x75 read signature (1e 95 0f)

Addresses wrap around each memory's size, as the device ignores the address bits above it.
Parameters that are not STK500 parameters answer Resp_STK_FAILED, a page of another memory
type too. Universal instructions known: chip erase, signature, calibration, fuse and lock
bits reads (the factory values) and EEPROM byte read and write; any other answers 0x00. Any
other command answers Resp_STK_UNKNOWN (0x12) when 0x20 follows it, Resp_STK_NOSYNC
otherwise, as the STK500's firmware does. A command cut short (no byte for a second) is
dropped unanswered.
"""
import argparse
import os
import pty
import select
import signal
import sys
import tty

INSYNC, OK, FAILED, UNKNOWN, NOSYNC, EOP = 0x14, 0x10, 0x11, 0x12, 0x15, 0x20

SIGNATURE = bytes([0x1E, 0x95, 0x0F])
EEPROM_SIZE = 1024
FLASH_SIZE = 32 * 1024
FUSES = {"low": 0x62, "high": 0xD9, "extended": 0xFF, "lock": 0xFF}  # factory values

# STK500 parameters (AVR061): hardware version, firmware 1.18, 5.0 V target and reference,
# oscillator, SCK period, no top card.
PARAMETERS = {0x80: 2, 0x81: 1, 0x82: 18, 0x84: 50, 0x85: 50, 0x86: 1, 0x87: 1, 0x89: 2,
              0x98: 0xFF}

# Bytes per unit of the address avrdude loads for an EEPROM page, by its programmer type.
EEPROM_UNITS = {"stk500v1": 1, "arduino": 2}

COMMAND_WAIT = 1.0  # seconds for the rest of a command once its first byte has come


class Eeprom:
    """The EEPROM, kept in a file of exactly its size."""

    def __init__(self, path):
        self.path = path
        if not os.path.exists(path):
            self.store(bytearray(b"\xff" * EEPROM_SIZE))
        if os.path.getsize(path) != EEPROM_SIZE:
            sys.exit(f"{path}: an EEPROM file holds {EEPROM_SIZE} bytes")

    def load(self):
        with open(self.path, "rb") as f:
            return bytearray(f.read())

    def store(self, memory):
        """Written over in place: the file never has another size, even when killed."""
        fd = os.open(self.path, os.O_WRONLY | os.O_CREAT, 0o644)
        try:
            os.pwrite(fd, memory, 0)
        finally:
            os.close(fd)


class Target:
    """The device and its programmer: what each command does."""

    def __init__(self, eeprom, eeprom_unit):
        self.eeprom = eeprom
        self.eeprom_unit = eeprom_unit  # bytes per unit of an EEPROM page's address
        self.flash = bytearray(b"\xff" * FLASH_SIZE)
        self.parameters = dict(PARAMETERS)
        self.address = 0  # as loaded: in words for the flash

    def chip_erase(self, args=b""):
        self.flash[:] = b"\xff" * FLASH_SIZE
        self.eeprom.store(bytearray(b"\xff" * EEPROM_SIZE))
        return b"", OK

    # Each returns the data between INSYNC and the status, and the status.
    def get_parameter(self, args):
        if args[0] not in self.parameters:
            return bytes([args[0]]), FAILED
        return bytes([self.parameters[args[0]]]), OK

    def set_parameter(self, args):
        if args[0] not in self.parameters:
            return bytes([args[0]]), FAILED
        self.parameters[args[0]] = args[1]
        return b"", OK

    def load_address(self, args):
        self.address = args[0] | args[1] << 8
        return b"", OK

    def memory(self, kind):
        """The memory a page command names, the byte address of the page and a function that
        keeps the memory, or None."""
        if kind == ord("E"):
            return self.eeprom.load(), self.address * self.eeprom_unit, self.eeprom.store
        if kind == ord("F"):
            return self.flash, self.address * 2, lambda memory: None
        return None

    def program_page(self, args):
        page, data = self.memory(args[2]), args[3:]
        if page is None:
            return b"", FAILED
        memory, start, keep = page
        for i, byte in enumerate(data):
            memory[(start + i) % len(memory)] = byte
        keep(memory)
        return b"", OK

    def read_page(self, args):
        size, page = args[0] << 8 | args[1], self.memory(args[2])
        if page is None:
            return b"", FAILED
        memory, start, _ = page
        return bytes(memory[(start + i) % len(memory)] for i in range(size)), OK

    def universal(self, args):
        """The device's answer to a serial programming instruction (the fourth byte it shifts
        out), from the ATmega328P's instruction set."""
        a, b, c, d = args
        address = (b << 8 | c) % EEPROM_SIZE
        if (a, b) == (0xAC, 0x80):
            self.chip_erase()
            return b"\0", OK
        if a == 0xC0:
            memory = self.eeprom.load()
            memory[address] = d
            self.eeprom.store(memory)
            return b"\0", OK
        reads = {
            0xA0: lambda: self.eeprom.load()[address],
            0x30: lambda: SIGNATURE[c % 3],
            0x38: lambda: 0x9C,  # calibration byte
            0x50: lambda: FUSES["extended"] if b == 0x08 else FUSES["low"],
            0x58: lambda: FUSES["high"] if b == 0x08 else FUSES["lock"],
        }
        return bytes([reads[a]() if a in reads else 0]), OK


def commands(target):
    """Each command: how many argument bytes come before EOP, as the count of its first ones
    and a function of those that gives the count of the rest (None: no rest), and what
    answers it."""
    done = lambda args: (b"", OK)
    return {
        0x30: (0, None, done),
        0x31: (0, None, lambda args: (b"AVR STK", OK)),
        0x40: (2, None, target.set_parameter),
        0x41: (1, None, target.get_parameter),
        0x42: (20, None, done),
        0x45: (1, lambda head: max(head[0] - 1, 0), done),  # the count includes its own byte
        0x50: (0, None, done),
        0x51: (0, None, done),
        0x52: (0, None, target.chip_erase),
        0x53: (0, None, done),
        0x55: (2, None, target.load_address),
        0x56: (4, None, target.universal),
        0x64: (2, lambda head: 1 + (head[0] << 8 | head[1]), target.program_page),
        0x74: (3, None, target.read_page),
        0x75: (0, None, lambda args: (SIGNATURE, OK)),
    }


class CutShort(Exception):
    """No byte has come for COMMAND_WAIT in the middle of a command."""


class Port:
    """The master end of a pseudo-terminal. The target keeps the terminal end open too, so
    that the master reads no end of file (EIO) between two avrdude runs."""

    def __init__(self):
        self.master, self.terminal = pty.openpty()
        tty.setraw(self.terminal)
        self.name = os.ttyname(self.terminal)
        self.pending = bytearray()
        self.received = bytearray()  # the bytes of the command being read

    def read(self, count, timeout):
        """count bytes, or fewer when none has come for timeout seconds (None: no limit)."""
        while len(self.pending) < count:
            ready, _, _ = select.select([self.master], [], [], timeout)
            if not ready:
                break
            self.pending += os.read(self.master, 4096)
        data = bytes(self.pending[:count])
        del self.pending[:count]
        self.received += data
        return data

    def take(self, count):
        """The next count bytes of a command."""
        data = self.read(count, COMMAND_WAIT)
        if len(data) < count:
            raise CutShort()
        return data

    def write(self, data):
        while data:
            data = data[os.write(self.master, data):]


def answer(port, table, command):
    """The answer to a command whose first byte has come."""
    if command not in table:
        return bytes([UNKNOWN if port.take(1)[0] == EOP else NOSYNC])
    head, rest, handler = table[command]
    args = port.take(head)
    if rest:
        args += port.take(rest(args))
    if port.take(1)[0] != EOP:
        return bytes([NOSYNC])
    data, status = handler(args)
    return bytes([INSYNC]) + data + bytes([status])


def hexes(data):
    return " ".join(f"{byte:02x}" for byte in data)


def serve(port, target, idle, trace):
    table = commands(target)
    while True:
        port.received.clear()
        first = port.read(1, idle)
        if not first:
            return
        try:
            reply = answer(port, table, first[0])
        except CutShort:
            reply = None
        if trace:
            shown = "cut short, dropped" if reply is None else hexes(reply)
            print(f"> {hexes(port.received)}\n< {shown}", file=sys.stderr, flush=True)
        if reply:
            port.write(reply)


def main():
    parser = argparse.ArgumentParser(description="An ATmega328P behind an STK500 v1 "
                                     "programmer, on a pseudo-terminal, for avrdude.")
    parser.add_argument("eeprom", metavar="EEPROM_FILE")
    parser.add_argument("--port-file", help="write the terminal's name there, not to stdout")
    parser.add_argument("--idle", type=float, help="end after SECONDS without a byte")
    parser.add_argument("--programmer", choices=sorted(EEPROM_UNITS), default="stk500v1",
                        help="avrdude's programmer type (-c)")
    parser.add_argument("--trace", action="store_true", help="commands and answers on stderr")
    options = parser.parse_args()
    for number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(number, lambda *_: sys.exit(0))
    target = Target(Eeprom(options.eeprom), EEPROM_UNITS[options.programmer])
    port = Port()
    if options.port_file:
        with open(options.port_file + ".new", "w") as f:
            f.write(port.name + "\n")
        os.replace(options.port_file + ".new", options.port_file)
    else:
        print(port.name, flush=True)
    serve(port, target, options.idle, options.trace)


if __name__ == "__main__":
    main()
