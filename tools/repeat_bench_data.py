#!/usr/bin/python3
"""Makes a large benchmark workspace from the 5000 molecules of bench/data/.

In the current folder (bench/data/): the MOL files of mol/ linked (hard links,
no copies) COUNT times in all under new names r0000_<name>.mol, r0001_... into
FOLDER (made again only when it does not hold COUNT files), and the records of
SMALL_DB (the database of mol/) under the same new names into BIG_DB.

    /usr/bin/python3 tools/repeat_bench_data.py COUNT SMALL_DB FOLDER BIG_DB
"""

import os
import shutil
import sys


def main():
    count, small, folder, big = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    files = sorted(os.listdir("mol"))
    if not os.path.isdir(folder) or len(os.listdir(folder)) != count:
        shutil.rmtree(folder, ignore_errors=True)
        os.mkdir(folder)
        for k in range(count):
            f = files[k % len(files)]
            os.link(f"mol/{f}", f"{folder}/r{k // len(files):04d}_{f}")
    lines = open(small, "rb").read().split(b"\r\n")
    records = {r[0].split(b".")[0]: r for r in (lines[i:i + 4] for i in range(0, len(lines) - 1, 4))}
    with open(big, "wb") as out:
        for k in range(count):
            name = files[k % len(files)][:-4].encode()
            if name in records:
                r = records[name]
                out.write(b"\r\n".join([b"r%04d_" % (k // len(files)) + r[0]] + r[1:]) + b"\r\n")


if __name__ == "__main__":
    main()
