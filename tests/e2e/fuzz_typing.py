#!/usr/bin/env python3
"""Listings and input full of random bytes: in REM lines, in strings, on standard input, then
LIST and RUN. Every run must end by itself with status 0 or 1, and no device warning may come
out (a stray byte taken for a token once made LIST walk through all of memory).

    fuzz_typing.py TI99RUN RUNS [SEED]

The seed makes a run repeatable; TI99_E2E_TIMEOUT sets the seconds each program may take."""
import os
import random
import subprocess
import sys
import tempfile

binary, runs = sys.argv[1], int(sys.argv[2])
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
limit = float(os.environ.get("TI99_E2E_TIMEOUT", "10"))


def noise(n):
    """Any bytes, the keyboard's own codes above 127 (CTRL and FCTN), or only high bytes."""
    kind = rng.random()
    if kind < 0.3:
        return bytes(rng.randrange(256) for _ in range(n))
    if kind < 0.6:
        return bytes(rng.choice([rng.randrange(128, 160), rng.randrange(176, 199),
                                 rng.randrange(32, 127)]) for _ in range(n))
    return bytes(rng.randrange(128, 256) for _ in range(n))


def listing():
    lines = []
    for number in range(10, 10 * rng.randrange(2, 9), 10):
        body = rng.choice([b"REM " + noise(rng.randrange(1, 40)),
                           b'PRINT "' + noise(rng.randrange(1, 30)) + b'"',
                           b'A$="' + noise(rng.randrange(1, 30)) + b'"',
                           b"INPUT A$", b"CALL KEY(0,K,S)"])
        lines.append(b"%d " % number + body)
    return b"\n".join(lines + [b'999 PRINT "END"', b"LIST"]) + b"\n"


failures = 0
with tempfile.TemporaryDirectory() as folder:
    program = os.path.join(folder, "noise.bas")
    for run in range(runs):
        text, answers = listing(), noise(rng.randrange(60)) + b"\n" + noise(rng.randrange(20))
        with open(program, "wb") as f:
            f.write(text)
        try:
            result = subprocess.run([binary, program], input=answers, capture_output=True,
                                    timeout=limit, cwd=folder)
            status, err = result.returncode, result.stderr
        except subprocess.TimeoutExpired:
            status, err = "no end", b""
        warnings = [line for line in err.splitlines()
                    if line.startswith(b"warning:") and not line.startswith(b"warning: sound")]
        if status not in (0, 1) or warnings:
            failures += 1
            print(f"run {run}: status {status}, {warnings[:3]}\nlisting {text!r}\ninput {answers!r}")
print(f"{runs} runs, {failures} failed")
sys.exit(1 if failures else 0)
