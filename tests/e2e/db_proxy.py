#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 sitepass developers
# SPDX-License-Identifier: GPL-3.0-or-later
# A database connection's middleman for rotate's tests: passes bytes both ways and, at the first
# message from a client that holds TRIGGER, acts as MODE says:
#   drop-reply  passes the message on, then hangs up on the client before the server's answer;
#   die-after   passes the message and its answer on, then takes no more connections, as a
#               server that died would;
#   pass        nothing (TRIGGER never fires).
# Usage: db_proxy.py LISTEN TARGET TRIGGER MODE   (each address HOST:PORT or a socket's path)
import os
import socket
import sys
import threading
import time

listen, target, trigger, mode = sys.argv[1], sys.argv[2], sys.argv[3].encode(), sys.argv[4]
fired = threading.Event()


def address(text):
    if text.startswith('/'):
        return socket.AF_UNIX, text
    host, port = text.rsplit(':', 1)
    return socket.AF_INET, (host, int(port))


def relay(source, sink, from_client, both, dropped):
    try:
        while True:
            data = source.recv(65536)
            if not data or (not from_client and dropped.is_set()):
                break
            hit = from_client and mode != 'pass' and not fired.is_set() and trigger in data
            if hit:
                fired.set()
                if mode == 'die-after':
                    stop_listening()  # before the answer: no login after it gets in
                else:
                    dropped.set()  # the answer stops here
            sink.sendall(data)
            if hit and mode == 'drop-reply':
                time.sleep(1)  # the server has run it; its answer never comes back
                break
    except OSError:
        pass
    for s in both:
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        s.close()


def stop_listening():
    server.close()
    if family == socket.AF_UNIX:
        os.unlink(where)


family, where = address(listen)
server = socket.socket(family, socket.SOCK_STREAM)
if family == socket.AF_INET:
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
elif os.path.exists(where):
    os.unlink(where)
server.bind(where)
server.listen(16)
server.settimeout(0.2)
print('ready', flush=True)
while not (mode == 'die-after' and fired.is_set()):
    try:
        client, _ = server.accept()
    except socket.timeout:
        continue
    except OSError:
        break
    client.settimeout(None)
    tfamily, twhere = address(target)
    upstream = socket.socket(tfamily, socket.SOCK_STREAM)
    upstream.connect(twhere)
    pair, dropped = (client, upstream), threading.Event()
    for args in ((client, upstream, True), (upstream, client, False)):
        threading.Thread(target=relay, args=args + (pair, dropped), daemon=True).start()
while threading.active_count() > 1:
    time.sleep(0.1)
