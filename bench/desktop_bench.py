#!/usr/bin/env python3
"""Benchmark of the desktop program at scale: 50,000 links (10,000 of them
reported as 404) in 50 pages, tested from Select File(s) with the default
settings against a loopback server, beside vantrel-check on the same files.

Usage: bench/desktop_bench.py BUILD_DIR [LINKS]
Prints the run time of each, their ratio, and the longest time the desktop
window took to answer during its run.
"""
import os
import subprocess
import sys
import tempfile
import time


def write_site(folder, links):
    pages = 50
    per_page = links // pages
    for p in range(pages):
        with open(os.path.join(folder, f"page{p:02}.html"), "w") as f:
            f.write("<html><body>\n")
            for i in range(per_page):
                n = p * per_page + i
                kind = "missing" if n % 5 == 0 else "ok"
                f.write(f'<p><a href="http://127.0.0.1/{kind}/{n}.html">link {n}</a></p>\n')
            f.write("</body></html>\n")
    return os.path.join(folder, "page00.html")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    links = int(sys.argv[2]) if len(sys.argv) > 2 else 50000
    server = subprocess.Popen([os.path.join(build, "bench/statusserver")],
                              stdout=subprocess.PIPE, text=True)
    port = server.stdout.readline().strip()
    try:
        with tempfile.TemporaryDirectory() as home:
            site = os.path.join(home, "site")
            os.mkdir(site)
            first = write_site(site, links)
            env = dict(os.environ, VANTREL_HOME=home, QT_QPA_PLATFORM="offscreen")
            start = time.monotonic()
            check = subprocess.run(
                [os.path.join(build, "src/cli/vantrel-check"), "--http-port", port,
                 "--all-files", first], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            check_seconds = time.monotonic() - start
            reported = check.stdout.count(b"*Reason for Failure: ")
            desk = subprocess.run([os.path.join(build, "bench/desktop_bench"), port, site],
                                  env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  text=True)
            fields = dict(item.split("=") for item in desk.stdout.split())
    finally:
        server.kill()
        server.wait()
    desk_seconds = float(fields["desktop_seconds"])
    print(f"links: {links}, reported: vantrel-check {reported}, desktop {fields['reported']}")
    print(f"vantrel-check: {check_seconds:.2f} s")
    print(f"desktop:       {desk_seconds:.2f} s ({desk_seconds / check_seconds:.2f} times)")
    print(f"longest time the window took to answer: {fields['longest_gap_ms']} ms")


if __name__ == "__main__":
    main()
