"""The Python call's overhead over the clustering engine it runs, on simulated spectra.

speclink.cluster takes spectra as Python objects: it converts them into records, runs the
engine without the interpreter lock and builds the result. This times the whole call and the
engine within it (ClusterResult.engine_seconds), round after round in one process, beside the
command's own clustering time on the same file, and prints the medians and the overhead.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_overhead.py SPECLINK FILE.mgf [ROUNDS]
"""
import re
import statistics
import subprocess
import sys
import tempfile
import time

import speclink

binary, path = sys.argv[1], sys.argv[2]
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
spectra = speclink.read(path)
calls, engines, commands = [], [], []
for _ in range(rounds):
    started = time.perf_counter()
    result = speclink.cluster(spectra, threads=2)
    calls.append(time.perf_counter() - started)
    engines.append(result.engine_seconds)
    del result
    with tempfile.TemporaryDirectory() as out:
        summary = subprocess.run([binary, "cluster", path, "-o", out + "/c", "--threads", "2"], check=True,
                                 capture_output=True, text=True).stdout
    commands.append(float(re.search(r"clustering ([0-9.]+) s", summary).group(1)))
call, engine, command = (statistics.median(values) for values in (calls, engines, commands))
print(f"{len(spectra)} spectra, 2 threads, medians of {rounds} rounds")
print(f"  speclink.cluster call          {call:8.3f} s")
print(f"  engine within the call         {engine:8.3f} s")
print(f"  the command's clustering time  {command:8.3f} s")
print(f"  overhead of the call           {call - engine:8.3f} s = {100 * (call - engine) / engine:.1f}% of the engine")
