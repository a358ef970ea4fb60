#!/usr/bin/python3
"""Formula and weight of vuduzez beside RDKit's on real molecules.

Reads the MOL records and SMILES that Debian's rdkit-data ships, has
`vuduzez-cli key --json` complete every one, and compares the element counts
of its formula (hydrogens included) and its weight (within 0.05) with RDKit's
CalcMolFormula and MolWt. Prints the agreement per set and every difference.

    /usr/bin/python3 tools/compare_rdkit.py [path/to/vuduzez-cli]

Records RDKit itself cannot read are counted apart (neither side is judged);
records vuduzez refuses count as differences, with the reason.
"""

import json
import os
import re
import subprocess
import sys
import tempfile

from rdkit import Chem, RDLogger
from rdkit.Chem import Descriptors, rdMolDescriptors

RDKIT = "/usr/share/RDKit"
SD_SETS = [
    "Data/NCI/first_200.props.sdf",
    "Projects/DbCLI/testData/bzr.sdf",
    "Projects/DbCLI/testData/pubchem.200.sdf",
    "Contrib/Fastcluster/testdata/cdk2.sdf",
    "Contrib/PBF/testData/egfr.sdf",
]
SMILES_SETS = [
    "Data/NCI/first_5K.smi",
    "Contrib/FreeWilson/data/CHEMBL2321810.smi",
    "Contrib/fraggle/data/ChEMBL_11265_actives.smi",
    "Contrib/Fastcluster/cdk2.smi",
]
TOLERANCE = 0.05


def counts(formula):
    """Element counts of a formula text (a charge suffix is ignored)."""
    out = {}
    for symbol, n in re.findall(r"([A-Z][a-z]?)(\d*)", formula):
        out[symbol] = out.get(symbol, 0) + (int(n) if n else 1)
    return out


def sd_blocks(path):
    block = []
    with open(path, encoding="latin-1", newline="") as f:
        text = f.read()
    for line in text.splitlines():
        if line.strip() == "$$$$":
            yield "\n".join(block) + "\n"
            block = []
        else:
            block.append(line)
    if any(l.strip() for l in block):
        yield "\n".join(block) + "\n"


def mol_part(block):
    lines = block.split("\n")
    for i, line in enumerate(lines):
        if line.strip() == "M  END":
            return "\n".join(lines[: i + 1]) + "\n"
    return block


def ours(cli, args, smiles=False):
    """key --json for each argument, in batches."""
    out = []
    for k in range(0, len(args), 500):
        batch = args[k : k + 500]
        cmd = [cli, "key", "--json"] + (["--smiles"] if smiles else []) + batch
        res = subprocess.run(cmd, capture_output=True)
        lines = res.stdout.decode("utf-8").splitlines()
        if len(lines) != len(batch):
            raise SystemExit(f"vuduzez-cli key gave {len(lines)} lines for {len(batch)} inputs")
        out += [json.loads(l, parse_float=str) for l in lines]
    return out


def compare(label, items, results):
    """items: (name, rdkit mol or None); results: vuduzez's JSON objects."""
    agree = judged = rdkit_refused = 0
    differences = []
    for (name, mol), r in zip(items, results):
        if mol is None:
            rdkit_refused += 1
            continue
        judged += 1
        theirs_formula = rdMolDescriptors.CalcMolFormula(mol)
        theirs_weight = Descriptors.MolWt(mol)
        if "error" in r and not r["keyfail"]:
            # Refused by the reader (a key that failed still has its formula).
            differences.append((name, "refused: " + r["error"], theirs_formula, theirs_weight))
            continue
        weight = float(r["weight"])
        if counts(r["formula"]) == counts(theirs_formula) and abs(weight - theirs_weight) <= TOLERANCE:
            agree += 1
        else:
            differences.append((name, f'{r["formula"]} {r["weight"]}', theirs_formula, theirs_weight))
    share = 100.0 * agree / judged if judged else 100.0
    print(f"{label}: {agree} of {judged} agree ({share:.2f} %); RDKit cannot read {rdkit_refused}")
    for name, mine, formula, weight in differences:
        print(f"  {name}: vuduzez {mine} | RDKit {formula} {weight:.2f}")
    return agree, judged


def main():
    RDLogger.DisableLog("rdApp.*")
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "build", "vuduzez-cli")
    total_agree = total = 0
    with tempfile.TemporaryDirectory() as tmp:
        for rel in SD_SETS:
            path = os.path.join(RDKIT, rel)
            items, files = [], []
            for i, block in enumerate(sd_blocks(path)):
                name = f"{os.path.basename(rel)}#{i + 1}"
                mol_text = mol_part(block)
                file = os.path.join(tmp, f"{len(files):06d}.mol")
                with open(file, "w", encoding="latin-1", newline="") as f:
                    f.write(mol_text)
                files.append(file)
                items.append((name, Chem.MolFromMolBlock(mol_text, sanitize=True, removeHs=False)))
            a, n = compare(rel, items, ours(cli, files))
            total_agree += a
            total += n
            for file in files:
                os.remove(file)
        for rel in SMILES_SETS:
            path = os.path.join(RDKIT, rel)
            items, texts = [], []
            with open(path) as f:
                for line in f:
                    parts = line.split()
                    if not parts or parts[0].lower() == "smiles":
                        continue
                    # Most sets give the SMILES first, some the name.
                    smiles = parts[0]
                    mol = Chem.MolFromSmiles(smiles)
                    if mol is None and len(parts) > 1 and Chem.MolFromSmiles(parts[1]) is not None:
                        smiles = parts[1]
                        mol = Chem.MolFromSmiles(smiles)
                    texts.append(smiles)
                    items.append((f"{os.path.basename(rel)}: {smiles}", mol))
            a, n = compare(rel, items, ours(cli, texts, smiles=True))
            total_agree += a
            total += n
    print(f"all: {total_agree} of {total} agree ({100.0 * total_agree / total:.2f} %)")


if __name__ == "__main__":
    main()
