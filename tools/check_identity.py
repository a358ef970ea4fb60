#!/usr/bin/python3
"""Structure identity beside RDKit, on real molecules from Debian's rdkit-data.

Makes a registration set: COUNT structures of the NCI set (first_5K.smi) with
an aromatic ring, each as three MOL files: "<n>_a" as RDKit kekulizes it,
"<n>_b" the same structure in another Kekule form (the same atoms, other bond
orders), and "<n>_salt" a salt of it (a carboxylic acid as its sodium salt,
anything else as its hydrochloride); the same set as one SD file; and BULK
more NCI molecules as they come (whatever duplicates the collection holds).
Then, in fresh workspaces:

  - batch registration of the set's folder (not the MOL folder): the pairs it
    reports as the same structure are exactly the (<n>_b, <n>_a) pairs, every
    record's MOL file is in the MOL folder (drawable), export writes every
    record and says so; with --skip-same-structure those are left out;
  - SD import of the set: the same pairs;
  - vuduzez-cli duplicates at every level against RDKit's own groups of the
    same MOL files (exact: equal canonical SMILES; parent, nostereo, tautomer
    as chem/identity.h defines them, computed here in Python);
  - times: the sound index made with the identity layers (vuduzez-cli
    duplicates on an empty cache, one thread and every core) beside RDKit
    computing the same four layers in Python (one thread).

Prints the comparison and figures; exit status 1 on any difference.

    /usr/bin/python3 tools/check_identity.py [--cli build/vuduzez-cli] [--count 200] [--bulk 2000]
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

from rdkit import Chem, RDLogger
from rdkit.Chem import AllChem, rdMolHash
from rdkit.Chem.MolStandardize import rdMolStandardize

ELEMENTS = {"C", "H", "N", "O", "S", "P", "F", "Cl", "Br", "I", "Si", "Li", "Zn"}
NCI = "/usr/share/RDKit/Data/NCI/first_5K.smi"
ACID = Chem.MolFromSmarts("[CX3](=O)[OX2H1]")
AMINE = Chem.MolFromSmarts("[NX3;H2,H1,H0;!$(NC=[O,S,N]);!$(N-a);!$(N=*);!$(N#*);!$(N-[!#6;!#1])]")


def usable(mol):
    return (mol is not None and 0 < mol.GetNumAtoms() <= 80 and
            all(a.GetSymbol() in ELEMENTS for a in mol.GetAtoms()) and
            all(a.GetFormalCharge() == 0 for a in mol.GetAtoms()))


def block(mol, name):
    """MOL V2000 as the bench data writes it: 2D, Kekule bonds, CR LF."""
    mol = Chem.Mol(mol)
    mol.SetProp("_Name", name)
    return "\r\n".join(Chem.MolToMolBlock(mol, kekulize=False).splitlines()) + "\r\n"


def kekule(mol):
    k = Chem.Mol(mol)
    Chem.Kekulize(k, clearAromaticFlags=True)
    return k


def other_kekule_form(k, rng):
    """The same atoms with the bond orders of another Kekule form: a six-membered
    ring of alternating single and double bonds flipped (None if none gives the
    same structure)."""
    rings = [r for r in k.GetRingInfo().BondRings() if len(r) == 6]
    rng.shuffle(rings)
    aromatic = Chem.Mol(k)
    Chem.SanitizeMol(aromatic)
    want = Chem.MolToSmiles(aromatic)
    for ring in rings:
        types = [k.GetBondWithIdx(i).GetBondType() for i in ring]
        if sorted(types) != sorted([Chem.BondType.SINGLE] * 3 + [Chem.BondType.DOUBLE] * 3):
            continue
        out = Chem.RWMol(k)
        for i in ring:
            b = out.GetBondWithIdx(i)
            b.SetBondType(Chem.BondType.DOUBLE if b.GetBondType() == Chem.BondType.SINGLE
                          else Chem.BondType.SINGLE)
        check = Chem.Mol(out)
        try:
            Chem.SanitizeMol(check)
        except Exception:
            continue
        if Chem.MolToSmiles(check) != want:
            continue
        # Written with the bond orders as flipped (RDKit would kekulize it back).
        out.UpdatePropertyCache(strict=False)
        return out.GetMol()
    return None


def salt_of(mol):
    m = Chem.RWMol(mol)
    acid = mol.GetSubstructMatch(ACID)
    if acid:
        o = m.GetAtomWithIdx(acid[2])
        o.SetFormalCharge(-1)
        o.SetNoImplicit(True)
        o.SetNumExplicitHs(0)
        m.GetAtomWithIdx(m.AddAtom(Chem.Atom(11))).SetFormalCharge(1)
    else:
        m.AddAtom(Chem.Atom(17))  # HCl beside the compound, as registries draw it
    Chem.SanitizeMol(m)
    AllChem.Compute2DCoords(m)
    return kekule(m)


def layers(mol):
    """The four layers of chem/identity.h, in Python."""
    exact = Chem.MolToSmiles(mol)
    frags = Chem.GetMolFrags(mol)
    if len(frags) > 1 or any(a.GetFormalCharge() for a in mol.GetAtoms()):
        canon = Chem.RenumberAtoms(mol, list(mol.GetPropsAsDict(True, True)["_smilesAtomOutputOrder"]))
        parent = rdMolStandardize.Uncharger(canonicalOrder=True).uncharge(
            rdMolStandardize.LargestFragmentChooser(preferOrganic=True).choose(canon))
    else:
        parent = Chem.RenumberAtoms(mol, list(mol.GetPropsAsDict(True, True)["_smilesAtomOutputOrder"]))
    p = Chem.MolToSmiles(parent)
    nostereo = Chem.MolToSmiles(parent, isomericSmiles=False)
    flat = Chem.RWMol(parent)
    Chem.RemoveStereochemistry(flat)
    return [exact, p, nostereo, rdMolHash.MolHash(flat, rdMolHash.HashFunction.HetAtomTautomer)]


def run(cli, *args, env=None, check=True):
    r = subprocess.run([cli, *args], capture_output=True, text=True, env=env)
    if check and r.returncode not in (0, 1):
        sys.exit(f"{' '.join(args)}: exit {r.returncode}\n{r.stderr}")
    return r


def pairs_of(lines, pattern):
    out = set()
    for line in lines:
        m = re.search(pattern, line)
        if m:
            out.add((m.group(1), m.group(2)))
    return out


def groups_from_rdkit(names, mol_folder, level):
    by = {}
    for n in names:
        m = Chem.MolFromMolFile(os.path.join(mol_folder, n + ".mol"))
        if m is None:
            continue
        by.setdefault(layers(m)[level], set()).add(n)
    return {frozenset(g) for g in by.values() if len(g) > 1}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(os.path.dirname(__file__), "..", "build",
                                                  "vuduzez-cli"))
    ap.add_argument("--count", type=int, default=200)
    ap.add_argument("--bulk", type=int, default=2000)
    args = ap.parse_args()
    cli = os.path.abspath(args.cli)
    RDLogger.DisableLog("rdApp.*")
    rng = random.Random(7)
    work = tempfile.mkdtemp(prefix="vuduzez-identity-")
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"))
    incoming = os.path.join(work, "incoming")
    os.makedirs(incoming)
    sd = open(os.path.join(work, "set.sdf"), "w", newline="")

    # The set: structures of distinct parents, none a salt already.
    seen, made, bulk = set(), 0, []
    expected = set()
    for line in open(NCI):
        mol = Chem.MolFromSmiles(line.split()[0]) if line.split() else None
        if not usable(mol):
            continue
        if made < args.count and mol.GetRingInfo().NumRings() and any(a.GetIsAromatic() for a in mol.GetAtoms()):
            parent = layers(mol)[1]
            if parent in seen or len(Chem.GetMolFrags(mol)) > 1:
                continue
            AllChem.Compute2DCoords(mol)
            a = kekule(mol)
            b = other_kekule_form(a, rng)
            if b is None:
                continue
            c = salt_of(mol)
            if layers(c)[1] != parent:
                continue
            seen.add(parent)
            n = f"s{made:03d}"
            for suffix, m in (("_a", a), ("_b", b), ("_salt", c)):
                text = block(m, n + suffix)
                with open(os.path.join(incoming, n + suffix + ".mol"), "w", newline="") as f:
                    f.write(text)
                sd.write(text + "$$$$\r\n")
            expected.add((n + "_b.mol", n + "_a"))
            made += 1
        elif len(bulk) < args.bulk:
            AllChem.Compute2DCoords(mol)
            bulk.append(kekule(mol))
        if made >= args.count and len(bulk) >= args.bulk:
            break
    sd.close()
    print(f"set: {made} structures x (a, another Kekule form, a salt) = {3 * made} files; "
          f"{len(bulk)} more NCI molecules; in {work}")
    status = 0

    def verdict(ok, what):
        nonlocal status
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            status = 1

    # Batch registration from another folder.
    db, mols = os.path.join(work, "batch.txt"), os.path.join(work, "mol")
    os.makedirs(mols)
    open(db, "w").close()
    r = run(cli, "register", "--db", db, "--mol-dir", mols, incoming, env=env)
    found = pairs_of(r.stdout.splitlines(), r"^registered\t(\S+)\t同じ構造が (\S+) として登録されています$")
    verdict(found == expected, f"batch: {len(found)} pairs reported as the same structure, "
                               f"{len(expected)} expected ({len(found - expected)} extra, "
                               f"{len(expected - found)} missing)")
    names = [l.strip().rsplit(".", 1)[0] for l in run(cli, "list", "--db", db).stdout.splitlines()]
    verdict(len(names) == 3 * made and all(os.path.exists(os.path.join(mols, n + ".mol")) for n in names),
            f"batch from another folder: {len(names)} records, each with its MOL file in the MOL folder")
    ex = run(cli, "export", "--db", db, "--mol-dir", mols, env=env)
    verdict(ex.stdout.count("$$$$") == len(names) and f"{len(names)} compounds written" in ex.stderr,
            f"export: {ex.stdout.count('$$$$')} SD records for {len(names)} records ({ex.stderr.strip()})")

    # The same with --skip-same-structure.
    db2, mols2 = os.path.join(work, "skip.txt"), os.path.join(work, "mol_skip")
    os.makedirs(mols2)
    open(db2, "w").close()
    r = run(cli, "register", "--db", db2, "--mol-dir", mols2, "--skip-same-structure", incoming, env=env)
    left = [l for l in r.stdout.splitlines() if l.startswith("same structure\t")]
    verdict(len(left) == made and len(run(cli, "list", "--db", db2).stdout.splitlines()) == 2 * made,
            f"--skip-same-structure: {len(left)} left out, {2 * made} registered")

    # SD import.
    db3, mols3 = os.path.join(work, "import.txt"), os.path.join(work, "mol_import")
    os.makedirs(mols3)
    open(db3, "w").close()
    r = run(cli, "import", "--db", db3, "--mol-dir", mols3, os.path.join(work, "set.sdf"), env=env)
    found = pairs_of(r.stdout.splitlines(),
                     r"^\d+\tregistered\t(\S+)\t同じ構造が (\S+) として登録されています$")
    verdict(found == expected, f"import: {len(found)} pairs reported as the same structure")

    # duplicates beside RDKit, on the set and the bulk molecules together.
    for i, m in enumerate(bulk):
        with open(os.path.join(mols, f"nci{i:05d}.mol"), "w", newline="") as f:
            f.write(block(m, f"nci{i:05d}"))
    run(cli, "register", "--db", db, "--mol-dir", mols, env=env)
    names = [l.strip().rsplit(".", 1)[0] for l in run(cli, "list", "--db", db).stdout.splitlines()]
    for level, name in enumerate(("exact", "parent", "nostereo", "tautomer")):
        out = run(cli, "duplicates", "--db", db, "--mol-dir", mols, "--level", name, env=env).stdout
        ours = {frozenset(l.split("\t")[1:]) for l in out.splitlines()}
        rdkit = groups_from_rdkit(names, mols, level)
        verdict(ours == rdkit, f"duplicates --level {name}: {len(ours)} groups, RDKit {len(rdkit)} "
                               f"over {len(names)} records")
        for g in sorted(ours ^ rdkit, key=sorted)[:5]:
            print("      differs:", sorted(g))

    # Times: the sound index with its identity layers, beside RDKit making the same layers.
    # The best of three runs each (other work on the machine only slows a run).
    texts = [open(os.path.join(mols, n + ".mol")).read() for n in names]
    rdkit = float("inf")
    for _ in range(3):
        t = time.perf_counter()
        for text in texts:
            m = Chem.MolFromMolBlock(text)
            if m is not None:
                layers(m)
        rdkit = min(rdkit, time.perf_counter() - t)
    for threads in ("1", str(os.cpu_count())):
        ours = float("inf")
        for _ in range(3):
            shutil.rmtree(env["XDG_CACHE_HOME"], ignore_errors=True)
            t = time.perf_counter()
            run(cli, "duplicates", "--db", db, "--mol-dir", mols,
                env=dict(env, VUDUZEZ_THREADS=threads))
            ours = min(ours, time.perf_counter() - t)
        print(f"time: sound index (read, perceive, graph, fingerprint, identity) of {len(names)} "
              f"records, {threads} thread(s): {ours:.2f} s; RDKit in Python, reading and the four "
              f"layers alone, 1 thread: {rdkit:.2f} s (ratio {rdkit / ours:.1f})")
    shutil.rmtree(work)
    return status


if __name__ == "__main__":
    sys.exit(main())
