#!/usr/bin/python3
"""MOL records written with aromatic bonds beside their Kekule twins.

For every record of the SD files of Debian's rdkit-data, RDKit writes the
same structure with its aromatic bonds as MOL bond type 4 (what many programs
write); `vuduzez-cli key --json` reads both, and the script counts how often
formula, weight and key are the same. Differences are listed: a twin that
vuduzez refuses (an aromatic NH whose hydrogen the file does not draw: no
Kekule form, RDKit refuses to read it too), or a Kekule form drawn in the
original in which fewer six-rings alternate than in the one vuduzez chooses.

    /usr/bin/python3 tools/compare_aromatic.py [path/to/vuduzez-cli]
"""

import os
import sys
import tempfile

from rdkit import Chem, RDLogger

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_rdkit import RDKIT, SD_SETS, mol_part, ours, sd_blocks  # noqa: E402


def alternating(mol):
    """Six-rings drawn with three double bonds."""
    Chem.FastFindRings(mol)
    return sum(
        1 for ring in mol.GetRingInfo().BondRings()
        if len(ring) == 6 and sum(mol.GetBondWithIdx(b).GetBondType() == Chem.BondType.DOUBLE
                                  for b in ring) == 3)


def why_different(text):
    """Whether the original's Kekule form alternates fewer six-rings than the best."""
    drawn = Chem.MolFromMolBlock(text, sanitize=False, removeHs=False)
    drawn.UpdatePropertyCache(False)
    mol = Chem.MolFromMolBlock(text, removeHs=False)
    best = max(alternating(Chem.Mol(r)) for r in Chem.ResonanceMolSupplier(mol, Chem.KEKULE_ALL))
    mine = alternating(drawn)
    return (f"drawn with {mine} alternating six-rings of {best} possible"
            if mine < best else "UNEXPLAINED")


def main():
    RDLogger.DisableLog("rdApp.*")
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "build", "vuduzez-cli")
    same = refused = other = total = 0
    lines = []
    with tempfile.TemporaryDirectory() as tmp:
        originals, twins, names, texts, rdkit_reads = [], [], [], [], []
        for rel in SD_SETS:
            for i, block in enumerate(sd_blocks(os.path.join(RDKIT, rel))):
                text = mol_part(block)
                mol = Chem.MolFromMolBlock(text, sanitize=True, removeHs=False)
                if mol is None or not any(b.GetIsAromatic() for b in mol.GetBonds()):
                    continue
                twin = Chem.MolToMolBlock(mol, kekulize=False)
                for kind, content, into in (("k", text, originals), ("a", twin, twins)):
                    path = os.path.join(tmp, f"{kind}{len(names):05d}.mol")
                    with open(path, "w", encoding="latin-1", newline="") as f:
                        f.write(content)
                    into.append(path)
                names.append(f"{os.path.basename(rel)}#{i + 1}")
                texts.append(text)
                rdkit_reads.append(Chem.MolFromMolBlock(twin, removeHs=False) is not None)
        for name, text, reads, k, a in zip(names, texts, rdkit_reads, ours(cli, originals),
                                           ours(cli, twins)):
            total += 1
            fields = ("formula", "weight", "key")
            if "error" in a and not a["keyfail"]:
                refused += 1
                lines.append(f"  {name}: twin refused: {a['error']}"
                             f"{' (RDKit cannot read it either)' if not reads else ' UNEXPLAINED'}")
            elif all(k.get(f) == a.get(f) for f in fields):
                same += 1
            else:
                other += 1
                lines.append(f"  {name}: {k['formula']} {k['weight']} / twin "
                             f"{a['formula']} {a['weight']}, keys "
                             f"{'same' if k['key'] == a['key'] else 'differ'}: "
                             f"{why_different(text)}")
    print(f"{total} records with aromatic rings: {same} the same as their Kekule twin, "
          f"{refused} twins refused, {other} different")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
