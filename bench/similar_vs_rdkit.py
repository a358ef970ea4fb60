#!/usr/bin/python3
"""The similarity search beside RDKit on the same molecules.

    similar_vs_rdkit.py queries MOLDIR OUT.tsv
        writes the benchmark's 30 queries ("name<TAB>form<TAB>text"): 24 of the
        MOL files of MOLDIR (spread over the set) and 6 SMILES of drugs
    similar_vs_rdkit.py compare QUERIES.tsv CLI DB MOLDIR
        `vuduzez-cli search --similar --top 50`, `--threshold 0.7` and
        `--threshold 0.4` on DB
        (MOL files in MOLDIR) against RDKit: Chem.MolFromMolFile of each
        record's MOL file (the query with MolFromMolFile or MolFromSmiles),
        GetMorganFingerprintAsBitVect(mol, 2, nBits=2048), then
        BulkTanimotoSimilarity ranked high to low, equal scores in database
        order; names and scores must be the same (scores as the same double);
        every difference printed; exit status 1 when there is one
    similar_vs_rdkit.py peer QUERIES.tsv DB MOLDIR BENCH.JSON
        RDKit's BulkTanimotoSimilarity (one thread: it has no other) over the
        fingerprints of DB's records (each its own bit vector, in database
        order) for each query (median of 5), beside the figures of BENCH.JSON
        (vuduzez_bench BM_Similar*)

RDKit is the reference and the peer; the comparison is what is measured.
"""

import csv
import io
import json
import os
import statistics
import subprocess
import sys
import time

from rdkit import Chem, DataStructs, RDLogger
from rdkit.Chem import AllChem

SMILES = [
    ("aspirin", "CC(=O)Oc1ccccc1C(=O)O"),
    ("caffeine", "Cn1cnc2c1c(=O)n(C)c(=O)n2C"),
    ("ibuprofen", "CC(C)Cc1ccc(cc1)C(C)C(=O)O"),
    ("diazepam", "CN1C(=O)CN=C(c2ccccc2)c2cc(Cl)ccc21"),
    ("testosterone", "C[C@]12CC[C@H]3[C@@H](CCC4=CC(=O)CC[C@@]43C)[C@@H]1CC[C@@H]2O"),
    ("sulfamethoxazole", "Cc1cc(NS(=O)(=O)c2ccc(N)cc2)no1"),
]
TOP = 50
THRESHOLDS = (0.7, 0.4)


def fingerprint(mol):
    return AllChem.GetMorganFingerprintAsBitVect(mol, 2, nBits=2048)


def write_queries(moldir, out):
    files = sorted(f for f in os.listdir(moldir) if f.endswith(".mol"))
    step = max(1, len(files) // 24)
    with open(out, "w") as tsv:
        for f in files[::step][:24]:
            tsv.write(f"{f[:-4]}\tmol\t{os.path.abspath(os.path.join(moldir, f))}\n")
        for name, smiles in SMILES:
            tsv.write(f"{name}\tsmiles\t{smiles}\n")


def read_queries(path):
    for line in open(path):
        name, form, text = line.rstrip("\n").split("\t")
        yield name, form, text


def query_mol(form, text):
    return Chem.MolFromMolFile(text) if form == "mol" else Chem.MolFromSmiles(text)


def records(db, moldir):
    """The records of DB in database order: names, and RDKit's fingerprint of
    each one's MOL file (None when RDKit does not read it)."""
    lines = open(db, "rb").read().split(b"\r\n")
    names = [lines[i].split(b".")[0].decode("cp932") for i in range(0, len(lines) - 1, 4)]
    fps = []
    for n in names:
        m = Chem.MolFromMolFile(os.path.join(moldir, n + ".mol"))
        fps.append(None if m is None else fingerprint(m))
    return names, fps


def ranked(qfp, names, fps):
    kept = [(i, fp) for i, fp in enumerate(fps) if fp is not None]
    sims = DataStructs.BulkTanimotoSimilarity(qfp, [fp for _, fp in kept])
    order = sorted(range(len(kept)), key=lambda k: (-sims[k], kept[k][0]))
    return [(names[kept[k][0]], sims[k]) for k in order]


def cli_hits(cli, db, moldir, queries, options):
    """Every query's hits as (name, score), from one run with a query column."""
    mols = [text for _, form, text in queries if form == "mol"]
    smiles = [text for _, form, text in queries if form == "smiles"]
    label = {}
    for name, form, text in queries:
        label[text] = name
    found = {name: [] for name, _, _ in queries}
    for args in ([*mols], ["--smiles", *smiles]):
        run = subprocess.run([cli, "search", "--similar", *options, "--format", "csv", "--db", db,
                              "--mol-dir", moldir, *args], capture_output=True, text=True)
        rows = csv.DictReader(io.StringIO(run.stdout))
        for row in rows:
            found[label[row["query"]]].append((row["name"], float(row["similarity"])))
    return found


def compare(queries_tsv, cli, db, moldir):
    RDLogger.DisableLog("rdApp.*")
    queries = list(read_queries(queries_tsv))
    names, fps = records(db, moldir)
    unread = sum(fp is None for fp in fps)
    print(f"{len(names)} records, {unread} whose MOL file RDKit does not read (no score)")
    top = cli_hits(cli, db, moldir, queries, ["--top", str(TOP)])
    above = {t: cli_hits(cli, db, moldir, queries, ["--threshold", str(t)]) for t in THRESHOLDS}
    print(f"{'query':18} {'form':6} {'top 50 (last score)':>22}"
          + "".join(f" {'>= ' + str(t) + ' RDKit':>13} {'vuduzez':>7}" for t in THRESHOLDS)
          + "  differences")
    differences = 0
    for name, form, text in queries:
        truth = ranked(fingerprint(query_mol(form, text)), names, fps)
        want_top = truth[:TOP]
        want_above = {t: [h for h in truth if h[1] >= t] for t in THRESHOLDS}
        d = 0
        for want, got in [(want_top, top[name])] + [(want_above[t], above[t][name])
                                                     for t in THRESHOLDS]:
            for k in range(max(len(want), len(got))):
                w = want[k] if k < len(want) else None
                g = got[k] if k < len(got) else None
                if w != g:
                    d += 1
                    if d <= 5:
                        print(f"    {name} #{k + 1}: RDKit {w}, vuduzez {g}")
        differences += d
        print(f"{name:18} {form:6} {len(top[name]):12d} ({want_top[-1][1]:.4f})"
              + "".join(f" {len(want_above[t]):13d} {len(above[t][name]):7d}" for t in THRESHOLDS)
              + f"  {d}")
    print(f"{differences} differences from RDKit (names, order and scores of {len(queries)} "
          f"queries: top {TOP} and every hit of at least {' and '.join(map(str, THRESHOLDS))})")
    return 1 if differences else 0


def bench_rows(path):
    rows = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].split("/iterations:")[0].split("/repeats:")[0]
        rows[name] = b
    return rows


