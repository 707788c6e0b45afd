#!/usr/bin/env python3
"""Runs the benchmark workloads with every available tool and prints a table.

Each measurement is a fresh process (so its peak memory, ru_maxrss from
wait4, belongs to that one piece of work). Within a workload the tools take
turns round by round, forward then backward, so the library and the direct
stb pipeline always run next to each other and a noisy moment of a shared
machine falls on both; ratios are taken per round and their median reported.

Standard library only; Pillow is looked for in a separate interpreter.
"""
import argparse
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile

WORKLOADS = {
    "W1": "fit 4000x3000 RGB JPEG into 800x800, JPEG q85",
    "W2": "fit 4000x3000 RGB JPEG into 800x800, PNG",
    "W3": "thumbnail 128 of 2000x2000 RGBA PNG",
    "W4": "exact 640x480 RGB PNG to 2560x1920 PNG",
    "W5": "batch: 20 JPEGs 1600x1200 into 400x400 (JPEG q85)",
    "W6": "info on 200 files (JPEG and PNG)",
}

SINGLE_THREAD = {"OMP_NUM_THREADS": "1", "MAGICK_THREAD_LIMIT": "1", "VIPS_CONCURRENCY": "1"}


def find_magick():
    """(convert, mogrify, identify) argv prefixes of an ImageMagick, or None."""
    if shutil.which("magick"):
        candidates = [(["magick"], ["magick", "mogrify"], ["magick", "identify"])]
    else:
        candidates = []
    for suffix in ("-im6.q16", "-im6", ""):
        if shutil.which("convert" + suffix):
            candidates.append((["convert" + suffix], ["mogrify" + suffix], ["identify" + suffix]))
    for convert, mogrify, identify in candidates:
        try:
            version = subprocess.run(convert + ["-version"], capture_output=True, text=True,
                                     timeout=30).stdout
        except (OSError, subprocess.SubprocessError):
            continue
        if "ImageMagick" in version and shutil.which(mogrify[-1]) and shutil.which(identify[-1]):
            return convert, mogrify, identify, version.splitlines()[0]
    return None


def find_pillow_python():
    for python in (sys.executable, "python3", "/usr/bin/python3"):
        if not python or not shutil.which(python):
            continue
        result = subprocess.run([python, "-c", "import PIL; print(PIL.__version__)"],
                                capture_output=True, text=True)
        if result.returncode == 0:
            return python, result.stdout.strip()
    return None


