#!/usr/bin/python3
"""Keys and formulas of two builds of vuduzez-cli side by side: an earlier one
(the main branch before a change to the reader) and the current one.

Runs `key --json` of both over the sample workspace, bench/data/mol (written by
tools/make_bench_data.py), the MOL records and SMILES of Debian's rdkit-data,
and prints how many results are byte for byte the same. Every result that
changed is listed under what changed it:

- formula/weight mended: the earlier formula or weight disagreed with RDKit's
  CalcMolFormula / MolWt and the current one agrees;
- key of aromatic bonds: the input has MOL bond type 4 (the earlier key held
  no aromatic ring marks for them);
- key of the Kekule form: a SMILES whose aromatic rings are now given single
  and double bonds so that more six-membered rings alternate;
- formula/weight of elements outside the table: RDKit cannot read the
  structure, and the earlier build counted its metals as carbon;
- newly keyed / newly refused: one build gave a key and the other did not;
- REGRESSION: anything else (the earlier result was right and changed).

    /usr/bin/python3 tools/compare_before.py OLD_CLI [NEW_CLI]

Exit status 1 when a regression was found.
"""

import json
import os
import re
import subprocess
import sys
import tempfile

from rdkit import Chem, RDLogger
from rdkit.Chem import Descriptors, rdMolDescriptors

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_rdkit import RDKIT, SD_SETS, SMILES_SETS, counts, mol_part, sd_blocks  # noqa: E402

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def run(cli, args, smiles):
    out = []
    for k in range(0, len(args), 500):
        batch = args[k : k + 500]
        cmd = [cli, "key", "--json"] + (["--smiles"] if smiles else []) + batch
        res = subprocess.run(cmd, capture_output=True)
        out += [json.loads(l, parse_float=str) for l in res.stdout.decode("utf-8").splitlines()]
    return out


def rdkit_agrees(r, mol):
    if mol is None or not r.get("formula"):
        return False
    return (counts(r["formula"]) == counts(rdMolDescriptors.CalcMolFormula(mol))
            and abs(float(r["weight"]) - Descriptors.MolWt(mol)) <= 0.05)


def has_aromatic_bonds(text):
    lines = text.splitlines()
    if len(lines) < 4 or lines[3][34:39] != "V2000":
        return False
    atoms, bonds = int(lines[3][0:3]), int(lines[3][3:6])
    return any(l[6:9].strip() == "4" for l in lines[4 + atoms : 4 + atoms + bonds])


def main():
    RDLogger.DisableLog("rdApp.*")
    old_cli = sys.argv[1]
    new_cli = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build", "vuduzez-cli")
    groups = {}
    same = total = 0
    with tempfile.TemporaryDirectory() as tmp:
        inputs = []  # (label, argument, text or None, rdkit mol, smiles?)
        for folder in ("sample/mol", "sample/queries", "bench/data/mol"):
            path = os.path.join(ROOT, folder)
            if not os.path.isdir(path):
                continue
            for name in sorted(os.listdir(path)):
                file = os.path.join(path, name)
                with open(file, encoding="latin-1", newline="") as f:
                    text = f.read()
                mol = Chem.MolFromMolBlock(text, sanitize=True, removeHs=False)
                inputs.append((f"{folder}/{name}", file, text, mol, False))
        for rel in SD_SETS:
            for i, block in enumerate(sd_blocks(os.path.join(RDKIT, rel))):
                text = mol_part(block)
                file = os.path.join(tmp, f"{len(inputs):06d}.mol")
                with open(file, "w", encoding="latin-1", newline="") as f:
                    f.write(text)
                mol = Chem.MolFromMolBlock(text, sanitize=True, removeHs=False)
                inputs.append((f"{os.path.basename(rel)}#{i + 1}", file, text, mol, False))
        for rel in SMILES_SETS:
            with open(os.path.join(RDKIT, rel)) as f:
                for line in f:
                    parts = line.split()
                    if not parts or parts[0].lower() == "smiles":
                        continue
                    smiles = parts[0]
                    if Chem.MolFromSmiles(smiles) is None and len(parts) > 1:
                        smiles = parts[1] if Chem.MolFromSmiles(parts[1]) is not None else smiles
                    inputs.append((f"{os.path.basename(rel)}: {smiles}", smiles, None,
                                   Chem.MolFromSmiles(smiles), True))
        results = {}
        for smiles in (False, True):
            args = [i[1] for i in inputs if i[4] == smiles]
            results[smiles] = (iter(run(old_cli, args, smiles)), iter(run(new_cli, args, smiles)))
        for label, arg, text, mol, smiles in inputs:
            old = next(results[smiles][0])
            new = next(results[smiles][1])
            total += 1
            keys = ("formula", "weight", "key", "keyfail", "error")
            if all(old.get(k) == new.get(k) for k in keys):
                same += 1
                continue
            reasons = []
            if (old.get("formula"), old.get("weight")) != (new.get("formula"), new.get("weight")):
                table = set("C H N Br Cl F I Li O P S Si Zn".split())
                if not rdkit_agrees(old, mol) and (rdkit_agrees(new, mol) or not new.get("formula")):
                    reasons.append("formula/weight mended")
                elif mol is None and set(counts(new.get("formula", ""))) - table:
                    # The earlier build counted these elements as carbon.
                    reasons.append("formula/weight of elements outside the table (RDKit cannot read it)")
                else:
                    reasons.append("REGRESSION: formula/weight")
            old_key = old.get("key") if not old.get("error") else None
            new_key = new.get("key") if not new.get("error") else None
            if old_key != new_key:
                if old_key is None and new_key is not None:
                    reasons.append("newly keyed")
                elif new_key is None:
                    reasons.append("newly refused: " + new.get("error", ""))
                elif text is not None and has_aromatic_bonds(text):
                    reasons.append("key of aromatic bonds")
                elif smiles:
                    reasons.append("key of the Kekule form")
                else:
                    reasons.append("REGRESSION: key")
            if not reasons:
                reasons.append("message only")
            for reason in reasons:
                groups.setdefault(reason, []).append(
                    f"{label}: {old.get('formula')} {old.get('weight')} -> "
                    f"{new.get('formula')} {new.get('weight')}")
    print(f"{same} of {total} results byte for byte the same")
    regression = False
    for reason in sorted(groups):
        regression = regression or reason.startswith("REGRESSION")
        print(f"{reason}: {len(groups[reason])}")
        for line in groups[reason]:
            print("  " + line)
    sys.exit(1 if regression else 0)


if __name__ == "__main__":
    main()
