#!/usr/bin/python3
"""The exact search beside RDKit on the same molecules.

    exact_vs_rdkit.py queries OUTDIR
        writes the benchmark's queries: OUTDIR/queries.tsv ("name<TAB>form<TAB>
        text", form smiles, smarts or mol with the MOL file's path) and the MOL
        files (drawn from SMILES in a Kekule form, or with query atoms)
    exact_vs_rdkit.py redraw SRCDIR DSTDIR
        every MOL file of SRCDIR written to DSTDIR in another Kekule form where
        the molecule has one (RDKit kekulizes it with its atoms in a random
        order); says how many changed
    exact_vs_rdkit.py compare QUERIES.tsv CLI DB MOLDIR TRUTHDIR
        hit lists of `vuduzez-cli search --exact` on DB (MOL files in MOLDIR)
        against RDKit's: Chem.MolFromMolFile of each file in TRUTHDIR, then
        HasSubstructMatch with default parameters (the query read with
        MolFromMolFile, MolFromSmiles or MolFromSmarts); every difference
        printed; exit status 1 when there is one
    exact_vs_rdkit.py peer MOLDIR QUERIES.tsv BENCH.JSON [NOQUERIES]
        RDKit's SubstructLibrary (MolHolder + PatternHolder) built from the MOL
        files of MOLDIR (read with MolFromMolFile, as vuduzez reads them), then
        each query's GetMatches on one thread (median of 5), beside the figures
        of BENCH.JSON (vuduzez_bench BM_SoundIndexBuild and BM_Exact1/); with
        NOQUERIES only the build

RDKit is the reference and the peer; the comparison is what is measured.
"""

import json
import os
import random
import statistics
import subprocess
import sys
import time

from rdkit import Chem, RDLogger
from rdkit.Chem import AllChem, rdSubstructLibrary

# name, form, text: rings and fused rings, five-membered heteroaromatics,
# functional groups, charged groups (drawn as MOL files or given as SMILES),
# SMARTS, and MOL query atoms (written below).
QUERIES = [
    ("benzene", "mol", "c1ccccc1"),
    ("naphthalene", "mol", "c1ccc2ccccc2c1"),
    ("quinoline", "mol", "c1ccc2ncccc2c1"),
    ("indole", "mol", "c1ccc2[nH]ccc2c1"),
    ("biphenyl", "mol", "c1ccc(cc1)-c1ccccc1"),
    ("pyridine", "mol", "c1ccncc1"),
    ("pyrimidine", "smiles", "c1cncnc1"),
    ("steroid", "mol", "C1CCC2C(C1)CCC1C2CCC2CCCC12"),
    ("cyclohexane", "mol", "C1CCCCC1"),
    ("pyrrole", "mol", "c1cc[nH]c1"),
    ("imidazole", "mol", "c1cnc[nH]1"),
    ("furan", "mol", "c1ccoc1"),
    ("thiophene", "mol", "c1ccsc1"),
    ("thiazole", "smiles", "c1cscn1"),
    ("acid", "mol", "CC(=O)O"),
    ("ketone", "mol", "CC(=O)C"),
    ("aldehyde_or_ketone", "mol", "CC=O"),
    ("ester", "mol", "CC(=O)OC"),
    ("amide", "mol", "CC(=O)N"),
    ("nitrile", "mol", "CC#N"),
    ("sulfonamide", "mol", "NS(=O)=O"),
    ("phenol", "smiles", "Oc1ccccc1"),
    ("chloroarene", "smiles", "Clc1ccccc1"),
    ("chlorine", "smiles", "Cl"),
    ("nitro", "mol", "C[N+](=O)[O-]"),
    ("carboxylate", "mol", "CC(=O)[O-]"),
    ("ammonium", "smiles", "[NH4+]"),
    ("quaternary_n", "smiles", "C[N+](C)(C)C"),
    ("s_aromatic_n", "smarts", "[#7;a]"),
    ("s_primary_amine", "smarts", "[NX3;H2;!$(NC=O)]"),
    ("s_carbonyl", "smarts", "[CX3]=[OX1]"),
    ("s_halogen", "smarts", "[F,Cl,Br,I]"),
    ("s_ring_n", "smarts", "[N;R]"),
    ("s_any_6_ring", "smarts", "*1*****1"),
    ("s_phenol", "smarts", "[OX2H]c1ccccc1"),
    ("s_chain", "smarts", "C!@C!@C"),
    ("s_quaternary_c", "smarts", "[CX4;H0]"),
    ("s_charged", "smarts", "[+,-]"),
    ("s_r5", "smarts", "[r5]"),
    ("s_recursive", "smarts", "[$(c1ccccc1),$(n1ccccc1)]O"),
    ("s_fused", "smarts", "[R2]"),
    ("q_any_carbonyl", "mol", "A=O"),
    ("q_hetero_in_ring", "mol", "Q1CCCC1"),
    ("q_star_acid", "mol", "*C(=O)O"),
    ("q_halobenzene", "mol", "L:c1ccccc1 F,Cl,Br,I"),
]
CHARGE_CODES = {3: 1, 2: 2, 1: 3, -1: 5, -2: 6, -3: 7}


