#!/usr/bin/env bash
# Checks the SMILES reader against RDKit over real molecules: every SMILES is
# read by RDKit, kekulized and written as a MOL file (charges also in the atom
# block, where the MOL reader takes them), then tools/check_smiles.cpp reads
# the SMILES with vuduzez's own reader and the MOL file with its MOL reader and
# compares the molecule tables (atom and bond counts, atoms, bonds) and the
# structure keys. Prints the agreement figures per set and examples of every
# class of disagreement; checks nothing.
#
#   bash tools/check_smiles.sh [EXAMPLES_PER_CLASS]
#
# Sets (Debian's rdkit-data): the NCI SMILES file first_5K.smi as written
# (Kekule form), the same molecules as RDKit's aromatic SMILES, and the
# aromatic SMILES of wehi_mols.csv. RDKit is the peer only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
examples=${1:-3}

bash tools/ensure_packages.sh python3-rdkit rdkit-data cmake g++

# BUILD_DIR: an existing build folder to use instead of build-check.
build=${BUILD_DIR:-build-check}
[ -n "${BUILD_DIR:-}" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVUDUZEZ_GUI=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target vuduzez_smiles_check >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$work" <<'EOF'
import csv, os, sys
from rdkit import Chem, RDLogger
RDLogger.DisableLog("rdApp.*")
work = sys.argv[1]
data = "/usr/share/RDKit"
CODES = {3: 1, 2: 2, 1: 3, -1: 5, -2: 6, -3: 7}

nci = []
with open(f"{data}/Data/NCI/first_5K.smi") as f:
    for line in f:
        if line.split():
            nci.append(line.split()[0])
aromatic = []
for s in nci:
    m = Chem.MolFromSmiles(s)
    if m is not None:
        aromatic.append(Chem.MolToSmiles(m))
wehi = []
with open(f"{data}/Data/Pains/test_data/wehi_mols.csv") as f:
    for row in csv.reader(f):
        if row:
            wehi.append(row[0])
sets = {"nci-kekule": nci, "nci-aromatic": aromatic, "wehi-aromatic": wehi}

for name, smiles in sets.items():
    folder = os.path.join(work, name)
    os.mkdir(folder)
    with open(os.path.join(work, name + ".tsv"), "w") as out:
        for i, s in enumerate(smiles):
            if name.endswith("kekule"):
                # Kept in the Kekule form written, as a MOL file drawn so.
                m = Chem.MolFromSmiles(s, sanitize=False)
                try:
                    Chem.SanitizeMol(m, Chem.SanitizeFlags.SANITIZE_ALL
                                     ^ Chem.SanitizeFlags.SANITIZE_SETAROMATICITY)
                    m = Chem.RemoveHs(m, sanitize=False)
                except Exception:
                    m = None
            else:
                m = Chem.MolFromSmiles(s)
            path = ""
            if m is not None:
                Chem.Kekulize(m, clearAromaticFlags=True)
                lines = Chem.MolToMolBlock(m, includeStereo=False, kekulize=True).split("\n")
                for a in m.GetAtoms():
                    code = CODES.get(a.GetFormalCharge(), 0)
                    k = 4 + a.GetIdx()
                    lines[k] = lines[k][:36] + f"{code:3d}" + lines[k][39:]
                path = os.path.join(folder, f"{i}.mol")
                with open(path, "w") as g:
                    g.write("\n".join(lines))
            out.write(f"{s}\t{path}\n")
EOF

for set in nci-kekule nci-aromatic wehi-aromatic; do
  "$build"/vuduzez_smiles_check <"$work/$set.tsv" >"$work/$set.out"
done

/usr/bin/python3 - "$work" "$examples" <<'EOF'
import collections, sys
work, examples = sys.argv[1], int(sys.argv[2])
total = collections.Counter()
for name in ("nci-kekule", "nci-aromatic", "wehi-aromatic"):
    smiles = [l.split("\t")[0] for l in open(f"{work}/{name}.tsv").read().splitlines()]
    results = [l.split("\t", 1) for l in open(f"{work}/{name}.out").read().splitlines()]
    classes = collections.Counter(r[0] for r in results)
    def count(*parts):
        return sum(n for c, n in classes.items() if any(p in c for p in parts))
    both = count("key", "keys")  # read by both and keyed (or refused as too large)
    counts_ok = both - count("counts differ")
    tables = count("tables equal", "bond stereo column differs")
    keys = count("key equal", "both keys fail")
    def line(label, n):
        print(f"   {label:<46} {n:6d}/{both} ({100 * n / max(both, 1):.2f}%)")
    print(f"== {name}: {len(smiles)} SMILES, read by both {both}, by RDKit only "
          f"{count('vuduzez refuses')}, by vuduzez only {count('peer refuses')}")
    line("atom and bond counts equal", counts_ok)
    line("molecule tables equal (bond stereo digit aside)", tables)
    line("keys equal (or both refused as too large)", keys)
    for cls, n in classes.most_common():
        print(f"   {n:6d}  {cls}")
        if cls == "tables equal, key equal":
            continue
        shown = 0
        for s, r in zip(smiles, results):
            if r[0] == cls and shown < examples:
                print(f"           {s}   {r[1] if len(r) > 1 else ''}")
                shown += 1
    total.update(classes)
print("== all sets")
for cls, n in total.most_common():
    print(f"   {n:6d}  {cls}")
EOF
