#!/usr/bin/env python3
"""End-to-end figures of the real fenk binary on a pseudo-terminal, each against a
baseline measured in the same run. Prints one JSON object (medians in seconds).

usage: e2e_bench.py FENK_BINARY [--size BYTES] [--runs N]
"""
import argparse
import json
import os
import pty
import select
import shutil
import signal
import statistics
import struct
import subprocess
import tempfile
import termios
import fcntl
import time


# What xterm answers to the start-up queries (the conformance level, then the device
# attributes): a terminal answers at once, so start-up does not wait out its bound.
TERMINAL_ANSWERS = b'\x1bP1$r64;1"p\x1b\\' + b"\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c"


class Editor:
    """fenk on a 24x80 pseudo-terminal that answers its queries; output is kept as raw bytes."""

    def __init__(self, binary, args, cwd):
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(cwd)
            os.environ["TERM"] = "vt100"
            os.execv(binary, [binary] + args)
        fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
        self.pid, self.fd, self.out = pid, fd, bytearray()
        self.answered = False

    def wait_for(self, needle, start=0, timeout=120.0):
        deadline = time.monotonic() + timeout
        while self.out.find(needle, start) < 0:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError(needle)
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                self.out += os.read(self.fd, 1 << 20)
            if not self.answered and b"\x1b[c" in self.out:
                self.send(TERMINAL_ANSWERS)
                self.answered = True
        return time.monotonic()

    def send(self, data):
        os.write(self.fd, data)

    def peak_rss_kib(self):
        with open(f"/proc/{self.pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return 0

    def quit(self):
        self.send(b"q")
        try:
            self.wait_for(b"Exiting...", timeout=10)
        except TimeoutError:
            pass
        os.kill(self.pid, signal.SIGKILL)
        os.waitpid(self.pid, 0)
        os.close(self.fd)


def median_time(action, runs):
    return statistics.median(action() for _ in range(runs))


def time_cat(path):
    start = time.monotonic()
    subprocess.run(["cat", path], stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - start


def time_write_fsync(path, data):
    start = time.monotonic()
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    view = memoryview(data)
    while view:
        view = view[os.write(fd, view[: 1 << 26]):]
    os.fsync(fd)
    os.close(fd)
    return time.monotonic() - start


def time_pwrite_fsync(path):
    """The floor of a save back after a one-byte edit: one byte written in place, then fsync."""
    start = time.monotonic()
    fd = os.open(path, os.O_WRONLY)
    os.pwrite(fd, b"Z", os.fstat(fd).st_size // 2)
    os.fsync(fd)
    os.close(fd)
    return time.monotonic() - start


def editor_session(binary, directory, name):
    """Start to first painted sector, search to "String not found", a save under another
    name (the whole image) and a save back to that name after a one-byte edit, each to
    "File saved", and the peak resident memory, in one session."""
    start = time.monotonic()
    ed = Editor(binary, [name], directory)
    loaded = ed.wait_for(b"Offset: 0/")
    ed.wait_for(b"\x1b[19;14H", ed.out.find(b"Offset: 0/"))
    mark = len(ed.out)
    ed.send(b">")
    ed.wait_for(b"Enter string to locate", mark)
    mark = len(ed.out)
    t0 = time.monotonic()
    ed.send(b"$ffffffffffffffff\r")
    found = ed.wait_for(b"String not found", mark)
    whole = save(ed, b"copy.bin")
    mark = len(ed.out)
    ed.send(b"h")
    ed.wait_for(b"HEX editing mode", mark)
    mark = len(ed.out)
    ed.send(b"5a\x1b\x1b")
    ed.wait_for(b"Returning to command mode", mark)
    one_byte = save(ed, b"")
    rss = ed.peak_rss_kib()
    ed.quit()
    return loaded - start, found - t0, whole, one_byte, rss


def save(ed, name):
    """S, then the name and Return: the time from that line to "File saved"."""
    mark = len(ed.out)
    ed.send(b"s")
    ed.wait_for(b"Enter save-file", mark)
    mark = len(ed.out)
    start = time.monotonic()
    ed.send(name + b"\r")
    return ed.wait_for(b"File saved", mark) - start


def start_without_file(binary, directory):
    start = time.monotonic()
    ed = Editor(binary, [], directory)
    done = ed.wait_for(b"Waiting for command")
    ed.wait_for(b"\x1b[19;14H", ed.out.find(b"Waiting for command"))
    written = len(ed.out)
    ed.quit()
    return done - start, written


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--size", type=int, default=1 << 30)
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    binary = os.path.abspath(options.binary)
    directory = tempfile.mkdtemp(prefix="fenk-bench-")
    try:
        path = os.path.join(directory, "image.bin")
        # Random bytes that never hold the byte FF, so the all-FF pattern is absent.
        data = bytes(b % 255 for b in os.urandom(options.size)) if options.size < (1 << 24) \
            else bytes(os.urandom(options.size)).translate(bytes(list(range(255)) + [254]))
        with open(path, "wb") as f:
            f.write(data)
        time_cat(path)  # into the page cache
        sessions = [editor_session(binary, directory, "image.bin") for _ in range(options.runs)]
        results = {
            "size": options.size,
            "cat_seconds": median_time(lambda: time_cat(path), options.runs),
            "write_fsync_seconds": median_time(
                lambda: time_write_fsync(os.path.join(directory, "copy.bin"), data), options.runs),
            "start_to_sector_seconds": statistics.median(s[0] for s in sessions),
            "search_not_found_seconds": statistics.median(s[1] for s in sessions),
            "save_seconds": statistics.median(s[2] for s in sessions),
            "save_one_byte_seconds": statistics.median(s[3] for s in sessions),
            "pwrite_fsync_seconds": median_time(
                lambda: time_pwrite_fsync(os.path.join(directory, "copy.bin")), options.runs),
            "peak_rss_bytes": max(s[4] for s in sessions) * 1024,
        }
        starts = [start_without_file(binary, directory) for _ in range(max(options.runs, 5))]
        results["start_no_file_seconds"] = statistics.median(s[0] for s in starts)
        results["start_no_file_bytes"] = starts[0][1]
        print(json.dumps(results, indent=2))
    finally:
        shutil.rmtree(directory, ignore_errors=True)


if __name__ == "__main__":
    main()
