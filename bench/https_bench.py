#!/usr/bin/env python3
"""Benchmark of today's web mode over https, side by side with other builds of
vantrel-check and with other link checkers, on a loopback nginx with TLS.

Usage: bench/https_bench.py BUILD_DIR [--compare OTHER_VANTREL_CHECK]
                            [--peers NODE_MODULES_BIN] [--links N]

Makes a certificate authority and a server certificate (for 127.0.0.1 to
127.0.0.4) with openssl, starts nginx (its own prefix and configuration under
a temporary directory, ended by its process id) on those four addresses, and
checks one page of N https links (default 5,000) spread over the four hosts:
with this build's vantrel-check --modern (default jobs, then --jobs 1 for the
reference report), with the --compare binary, and with broken-link-checker
(blc, 32 requests per host) and linkinator when --peers names their bin
directory (npm install broken-link-checker linkinator). Prints seconds,
links/s, peak memory and each rate as a ratio to the fastest peer.

Then plain http with 50 ms answers (bench/delayserver, 2,000 links over the
four hosts): this build against --compare.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HOSTS = ["127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"]


def sh(*args, cwd=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates(work):
    sh("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
       "-subj", "/CN=Vantrel bench authority", "-keyout", "ca.key", "-out", "ca.pem",
       "-addext", "basicConstraints=critical,CA:TRUE",
       "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=work)
    sh("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
       "-keyout", "server.key", "-out", "server.csr", cwd=work)
    with open(os.path.join(work, "san.ext"), "w") as f:
        f.write("subjectAltName=" + ",".join("IP:" + h for h in HOSTS) + "\n")
    sh("openssl", "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
       "-CAcreateserial", "-days", "2", "-out", "server.pem", "-extfile", "san.ext", cwd=work)


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_nginx(work, tls_port, http_port):
    listens = "".join(f"        listen {h}:{tls_port} ssl http2;\n" for h in HOSTS)
    conf = f"""