def peer(queries_tsv, db, moldir, bench_json):
    RDLogger.DisableLog("rdApp.*")
    queries = list(read_queries(queries_tsv))
    # The MOL files are read once each; a record repeating one gets its own
    # bit vector (as its own record does in the index).
    lines = open(db, "rb").read().split(b"\r\n")
    names = [lines[i].split(b".")[0].decode("cp932") for i in range(0, len(lines) - 1, 4)]
    files = {}
    fps = []
    for n in names:
        base = n.split("_", 1)[1] if n.startswith("r") and "_" in n else n
        if base not in files:
            m = Chem.MolFromMolFile(os.path.join(moldir, n + ".mol"))
            files[base] = None if m is None else fingerprint(m)
        if files[base] is not None:
            fps.append(DataStructs.ExplicitBitVect(files[base].ToBinary()))
    rows = bench_rows(bench_json)
    print(f"{len(fps)} fingerprints; ms per query (medians); ratio = RDKit / vuduzez")
    print(f"{'query':18} {'RDKit':>8} {'thr 1 core':>10} {'thr all':>8} {'top 1 core':>10} "
          f"{'top all':>8} {'ratio thr':>9} {'ratio top':>9} {'hits':>6}")
    ratios = {"thr1": [], "thr": [], "top1": [], "top": []}
    for name, form, text in queries:
        qfp = fingerprint(query_mol(form, text))
        times = []
        for _ in range(5):
            t = time.perf_counter()
            DataStructs.BulkTanimotoSimilarity(qfp, fps)
            times.append((time.perf_counter() - t) * 1000)
        theirs = statistics.median(times)
        ours = {k: rows.get(f"{b}/{name}") for k, b in (
            ("thr1", "BM_Similar1Threshold"), ("thr", "BM_SimilarThreshold"),
            ("top1", "BM_Similar1Top50"), ("top", "BM_SimilarTop50"))}
        if any(v is None for v in ours.values()):
            continue
        for k, v in ours.items():
            ratios[k].append(theirs / v["real_time"])
        print(f"{name:18} {theirs:8.2f} {ours['thr1']['real_time']:10.3f} "
              f"{ours['thr']['real_time']:8.3f} {ours['top1']['real_time']:10.3f} "
              f"{ours['top']['real_time']:8.3f} {theirs / ours['thr']['real_time']:9.1f} "
              f"{theirs / ours['top']['real_time']:9.1f} {int(ours['thr'].get('hits', 0)):6d}")
    for k, label in (("thr1", "threshold 0.7, one thread"), ("thr", "threshold 0.7, every core"),
                     ("top1", "top 50, one thread"), ("top", "top 50, every core")):
        if ratios[k]:
            print(f"RDKit/vuduzez, {label}: median {statistics.median(ratios[k]):.1f}, "
                  f"lowest {min(ratios[k]):.1f}")
    for k, label in (("thr", "threshold 0.7"), ("top", "top 50")):
        worst = max((rows[f"{b}/{n}"]["real_time"] for n, _, _ in queries
                     for b in [("BM_SimilarThreshold" if k == "thr" else "BM_SimilarTop50")]
                     if f"{b}/{n}" in rows), default=0)
        print(f"vuduzez every core, {label}: slowest query {worst:.2f} ms")
    return 0


def main():
    a = sys.argv[1:]
    if len(a) == 3 and a[0] == "queries":
        write_queries(a[1], a[2])
    elif len(a) == 5 and a[0] == "compare":
        sys.exit(compare(*a[1:]))
    elif len(a) == 5 and a[0] == "peer":
        sys.exit(peer(*a[1:]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
