#!/usr/bin/python3
"""Writes the bundled sample MOL files, sample/mol/<name>.mol.

Run once by a developer (Debian's python3-rdkit); the files are committed and
vuduzez itself never needs RDKit. Every file is MOL V2000 with 2D coordinates,
Kekule bonds (types 1, 2, 3 only), wedge bonds (stereo 1 or 6) at the drawn
stereocentres, no hydrogen atoms, CR LF line ends, and the first header line
"<name>.mol". Only the elements vuduzez knows are allowed.

    /usr/bin/python3 tools/make_sample.py [OUTDIR]
"""

import os
import sys

from rdkit import Chem, RDLogger
from rdkit.Chem import AllChem

ELEMENTS = {"C", "H", "N", "O", "S", "P", "F", "Cl", "Br", "I", "Si", "Li", "Zn"}
MAX_ATOMS = 200
MAX_BONDS = 300
CHARGE_CODES = {3: 1, 2: 2, 1: 3, -1: 5, -2: 6, -3: 7}

# Numbered by hand, atom by atom and bond by bond, so that their keys can be
# checked against known values: (atoms, bonds as (atom1, atom2, type)), 1-based.
_RING = [(1, 2, 2), (2, 3, 1), (3, 4, 2), (4, 5, 1), (5, 6, 2), (6, 1, 1)]
_NAPHTHALENE = [(1, 2, 2), (2, 3, 1), (3, 4, 2), (4, 10, 1), (10, 9, 2), (9, 1, 1),
                (10, 5, 1), (5, 6, 2), (6, 7, 1), (7, 8, 2), (8, 9, 1)]
NUMBERED = {
    "benzene": (["C"] * 6, _RING),
    "phenol": (["C"] * 6 + ["O"], _RING + [(1, 7, 1)]),
    "naphthalene": (["C"] * 10, _NAPHTHALENE),
    "2_methylnaphthalene": (["C"] * 11, _NAPHTHALENE + [(2, 11, 1)]),
}

