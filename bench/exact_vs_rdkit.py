#!/usr/bin/python3
"""The exact search beside RDKit's SubstructLibrary on the same molecules.

    exact_vs_rdkit.py queries OUTDIR
        writes the benchmark's query MOL files (2D, Kekule bonds, CR LF)
    exact_vs_rdkit.py compare ALL.SDF QUERYDIR BENCH.JSON CLI DB MOLDIR
        RDKit SubstructLibrary (MolHolder + PatternHolder, numThreads=1) on the
        molecules of ALL.SDF, timed per query (median of 5 runs) beside the
        vuduzez figures of BENCH.JSON (vuduzez_bench --benchmark_filter=BM_Exact/
        with repetitions); hit lists of `vuduzez-cli search` with and without
        --exact on DB (MOL files in MOLDIR) compared with RDKit's matches
        (precision and recall).

RDKit is a peer for the comparison only; vuduzez never uses it.
"""

import json
import os
import statistics
import subprocess
import sys
import time

from rdkit import Chem, RDLogger
from rdkit.Chem import AllChem, rdSubstructLibrary

QUERIES = {
    "acid": "CC(=O)O",
    "aldehyde_or_ketone": "CC=O",
    "alcohol": "CCO",
    "alkyne": "C#C",
    "amide": "CC(=O)N",
    "amine_tertiary": "CN(C)C",
    "aniline": "Nc1ccccc1",
    "benzene": "c1ccccc1",
    "biphenyl": "c1ccc(cc1)-c1ccccc1",
    "bromoarene": "Brc1ccccc1",
    "carbamate": "NC(=O)O",
    "carboxylate": "CC(=O)[O-]",
    "cf3": "FC(F)F",
    "chloroarene": "Clc1ccccc1",
    "cyclohexane": "C1CCCCC1",
    "ester": "CC(=O)OC",
    "ether": "COC",
    "fluoroarene": "Fc1ccccc1",
    "furan": "c1ccoc1",
    "imidazole": "c1cnc[nH]1",
    "indole": "c1ccc2[nH]ccc2c1",
    "isopropyl": "CC(C)C",
    "ketone": "CC(=O)C",
    "morpholine": "C1COCCN1",
    "naphthalene": "c1ccc2ccccc2c1",
    "nitrile": "CC#N",
    "nitro": "C[N+](=O)[O-]",
    "phenol": "Oc1ccccc1",
    "phosphate": "P(=O)(O)(O)O",
    "piperidine": "C1CCNCC1",
    "pyridine": "c1ccncc1",
    "steroid": "C1CCC2C(C1)CCC1C2CCC2CCCC12",
    "sulfonamide": "NS(=O)=O",
    "thioether": "CSC",
    "thiophene": "c1ccsc1",
    "toluene": "Cc1ccccc1",
    "urea": "NC(=O)N",
    "vinyl": "C=C",
}
CHARGE_CODES = {3: 1, 2: 2, 1: 3, -1: 5, -2: 6, -3: 7}


def mol_block(name, mol):
    AllChem.Compute2DCoords(mol)
    Chem.Kekulize(mol, clearAromaticFlags=True)
    mol.SetProp("_Name", f"{name}.mol")
    lines = Chem.MolToMolBlock(mol, kekulize=False).splitlines()
    for atom in mol.GetAtoms():
        charge = atom.GetFormalCharge()
        if charge:
            i = 4 + atom.GetIdx()
            lines[i] = lines[i][:36] + f"{CHARGE_CODES[charge]:3d}" + lines[i][39:]
    return "\r\n".join(lines) + "\r\n"


def write_queries(out):
    os.makedirs(out, exist_ok=True)
    for name, smiles in QUERIES.items():
        with open(os.path.join(out, name + ".mol"), "wb") as f:
            f.write(mol_block(name, Chem.MolFromSmiles(smiles)).encode("ascii"))


def cli_hits(cli, db, moldir, query, exact):
    args = [cli, "search", "--db", db, "--mol-dir", moldir] + (["--exact"] if exact else []) + [query]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    return set(out.split())


def ratio(a, b):
    return f"{a / b:.2f}" if b else "-"


def pr(found, truth):
    hit = len(found & truth)
    precision = hit / len(found) if found else 1.0
    recall = hit / len(truth) if truth else 1.0
    return precision, recall


def compare(sdf, qdir, bench_json, cli, db, moldir):
    RDLogger.DisableLog("rdApp.*")
    mols = [m for m in Chem.SDMolSupplier(sdf) if m is not None]
    names = [m.GetProp("_Name") for m in mols]
    holder, patterns = rdSubstructLibrary.MolHolder(), rdSubstructLibrary.PatternHolder()
    for m in mols:
        holder.AddMol(m)
        patterns.AddFingerprint(patterns.MakeFingerprint(m))
    lib = rdSubstructLibrary.SubstructLibrary(holder, patterns)

    bench = {}
    for b in json.load(open(bench_json))["benchmarks"]:
        if b.get("aggregate_name") == "median" and b["run_name"].startswith("BM_Exact/"):
            bench[b["run_name"].split("/", 1)[1]] = b

    print(f"{len(mols)} molecules; times in ms, medians of 5 runs after load; "
          "P/R: precision/recall against RDKit's matches")
    head = (f"{'query':20} {'screen':>6} {'exact':>6} {'unconf':>6} {'rdkit':>6} "
            f"{'screenP':>7} {'screenR':>7} {'exactP':>7} {'exactR':>7} "
            f"{'vuduzez':>8} {'rdkit':>8} {'ratio':>6}")
    print(head)
    ratios = []
    for name in sorted(bench):
        qpath = os.path.join(qdir, name + ".mol")
        q = Chem.MolFromMolFile(qpath)
        times = []
        for _ in range(5):
            t = time.perf_counter()
            found = lib.GetMatches(q, numThreads=1, maxResults=len(mols) + 1)
            times.append((time.perf_counter() - t) * 1000)
        truth = {names[i] for i in found}
        screen = cli_hits(cli, db, moldir, qpath, False)
        exact = cli_hits(cli, db, moldir, qpath, True)
        b = bench[name]
        ours = b["real_time"]
        theirs = statistics.median(times)
        ratios.append(ours / theirs)
        sp, sr = pr(screen, truth)
        ep, er = pr(exact, truth)
        print(f"{name:20} {int(b['screened']):6d} {int(b['exact']):6d} {int(b['unconfirmed']):6d} "
              f"{len(truth):6d} {sp:7.3f} {sr:7.3f} {ep:7.3f} {er:7.3f} "
              f"{ours:8.3f} {theirs:8.3f} {ratio(ours, theirs):>6}")
    print(f"vuduzez/RDKit per-query median time ratio: median {statistics.median(ratios):.2f}, "
          f"max {max(ratios):.2f} (at most 1 means vuduzez is not slower)")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "queries":
        write_queries(sys.argv[2])
    elif len(sys.argv) == 8 and sys.argv[1] == "compare":
        compare(*sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
