"""Fixtures: the virtual instrument (korda-sim) on a free loopback port.

KORDA_SIM names the korda-sim program (default: the first build directory of
the source tree that has one); KORDA32EXT_LIBRARY the library to test."""

import os
import socket
import subprocess
import sys
import time
from pathlib import Path

import pytest

TREE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(TREE / "python"))


def _program(name, variable):
    env = os.environ.get(variable)
    if env:
        return env
    for build in sorted(TREE.glob("build*")):
        if (build / name).exists():
            return str(build / name)
    pytest.skip("%s not found; set %s" % (name, variable))


@pytest.fixture(scope="session")
def sim_program():
    return _program("korda-sim", "KORDA_SIM")


@pytest.fixture(scope="session")
def korda():
    return _program("korda", "KORDA")


class Sim:
    """A running korda-sim; `send` gives it SCPI commands over its own
    connection, as the instrument's front panel or another program would."""

    def __init__(self, program, *args):
        self.process = subprocess.Popen(
            [program, "--port", "0", *args], stdout=subprocess.PIPE, text=True
        )
        line = self.process.stdout.readline()
        if "listening on TCP port" not in line:
            self.stop()
            raise RuntimeError("korda-sim did not start: %r" % line)
        self.port = int(line.split()[-1])
        self.address = "tcp://127.0.0.1:%d" % self.port

    def send(self, *commands):
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall("".join(c + "\n" for c in commands).encode("ascii"))
            s.sendall(b"*OPC?\n")  # the reply shows every command was taken
            reply = b""
            while not reply.endswith(b"\n"):
                chunk = s.recv(64)
                if not chunk:
                    break
                reply += chunk
            assert reply.strip() == b"1"

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


@pytest.fixture
def sim(sim_program):
    s = Sim(sim_program, "--model", "7043A")
    yield s
    s.stop()


@pytest.fixture
def sim_5129a(sim_program):
    s = Sim(sim_program, "--model", "5129A")
    yield s
    s.stop()


@pytest.fixture
def free_port():
    """A loopback port nobody listens on."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
