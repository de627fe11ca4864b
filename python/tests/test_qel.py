"""The Python package against qel-sim, started for each test on a free loopback port (or a
pseudo-terminal) and always ended. ctest sets PYTHONPATH, QEL_LIBRARY and QEL_SIM."""

import json
import os
import subprocess
import sys
from pathlib import Path

import pytest

import qel

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
from qeltools import Simulator, application_image, crc16, read_hex  # noqa: E402

SIM = os.environ.get("QEL_SIM", "qel-sim")
EXAMPLES = ROOT / "examples"
BLINKY = EXAMPLES / "blinky.hex"
IMAGE_BASE = 0x40000


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


def test_refused_connection_gives_5020_and_a_download_result():
    with Simulator(SIM, "--tcp", 0) as simulator:
        pass  # nobody listens on its port any more
    with pytest.raises(qel.QelError) as raised:
        qel.Device.tcp("127.0.0.1", int(simulator.port))
    assert raised.value.code == 5020
    with qel.Device.tcp("127.0.0.1", int(simulator.port), connect=False) as device:
        result = device.download(BLINKY, attempts=2, pause=0)
    assert (result.ok, result.failure, result.code, result.exit_status, result.attempts) == (
        False, "unreachable", 5020, 2, 2)
    assert "refused" in result.meaning


def test_download_with_events_reads_back_exact_and_prints_nothing(device, capfd):
    events = []
    result = device.download(BLINKY, verify="full", pause=0, on_event=events.append)
    image = application_image(read_hex(BLINKY))
    assert (result.ok, result.code, result.exit_status, result.failure) == (True, 0, 0, "none")
    assert (result.attempts, result.pages_written, result.pages_skipped) == (1, len(image) // 256, 0)
    assert device.read_memory(IMAGE_BASE, len(image)) == image
    kinds = [event.kind for event in events]
    assert kinds[-1] == "result" and kinds.count("result") == 1 and "start" in kinds
    write = [event for event in events if event.kind == "progress" and event.phase == "write"]
    assert write[-1].pages_done == write[-1].pages_total == len(image) // 256 - 1
    assert events[-1].text.strip() == "File downloaded successfully."
    assert capfd.readouterr() == ("", "")


class Stop(Exception):
    pass


def stop_at_write(event):
    if event.phase == "write":
        raise Stop()


@pytest.mark.parametrize(
    "on_event, raised",
    [(lambda event: event.phase != "write", None), (stop_at_write, Stop)],
    ids=["returns False", "raises"],
)
def test_callback_cancels(device, on_event, raised):
    if raised:
        with pytest.raises(raised):
            device.download(BLINKY, on_event=on_event)
    else:
        result = device.download(BLINKY, on_event=on_event)
        assert (result.ok, result.failure, result.code, result.exit_status) == (
            False, "cancelled", 5033, 2)
    assert device.read_config().startswith(b"QEL-SIM")  # the handle goes on


@pytest.mark.parametrize(
    "options",
    [dict(verify="sha"), dict(mode="x"), dict(attempts=0), dict(pause=-1), dict(retries=11)],
    ids=["verify", "mode", "attempts", "pause", "retries"])
def test_download_options_refused(device, options):
    with pytest.raises(qel.QelError) as raised:
        device.download(BLINKY, **options)
    assert raised.value.code == 5029


def module(*arguments):
    return [sys.executable, "-m", "qel", *arguments]


def run_module(*arguments):
    return subprocess.run(module(*arguments), capture_output=True, text=True, timeout=60)


def test_module_goes_on_when_nobody_reads(simulator):
    with subprocess.Popen(module("/c=tcp", "/i=127.0.0.1", "/p=%d" % simulator, "/f=%s" % BLINKY),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE) as process:
        assert json.loads(process.stdout.readline())["event"] == "start"
        process.stdout.close()
        assert process.wait(timeout=60) == 0 and process.stderr.read() == b""


@pytest.mark.parametrize(
    "simulator_options, arguments, status, failure",
    [
        ((), ["/M=a", "/t=0"], 0, "none"),
        ((), ["/s", "/w=4", "--retries=2", "/t=0"], 0, "none"),
        (("--lie-crc",), ["--verify=crc"], 3, "wrong_image"),
        (None, ["/a=1", "/t=0"], 2, "unreachable"),
        ((), ["/v=sha"], 1, "options"),
        ((), ["--attempts"], 1, "options"),
    ],
    ids=["done", "skip window retries", "wrong image", "closed port", "bad verify", "no value"],
)
def test_module_json_lines(simulator_options, arguments, status, failure):
    with Simulator(SIM, "--tcp", 0, *(simulator_options or ())) as simulator:
        if simulator_options is None:
            simulator.stop()
        run = run_module("/c=tcp", "/i=127.0.0.1", "/p=%s" % simulator.port, "/f=%s" % BLINKY,
                         *arguments)
    lines = [json.loads(line) for line in run.stdout.splitlines()]
    assert run.returncode == status and run.stderr == ""
    assert lines[-1]["event"] == "result" and lines[-1]["failure"] == failure
    assert lines[-1]["exit_status"] == status
    if status == 0:
        events = [line["event"] for line in lines]
        assert events[:3] == ["start", "attempt", "open"] and "phase" in events
        assert lines[-2]["event"] == "progress" and lines[-2]["percent"] == 100


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
