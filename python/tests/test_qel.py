"""The Python package against qel-sim, started for each test on a free loopback port (or a
pseudo-terminal) and always ended. ctest sets PYTHONPATH, QEL_LIBRARY and QEL_SIM."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

import qel

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
from qeltools import Simulator, crc16  # noqa: E402  (the scripts' shared helpers)

SIM = os.environ.get("QEL_SIM", "qel-sim")
EXAMPLES = ROOT / "examples"


@pytest.fixture
def simulator():
    with Simulator(SIM, "--tcp", 0) as simulator:
        yield int(simulator.port)


@pytest.fixture
def device(simulator):
    with qel.Device.tcp("127.0.0.1", simulator) as device:
        yield device


def test_configuration_and_clock_round_trip(device):
    assert device.read_config().startswith(b"QEL-SIM")
    config = bytes(range(0xC0, 0xC0 + 34))
    device.write_config(config)
    assert device.read_config() == config
    clock = bytes([0xD1, 0x07, 2, 0, 6, 0, 3, 0, 4, 0, 5, 0, 6, 0, 0, 0])  # 2001-02-03 04:05:06
    device.write_clock(clock)
    back = device.read_clock()
    assert back[:4] == clock[:4] and back[6:12] == clock[6:12]  # the seconds run on


def test_memory_of_odd_size_and_address_with_its_crc16(device):
    address = 0x12345
    background = bytes((0xA0 ^ i) & 0xFF for i in range(317))
    pattern = bytes((i * 7 + 3) & 0xFF for i in range(301))
    device.write_memory(address, background)
    device.write_memory(address, pattern)
    assert device.read_memory(address, 317) == pattern + background[301:]
    assert device.crc16(address, 301) == crc16(pattern)


def test_raw_data_data_and_reset(device):
    assert device.raw_data() == bytes(i * 17 for i in range(16))
    assert device.data(0x30) == bytes((0xD0 + i) & 0xFF for i in range(93))
    device.reset()


@pytest.mark.parametrize(
    "call, code",
    [
        (lambda device: device.write_config(b"short"), 5030),
        (lambda device: device.read_memory(0xFFFFFF01, 256), 5029),
        (lambda device: device.read_memory(-1, 1), 5029),
        (lambda device: device.data(256), 5029),
        (lambda device: device.write_clock(bytes(16)), 5007),  # month 0: the device refuses
        (lambda device: qel.Device.tcp("127.0.0.1", 70000), 5029),
        (lambda device: (device.close(), device.reset()), 5029),
    ],
    ids=["short block", "past 4 GiB", "negative", "code", "refused", "port", "closed"],
)
def test_failures_raise_qel_error_with_code_and_meaning(device, call, code):
    with pytest.raises(qel.QelError) as raised:
        call(device)
    assert raised.value.code == code
    assert raised.value.meaning and "unknown" not in raised.value.meaning


def test_refused_connection_gives_5020():
    with Simulator(SIM, "--tcp", 0) as simulator:
        pass  # nobody listens on its port any more
    with pytest.raises(qel.QelError) as raised:
        qel.Device.tcp("127.0.0.1", int(simulator.port))
    assert raised.value.code == 5020


@pytest.mark.skipif(sys.platform == "win32", reason="qel-sim serves a pseudo-terminal on POSIX")
def test_serial_device_path():
    with Simulator(SIM, "--pty") as simulator, qel.Device.serial(simulator.pty) as device:
        assert device.read_config().startswith(b"QEL-SIM")


def test_read_file(tmp_path):
    first, end, data = qel.read_file(EXAMPLES / "blinky.hex")
    assert (first, end, len(data)) == (0x3000, 0x4864, 0x1864)
    assert data[0] == 0xA5 and data[-1] == 0x61
    bad = tmp_path / "bad.hex"
    bad.write_text(":10300000NOTHEX\n")
    with pytest.raises(qel.QelError) as raised:
        qel.read_file(bad)
    assert raised.value.code == 2103


def test_version_and_entry_point():
    assert qel.version().count(".") == 2
    run = subprocess.run(
        [sys.executable, "-m", "qel"], capture_output=True, text=True, timeout=60, check=True
    )
    assert "usage: python -m qel" in run.stdout and qel.version() in run.stdout
