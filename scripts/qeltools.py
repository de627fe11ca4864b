"""Shared by the Python scripts: the CRC16, Intel HEX files, the application image the device must
hold, and qel-sim started as a process that tells where it serves."""
import os
import select
import subprocess
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMAGE_BASE = 0x40000
PAGE = 256


def crc16(data):
    """CRC-16/ARC, bit by bit."""
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def hex_record(address, kind, data):
    """One Intel HEX record line, without its line break."""
    body = [len(data), (address >> 8) & 0xFF, address & 0xFF, kind] + list(data)
    return ":" + "".join("%02X" % b for b in body) + "%02X" % ((-sum(body)) & 0xFF)


def write_hex(path, first, data):
    """The data from address first in records of 16 bytes, with an extended linear address record
    wherever the upper 16 bits change, and the end record."""
    lines = []
    upper = None
    for offset in range(0, len(data), 16):
        address = first + offset
        if address >> 16 != upper:
            upper = address >> 16
            lines.append(hex_record(0, 4, [upper >> 8, upper & 0xFF]))
        lines.append(hex_record(address & 0xFFFF, 0, data[offset:offset + 16]))
    lines.append(hex_record(0, 1, []))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def read_hex(path):
    """The data of an Intel HEX file (record types 0, 1, 2 and 4) from its lowest address to the
    end of its highest, gaps filled with 0xFF."""
    memory = {}
    upper = 0
    with open(path) as lines:
        for line in lines:
            line = line.strip()
            if not line.startswith(":"):
                continue
            record = bytes.fromhex(line[1:])
            count, kind = record[0], record[3]
            offset = record[1] << 8 | record[2]
            data = record[4:4 + count]
            if kind == 0:
                for i, byte in enumerate(data):
                    memory[upper + offset + i] = byte
            elif kind == 2:
                upper = (data[0] << 8 | data[1]) << 4
            elif kind == 4:
                upper = (data[0] << 8 | data[1]) << 16
            elif kind == 1:
                break
    first, end = min(memory), max(memory) + 1
    return bytes(memory.get(address, 0xFF) for address in range(first, end))


def application_image(data):
    """The 64-byte header (magic, length, CRC16 of the data, CRC16 of the header), the data and
    zero fill to whole pages."""
    size = PAGE * ((len(data) + 64) // PAGE + 1)
    image = bytearray(size)
    image[64:64 + len(data)] = data
    image[0:4] = bytes([0x5A, 0xFF, 0x00, 0xA5])
    image[4:8] = len(data).to_bytes(4, "little")
    image[8:10] = crc16(data).to_bytes(2, "little")
    image[62:64] = crc16(image[0:62]).to_bytes(2, "little")
    return bytes(image)


def faults_met(log_path, options):
    """How many faults of the simulator's options a run met, from its --log: the requests that a
    fault struck, the pieces of text that noise struck, the lines dropped on a reset, and from the
    options the refused connections and the closing after a request that came."""
    met, requests = 0, 0
    if os.path.exists(log_path):
        with open(log_path) as log:
            for line in log:
                if '"event":"request"' in line:
                    requests += 1
                    met += '"faults":""' not in line
                elif '"event":"noise"' in line:
                    met += 1
                elif '"event":"close"' in line and '"reason":"reset"' in line:
                    met += 1
    if "--refuse-connections" in options:
        met += int(options[options.index("--refuse-connections") + 1])
    if "--close-after" in options:
        met += requests >= int(options[options.index("--close-after") + 1])
    return met


class Simulator:
    """qel-sim (the program and its options) as a process, ended by stop() or at the end of a
    with block. Its first line says where it serves: port or pty is set from it; a simulator
    that says nothing within the limit is ended and raises RuntimeError."""

    def __init__(self, program, *options, stderr=subprocess.DEVNULL, limit=10):
        self.process = subprocess.Popen([program] + [str(option) for option in options],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=stderr, text=True)
        self.ready = self._first_line(limit)
        self.port = self.pty = None
        if self.ready.startswith("listening ") and ":" in self.ready:
            self.port = self.ready.rsplit(":", 1)[1]
        elif self.ready.startswith("pty "):
            self.pty = self.ready[4:]
        else:
            self.stop()
            raise RuntimeError("qel-sim did not report ready: %r" % self.ready)

    def _first_line(self, limit):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline and self.process.poll() is None:
            readable, _, _ = select.select([self.process.stdout], [], [], 0.1)
            if readable:
                return self.process.stdout.readline().strip()
        return ""

    def stop(self, limit=10):
        """SIGTERM, and SIGKILL when it has not ended within the limit."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=limit)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()


class Timed:
    """A whole process timed from outside: seconds, the process's own CPU seconds (user and
    system), exit status (None when it ran past its limit and was killed) and output. (Not its
    peak memory: the child's ru_maxrss counts this Python process's pages from before the exec.)"""

    def __init__(self, seconds, usage, status, output):
        self.seconds, self.status, self.output = seconds, status, output
        self.cpu = usage.ru_utime + usage.ru_stime


def run_timed(command, limit=600, keep_output=False):
    """Runs the command and waits for its end in the kernel (wait4), so that the time is exact.
    subprocess's own wait with a time-out polls in sleeps of up to 50 ms, which rounds short runs
    up to the next poll. Output goes to a file when kept (a pipe would wake this process at every
    write of the program) and to /dev/null otherwise."""
    with tempfile.TemporaryFile("w+") as output:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                   stdout=output if keep_output else subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        timer = threading.Timer(limit, process.kill)
        timer.start()
        _, wait_status, usage = os.wait4(process.pid, 0)
        seconds = time.perf_counter() - start
        killed = not timer.is_alive()
        timer.cancel()
        process.returncode = os.waitstatus_to_exitcode(wait_status)
        output.seek(0)
        return Timed(seconds, usage, None if killed else process.returncode, output.read() if keep_output else "")
