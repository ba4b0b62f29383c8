#!/usr/bin/python3
"""An AsyncSSH server for the interoperability tests, started by the tests themselves.

Listens on 127.0.0.1 (a free port unless --port is given), prints "PORT <n>" on standard output
once it accepts connections, and serves until it is terminated. The algorithms it offers are
narrowed by the options so that a test decides what the client has to negotiate. Users log in
with a password checked here (--auth none: no authentication at all; --auth change: the
password is accepted only after the client answered a password-change request); --banner
sends authentication banners of the given sizes first. A session echoes back everything it
receives, except for these commands: "hello" prints "hello", "signal NAME" ends with that
signal, "status N" ends with exit status N.
"""

import argparse
import asyncio
import sys
import warnings

warnings.simplefilter("ignore")  # legacy ciphers print deprecation warnings on import

import asyncssh  # noqa: E402


def split(value):
    return [item for item in value.split(",") if item] if value else ()


class Server(asyncssh.SSHServer):
    def __init__(self, args):
        self._args = args
        self._changed = False
        self._conn = None

    def connection_made(self, conn):
        self._conn = conn

    def begin_auth(self, username):
        for size in split(self._args.banner):
            self._conn.send_auth_banner("B" * int(size) + "\r\n")
        return self._args.auth != "none"

    def password_auth_supported(self):
        return True

    def validate_password(self, username, password):
        if username != self._args.user or password != self._args.password:
            return False
        if self._args.auth == "change" and not self._changed:
            raise asyncssh.PasswordChangeRequired("Password expired")
        return True

    def change_password(self, username, old_password, new_password):
        # The client answers with the same password and an empty new one.
        print(f"CHANGE old={old_password == self._args.password} new={new_password!r}",
              file=sys.stderr, flush=True)
        self._changed = old_password == self._args.password
        return self._changed


async def echo(process):
    command = process.command or ""
    if command == "hello":
        process.stdout.write(b"hello\n")
        process.exit(0)
        return
    if command.startswith("signal "):
        process.exit_with_signal(command.split()[1])
        return
    if command.startswith("status "):
        process.exit(int(command.split()[1]))
        return
    try:
        while True:
            data = await process.stdin.read(65536)
            if not data:
                break
            process.stdout.write(data)
            await process.stdout.drain()
    except (asyncssh.BreakReceived, asyncssh.TerminalSizeChanged, ConnectionError):
        pass
    process.exit(0)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--kex", default="")
    parser.add_argument("--cipher", default="")
    parser.add_argument("--mac", default="")
    parser.add_argument("--compression", default="")
    parser.add_argument("--host-key", default="ssh-rsa",
                        help="ssh-rsa, ssh-dss, both, or default: Ed25519, ECDSA P-256 and RSA "
                             "keys with AsyncSSH's own signature algorithms")
    parser.add_argument("--rekey-bytes", default="")
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--auth", default="password", help="password, none or change")
    parser.add_argument("--banner", default="", help="comma-separated banner sizes")
    args = parser.parse_args()

    keys, signatures = [], []
    if args.host_key == "default":
        keys = [asyncssh.generate_private_key(name) for name in
                ("ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa")]
    else:
        for name in args.host_key.replace("both", "ssh-rsa,ssh-dss").split(","):
            keys.append(asyncssh.generate_private_key(name, **({"key_size": 1024} if name == "ssh-rsa" else {})))
            signatures.append(name)

    options = dict(server_host_keys=keys, process_factory=echo, encoding=None)
    if signatures:
        options["signature_algs"] = signatures
    for key, value in (("kex_algs", args.kex), ("encryption_algs", args.cipher),
                       ("mac_algs", args.mac), ("compression_algs", args.compression)):
        if value:
            options[key] = split(value)
    if args.rekey_bytes:
        options["rekey_bytes"] = args.rekey_bytes

    server = await asyncssh.create_server(lambda: Server(args),
                                          "127.0.0.1", args.port, **options)
    port = server.sockets[0].getsockname()[1]
    print(f"PORT {port}", flush=True)
    await asyncio.Event().wait()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
