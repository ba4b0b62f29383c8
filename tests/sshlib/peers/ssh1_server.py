#!/usr/bin/python3
"""A scripted SSH protocol 1 server for the tests, started by the tests themselves.

Listens on 127.0.0.1 (a free port), prints "PORT <n>" on standard output once it accepts
connections, and serves each connection in a thread until it is terminated. It announces
"SSH-1.5-<--version>", offers the ciphers of --ciphers (SSH-1 numbers: 2 DES, 3 triple DES,
6 Blowfish) with a 1024-bit server key and a host key of --host-key-bits (2048), and accepts
--user with --password (--auth none: the user needs no password).

What the client sends is written to standard error, one line each, for the tests to check:
"FINGERPRINT <md5 of the host key's ssh-rsa blob>", "CIPHER <n>", "AUTH <type> <string length>"
for every password and ignore message of the login, "LOGIN ok|refused", "PTY <term> <rows>
<cols> <ispeed> <ospeed>", "SHELL", "EXEC <command>", "EOF", "EXIT-CONFIRMED", "OPEN-FAILURE
<channel>", "DISCONNECT <text>", "ERROR <reason>", and "END" once a connection is over.

The session: "print TEXT" writes TEXT and a line feed to standard output and "both" writes
"out" to standard output and "err" to standard error, then both end with exit status
--exit-status; a shell or any other command echoes what it receives until end of input, then
ends with --exit-status. --port-open makes the server try to open a forwarded port as soon as
the session starts; --attack and --corrupt put a packet that carries the CRC-32 compensation
attack's pattern, or a damaged check, in front of the first encrypted message.
"""

import argparse
import hashlib
import math
import os
import secrets
import socket
import struct
import sys
import threading
import warnings
import zlib

warnings.simplefilter("ignore")  # single DES and Blowfish are deprecated

from cryptography.hazmat.primitives.asymmetric import rsa  # noqa: E402
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402

MSG_DISCONNECT = 1
SMSG_PUBLIC_KEY = 2
CMSG_SESSION_KEY = 3
CMSG_USER = 4
CMSG_AUTH_PASSWORD = 9
CMSG_REQUEST_PTY = 10
CMSG_EXEC_SHELL = 12
CMSG_EXEC_CMD = 13
SMSG_SUCCESS = 14
SMSG_FAILURE = 15
CMSG_STDIN_DATA = 16
SMSG_STDOUT_DATA = 17
SMSG_STDERR_DATA = 18
CMSG_EOF = 19
SMSG_EXITSTATUS = 20
MSG_CHANNEL_OPEN_FAILURE = 22
MSG_PORT_OPEN = 29
MSG_IGNORE = 32
CMSG_EXIT_CONFIRMATION = 33
MSG_DEBUG = 36

LOCK = threading.Lock()


def log(text):
    with LOCK:
        print(text, file=sys.stderr, flush=True)


def crc(data):
    """SSH-1's CRC-32: the register starts at 0 and is not inverted at the end."""
    return ~zlib.crc32(data, 0xFFFFFFFF) & 0xFFFFFFFF


def swap_words(data):
    out = bytearray(data)
    for i in range(0, len(out), 4):
        out[i:i + 4] = out[i:i + 4][::-1]
    return bytes(out)


def des_cbc(key, encrypt):
    c = Cipher(algorithms.TripleDES(key), modes.CBC(bytes(8)))
    return c.encryptor() if encrypt else c.decryptor()


class Ssh1Cipher:
    """One direction of an SSH-1 cipher; the chain runs across packets."""

    def __init__(self, number, key, encrypt):
        if number == 2:
            self.layers = [des_cbc(key[0:8], encrypt)]
        elif number == 3:
            # Encryption: E k1, D k2, E k3, each a CBC of its own; decryption the reverse.
            if encrypt:
                self.layers = [des_cbc(key[0:8], True), des_cbc(key[8:16], False),
                               des_cbc(key[16:24], True)]
            else:
                self.layers = [des_cbc(key[16:24], False), des_cbc(key[8:16], True),
                               des_cbc(key[0:8], False)]
        elif number == 6:
            c = Cipher(algorithms.Blowfish(key), modes.CBC(bytes(8)))
            self.layers = [c.encryptor() if encrypt else c.decryptor()]
        else:
            raise ValueError(number)
        self.swap = number == 6

    def run(self, data):
        if self.swap:
            data = swap_words(data)
        for layer in self.layers:
            data = layer.update(data)
        return swap_words(data) if self.swap else data


