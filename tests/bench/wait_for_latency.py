"""How long Panel.wait_for takes to see a row after it is written on a
pseudo-terminal: 200 rows, each timed from the write to the return of the
wait; prints the median and the worst.

    PYTHONPATH=build/native/python /usr/bin/python3 tests/bench/wait_for_latency.py
"""

import os
import statistics
import sys
import time

import zezodavoru

TRIES = int(sys.argv[1]) if len(sys.argv) > 1 else 200


def main():
    master, slave = os.openpty()
    with zezodavoru.Panel(os.ttyname(slave)) as panel:
        time.sleep(0.5)  # the link drops what arrives while it settles
        took = []
        for n in range(TRIES):
            text = f"Row number {n:5d}"
            row = bytes([0x8C, 2]) + text.ljust(20).encode()
            start = time.perf_counter()
            os.write(master, row)
            panel.wait_for(text, row=2, timeout=2)
            took.append(time.perf_counter() - start)
            time.sleep(0.005)
    os.close(master)
    os.close(slave)
    print(f"wait_for over {TRIES} rows: median {statistics.median(took) * 1000:.2f} ms,"
          f" worst {max(took) * 1000:.2f} ms")


if __name__ == "__main__":
    main()
