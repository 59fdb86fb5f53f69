#!/usr/bin/env python3
"""The million-line tape benchmark's two python halves.

  tape_vs_decimal.py generate LINES SEED > tape   a fast-mode tape of '+ n' and '- n'
  tape_vs_decimal.py compute < tape > rows        the rows zantor-tape prints, computed
                                                  with the decimal module
  tape_vs_decimal.py time RUNS TAPE OUT CMD...    best wall and CPU seconds of RUNS runs
                                                  of CMD < TAPE > OUT
"""
import random
import resource
import subprocess
import sys
import time
from decimal import Decimal, getcontext


def generate(lines, seed, out):
    rnd = random.Random(seed)
    chunk = []
    for _ in range(lines):
        op = '+' if rnd.random() < 0.7 else '-'
        width = rnd.randint(1, 9)
        chunk.append(f"{op} {rnd.randint(10 ** (width - 1), 10 ** width - 1)}\n")
        if len(chunk) == 65536:
            out.write(''.join(chunk))
            chunk.clear()
    out.write(''.join(chunk))


def compute(inp, out):
    # Exact for any total this tape can reach; the default 28 digits would be too.
    getcontext().prec = 1000
    total = Decimal(0)
    rows = []
    for line in inp:
        op, entry = line.split()
        # Fast mode: a whole number is hundredths, shown with one integer digit at least.
        entry = entry.lstrip('0').rjust(3, '0')
        fdata = entry[:-2] + '.' + entry[-2:]
        value = Decimal(fdata)
        total = total + value if op == '+' else total - value
        re = f"{total:,f}"
        if '.' in re:
            re = re.rstrip('0').rstrip('.')
        if total == 0:
            re = '0'
        rows.append(f"{op}\t{fdata}\t{value:,f}\t{re}\n")
        if len(rows) == 65536:
            out.write(''.join(rows))
            rows.clear()
    out.write(''.join(rows))


def best_times(runs, tape, out, cmd):
    """The child's CPU time (user + system) is what counts on a shared
    machine; the wall time is reported beside it."""
    best_wall = best_cpu = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        with open(tape, 'rb') as i, open(out, 'wb') as o:
            subprocess.run(cmd, stdin=i, stdout=o, check=True)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best_wall = wall if best_wall is None else min(best_wall, wall)
        best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
    return best_wall, best_cpu


def main(argv):
    if len(argv) == 4 and argv[1] == 'generate':
        generate(int(argv[2]), int(argv[3]), sys.stdout)
    elif len(argv) == 2 and argv[1] == 'compute':
        compute(sys.stdin, sys.stdout)
    elif len(argv) >= 6 and argv[1] == 'time':
        wall, cpu = best_times(int(argv[2]), argv[3], argv[4], argv[5:])
        print(f"{wall:.6f} {cpu:.6f}")
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
