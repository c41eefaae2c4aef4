#!/usr/bin/env python3
"""Benchmark of vantrel-check with many links at once, against servers that
answer after a delay as distant web servers do.

Usage: bench/concurrency_bench.py BUILD_DIR [--jobs LIST] [--cases LIST]
                                  [--interleave] [--full-baseline]

Cases (all on loopback, served by bench/delayserver):
  50ms   2,000 links over 4 hosts (127.0.0.1 to 127.0.0.4), 50 ms answers
  200ms  the same links, 200 ms answers
  none   50,000 links to one host, answered at once

Each case runs vantrel-check once for every --jobs value (default
"1,8,32,default"; "default" passes no --jobs, so the built-in limits hold) in a
fresh system directory, and prints links per second, CPU time and peak memory,
each also as a ratio to the --jobs 1 run of the same case. At 200 ms --jobs 1
takes its rate from the first 200 links unless --full-baseline is given. Every
report is compared with the --jobs 1 report of the same links, without the two
lines that carry the time of day. The links of each host come one after the
other, unless --interleave takes the hosts in turn.
"""
import argparse
import hashlib
import os
import signal
import subprocess
import sys
import tempfile
import time

HOSTS = ["127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"]


def write_page(path, links, hosts, interleave):
    per_host = links // len(hosts)
    order = []
    if interleave:
        order = [(h, i) for i in range(per_host) for h in range(len(hosts))]
    else:
        order = [(h, i) for h in range(len(hosts)) for i in range(per_host)]
    with open(path, "w") as f:
        f.write("<html><body>\n")
        for h, i in order:
            f.write(f'<p><a href="http://{hosts[h]}/h{h}/page/{i}.html">page {h}.{i}</a></p>\n')
        f.write("</body></html>\n")


def undated_digest(report_file):
    """A digest of the report without the two lines that carry the time of day."""
    digest = hashlib.sha256()
    report_file.seek(0)
    for line in report_file:
        if not line.startswith(b"Start of test ") and not line.startswith(b"End of test: "):
            digest.update(line)
    return digest.hexdigest()


def timed_run(build, check, port, page, jobs):
    """One run in a fresh system directory, started through bench/measure."""
    with tempfile.TemporaryDirectory() as home:
        args = [check, "--http-port", port, "--timeout", "10"]
        if jobs != "default":
            args += ["--jobs", jobs]
        costs = os.path.join(home, "costs")
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            subprocess.run([os.path.join(build, "bench/measure"), costs] + args + [page],
                           env=dict(os.environ, VANTREL_HOME=home), stdout=out, stderr=err,
                           check=True)
            with open(costs) as f:
                seconds, cpu, memory, status = f.read().split()
            err.seek(0)
            return {"seconds": float(seconds), "cpu": float(cpu), "memory": int(memory) / 1024,
                    "report": undated_digest(out), "status": int(status),
                    "report_bytes": (out.seek(0), out.read())[1],
                    "errors": err.read(300)}


def start_server(build, delay, hosts):
    args = [os.path.join(build, "bench/delayserver"), "--delay", str(delay)]
    for host in hosts:
        args += ["--address", host]
    server = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return server, server.stdout.readline().strip()


def stop_server(server):
    server.send_signal(signal.SIGTERM)
    _, peaks = server.communicate()
    # "127.0.0.1: at most 32 connections open, 32 waiting at once"
    return ", ".join(line.split(":")[0] + " " + line.split("at most ")[1].split(" ")[0]
                     for line in peaks.strip().splitlines())


def run_case(build, work, name, delay, links, hosts, jobs_list, interleave, baseline_links,
             reference):
    check = os.path.join(build, "src/cli/vantrel-check")
    # Cases with the same links test the same page, so that their reports
    # can be compared.
    page = os.path.join(work, f"links-{links}-{len(hosts)}.html")
    write_page(page, links, hosts, interleave)
    server, port = start_server(build, delay, hosts)
    print(f"\n{name}: {links} links over {len(hosts)} host(s), answers after {delay} ms")
    print(f"{'jobs':>8} {'links/s':>9} {'x':>7} {'CPU s':>7} {'x':>6} {'peak MB':>8} {'x':>6}"
          f"  report")
    base = None
    for jobs in jobs_list:
        count = links
        run_page = page
        if jobs == "1" and baseline_links and baseline_links < links:
            count = baseline_links
            run_page = os.path.join(work, f"links-{count}-{len(hosts)}.html")
            write_page(run_page, count, hosts, interleave)
        result = timed_run(build, check, port, run_page, jobs)
        rate = count / result["seconds"]
        cpu_per_link = result["cpu"] / count
        report = result["report"]
        # The same links give the same report whatever the delay, so a case
        # may take its reference from another case with those links.
        links_key = (count, len(hosts), interleave)
        if jobs == "1" and reference.get(links_key) is None:
            reference[links_key] = report
        same = reference.get(links_key)
        verdict = "no reference" if same is None else ("identical" if report == same else
                                                         "DIFFERENT")
        if result["status"] not in (0, 1):
            verdict += f" (exit {result['status']}: {result['errors'][:200]!r})"
        if jobs == "1":
            base = (rate, cpu_per_link, result["memory"])
        ratios = ("", "", "") if base is None else (
            f"{rate / base[0]:.1f}", f"{cpu_per_link / base[1]:.2f}",
            f"{result['memory'] / base[2]:.2f}")
        note = f" ({count} links)" if count != links else ""
        if verdict.startswith("DIFFERENT"):
            kept = os.path.join(work, f"report-{delay}ms-jobs-{jobs}.txt")
            with open(kept, "wb") as f:
                f.write(result["report_bytes"])
            note += f" kept in {kept}"
        print(f"{jobs:>8} {rate:>9.0f} {ratios[0]:>7} {result['cpu']:>7.2f} {ratios[1]:>6} "
              f"{result['memory']:>8.1f} {ratios[2]:>6}  {verdict}{note}")
        sys.stdout.flush()
    print(f"most connections open at once: {stop_server(server)}")
    return reference


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build-rel")
    parser.add_argument("--jobs", default="1,8,32,default")
    parser.add_argument("--cases", default="50ms,200ms,none")
    parser.add_argument("--interleave", action="store_true")
    parser.add_argument("--full-baseline", action="store_true")
    options = parser.parse_args()
    jobs_list = options.jobs.split(",")
    if "1" in jobs_list:
        jobs_list.remove("1")
        jobs_list.insert(0, "1")
    print("CPU x is CPU time per link, as a ratio to --jobs 1.")
    reference = {}
    work = tempfile.mkdtemp()
    for case in options.cases.split(","):
        if case == "50ms":
            run_case(options.build, work, "delayed", 50, 2000, HOSTS, jobs_list, options.interleave,
                     None, reference)
        elif case == "200ms":
            run_case(options.build, work, "delayed", 200, 2000, HOSTS, jobs_list, options.interleave,
                     None if options.full_baseline else 200, reference)
        elif case == "none":
            run_case(options.build, work, "loopback", 0, 50000, HOSTS[:1], jobs_list,
                     options.interleave, None, reference)


if __name__ == "__main__":
    main()