def tool_table(args, here):
    """Returns [(name, make_argv, in_process)] where make_argv(workload, out) gives the argv
    of one measurement or None when the tool does not do that workload in one process."""
    data = args.data
    w1, w3, w4 = (os.path.join(data, n) for n in ("w1.jpg", "w3.png", "w4.png"))
    w5 = sorted(os.path.join(data, "w5", n) for n in os.listdir(os.path.join(data, "w5")))
    w6 = sorted(os.path.join(data, "w6", n) for n in os.listdir(os.path.join(data, "w6")))
    versions = {}

    def bench(tool):
        return lambda w, out: [args.bench, "run", tool, w, data, out]

    tools = [("lib", bench("lib"), True), ("stb", bench("stb"), True)]

    magick = find_magick()
    if magick:
        convert, mogrify, identify, versions["ImageMagick"] = magick
        base = ["-limit", "thread", "1"]

        def magick_argv(w, out):
            o = lambda n: os.path.join(out, n)
            return {
                "W1": convert + base + [w1, "-filter", "Catrom", "-resize", "800x800",
                                        "-quality", "85", o("w1.jpg")],
                "W2": convert + base + [w1, "-filter", "Catrom", "-resize", "800x800", o("w2.png")],
                "W3": convert + base + [w3, "-filter", "Catrom", "-resize", "128x128", o("w3.png")],
                "W4": convert + base + [w4, "-filter", "Catrom", "-resize", "2560x1920!",
                                        o("w4.png")],
                "W5": mogrify + base + ["-path", o("w5"), "-filter", "Catrom", "-resize",
                                        "400x400", "-quality", "85"] + w5,
                "W6": identify + ["-ping", "-format", "%w %h %m %b\\n"] + w6,
            }[w]
        tools.append(("ImageMagick", magick_argv, False))

    if shutil.which("vips") and shutil.which("vipsheader"):
        versions["libvips"] = subprocess.run(["vips", "--version"], capture_output=True,
                                             text=True).stdout.strip()

        def vips_argv(w, out):
            o = lambda n: os.path.join(out, n)
            resize = ["vips", "resize"]
            return {
                "W1": resize + [w1, o("w1.jpg") + "[Q=85]", "0.2", "--kernel", "cubic"],
                "W2": resize + [w1, o("w2.png"), "0.2", "--kernel", "cubic"],
                "W3": resize + [w3, o("w3.png"), "0.064", "--kernel", "cubic"],
                "W4": resize + [w4, o("w4.png"), "4", "--kernel", "cubic"],
                "W5": None,  # one process per file
                "W6": ["vipsheader"] + w6,
            }[w]
        tools.append(("vips resize", vips_argv, False))

    if shutil.which("vipsthumbnail"):
        def thumb_argv(w, out):
            o = lambda n: os.path.join(out, n)
            t = ["vipsthumbnail"]
            return {
                "W1": t + [w1, "--size", "800x800", "-o", o("w1.jpg") + "[Q=85]"],
                "W2": t + [w1, "--size", "800x800", "-o", o("w2.png")],
                "W3": t + [w3, "--size", "128x128", "-o", o("w3.png")],
                "W4": t + [w4, "--size", "2560x1920!", "-o", o("w4.png")],
                "W5": t + w5 + ["--size", "400x400", "-o", o("w5") + "/%s.jpg[Q=85]"],
                "W6": None,
            }[w]
        tools.append(("vipsthumbnail", thumb_argv, False))

    pillow = find_pillow_python()
    if pillow:
        python, versions["Pillow"] = pillow
        worker = os.path.join(here, "pillow_worker.py")
        tools.append(("Pillow", lambda w, out: [python, worker, w, data, out], True))
    return tools, versions


