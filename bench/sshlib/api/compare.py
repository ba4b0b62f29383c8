#!/usr/bin/python3
"""Runs session_bench against sshd servers started here (aes128-ctr with group14-sha1,
3des-cbc, aes128-ctr with group-exchange-sha256, chacha20-poly1305 and aes128-gcm with
group14-sha1, all with hmac-sha1 and ssh-rsa; curve25519-sha256 with ssh-ed25519) and prints
every figure of the library next to OpenSSH's ssh client with their ratios, then the peak
memory of a 1 GB transfer. A row that cannot be read is named on standard error and makes the
script exit nonzero. Needs root for sshd and the password account (made when missing).

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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import bench_rows  # noqa: E402

USER, PASSWORD = "tessantest", "Tessan-Test-7"
SERVERS = {
    "AES": ("diffie-hellman-group14-sha1", "aes128-ctr", "ssh-rsa"),
    "3DES": ("diffie-hellman-group14-sha1", "3des-cbc", "ssh-rsa"),
    "GEX": ("diffie-hellman-group-exchange-sha256", "aes128-ctr", "ssh-rsa"),
    "CHACHA": ("diffie-hellman-group14-sha1", "chacha20-poly1305@openssh.com", "ssh-rsa"),
    "GCM": ("diffie-hellman-group14-sha1", "aes128-gcm@openssh.com", "ssh-rsa"),
    "CURVE": ("curve25519-sha256", "aes128-ctr", "ssh-ed25519"),
}
# Every pair session_bench runs; one that does not come back is a failure, not a blank.
EXPECTED_GROUPS = ["Receive/aes128ctr_hmacsha1", "Receive/3descbc_hmacsha1",
                   "Receive/chacha20poly1305", "Receive/aes128gcm",
                   "ConnectTrue/group14sha1", "ConnectTrue/gexsha256",
                   "ConnectTrue/curve25519ed25519"]


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


def start_sshd(folder, name, kex, cipher, host_key):
    port = free_port()
    config = os.path.join(folder, f"{name}.conf")
    with open(config, "w") as f:
        f.write(f"ListenAddress 127.0.0.1:{port}\nHostKey {folder}/rsa\n"
                f"HostKey {folder}/ed25519\n"
                f"PidFile {folder}/{name}.pid\nUsePAM no\nPasswordAuthentication yes\n"
                f"PubkeyAuthentication no\nHostKeyAlgorithms {host_key}\nKexAlgorithms {kex}\n"
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
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", f"{folder}/ed25519"],
                       check=True)
        askpass = os.path.join(folder, "askpass")
        with open(askpass, "w") as f:
            f.write(f"#!/bin/sh\necho '{PASSWORD}'\n")
        os.chmod(askpass, 0o755)
        env = dict(os.environ, TESSAN_BENCH_USER=USER, TESSAN_BENCH_PASSWORD=PASSWORD,
                   TESSAN_BENCH_ASKPASS=askpass)
        servers = []
        try:
            for name, (kex, cipher, host_key) in SERVERS.items():
                process, port = start_sshd(folder, name.lower(), kex, cipher, host_key)
                servers.append(process)
                env[f"TESSAN_BENCH_PORT_{name}"] = str(port)
            run_text = subprocess.run([bench, "--benchmark_format=json"], env=env,
                                      check=True, capture_output=True, text=True).stdout
            memory = json.loads(subprocess.run([bench, "--peak-memory", str(10**9)], env=env,
                                               check=True, capture_output=True, text=True).stdout)
        finally:
            for process in servers:
                process.terminate()
                process.wait()
    report(run_text, memory)


def report(run_text, memory):
    problems = bench_rows.Problems()
    groups = bench_rows.load(run_text, problems)
    for group in EXPECTED_GROUPS:
        if group not in groups:
            problems.add(f"{group}: missing from the run")
    print(f"{'benchmark':34} {'ours':>12} {'ssh':>12} {'ratio':>8}")
    for group, sides in groups.items():
        both = bench_rows.pair(group, sides, "ssh", problems)
        if both is None:
            continue
        ours, ssh = both
        key = "bytes_per_second" if group.startswith("Receive/") else "real_time"
        a = bench_rows.figure(ours, key, f"{group}/ours", problems)
        b = bench_rows.figure(ssh, key, f"{group}/ssh", problems)
        if a is None or b is None:
            continue
        if key == "bytes_per_second":
            print(f"{group:34} {a / 1e6:7.1f} MB/s {b / 1e6:7.1f} MB/s {a / b:8.2f}"
                  "  (ours/ssh, higher is better)")
        else:
            print(f"{group:34} {a:9.1f} ms {b:9.1f} ms {a / b:8.2f}  (ours/ssh, lower is better)")
    ours_kib, ssh_kib = memory.get("ours_kib", -1), memory.get("ssh_kib", -1)
    if ours_kib > 0 and ssh_kib > 0:
        print(f"{'peak memory, 1 GB through SshRead':34} {ours_kib / 1024:7.1f} MiB "
              f"{ssh_kib / 1024:7.1f} MiB")
    else:
        problems.add(f"peak memory: a transfer failed (ours {ours_kib} KiB, ssh {ssh_kib} KiB)")
    problems.finish()


if __name__ == "__main__":
    main()
