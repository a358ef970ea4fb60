#!/usr/bin/env bash
# The atom-by-atom confirmation of queries made of many identical pieces
# (CC.CC.CC...) against alkanes, beside RDKit's HasSubstructMatch on the same
# MOL files: seconds per search for k pieces, and the ratio. Ours is the whole
# `vuduzez-cli search --exact` run (start, load, screen, confirm); RDKit's is
# the matching alone, cut off after PEER_LIMIT seconds (120; ours after
# OUR_LIMIT, 600). Alkanes: straight chains, squalane, tetra-tert-butylmethane,
# a 41-carbon dendrimer, random trees of up to 150 carbons.
#   tools/bench_pieces.sh [VUDUZEZ_CLI] [MAX_PIECES]   (default build/vuduzez-cli, 12)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build/vuduzez-cli}")
max=${2:-12}
bash tools/ensure_packages.sh python3-rdkit >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/mol"
/usr/bin/python3 - "$work/mol" <<'PY'
import random, sys
from rdkit import Chem
from rdkit.Chem import AllChem
folder = sys.argv[1]
random.seed(1)
def write(name, smiles):
    m = Chem.MolFromSmiles(smiles)
    AllChem.Compute2DCoords(m)
    open(f"{folder}/{name}.mol", "w").write(Chem.MolToMolBlock(m).replace("\n", "\r\n"))
def dendrimer(depth):
    return "C" if depth == 0 else "C(" + ")(".join(dendrimer(depth - 1) for _ in range(3)) + ")"
def tree(n):
    m = Chem.RWMol()
    degree = [0] * n
    for i in range(n):
        m.AddAtom(Chem.Atom(6))
    for i in range(1, n):
        p = random.choice([j for j in range(i) if degree[j] < 3])
        degree[p] += 1
        degree[i] += 1
        m.AddBond(i, p, Chem.BondType.SINGLE)
    return Chem.MolToSmiles(m)
for n in (16, 20, 30, 40):
    write(f"chain{n}", "C" * n)
write("squalane", "CC(C)CCCC(C)CCCC(C)CCCCC(C)CCCC(C)CCCC(C)C")
write("tetra_tert_butylmethane", "CC(C)(C)C(C(C)(C)C)(C(C)(C)C)C(C)(C)C")
write("dendrimer41", "C" + dendrimer(3))
for i, n in enumerate((60, 90, 120, 150)):
    write(f"tree{n}", tree(n))
PY
: >"$work/db.txt"
(cd "$work" && "$cli" register --db db.txt mol >/dev/null 2>&1) || true
echo "pieces  vuduzez s  (hits, unconfirmed)  RDKit s  ratio"
for k in $(seq 6 "$max"); do
  query=$(printf 'CC%.0s.' $(seq 1 "$k"))
  query=${query%.}
  start=$(date +%s.%N)
  out=$(cd "$work" && { timeout "${OUR_LIMIT:-600}" "$cli" search --db db.txt --mol-dir mol --exact \
    --smiles "$query" 2>&1 >/dev/null || true; } | grep ' hits of ' || echo "no answer")
  ours=$(echo "$(date +%s.%N) - $start" | bc)
  peer=$(timeout "${PEER_LIMIT:-120}" /usr/bin/python3 - "$work/mol" "$k" <<'PY' || echo ">${PEER_LIMIT:-120}"
import glob, sys, time
from rdkit import Chem
mols = [Chem.MolFromMolFile(f) for f in sorted(glob.glob(sys.argv[1] + "/*.mol"))]
query = Chem.MolFromSmarts(".".join(["[#6]-[#6]"] * int(sys.argv[2])))
start = time.perf_counter()
hits = sum(m.HasSubstructMatch(query) for m in mols)
print(f"{time.perf_counter() - start:.3f}")
PY
)
  ratio=$(echo "$peer" | grep -q '>' && echo "peer cut off" ||
    echo "scale=1; $ours / ($peer + 0.001)" | bc)
  printf '%6d  %9.3f  %-40s %7s  %s\n' "$k" "$ours" "($(echo "$out" | sed 's/ hits of [0-9]* records (/ hits, /;s/)//'))" \
    "$peer" "$ratio"
done