worker_processes 2;
daemon off;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 8192; }}
http {{
    access_log off;
    client_body_temp_path {work}/tmp;
    proxy_temp_path {work}/tmp;
    fastcgi_temp_path {work}/tmp;
    uwsgi_temp_path {work}/tmp;
    scgi_temp_path {work}/tmp;
    keepalive_requests 100000;
    server {{
{listens}        ssl_certificate {work}/server.pem;
        ssl_certificate_key {work}/server.key;
        location / {{ default_type text/html; return 200 "<html><body>ok</body></html>\\n"; }}
    }}
    server {{
        listen 127.0.0.1:{http_port};
        root {work}/site;
    }}
}}
"""
    os.makedirs(os.path.join(work, "tmp"), exist_ok=True)
    path = os.path.join(work, "nginx.conf")
    with open(path, "w") as f:
        f.write(conf)
    server = subprocess.Popen(["nginx", "-p", work, "-c", path], stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    if server.poll() is not None:
        sys.exit("nginx did not start; see " + os.path.join(work, "nginx-error.log"))
    return server


def write_page(path, links, scheme, port):
    with open(path, "w") as f:
        f.write("<html><body>\n")
        for i in range(links):
            host = HOSTS[i % len(HOSTS)]
            f.write(f'<p><a href="{scheme}://{host}:{port}/p/{i}.html">page {i}</a></p>\n')
        f.write("</body></html>\n")


def measure(args, env, out_path):
    """Runs args under /usr/bin/time -v: (seconds, peak MB, exit status)."""
    timing = out_path + ".time"
    start = time.monotonic()
    with open(out_path, "wb") as out:
        status = subprocess.run(["/usr/bin/time", "-v", "-o", timing] + args, env=env,
                                stdout=out, stderr=subprocess.DEVNULL).returncode
    seconds = time.monotonic() - start
    peak = 0
    with open(timing) as f:
        for line in f:
            if "Maximum resident set size" in line:
                peak = int(line.split(":")[1]) / 1024
    return seconds, peak, status


def undated(path):
    with open(path, "rb") as f:
        return b"".join(l for l in f if not l.startswith((b"Start of test ", b"End of test: ")))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--compare", help="another vantrel-check to run side by side")
    parser.add_argument("--peers", default="/tmp/peers/node_modules/.bin")
    parser.add_argument("--links", type=int, default=5000)
    options = parser.parse_args()
    check = os.path.abspath(os.path.join(options.build, "src/cli/vantrel-check"))
    work = tempfile.mkdtemp(prefix="vantrel-https-bench.")
    # nginx's workers may run as another user (as root's do): they must read the page.
    os.chmod(work, 0o755)
    make_certificates(work)
    tls_port, http_port = free_port(), free_port()
    os.makedirs(os.path.join(work, "site"))
    page = os.path.join(work, "site", "index.html")
    write_page(page, options.links, "https", tls_port)
    nginx = start_nginx(work, tls_port, http_port)
    home = tempfile.mkdtemp(prefix="vantrel-bench-home.")
    env = dict(os.environ, SSL_CERT_FILE=os.path.join(work, "ca.pem"), VANTREL_HOME=home,
               NODE_EXTRA_CA_CERTS=os.path.join(work, "ca.pem"))
    for name in ("http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    rows = []
    try:
        url = f"http://127.0.0.1:{http_port}/index.html"
        runs = [("vantrel (this build)", [check, "--modern", "--hawk", page], True)]
        if options.compare:
            runs.append(("vantrel (compared)", [options.compare, "--modern", "--hawk", page], True))
        blc = os.path.join(options.peers, "blc")
        linkinator = os.path.join(options.peers, "linkinator")
        if os.path.exists(blc):
            runs.append(("broken-link-checker", [blc, url, "--host-requests", "32"], False))
        if os.path.exists(linkinator):
            runs.append(("linkinator", [linkinator, url, "--concurrency", "100"], False))
        print(f"https: {options.links} links over {len(HOSTS)} hosts on loopback nginx (TLS)")
        reference_path = os.path.join(work, "reference.txt")
        measure([check, "--modern", "--hawk", "--jobs", "1", page], env, reference_path)
        reference = undated(reference_path)
        for name, args, ours in runs:
            out = os.path.join(work, name.split()[0] + str(len(rows)) + ".out")
            seconds, peak, status = measure(args, env, out)
            note = ""
            if ours:
                note = ("report identical to --jobs 1" if undated(out) == reference
                        else "REPORT DIFFERS from --jobs 1")
            else:
                with open(out, "rb") as f:
                    lines = [l.strip() for l in f if l.strip()]
                note = (lines[-1][:70].decode(errors="replace") if lines else "")
            rows.append((name, seconds, peak, status, ours, note))
        peers = [r for r in rows if not r[4]]
        fastest = min((r[1] for r in peers), default=None)
        print(f"{'checker':<22}{'seconds':>9}{'links/s':>9}{'peak MB':>9}{'x fastest peer':>16}")
        for name, seconds, peak, status, ours, note in rows:
            ratio = f"{fastest / seconds:.1f}" if fastest else "-"
            print(f"{name:<22}{seconds:>9.2f}{options.links / seconds:>9.0f}{peak:>9.1f}"
                  f"{ratio:>16}  exit {status} {note}")
        if not peers:
            print("no peers found under " + options.peers)
    finally:
        nginx.send_signal(signal.SIGTERM)
        nginx.wait()

    if options.compare:
        delay_bench(options, check, env)
    shutil.rmtree(work, ignore_errors=True)
    shutil.rmtree(home, ignore_errors=True)


def delay_bench(options, check, env, links=2000):
    server = subprocess.Popen(
        [os.path.join(options.build, "bench/delayserver"), "--delay", "50"] +
        [a for h in HOSTS for a in ("--address", h)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    port = server.stdout.readline().strip()
    work = tempfile.mkdtemp(prefix="vantrel-delay-bench.")
    page = os.path.join(work, "delay.html")
    write_page(page, links, "http", port)
    print(f"\nhttp: {links} links over {len(HOSTS)} hosts, answers after 50 ms")
    try:
        for name, binary in (("vantrel (this build)", check), ("vantrel (compared)",
                                                              options.compare)):
            seconds, peak, status = measure([binary, "--modern", "--hawk", page], env,
                                            os.path.join(work, "out"))
            print(f"{name:<22}{seconds:>9.2f}{links / seconds:>9.0f}{peak:>9.1f}  exit {status}")
    finally:
        server.send_signal(signal.SIGTERM)
        server.communicate()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
