#!/usr/bin/env python3
"""Two orvella-serve with one session key behind nginx, which hands requests
to them in turn: a student's worksheet, carried in its cookies, must survive
every hop. The student builds it request by request, each answer is checked,
both access logs must hold the student's requests, the final editor page must
be what `qilcd session` answers after the same requests, and a second student
must find an empty worksheet."""
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.dont_write_bytecode = True
from classroom_http import ADDED, ALREADY_THERE, Browser, Server, Skip, check, run, worksheet_of  # noqa: E402

CONF = """{user}daemon off;
worker_processes 1;
pid {work}/nginx.pid;
events {{ worker_connections 64; }}
http {{
  access_log off;
  client_body_temp_path {work}/body; proxy_temp_path {work}/proxy; fastcgi_temp_path {work}/fastcgi;
  uwsgi_temp_path {work}/uwsgi; scgi_temp_path {work}/scgi;
  upstream classroom {{ server 127.0.0.1:{first}; server 127.0.0.1:{second}; }}  # no keepalive: in turn
  server {{ listen 127.0.0.1:{port}; location / {{ proxy_pass http://classroom; }} }}
}}
"""


def stop(nginx):
    """Stops nginx and its workers: SIGTERM to the master, or SIGKILL to them all after 10 s."""
    nginx.terminate()
    try:
        nginx.wait(10)
    except subprocess.TimeoutExpired:
        os.killpg(nginx.pid, signal.SIGKILL)
        nginx.wait()


def start_nginx(nginx, work, upstreams):
    for _ in range(3):  # the port found free may be taken before nginx binds it
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        with open(f"{work}/nginx.conf", "w") as conf:  # as root, workers stay root to use work
            conf.write(CONF.format(user="user root;\n" if os.geteuid() == 0 else "", work=work, port=port,
                                   first=upstreams[0].port, second=upstreams[1].port))
        process = subprocess.Popen([nginx, "-p", work, "-c", f"{work}/nginx.conf", "-e", f"{work}/error.log"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        for _ in range(150):  # 15 s
            if process.poll() is not None:
                break
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return process, port
            except OSError:
                time.sleep(0.1)
        stop(process)
    with open(f"{work}/error.log") as log:
        check(False, f"nginx did not start: {log.read()}")


def test(serve, qilcd, disc, work):
    nginx = shutil.which("nginx", path=os.environ["PATH"] + ":/usr/sbin")
    if not nginx:
        raise Skip("nginx is not installed (scripts/install-deps.sh installs it)")
    with open(f"{work}/key", "wb") as key:  # not ending in a line break, which the server drops
        key.write(os.urandom(31) + b"k")
    servers = [Server(serve, disc, work, name, "--key-file", f"{work}/key", "--per-ip-limit", "0")
               for name in ("first", "second")]
    proxy = None
    try:
        proxy, port = start_nginx(nginx, work, servers)
        student, asked = Browser(port), []

        def ask(target, *texts, worksheet=None):
            asked.append(target)
            page = student.get(target, *texts)[0]
            check(worksheet is None or worksheet_of(page) == worksheet,
                  f"{target}: the worksheet holds {worksheet_of(page)}, not {worksheet}")
            return page

        for position in (5, 9, 130, 260, 400, 610, 760, 1100):
            ask(f"/wadd.stmp?id={position}", ADDED)
        ask("/wadd.stmp?id=130", ALREADY_THERE)
        ask("/edit1.stmp?action=moveup&id=000400", worksheet=[5, 9, 130, 400, 260, 610, 760, 1100])
        ask("/edit1.stmp?action=remove&id=000009", worksheet=[5, 130, 400, 260, 610, 760, 1100])
        ask("/wadd.stmp?id=9", ADDED)
        ask("/worksheet.stmp", 'src="images/szamok/n8.jpg"')
        final = ask("/edit1.stmp", worksheet=[5, 130, 400, 260, 610, 760, 1100, 9])

        for _ in range(100):  # a server logs a request once it has answered it
            served = [server.requests() for server in servers]
            if len(served[0]) + len(served[1]) >= len(asked):
                break
            time.sleep(0.05)
        check(sorted(served[0] + served[1]) == sorted(asked), f"the servers logged {served}, not {asked}")
        check(served[0] and served[1], f"nginx sent every request to one server: {served}")

        session = subprocess.run([qilcd, "session", "--archive", disc, "--clipboard", f"{work}/copy.rtf"],
                                 input="".join(target[1:] + "\n" for target in asked).encode(),
                                 capture_output=True, timeout=60, check=True).stdout
        check(session.endswith(b"\n" + final.encode() + b"\n"), "the editor through nginx is not qilcd's")

        newcomer = Browser(port)
        for _ in servers:  # once from each
            check(worksheet_of(newcomer.get("/edit1.stmp")[0]) == [], "a second student finds a worksheet")
        for server in servers:
            check(server.stop() == 0, f"the {server.name} server did not stop cleanly: {server.errors()}")
        print(f"ok: {len(served[0])} and {len(served[1])} requests on the two servers")
    finally:
        if proxy:
            stop(proxy)
        for server in servers:
            server.stop()


if __name__ == "__main__":
    run(test)
