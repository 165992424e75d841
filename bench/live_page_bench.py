#!/usr/bin/env python3
"""The live page's cost to the measurement, side by side in one run: cyclara-log's timestamp
latency (the simulator's edge to the program's wake, from its events) with 32 event streams
open beside the same without, taking turns; the CPU an hour of cyclara-log with one stream
open; and the time from an edge to its event arriving on a stream. Prints
"figure<TAB>values<TAB>method" lines, each number the median with its range over the rounds;
asserts nothing. Usage: live_page_bench.py BUILD_DIR [ROUNDS]"""
import bisect
import os
import socket
import statistics
import sys
import tempfile
import threading
import time

import process_bench
from spread import spread

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 3
PULSES = 40
STREAMS = 32


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Streams:
    """`count` event streams, each read on a thread of its own; the first notes when each
    event arrived (CLOCK_MONOTONIC, the simulator's clock)."""

    def __init__(self, port, count):
        self.arrivals, self.stop = [], threading.Event()
        self.connections = [socket.create_connection(("127.0.0.1", port)) for _ in range(count)]
        self.threads = [threading.Thread(target=self.read, args=(c, i == 0), daemon=True)
                        for i, c in enumerate(self.connections)]
        for thread in self.threads:
            thread.start()

    def read(self, connection, timed):
        connection.sendall(b"GET /api/v1/stream HTTP/1.1\r\nHost: x\r\n\r\n")
        connection.settimeout(0.5)
        while not self.stop.is_set():
            try:
                data = connection.recv(65536)
            except socket.timeout:
                continue
            except OSError:
                return
            if timed:
                self.arrivals += [time.monotonic_ns()] * data.count(b"\ndata: ")

    def close(self):
        self.stop.set()
        for connection in self.connections:
            connection.close()


def events_of(path):
    """(rises, seen): the simulator's edges and when the program woke for each, in ns."""
    rises, seen = {}, {}
    with open(path) as events:
        for line in events:
            ns, what, pulse = line.split("\t")[:3]
            if what == "rise":
                rises[int(pulse)] = int(ns)
            elif what == "seen" and line.split("\t")[3].strip() == "rise":
                seen.setdefault(int(pulse), int(ns))
    return rises, seen


def run(streams, seconds_for_cpu=0):
    """One logger at 0.1 s a pulse serving the page: its wake latencies (us), and with a timed
    stream its edge-to-event latencies (ms) and CPU ms an hour over `seconds_for_cpu`."""
    port = free_port()
    folder = tempfile.mkdtemp()
    events = os.path.join(folder, "events")
    logger = [os.path.join(BUILD, "logger", "cyclara-log"), "--port", "5", "--quiet",
              "--log-dir", folder, "--http", str(port)]
    period = "1" if seconds_for_cpu else "0.1"
    session = process_bench.Session(
        logger, ["--period", period, "--width", "0.02", "--events", events])
    try:
        process_bench.said("cyclara-log: log:")(session)
        opened = Streams(port, streams) if streams else None
        cpu = process_bench.cost(session, seconds_for_cpu)[1][0] if seconds_for_cpu else None
        time.sleep(0 if seconds_for_cpu else PULSES * 0.1)
        if opened:
            opened.close()
    finally:
        session.close()
    rises, seen = events_of(events)
    wakes = [(seen[n] - rises[n]) / 1000 for n in rises if n in seen]
    # Each event is the latest edge's: the path is far shorter than a period.
    edges = sorted(rises.values())
    to_event = [(a - edges[bisect.bisect_right(edges, a) - 1]) / 1e6
                for a in (opened.arrivals if opened else []) if a > edges[0]]
    return wakes, to_event, cpu


def main():
    with_streams, without, to_event = [], [], []
    for _ in range(ROUNDS):
        wakes, events, _ = run(STREAMS)
        with_streams.append(statistics.median(wakes))
        to_event += events
        without.append(statistics.median(run(0)[0]))
    ratios = [a / b for a, b in zip(with_streams, without)]
    cpu = [run(1, process_bench.WINDOW_SECONDS)[2] for _ in range(ROUNDS)]
    print(f"timestamp latency, {STREAMS} streams open\t{spread(with_streams, 1)} us, beside "
          f"{spread(without, 1)} us without: ratio {spread(ratios, 2)}\tthe simulator's edge to "
          f"cyclara-log's wake, median of {PULSES} pulses at 0.1 s, a round each way in turn")
    print(f"CPU an hour, one stream open\t{spread(cpu)} ms\tcyclara-log at one pulse a second,"
          f" {process_bench.WINDOW_SECONDS} s windows")
    print(f"edge to its event on a stream\t{spread(to_event, 2)} ms\tthe simulator's edge to "
          f"the event's arrival at a reader on this machine")


if __name__ == "__main__":
    main()