def charge_codes(lines, mol):
    for atom in mol.GetAtoms():
        charge = atom.GetFormalCharge()
        if charge:
            i = 4 + atom.GetIdx()
            lines[i] = lines[i][:36] + f"{CHARGE_CODES[charge]:3d}" + lines[i][39:]
    return lines


def kekule_block(name, mol):
    AllChem.Compute2DCoords(mol)
    Chem.Kekulize(mol, clearAromaticFlags=True)
    mol.SetProp("_Name", f"{name}.mol")
    lines = charge_codes(Chem.MolToMolBlock(mol, kekulize=False).splitlines(), mol)
    return "\r\n".join(lines) + "\r\n"


def query_atom_block(name, text):
    """A MOL file with query atoms: "A=O", "Q1CCCC1" and "*C(=O)O" are drawn
    from a SMILES with the first atom's symbol replaced; "L:<smiles> <list>"
    puts an atom list (M  ALS) on a first atom bonded to the ring."""
    atom_list = None
    if text.startswith("L:"):
        smiles, atom_list = text[2:].split(" ")
        mol = Chem.MolFromSmiles("[U]" + smiles)
        symbol = "L"
    else:
        symbol = text[0]
        mol = Chem.MolFromSmiles("[U]" + text[1:])
    block = kekule_block(name, mol).split("\r\n")
    block[4] = block[4][:31] + f"{symbol:<3}" + block[4][34:]
    if atom_list:
        items = atom_list.split(",")
        end = block.index("M  END")
        block.insert(end, f"M  ALS   1{len(items):3d} F " + "".join(f"{e:<4}" for e in items))
    return "\r\n".join(block)


def write_queries(out):
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "queries.tsv"), "w") as tsv:
        for name, form, text in QUERIES:
            if form == "mol":
                path = os.path.join(out, name + ".mol")
                if name.startswith("q_"):
                    block = query_atom_block(name, text)
                else:
                    block = kekule_block(name, Chem.MolFromSmiles(text))
                with open(path, "wb") as f:
                    f.write(block.encode("ascii"))
                tsv.write(f"{name}\tmol\t{os.path.abspath(path)}\n")
            else:
                tsv.write(f"{name}\t{form}\t{text}\n")


def redraw(src, dst):
    """Each molecule in another of its Kekule forms: every aromatic ring whose
    drawn bonds alternate (and that shares no bond with a ring flipped
    already) has its single and double bonds swapped, which keeps one double
    bond at each of its atoms. The same atoms and bonds in the same order."""
    RDLogger.DisableLog("rdApp.*")
    os.makedirs(dst, exist_ok=True)
    changed = total = 0
    for f in sorted(os.listdir(src)):
        if not f.endswith(".mol"):
            continue
        text = open(os.path.join(src, f), "rb").read().decode("ascii")
        out = text
        mol = Chem.MolFromMolBlock(text, removeHs=False)
        if mol is not None and any(b.GetIsAromatic() for b in mol.GetBonds()):
            total += 1
            lines = text.split("\r\n")
            atoms = int(lines[3][:3])
            order = [int(lines[4 + atoms + b.GetIdx()][6:9]) for b in mol.GetBonds()]
            flipped = set()
            for ring in mol.GetRingInfo().BondRings():
                drawn = [order[b] for b in ring]
                if any(not mol.GetBondWithIdx(b).GetIsAromatic() for b in ring) or flipped & set(ring):
                    continue
                # The ring's bonds in ring order alternate 1, 2, 1, 2, ...
                if sorted(drawn) != [1] * (len(ring) // 2) + [2] * (len(ring) // 2):
                    continue
                if any(drawn[k] == drawn[(k + 1) % len(ring)] for k in range(len(ring))):
                    continue
                for b in ring:
                    order[b] = 3 - order[b]
                flipped |= set(ring)
            if flipped:
                for b in range(len(order)):
                    i = 4 + atoms + b
                    lines[i] = lines[i][:6] + f"{order[b]:3d}" + lines[i][9:]
                out = "\r\n".join(lines)
                changed += 1
        with open(os.path.join(dst, f), "wb") as g:
            g.write(out.encode("ascii"))
    print(f"redrawn: {changed} of {total} aromatic molecules now in another Kekule form")


def read_queries(path):
    for line in open(path):
        name, form, text = line.rstrip("\n").split("\t")
        yield name, form, text


def rdkit_query(form, text):
    if form == "mol":
        return Chem.MolFromMolFile(text)
    if form == "smarts":
        return Chem.MolFromSmarts(text)
    return Chem.MolFromSmiles(text)


def cli_hits(cli, db, moldir, form, text):
    args = [cli, "search", "--exact", "--db", db, "--mol-dir", moldir]
    args += {"mol": [text], "smiles": ["--smiles", text], "smarts": ["--smarts", text]}[form]
    run = subprocess.run(args, capture_output=True, text=True)
    return set(run.stdout.split()), run.stderr.strip().splitlines()[-1:]


def compare(queries, cli, db, moldir, truthdir):
    RDLogger.DisableLog("rdApp.*")
    listed = subprocess.run([cli, "list", "--db", db], capture_output=True, text=True, check=True)
    names = sorted({line.split(".")[0] for line in listed.stdout.split()})
    records = {n: Chem.MolFromMolFile(os.path.join(truthdir, n + ".mol")) for n in names}
    unread = sorted(n for n, m in records.items() if m is None)
    print(f"{len(names)} records, {len(unread)} whose MOL file RDKit does not read "
          "(left out on both sides)")
    print(f"{'query':22} {'form':6} {'RDKit':>6} {'vuduzez':>7} {'missed':>6} {'extra':>6}  vuduzez's line")
    differences = 0
    for name, form, text in read_queries(queries):
        q = rdkit_query(form, text)
        truth = {n for n, m in records.items() if m is not None and m.HasSubstructMatch(q)}
        found, last = cli_hits(cli, db, moldir, form, text)
        found -= set(unread)
        missed, extra = truth - found, found - truth
        differences += len(missed) + len(extra)
        print(f"{name:22} {form:6} {len(truth):6d} {len(found):7d} {len(missed):6d} {len(extra):6d}"
              f"  {last[0] if last else ''}")
        for n in sorted(missed)[:5]:
            print(f"    missed {n}")
        for n in sorted(extra)[:5]:
            print(f"    extra {n}")
    print(f"{differences} differences from RDKit")
    return 1 if differences else 0


def bench_rows(path):
    rows = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].split("/iterations:")[0].split("/repeats:")[0]
        rows[name] = b
    return rows