# Everything else from isomeric SMILES (stereocentres as in the marketed or
# natural compound, so that the wedges are the real ones). Atoms and bonds are
# numbered in SMILES order, so ethanol, acetic acid and cyclohexane also come
# out in the numbering their known keys assume: keep those three strings.
SMILES = {
    # aromatics and building blocks
    "toluene": "Cc1ccccc1",
    "anthracene": "c1ccc2cc3ccccc3cc2c1",
    "biphenyl": "c1ccc(cc1)-c1ccccc1",
    "styrene": "C=Cc1ccccc1",
    "aniline": "Nc1ccccc1",
    "benzoic_acid": "OC(=O)c1ccccc1",
    "benzaldehyde": "O=Cc1ccccc1",
    "acetophenone": "CC(=O)c1ccccc1",
    "nitrobenzene": "[O-][N+](=O)c1ccccc1",
    "phenylacetylene": "C#Cc1ccccc1",
    "salicylic_acid": "OC(=O)c1ccccc1O",
    "vanillin": "COc1cc(C=O)ccc1O",
    # heterocycles
    "pyridine": "c1ccncc1",
    "pyrrole": "c1cc[nH]c1",
    "furan": "c1ccoc1",
    "thiophene": "c1ccsc1",
    "imidazole": "c1c[nH]cn1",
    "pyrimidine": "c1cncnc1",
    "indole": "c1ccc2[nH]ccc2c1",
    "quinoline": "c1ccc2ncccc2c1",
    # halides
    "chlorobenzene": "Clc1ccccc1",
    "bromobenzene": "Brc1ccccc1",
    "fluorobenzene": "Fc1ccccc1",
    "iodobenzene": "Ic1ccccc1",
    "iodomethane": "CI",
    "chloroform": "ClC(Cl)Cl",
    "dichloromethane": "ClCCl",
    "carbon_tetrachloride": "ClC(Cl)(Cl)Cl",
    "trifluoroacetic_acid": "OC(=O)C(F)(F)F",
    # solvents
    "methanol": "CO",
    "ethanol": "CCO",
    "acetone": "CC(C)=O",
    "acetonitrile": "CC#N",
    "dimethyl_sulfoxide": "CS(C)=O",
    "dimethylformamide": "CN(C)C=O",
    "tetrahydrofuran": "C1CCOC1",
    "diethyl_ether": "CCOCC",
    "ethyl_acetate": "CCOC(C)=O",
    "hexane": "CCCCCC",
    "cyclohexane": "C1CCCCC1",
    # alcohols, amines, acids
    "acetic_acid": "CC(=O)O",
    "ethylamine": "CCN",
    "triethylamine": "CCN(CC)CC",
    "ethylene_glycol": "OCCO",
    "glycerol": "OCC(O)CO",
    "urea": "NC(N)=O",
    "citric_acid": "OC(=O)CC(O)(CC(O)=O)C(O)=O",
    "l_lactic_acid": "C[C@H](O)C(=O)O",
    # amino acids
    "glycine": "NCC(=O)O",
    "l_alanine": "C[C@H](N)C(=O)O",
    "l_cysteine": "N[C@@H](CS)C(=O)O",
    "l_phenylalanine": "N[C@@H](Cc1ccccc1)C(=O)O",
    # drugs and natural products
    "aspirin": "CC(=O)Oc1ccccc1C(=O)O",
    "caffeine": "Cn1cnc2c1c(=O)n(C)c(=O)n2C",
    "paracetamol": "CC(=O)Nc1ccc(O)cc1",
    "ibuprofen": "CC(C)Cc1ccc(cc1)C(C)C(=O)O",
    "s_ibuprofen": "CC(C)Cc1ccc(cc1)[C@H](C)C(=O)O",
    "lidocaine": "CCN(CC)CC(=O)Nc1c(C)cccc1C",
    "nicotine": "CN1CCC[C@H]1c1cccnc1",
    "testosterone": "C[C@]12CC[C@H]3[C@@H](CCC4=CC(=O)CC[C@]34C)[C@@H]1CC[C@@H]2O",
    "cholesterol": "C[C@H](CCCC(C)C)[C@H]1CC[C@@H]2[C@@]1(CC[C@H]3[C@H]2CC=C4[C@@]3"
                   "(CC[C@@H](C4)O)C)C",
    "ethinylestradiol": "C[C@]12CC[C@H]3[C@@H](CCc4cc(O)ccc34)[C@@H]1CC[C@@]2(O)C#C",
    "diazepam": "CN1C(=O)CN=C(c2ccccc2)c2cc(Cl)ccc21",
    "fluoxetine": "CNCCC(Oc1ccc(cc1)C(F)(F)F)c1ccccc1",
    "metformin": "CN(C)C(=N)N=C(N)N",
    "sulfanilamide": "Nc1ccc(cc1)S(N)(=O)=O",
    "chloramphenicol": "OC[C@@H](NC(=O)C(Cl)Cl)[C@H](O)c1ccc(cc1)[N+]([O-])=O",
    "menthol": "CC(C)[C@@H]1CC[C@@H](C)C[C@H]1O",
    "camphor": "CC1(C)[C@@H]2CC[C@@]1(C)C(=O)C2",
    "dopamine": "NCCc1ccc(O)c(O)c1",
    "adrenaline": "CNC[C@H](O)c1ccc(O)c(O)c1",
    "serotonin": "NCCc1c[nH]c2ccc(O)cc12",
    "histamine": "NCCc1c[nH]cn1",
    "glucose": "OC[C@H]1OC(O)[C@H](O)[C@@H](O)[C@@H]1O",
    "capsaicin": "COc1cc(CNC(=O)CCCC/C=C/C(C)C)ccc1O",
    "penicillin_g": "CC1(C)S[C@@H]2[C@H](NC(=O)Cc3ccccc3)C(=O)N2[C@H]1C(=O)O",
    # larger ones: bridged and fused ring systems, a macrolide, a cyclic peptide
    "morphine": "CN1CC[C@]23[C@@H]4Oc5c3c(C[C@@H]1[C@@H]2C=C[C@@H]4O)ccc5O",
    "cocaine": "COC(=O)[C@H]1[C@@H](OC(=O)c2ccccc2)C[C@@H]2CC[C@H]1N2C",
    "quinine": "COc1ccc2nccc([C@@H](O)[C@@H]3C[C@@H]4CCN3C[C@@H]4C=C)c2c1",
    "warfarin": "CC(=O)CC(c1ccccc1)c1c(O)c2ccccc2oc1=O",
    "sildenafil": "CCCc1nn(C)c2c(=O)[nH]c(-c3cc(S(=O)(=O)N4CCN(C)CC4)ccc3OCC)nc12",
    "atorvastatin": "CC(C)c1c(C(=O)Nc2ccccc2)c(-c2ccccc2)c(-c2ccc(F)cc2)n1CC[C@@H](O)C[C@@H]"
                    "(O)CC(=O)O",
    "sucrose": "OC[C@H]1O[C@@](CO)(O[C@H]2O[C@H](CO)[C@@H](O)[C@H](O)[C@H]2O)[C@@H](O)"
               "[C@@H]1O",
    "erythromycin": "CC[C@@H]1OC(=O)[C@H](C)[C@@H](O[C@H]2C[C@@](C)(OC)[C@@H](O)[C@H](C)O2)"
                    "[C@H](C)[C@@H](O[C@@H]2O[C@H](C)C[C@H](N(C)C)[C@H]2O)[C@](C)(O)"
                    "C[C@@H](C)C(=O)[C@H](C)[C@@H](O)[C@]1(C)O",
    "cyclosporin": "CC[C@H]1C(=O)N(CC(=O)N([C@H](C(=O)N[C@H](C(=O)N([C@H](C(=O)N[C@H]"
                   "(C(=O)N[C@@H](C(=O)N([C@H](C(=O)N([C@H](C(=O)N([C@H](C(=O)N([C@H]"
                   "(C(=O)N1)[C@@H]([C@H](C)C/C=C/C)O)C)C(C)C)C)CC(C)C)C)CC(C)C)C)C)C)"
                   "CC(C)C)C)C(C)C)CC(C)C)C)C",
    # phosphorus, silicon, lithium
    "triphenylphosphine": "c1ccc(cc1)P(c1ccccc1)c1ccccc1",
    "triethyl_phosphate": "CCOP(=O)(OCC)OCC",
    "tetramethylsilane": "C[Si](C)(C)C",
    "butyllithium": "CCCC[Li]",
}


