#!/usr/bin/python3
"""Writes the benchmark molecules under bench/data/ (not committed).

5000 real molecules from Debian's rdkit-data (the NCI set first_5K.smi, then
the SD files shipped with it, repeated under new names if still short), each
as bench/data/mol/<name>.mol (MOL V2000, 2D, Kekule bonds, CR LF), and the same
molecules in one SD file bench/data/all.sdf for the peer tools. Only molecules
of the elements vuduzez knows and within 200 atoms / 300 bonds are kept.

    /usr/bin/python3 tools/make_bench_data.py [COUNT]
"""

import glob
import os
import sys

from rdkit import Chem, RDLogger
from rdkit.Chem import AllChem

ELEMENTS = {"C", "H", "N", "O", "S", "P", "F", "Cl", "Br", "I", "Si", "Li", "Zn"}
CHARGE_CODES = {3: 1, 2: 2, 1: 3, -1: 5, -2: 6, -3: 7}
RDKIT = "/usr/share/RDKit"


def sources():
    with open(f"{RDKIT}/Data/NCI/first_5K.smi") as f:
        for line in f:
            parts = line.split()
            if parts:
                yield Chem.MolFromSmiles(parts[0])
    for path in sorted(glob.glob(f"{RDKIT}/**/*.sdf", recursive=True)):
        for mol in Chem.SDMolSupplier(path):
            yield mol


def usable(mol):
    if mol is None or mol.GetNumAtoms() == 0:
        return False
    if any(a.GetSymbol() not in ELEMENTS for a in mol.GetAtoms()):
        return False
    if any(abs(a.GetFormalCharge()) > 3 for a in mol.GetAtoms()):
        return False
    return mol.GetNumAtoms() <= 200 and mol.GetNumBonds() <= 300


def mol_block(name, mol):
    mol = Chem.RemoveHs(mol)
    AllChem.Compute2DCoords(mol)
    Chem.Kekulize(mol, clearAromaticFlags=True)
    mol.SetProp("_Name", f"{name}.mol")
    lines = Chem.MolToMolBlock(mol, kekulize=False).splitlines()
    for atom in mol.GetAtoms():
        charge = atom.GetFormalCharge()
        if charge:
            i = 4 + atom.GetIdx()
            lines[i] = lines[i][:36] + f"{CHARGE_CODES[charge]:3d}" + lines[i][39:]
    return mol, "\r\n".join(lines) + "\r\n"


def main():
    RDLogger.DisableLog("rdApp.*")
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 5000
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "data")
    out = os.path.join(root, "mol")
    os.makedirs(out, exist_ok=True)
    for old in glob.glob(os.path.join(out, "*.mol")):
        os.remove(old)
    kept = []
    for mol in sources():
        if usable(mol):
            kept.append(mol)
        if len(kept) == count:
            break
    writer = Chem.SDWriter(os.path.join(root, "all.sdf"))
    writer.SetKekulize(True)
    base = len(kept)
    for i in range(count):
        name = f"m{i + 1:05d}"
        mol, block = mol_block(name, Chem.Mol(kept[i % base]))
        with open(os.path.join(out, name + ".mol"), "wb") as f:
            f.write(block.encode("ascii"))
        mol.SetProp("_Name", name)
        writer.write(mol)
    writer.close()
    print(f"{count} MOL files in {out} ({base} distinct molecules), and all.sdf")


if __name__ == "__main__":
    main()
