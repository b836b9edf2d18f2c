#!/usr/bin/env python3
"""Times monolook and monosketch on large one-bit pictures against the cost of the pipe.

For each picture (512 x 512, 4096 x 4096, a 2 MiB file, and 8192 x 8192, 8 MiB, unless
--sides says otherwise) it saves each program's output, then runs, interleaved, --runs
times each (7 unless told), for each build given with --bin:
  program:  the program, its standard output piped to `cat > /dev/null`
  limit:    `cat` of the saved output, piped to `cat > /dev/null` (the same bytes)
  netpbm:   `bmptopnm | pbmtoascii -1x2`, piped likewise (when netpbm is installed)
and prints the medians, the ratio of each program to its limit, and the peak resident
memory of each program (from /usr/bin/time -v) beside the size of its pixel array.
It asserts nothing about time.

Usage: python3 bench/run_bench.py [--bin build/bench/bin]... [--runs 7] [--sides 512 4096 8192]
"""
import argparse
import os
import random
import shutil
import statistics
import struct
import subprocess
import tempfile
import time


def picture(side, seed):
    """A one-bit BMP of side x side pixels: a random scatter with a frame and diagonals."""
    stride = (side + 31) // 32 * 4
    pixels = bytearray(random.Random(seed).randbytes(stride * side))
    for y in range(side):
        row = y * stride
        for x in (0, side - 1, y, side - 1 - y):
            pixels[row + x // 8] |= 0x80 >> (x % 8)
    palette = bytes([0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0])
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + palette + bytes(pixels), len(pixels)


def timed(stages, folder):
    """Wall time of a pipeline of argument lists, the last stage writing to /dev/null."""
    start = time.perf_counter()
    processes = []
    previous = subprocess.DEVNULL
    with open(os.devnull, "wb") as sink:
        for i, argv in enumerate(stages):
            last = i == len(stages) - 1
            process = subprocess.Popen(argv, cwd=folder, stdin=previous,
                                       stdout=sink if last else subprocess.PIPE)
            if previous is not subprocess.DEVNULL:
                previous.close()
            previous = process.stdout
            processes.append(process)
        for process in processes:
            if process.wait() not in (0,):
                raise RuntimeError(f"{argv} failed")
    return time.perf_counter() - start


def peak_kib(command, folder):
    result = subprocess.run(["/usr/bin/time", "-v", "bash", "-c", f"exec {command}"], cwd=folder,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            text=True, check=True)
    for line in result.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1])
    return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", action="append",
                        help="folder holding the built programs (default build/bench/bin); give it more than "
                             "once to compare builds, which then run interleaved")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--sides", type=int, nargs="+", default=[512, 4096, 8192],
                        help="picture sizes, in pixels a side")
    args = parser.parse_args()
    bindirs = [os.path.abspath(b) for b in (args.bin or ["build/bench/bin"])]
    # The programs of each build, named "program" or, with several builds, "program (build)".
    programs = {}
    for bindir in bindirs:
        for name in ("monosketch", "monolook"):
            label = name if len(bindirs) == 1 else f"{name} ({bindir})"
            programs[label] = os.path.join(bindir, name)
    have_netpbm = shutil.which("bmptopnm") and shutil.which("pbmtoascii")

    print(f"machine: {os.cpu_count()} cores, {os.uname().machine}, kernel {os.uname().release}")
    with tempfile.TemporaryDirectory(prefix="monobench-") as top:
        for side in args.sides:
            folder = os.path.join(top, str(side))
            os.mkdir(folder)
            data, pixel_bytes = picture(side, side)
            with open(os.path.join(folder, "intelww4.bmp"), "wb") as f:
                f.write(data)
            commands = {}
            for index, (label, path) in enumerate(programs.items()):
                saved = os.path.join(folder, f"{index}.out")
                # Written by cat, whatever the program's writes: how a file was written (the size
                # of its writes) changes how fast cat reads it back, and the limits must not differ so.
                subprocess.run(["bash", "-c", f"{path} | cat > {saved}"], cwd=folder, stdin=subprocess.DEVNULL,
                               check=True)
                commands[label] = [[path], ["cat"]]
                commands[label + " limit"] = [["cat", saved], ["cat"]]
            if have_netpbm:
                commands["netpbm"] = [["bmptopnm", "-quiet", "intelww4.bmp"], ["pbmtoascii", "-1x2"], ["cat"]]
            times = {name: [] for name in commands}
            for _ in range(args.runs):
                for name, command in commands.items():
                    times[name].append(timed(command, folder))
            median = {name: statistics.median(values) for name, values in times.items()}

            print(f"\n{side} x {side} picture, {len(data)} bytes, median of {args.runs} interleaved runs:")
            for index, label in enumerate(programs):
                out_bytes = os.path.getsize(os.path.join(folder, f"{index}.out"))
                ratio = median[label] / median[label + " limit"]
                print(f"  {label:10} {median[label] * 1000:8.2f} ms   limit {median[label + ' limit'] * 1000:8.2f} ms"
                      f"   ratio {ratio:5.2f}   ({out_bytes} output bytes)")
            if have_netpbm:
                limit = median[next(iter(programs)) + " limit"]
                print(f"  netpbm     {median['netpbm'] * 1000:8.2f} ms   = {median['netpbm'] / limit:5.2f} x the "
                      f"monosketch limit")
            for label, path in programs.items():
                kib = peak_kib(path, folder)
                print(f"  {label:10} peak resident {kib} KiB (pixel array {pixel_bytes // 1024} KiB)")


if __name__ == "__main__":
    main()
