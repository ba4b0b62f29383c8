#!/usr/bin/python3
"""A Paramiko server for the interoperability tests, started by the tests themselves.

Listens on 127.0.0.1 (a free port), prints "PORT <n>" on standard output once it accepts
connections, and serves until it is terminated. Users log in with a password checked here. A
session's command decides what the server does:
  "opens"   the server tries to open a "session", an "x11" and a "forwarded-tcpip" channel
            towards the client and prints one line per attempt: "<type> <reason code> <text>"
            (or "<type> accepted"), then exits with status 0;
  anything else is printed back and the session exits with status 0.
"""

import argparse
import socket
import sys
import threading
import warnings

warnings.simplefilter("ignore")

import paramiko  # noqa: E402


class Server(paramiko.ServerInterface):
    def __init__(self, args):
        self.args = args
        self.command = None
        self.ready = threading.Event()

    def get_allowed_auths(self, username):
        return "password"

    def check_auth_password(self, username, password):
        if username == self.args.user and password == self.args.password:
            return paramiko.AUTH_SUCCESSFUL
        return paramiko.AUTH_FAILED

    def check_channel_request(self, kind, chanid):
        return paramiko.OPEN_SUCCEEDED if kind == "session" else \
            paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED

    def check_channel_exec_request(self, channel, command):
        self.command = command.decode()
        self.ready.set()
        return True

    def check_channel_pty_request(self, *args):
        return True

    def check_channel_shell_request(self, channel):
        self.command = ""
        self.ready.set()
        return True


def attempt(transport, kind):
    try:
        if kind == "x11":
            channel = transport.open_channel(kind, src_addr=("127.0.0.1", 6010), timeout=10)
        elif kind == "forwarded-tcpip":
            channel = transport.open_channel(kind, dest_addr=("127.0.0.1", 8022),
                                             src_addr=("127.0.0.1", 40000), timeout=10)
        else:
            channel = transport.open_channel(kind, timeout=10)
        channel.close()
        return f"{kind} accepted"
    except paramiko.ChannelException as refused:
        return f"{kind} {refused.code} {refused.text}"
    except Exception as other:  # noqa: BLE001
        return f"{kind} error {other!r}"


def serve(connection, host_key, args):
    transport = paramiko.Transport(connection)
    if args.defaults:
        # Paramiko offers group exchange whether or not it has groups to choose from; with none
        # loaded it answers as for a fixed group. The system's moduli file gives it some.
        transport.load_server_moduli()
    else:
        # One key exchange only: this server version expects the fixed-group messages whatever
        # the negotiation chose.
        transport.get_security_options().kex = ("diffie-hellman-group14-sha1",)
    transport.add_server_key(host_key)
    server = Server(args)
    try:
        transport.start_server(server=server)
        channel = transport.accept(20)
        if channel is None or not server.ready.wait(20):
            return
        if server.command == "opens":
            lines = [attempt(transport, kind) for kind in ("session", "x11", "forwarded-tcpip")]
            channel.sendall(("\n".join(lines) + "\n").encode())
        else:
            channel.sendall((server.command + "\n").encode())
        channel.send_exit_status(0)
        channel.close()
    except Exception as failure:  # noqa: BLE001
        print(f"session failed: {failure!r}", file=sys.stderr, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--defaults", action="store_true",
                        help="offer Paramiko's own algorithm lists")
    args = parser.parse_args()
    host_key = paramiko.RSAKey.generate(2048)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(f"PORT {listener.getsockname()[1]}", flush=True)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, host_key, args), daemon=True).start()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
