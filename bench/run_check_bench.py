#!/usr/bin/env python3
"""Benchmark of a whole vantrel-check run: 5,000 distinct links to a loopback
server answering 200, 404, 301 and 500, one probe at a time.

Usage: bench/run_check_bench.py BUILD_DIR [LINKS] [--poll-ms N]
Prints links per second, CPU time and peak memory of the checker.
"""
import os
import resource
import subprocess
import sys
import tempfile
import time


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-rel"
    links = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    extra = sys.argv[3:]
    check = os.path.join(build, "src/cli/vantrel-check")
    server_path = os.path.join(build, "bench/statusserver")
    with tempfile.TemporaryDirectory() as home:
        page = os.path.join(home, "links.html")
        with open(page, "w") as f:
            f.write("<html><body>\n")
            for i in range(links):
                f.write(f'<p>Item {i}: <a href="http://127.0.0.1/page/{i}.html">page {i}</a></p>\n')
            f.write("</body></html>\n")
        server = subprocess.Popen([server_path], stdout=subprocess.PIPE, text=True)
        port = server.stdout.readline().strip()
        env = dict(os.environ, VANTREL_HOME=home)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        result = subprocess.run([check, "--http-port", port, "--timeout", "5", *extra, page],
                                env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        elapsed = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        server.kill()
        server.wait()
    reported = result.stdout.count(b"*Reason for Failure: ")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    print(f"links: {links}, reported: {reported}, exit status: {result.returncode}")
    print(f"wall time: {elapsed:.2f} s, links per second: {links / elapsed:.0f}")
    print(f"checker CPU time: {cpu:.2f} s, peak memory: {after.ru_maxrss / 1024:.1f} MB")


if __name__ == "__main__":
    main()
