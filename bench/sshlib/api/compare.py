#!/usr/bin/python3
"""Runs session_bench against three sshd servers started here (aes128-ctr with group14-sha1,
3des-cbc, aes128-ctr with group-exchange-sha256; hmac-sha1 and ssh-rsa everywhere) and prints
every figure of the library next to OpenSSH's ssh client with their ratios, then the peak
memory of a 1 GB transfer. Needs root for sshd and the password account (made when missing).

usage: compare.py path/to/session_bench
"""
import json
import os
import pwd
import socket
import subprocess
import sys
import tempfile
import time

USER, PASSWORD = "tessantest", "Tessan-Test-7"
SERVERS = {
    "AES": ("diffie-hellman-group14-sha1", "aes128-ctr"),
    "3DES": ("diffie-hellman-group14-sha1", "3des-cbc"),
    "GEX": ("diffie-hellman-group-exchange-sha256", "aes128-ctr"),
}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ensure_account():
    try:
        pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "-m", "-s", "/bin/sh", USER], check=True)
    subprocess.run(["chpasswd"], input=f"{USER}:{PASSWORD}\n", text=True, check=True)


def start_sshd(folder, name, kex, cipher):
    port = free_port()
    config = os.path.join(folder, f"{name}.conf")
    with open(config, "w") as f:
        f.write(f"ListenAddress 127.0.0.1:{port}\nHostKey {folder}/rsa\n"
                f"PidFile {folder}/{name}.pid\nUsePAM no\nPasswordAuthentication yes\n"
                f"PubkeyAuthentication no\nHostKeyAlgorithms ssh-rsa\nKexAlgorithms {kex}\n"
                f"Ciphers {cipher}\nMACs hmac-sha1\nCompression no\nLogLevel ERROR\n"
                f"MaxStartups 100\n")
    process = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", config],
                               stderr=subprocess.DEVNULL)
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
            return process, port
        except OSError:
            time.sleep(0.02)
    raise RuntimeError(f"sshd {name} did not start")


def main():
    bench = sys.argv[1]
    ensure_account()
    os.makedirs("/run/sshd", exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["ssh-keygen", "-q", "-t", "rsa", "-b", "2048", "-N", "", "-f",
                        f"{folder}/rsa"], check=True)
        askpass = os.path.join(folder, "askpass")
        with open(askpass, "w") as f:
            f.write(f"#!/bin/sh\necho '{PASSWORD}'\n")
        os.chmod(askpass, 0o755)
        env = dict(os.environ, TESSAN_BENCH_USER=USER, TESSAN_BENCH_PASSWORD=PASSWORD,
                   TESSAN_BENCH_ASKPASS=askpass)
        servers = []
        try:
            for name, (kex, cipher) in SERVERS.items():
                process, port = start_sshd(folder, name.lower(), kex, cipher)
                servers.append(process)
                env[f"TESSAN_BENCH_PORT_{name}"] = str(port)
            run = json.loads(subprocess.run([bench, "--benchmark_format=json"], env=env,
                                            check=True, capture_output=True, text=True).stdout)
            memory = json.loads(subprocess.run([bench, "--peak-memory", str(10**9)], env=env,
                                               check=True, capture_output=True, text=True).stdout)
        finally:
            for process in servers:
                process.terminate()
                process.wait()

    results = {}
    for b in run["benchmarks"]:
        # "Receive/aes128ctr_hmacsha1/ours/iterations:3/real_time"
        kind, case, side = b["name"].split("/")[:3]
        results.setdefault(f"{kind}/{case}", {})[side] = b
    print(f"{'benchmark':34} {'ours':>12} {'ssh':>12} {'ratio':>8}")
    for group, sides in results.items():
        ours, ssh = sides.get("ours"), sides.get("ssh")
        if not ours or not ssh or "error_message" in ours or "error_message" in ssh:
            print(f"{group:34} failed: {ours and ours.get('error_message')} "
                  f"{ssh and ssh.get('error_message')}")
            continue
        if "bytes_per_second" in ours:
            a, b = ours["bytes_per_second"] / 1e6, ssh["bytes_per_second"] / 1e6
            print(f"{group:34} {a:9.1f} MB/s {b:7.1f} MB/s {a / b:8.2f}  (ours/ssh, higher is better)")
        else:
            a, b = ours["real_time"], ssh["real_time"]
            print(f"{group:34} {a:9.1f} ms {b:9.1f} ms {a / b:8.2f}  (ours/ssh, lower is better)")
    print(f"{'peak memory, 1 GB through SshRead':34} {memory['ours_kib'] / 1024:9.1f} MiB "
          f"{memory['ssh_kib'] / 1024:7.1f} MiB")


if __name__ == "__main__":
    main()