def mpint(value):
    bits = value.bit_length()
    return struct.pack(">H", bits) + value.to_bytes((bits + 7) // 8, "big")


def ssh2_rsa_blob(e, n):
    def string(b):
        return struct.pack(">I", len(b)) + b

    def mp(v):
        b = v.to_bytes(v.bit_length() // 8 + 1, "big")
        return string(b)

    return string(b"ssh-rsa") + mp(e) + mp(n)


def pkcs1_type2_unpad(block):
    if len(block) < 11 or block[0] != 0 or block[1] != 2:
        raise ValueError("bad padding")
    end = block.index(0, 2)
    return block[end + 1:]


def rsa_decrypt(key, data):
    numbers = key.private_numbers()
    n = numbers.public_numbers.n
    k = (n.bit_length() + 7) // 8
    plain = pow(int.from_bytes(data, "big"), numbers.d, n).to_bytes(k, "big")
    return pkcs1_type2_unpad(plain)


def small_rsa_key(bits):
    """An RSA key below the 1024 bits the cryptography package will generate."""
    def probable_prime(n):
        for p in (3, 5, 7, 11, 13, 17, 19, 23, 29, 31):
            if n % p == 0:
                return False
        d, r = n - 1, 0
        while d % 2 == 0:
            d, r = d // 2, r + 1
        for _ in range(32):
            x = pow(secrets.randbelow(n - 3) + 2, d, n)
            if x in (1, n - 1):
                continue
            for _ in range(r - 1):
                x = pow(x, 2, n)
                if x == n - 1:
                    break
            else:
                return False
        return True

    def prime(size):
        while True:
            candidate = secrets.randbits(size) | (3 << (size - 2)) | 1
            if probable_prime(candidate):
                return candidate

    e = 65537
    while True:
        p, q = prime(bits // 2), prime(bits - bits // 2)
        if math.gcd(e, (p - 1) * (q - 1)) == 1:
            break
    d = pow(e, -1, (p - 1) * (q - 1))
    return rsa.RSAPrivateNumbers(p, q, d, d % (p - 1), d % (q - 1), pow(q, -1, p),
                                 rsa.RSAPublicNumbers(e, p * q)).private_key()


def attack_positions(blocks):
    """Block indexes (0-based, of `blocks` blocks) whose single-bit CRC terms cancel."""
    terms = []
    term = crc(b"\x01" + bytes(7))
    for _ in range(blocks + 1):
        terms.append(term)
        term = (~zlib.crc32(bytes(8), ~term & 0xFFFFFFFF)) & 0xFFFFFFFF
    # terms[d] is the term of a block followed by d blocks; block i is followed by blocks-1-i.
    basis = {}  # leading bit -> (vector, set of blocks)
    for i in range(blocks):
        vector, members = terms[blocks - 1 - i], {i}
        while vector:
            top = vector.bit_length() - 1
            if top not in basis:
                basis[top] = (vector, members)
                break
            vector ^= basis[top][0]
            members = members ^ basis[top][1]
        else:
            return sorted(members)
    raise RuntimeError("no dependent set")


class Connection:
    def __init__(self, sock, args, server_key, host_key):
        self.sock = sock
        self.args = args
        self.server_key = server_key
        self.host_key = host_key
        self.buffer = b""
        self.send_cipher = None
        self.receive_cipher = None
        self.session_started = False

    # --- packets ---

    def read_exact(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError
            self.buffer += chunk
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def read_packet(self):
        length = struct.unpack(">I", self.read_exact(4))[0]
        padding = 8 - length % 8
        body = self.read_exact(length + padding)
        if self.receive_cipher:
            body = self.receive_cipher.run(body)
        if crc(body[:-4]) != struct.unpack(">I", body[-4:])[0]:
            raise ValueError("bad check from the client")
        payload = body[padding:-4]
        if payload[0] == MSG_DISCONNECT:
            log("DISCONNECT " + payload[5:].decode(errors="replace"))
            raise EOFError
        return payload[0], payload[1:]

    def frame(self, kind, data):
        length = len(data) + 5
        padding = 8 - length % 8
        body = os.urandom(padding) + bytes([kind]) + data
        body += struct.pack(">I", crc(body))
        if self.send_cipher:
            body = self.send_cipher.run(body)
        return struct.pack(">I", length) + body

    def send(self, kind, data=b""):
        self.sock.sendall(self.frame(kind, data))

    @staticmethod
    def string(data):
        return struct.pack(">I", len(data)) + data

    # --- the connection ---

    def serve(self):
        self.sock.sendall(b"SSH-1.5-" + self.args.version.encode() + b"\n")
        line = b""
        while not line.endswith(b"\n"):
            line += self.read_exact(1)
        log("CLIENT " + line.decode(errors="replace").strip())
        self.key_exchange()
        if not self.login():
            return
        self.session()

    def key_exchange(self):
        cookie = os.urandom(8)
        s = self.server_key.public_key().public_numbers()
        h = self.host_key.public_key().public_numbers()
        mask = sum(1 << int(c) for c in self.args.ciphers.split(","))
        self.send(SMSG_PUBLIC_KEY, cookie + struct.pack(">I", s.n.bit_length()) + mpint(s.e) +
                  mpint(s.n) + struct.pack(">I", h.n.bit_length()) + mpint(h.e) + mpint(h.n) +
                  struct.pack(">III", 1, mask, 1 << 3))
        log("FINGERPRINT " + ":".join(
            "%02x" % b for b in hashlib.md5(ssh2_rsa_blob(h.e, h.n)).digest()))
        kind, data = self.read_packet()
        if kind != CMSG_SESSION_KEY:
            raise ValueError("expected the session key, got %d" % kind)
        cipher = data[0]
        if data[1:9] != cookie:
            raise ValueError("cookie")
        bits = struct.unpack(">H", data[9:11])[0]
        encrypted = data[11:11 + (bits + 7) // 8]
        # Outer layer: the larger key; inner: the smaller.
        larger, smaller = ((self.host_key, self.server_key) if h.n > s.n
                           else (self.server_key, self.host_key))
        inner = rsa_decrypt(larger, encrypted)
        key = bytearray(rsa_decrypt(smaller, inner))
        session_id = hashlib.md5(
            h.n.to_bytes((h.n.bit_length() + 7) // 8, "big") +
            s.n.to_bytes((s.n.bit_length() + 7) // 8, "big") + cookie).digest()
        for i in range(16):
            key[i] ^= session_id[i]
        log("CIPHER %d" % cipher)
        self.send_cipher = Ssh1Cipher(cipher, bytes(key), True)
        self.receive_cipher = Ssh1Cipher(cipher, bytes(key), False)
        if self.args.attack or self.args.corrupt:
            self.send_damaged()
        self.send(SMSG_SUCCESS)

    def login(self):
        kind, data = self.read_packet()
        if kind != CMSG_USER:
            raise ValueError("expected the user, got %d" % kind)
        user = data[4:4 + struct.unpack(">I", data[:4])[0]].decode()
        if self.args.auth == "none":
            self.send(SMSG_SUCCESS)
            log("LOGIN ok")
            return True
        self.send(SMSG_FAILURE)
        while True:
            kind, data = self.read_packet()
            if kind == MSG_IGNORE:
                log("AUTH %d %d" % (kind, struct.unpack(">I", data[:4])[0]))
                continue
            if kind != CMSG_AUTH_PASSWORD:
                raise ValueError("expected a password, got %d" % kind)
            size = struct.unpack(">I", data[:4])[0]
            log("AUTH %d %d" % (kind, size))
            password = data[4:4 + size]
            # A padded password ends at its first 0 byte.
            password = password.split(b"\0")[0]
            ok = user == self.args.user and password == self.args.password.encode()
            log("LOGIN " + ("ok" if ok else "refused"))
            self.send(SMSG_SUCCESS if ok else SMSG_FAILURE)
            if ok:
                return True

    def send_damaged(self):
        frame = bytearray(self.frame(SMSG_STDOUT_DATA, self.string(bytes(8 * 64))))
        body = 4  # ciphertext starts after the length field
        blocks = (len(frame) - body) // 8
        if self.args.attack:
            positions = attack_positions(blocks)
            copy = frame[body + 8 * positions[0]:body + 8 * positions[0] + 8]
            for p in positions:
                frame[body + 8 * p:body + 8 * p + 8] = copy
            log("ATTACK %d blocks" % len(positions))
        else:
            frame[-1] ^= 0x01
        self.sock.sendall(bytes(frame))

    def session(self):
        command = None
        while True:
            kind, data = self.read_packet()
            if kind == CMSG_REQUEST_PTY:
                size = struct.unpack(">I", data[:4])[0]
                term = data[4:4 + size].decode()
                rows, cols, _, _ = struct.unpack(">IIII", data[4 + size:20 + size])
                modes = data[20 + size:]
                ispeed = struct.unpack(">I", modes[1:5])[0] if modes[0] == 192 else -1
                ospeed = struct.unpack(">I", modes[6:10])[0] if modes[5] == 193 else -1
                log("PTY %s %d %d %d %d end=%d" % (term, rows, cols, ispeed, ospeed, modes[10]))
                self.send(SMSG_SUCCESS)
            elif kind == CMSG_EXEC_SHELL:
                log("SHELL")
                break
            elif kind == CMSG_EXEC_CMD:
                command = data[4:4 + struct.unpack(">I", data[:4])[0]].decode()
                log("EXEC " + command)
                break
            elif kind in (MSG_IGNORE, MSG_DEBUG):
                continue
            else:
                raise ValueError("unexpected %d before the session" % kind)
        if self.args.port_open:
            self.send(MSG_PORT_OPEN, struct.pack(">I", 77) + self.string(b"localhost") +
                      struct.pack(">I", 6000))
        if command and command.startswith("print "):
            self.send(SMSG_STDOUT_DATA, self.string(command[6:].encode() + b"\n"))
        elif command == "both":
            self.send(SMSG_STDOUT_DATA, self.string(b"out\n"))
            self.send(SMSG_STDERR_DATA, self.string(b"err\n"))
        else:
            self.echo()
        self.send(SMSG_EXITSTATUS, struct.pack(">I", self.args.exit_status))
        self.await_confirmation()

    def echo(self):
        while True:
            kind, data = self.read_packet()
            if kind == CMSG_STDIN_DATA:
                text = data[4:4 + struct.unpack(">I", data[:4])[0]]
                self.send(SMSG_STDOUT_DATA, self.string(text))
            elif kind == CMSG_EOF:
                log("EOF")
                return
            else:
                self.note(kind, data)

    def await_confirmation(self):
        while True:
            kind, data = self.read_packet()
            if kind == CMSG_EXIT_CONFIRMATION:
                log("EXIT-CONFIRMED")
                return
            self.note(kind, data)

    def note(self, kind, data):
        if kind == MSG_CHANNEL_OPEN_FAILURE:
            log("OPEN-FAILURE %d" % struct.unpack(">I", data[:4])[0])
        elif kind not in (MSG_IGNORE, MSG_DEBUG):
            log("MESSAGE %d" % kind)


def handle(sock, args, server_key, host_key):
    connection = Connection(sock, args, server_key, host_key)
    try:
        connection.serve()
    except EOFError:
        pass
    except Exception as error:  # noqa: BLE001 - reported to the test through the log
        log("ERROR %s" % error)
    # Whatever the client still says (a disconnect message) goes to the log.
    try:
        while True:
            kind, data = connection.read_packet()
            connection.note(kind, data)
    except Exception:  # noqa: BLE001
        pass
    sock.close()
    log("END")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", default="1.2.27")
    parser.add_argument("--ciphers", default="3,6,2")
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--auth", default="password")
    parser.add_argument("--exit-status", type=int, default=0)
    parser.add_argument("--port-open", action="store_true")
    parser.add_argument("--attack", action="store_true")
    parser.add_argument("--corrupt", action="store_true")
    parser.add_argument("--host-key-bits", type=int, default=2048)
    args = parser.parse_args()

    server_key = rsa.generate_private_key(65537, 1024)
    host_key = (rsa.generate_private_key(65537, args.host_key_bits) if args.host_key_bits >= 1024
                else small_rsa_key(args.host_key_bits))
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=handle, args=(sock, args, server_key, host_key),
                         daemon=True).start()


if __name__ == "__main__":
    main()