def measure(argv, env, launcher):
    """Runs argv once through the launcher; returns (wall seconds, in-process seconds or None,
    peak RSS in MiB, CPU seconds)."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile(mode="r") as result:
        code = subprocess.call([launcher, result.name] + argv, stdout=out, stderr=err, env=env)
        out.seek(0)
        err.seek(0)
        text = out.read().decode(errors="replace")
        if code != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(argv[:4]), code,
                                                       err.read().decode(errors="replace")[-500:]))
        wall, rss_kib, _, cpu = result.read().split()
    try:
        inside = float(text.strip().splitlines()[-1])
    except (ValueError, IndexError):
        inside = None
    return float(wall), inside, int(rss_kib) / 1024.0, float(cpu)


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0]
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], q[2]


def cpu_line():
    model = platform.processor() or "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d cores, %s" % (model, os.cpu_count() or 0, platform.platform())


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", required=True, help="path of the imgresize_bench program")
    parser.add_argument("--measure", required=True,
                        help="path of the imgresize_measure launcher (wall time, peak memory)")
    parser.add_argument("--data", required=True, help="inputs written by 'imgresize_bench gen'")
    parser.add_argument("--out", required=True, help="scratch directory for outputs")
    parser.add_argument("--rounds", type=int, default=int(os.environ.get("BENCH_ROUNDS", 15)))
    parser.add_argument("--workloads", default="W1,W2,W3,W4,W5,W6")
    parser.add_argument("--markdown", help="also write the report to this file")
    args = parser.parse_args()

    env = dict(os.environ, **SINGLE_THREAD)
    tools, versions = tool_table(args, here)
    names = [t[0] for t in tools]
    lines = []

    def emit(line=""):
        print(line, flush=True)
        lines.append(line)

    emit("Machine: %s" % cpu_line())
    emit("Date: %s UTC; load average at start %s" % (
        datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M"),
        " ".join("%.2f" % x for x in os.getloadavg())))
    emit("Tools: %s" % ", ".join(["lib (this library)", "stb (direct stb calls)"] +
                                ["%s %s" % kv for kv in versions.items()]))
    emit("Rounds: %d per workload after one warm-up round; every tool single-threaded (%s)." % (
        args.rounds, " ".join("%s=%s" % kv for kv in SINGLE_THREAD.items())))
    emit()

    results = {}
    for workload in args.workloads.split(","):
        plan = [(name, make(workload, os.path.join(args.out, name)), inside)
                for name, make, inside in tools]
        plan = [p for p in plan if p[1] is not None]
        for name, _, _ in plan:
            os.makedirs(os.path.join(args.out, name, "w5"), exist_ok=True)
        samples = {name: [] for name, _, _ in plan}
        for round_index in range(args.rounds + 1):
            order = plan if round_index % 2 == 0 else list(reversed(plan))
            for name, argv, _ in order:
                sample = measure(argv, env, args.measure)
                if round_index > 0:
                    samples[name].append(sample)
            print("  %s round %d/%d" % (workload, round_index, args.rounds), file=sys.stderr,
                  flush=True)
        results[workload] = (plan, samples)

        emit("### %s: %s" % (workload, WORKLOADS[workload]))
        emit()
        emit("| tool | median ms | p25-p75 ms | in-process median ms | peak MiB | "
             "lib faster by (median of pairs) |")
        emit("|---|---:|---:|---:|---:|---:|")
        lib = samples["lib"]
        for name, _, inside in plan:
            s = samples[name]
            walls = [x[0] for x in s]
            low, high = quartiles(walls)
            inner = [x[1] for x in s if x[1] is not None]
            inner_text = "%.1f" % (1000 * statistics.median(inner)) if inside and inner else "-"
            if name == "lib":
                speed = "-"
            elif name == "stb":
                speed = "x%.3f (in-process)" % statistics.median(
                    [b[1] / a[1] for a, b in zip(lib, s)])
            elif inside:
                speed = "x%.2f (in-process), x%.2f (process)" % (
                    statistics.median([b[1] / a[1] for a, b in zip(lib, s)]),
                    statistics.median([b[0] / a[0] for a, b in zip(lib, s)]))
            else:
                speed = "x%.2f (process)" % statistics.median([b[0] / a[0] for a, b in zip(lib, s)])
            emit("| %s | %.1f | %.1f-%.1f | %s | %.1f | %s |" % (
                name, 1000 * statistics.median(walls), 1000 * low, 1000 * high, inner_text,
                statistics.median(x[2] for x in s), speed))
        if workload in ("W2", "W3", "W4"):
            sizes = []
            for name, _, _ in plan:
                path = os.path.join(args.out, name, "w%s.png" % workload[1])
                if os.path.exists(path):
                    sizes.append("%s %d" % (name, os.path.getsize(path)))
            emit()
            emit("PNG output bytes: " + ", ".join(sizes))
        emit()

    emit("### Targets")
    emit()
    emit("| workload | lib / stb time | target | lib / stb CPU time | lib - stb peak MiB (<= 2) | "
         "lib / ImageMagick | lib / Pillow (in-process) | met |")
    emit("|---|---:|---:|---:|---:|---:|---:|---|")
    for workload, (plan, samples) in results.items():
        lib, stb = samples["lib"], samples["stb"]
        ratio = statistics.median([a[1] / b[1] for a, b in zip(lib, stb)])
        cpu_ratio = statistics.median([a[3] / b[3] for a, b in zip(lib, stb)])
        target = 1.10 if workload == "W6" else 1.05
        memory = statistics.median(x[2] for x in lib) - statistics.median(x[2] for x in stb)
        met = ratio <= target and memory <= 2.0
        cells = []
        for peer, index in (("ImageMagick", 0), ("Pillow", 1)):
            if peer in samples:
                r = statistics.median([a[index] / b[index] for a, b in zip(lib, samples[peer])])
                met = met and r < 1.0
                cells.append("%.2f" % r)
            else:
                cells.append("n/a")
        emit("| %s | %.3f | <= %.2f | %.3f | %+.1f | %s | %s | %s |" % (
            workload, ratio, target, cpu_ratio, memory, cells[0], cells[1], "yes" if met else "NO"))
    emit()
    emit("Load average at end: %s" % " ".join("%.2f" % x for x in os.getloadavg()))

    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