def peer(moldir, queries, bench_json, noqueries=False):
    RDLogger.DisableLog("rdApp.*")
    files = sorted(f for f in os.listdir(moldir) if f.endswith(".mol"))
    t = time.perf_counter()
    holder, patterns = rdSubstructLibrary.MolHolder(), rdSubstructLibrary.PatternHolder()
    for f in files:
        m = Chem.MolFromMolFile(os.path.join(moldir, f))
        if m is None:
            continue
        holder.AddMol(m)
        patterns.AddFingerprint(patterns.MakeFingerprint(m))
    lib = rdSubstructLibrary.SubstructLibrary(holder, patterns)
    build = time.perf_counter() - t
    rows = bench_rows(bench_json)
    ours = rows.get("BM_SoundIndexBuild")
    print(f"{len(files)} MOL files")
    if ours:
        ours_s = ours["real_time"] / 1000
        print(f"index build: vuduzez {ours_s:.2f} s on {os.cpu_count()} cores "
              f"({ours['records_per_s']:.0f} records/s); RDKit SubstructLibrary (MolHolder + "
              f"PatternHolder, one thread) {build:.2f} s; RDKit/vuduzez {build / ours_s:.2f}")
    if noqueries:
        return 0
    print("per query once loaded, one thread, ms (medians); ratio = RDKit / vuduzez")
    print(f"{'query':22} {'hits':>7} {'vuduzez':>9} {'RDKit':>9} {'ratio':>7}")
    ratios = []
    for name, form, text in read_queries(queries):
        b = rows.get("BM_Exact1/" + name)
        if b is None:
            continue
        q = rdkit_query(form, text)
        times = []
        for _ in range(5):
            t = time.perf_counter()
            found = lib.GetMatches(q, numThreads=1, maxResults=len(files) + 1)
            times.append((time.perf_counter() - t) * 1000)
        theirs = statistics.median(times)
        ratios.append(theirs / b["real_time"])
        print(f"{name:22} {len(found):7d} {b['real_time']:9.2f} {theirs:9.2f} {ratios[-1]:7.1f}")
    print(f"RDKit/vuduzez per query: median {statistics.median(ratios):.1f}, "
          f"lowest {min(ratios):.1f}")
    return 0


def main():
    a = sys.argv[1:]
    if len(a) == 2 and a[0] == "queries":
        write_queries(a[1])
    elif len(a) == 3 and a[0] == "redraw":
        redraw(a[1], a[2])
    elif len(a) == 6 and a[0] == "compare":
        sys.exit(compare(*a[1:]))
    elif len(a) in (4, 5) and a[0] == "peer":
        sys.exit(peer(a[1], a[2], a[3], len(a) == 5))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