def from_numbered(atoms, bonds):
    mol = Chem.RWMol()
    for symbol in atoms:
        mol.AddAtom(Chem.Atom(symbol))
    types = {1: Chem.BondType.SINGLE, 2: Chem.BondType.DOUBLE, 3: Chem.BondType.TRIPLE}
    for a1, a2, kind in bonds:
        mol.AddBond(a1 - 1, a2 - 1, types[kind])
    mol = mol.GetMol()
    # Keep the drawn single/double pattern: no aromaticity perception.
    Chem.SanitizeMol(mol, Chem.SanitizeFlags.SANITIZE_ALL
                     ^ Chem.SanitizeFlags.SANITIZE_SETAROMATICITY)
    return mol


def from_smiles(smiles):
    mol = Chem.MolFromSmiles(smiles)
    if mol is None:
        raise ValueError(f"bad SMILES {smiles}")
    return mol


def mol_block(name, mol):
    AllChem.Compute2DCoords(mol)
    Chem.Kekulize(mol, clearAromaticFlags=True)
    Chem.WedgeMolBonds(mol, mol.GetConformer())
    mol.SetProp("_Name", f"{name}.mol")
    block = Chem.MolToMolBlock(mol, kekulize=False)
    lines = block.splitlines()
    counts = lines[3]
    natoms, nbonds = int(counts[0:3]), int(counts[3:6])
    for i in range(4 + natoms, 4 + natoms + nbonds):
        line = lines[i]
        if line[6:9] == "  2" and line[9:12] == "  3":
            # The 2D coordinates already say how the double bond is drawn.
            lines[i] = line[:9] + "  0" + line[12:]
    # Charges also go into the atom lines (columns 37-39), where vuduzez reads
    # them; RDKit writes them only as "M  CHG" lines.
    for atom in mol.GetAtoms():
        charge = atom.GetFormalCharge()
        if charge:
            i = 4 + atom.GetIdx()
            lines[i] = lines[i][:36] + f"{CHARGE_CODES[charge]:3d}" + lines[i][39:]
    return natoms, nbonds, "\r\n".join(lines) + "\r\n"


def check(name, mol, natoms, nbonds, text):
    problems = []
    if not name.isascii() or name != name.lower() or " " in name:
        problems.append("file name must be lower-case ASCII without blanks")
    if natoms > MAX_ATOMS or nbonds > MAX_BONDS:
        problems.append(f"{natoms} atoms / {nbonds} bonds is over the capacity")
    for atom in mol.GetAtoms():
        if atom.GetSymbol() not in ELEMENTS:
            problems.append(f"element {atom.GetSymbol()} is not in the element table")
    for bond in mol.GetBonds():
        if bond.GetBondType() not in (Chem.BondType.SINGLE, Chem.BondType.DOUBLE,
                                      Chem.BondType.TRIPLE):
            problems.append(f"bond {bond.GetIdx() + 1} is not single, double or triple")
    lines = text.split("\r\n")
    if lines[0] != f"{name}.mol" or lines[3][34:39] != "V2000":
        problems.append("header or counts line is not as written")
    if problems:
        raise SystemExit(f"{name}: " + "; ".join(problems))


def main():
    RDLogger.DisableLog("rdApp.*")
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "sample", "mol")
    os.makedirs(outdir, exist_ok=True)
    entries = [(n, from_numbered(*numbering)) for n, numbering in NUMBERED.items()]
    entries += [(n, from_smiles(s)) for n, s in SMILES.items()]
    for name, mol in entries:
        natoms, nbonds, text = mol_block(name, mol)
        check(name, mol, natoms, nbonds, text)
        with open(os.path.join(outdir, f"{name}.mol"), "wb") as f:
            f.write(text.encode("ascii"))
    print(f"wrote {len(entries)} MOL files to {outdir}")


if __name__ == "__main__":
    main()
