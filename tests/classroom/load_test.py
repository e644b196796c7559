#!/usr/bin/env python3
"""A class at once: 200 clients in threads on one orvella-serve, each with its
own connection and cookies, build and edit worksheets of their own (six
problems chosen from the client's number, one moved up, one removed) and open
the start page and a list in between. Every answer must be 200 with the right
content and each worksheet exactly the client's own (a leaked session would
show there); a client stops at its first error. Prints the requests, errors,
50th and 99th percentile latencies and the wall time."""
import sys
import threading
import time

sys.dont_write_bytecode = True
from classroom_http import ADDED, Browser, Server, check, moved_up, run, worksheet_of  # noqa: E402

CLIENTS, DEADLINE_SECONDS, REQUEST_SECONDS = 200, 120, 30
TOPICS = ("A01", "A03", "B02", "B05", "G01", "G04", "P02")


def student(client, port, deadline, start, latencies, errors):
    browser = Browser(port, REQUEST_SECONDS)

    def get(target, *texts, worksheet=None):
        check(time.monotonic() < deadline, "the deadline passed")
        page, seconds = browser.get(target, *texts)
        latencies.append(seconds)
        check(worksheet is None or worksheet_of(page) == worksheet,
              f"{target}: the worksheet holds {worksheet_of(page)}, not {worksheet}")

    try:
        start.wait(30)
        chosen = [(client * 37 + step * 199) % 1264 for step in range(6)]  # distinct; the first differs by client
        for step, position in enumerate(chosen):
            get(f"/wadd.stmp?id={position}", ADDED)
            if step == 2:
                get("/index.html", 'data-topic="A01"')
        topic = TOPICS[client % len(TOPICS)]
        get(f"/mathlist.stmp?main={topic}", f'data-topic="{topic}"', 'href="wadd.stmp?id=')
        expected = moved_up(chosen, chosen[4])
        get(f"/edit1.stmp?action=moveup&id={chosen[4]:06d}", worksheet=expected)
        expected.remove(chosen[1])
        get(f"/edit1.stmp?action=remove&id={chosen[1]:06d}", worksheet=expected)
        get(f"/solution.stmp?id={chosen[0]}", f"ID={chosen[0]}&gfx=")
        get("/edit1.stmp", worksheet=expected)
    except Exception as error:  # noqa: BLE001 - every failure of a client is counted and shown
        errors.append(f"client {client}: {type(error).__name__}: {error}")


def test(serve, qilcd, disc, work):
    server = Server(serve, disc, work, "load", "--per-ip-limit", "0")
    try:
        latencies, errors, start = [], [], threading.Barrier(CLIENTS)
        began = time.monotonic()
        threads = [threading.Thread(target=student, daemon=True,
                                    args=(client, server.port, began + DEADLINE_SECONDS, start, latencies, errors))
                   for client in range(CLIENTS)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(max(0, began + DEADLINE_SECONDS + REQUEST_SECONDS - time.monotonic()))
        wall = time.monotonic() - began
        unfinished = sum(thread.is_alive() for thread in threads)
        if unfinished:
            errors.append(f"{unfinished} clients not done by the deadline")
        requests, latencies = len(latencies), sorted(latencies) or [0.0]
        print(f"requests: {requests}  errors: {len(errors)}  "
              f"p50: {latencies[len(latencies) // 2] * 1000:.1f} ms  "
              f"p99: {latencies[len(latencies) * 99 // 100] * 1000:.1f} ms  wall: {wall:.2f} s")
        check(not errors, "\n".join(errors[:10]))
        check(server.stop() == 0, f"the server did not stop cleanly: {server.errors()}")
        check(len(server.requests()) == requests, "the access log lacks requests")
    finally:
        server.stop()


if __name__ == "__main__":
    run(test)
