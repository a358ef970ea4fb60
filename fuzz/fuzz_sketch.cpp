// Fuzz target: the sketcher's document. The input is a MOL text to load and,
// after a NUL byte, a sequence of drawing operations. Whatever is drawn, the
// MOL text written for it must be read by the system's reader with the same
// counts, every bond must name two atoms, and undoing every step must bring
// back the loaded drawing.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "model/molreader.h"
#include "platform/errors.h"
#include "platform/message_sink.h"
#include "sketch/sketch.h"
#include "sketch/sketch_mol.h"

using namespace vuduzez;

namespace {

void Check(const Sketch& s) {
  const SketchDoc& d = s.doc();
  for (const SketchBond& b : d.bonds) {
    if (b.atom1 < 0 || b.atom2 < 0 || static_cast<size_t>(b.atom1) >= d.atoms.size() ||
        static_cast<size_t>(b.atom2) >= d.atoms.size()) {
      std::abort();
    }
  }
  auto mol = std::make_unique<Molecule>();
  SilentSink ui;
  if (!ReadMolText(*mol, SketchToMolText(d), ui)) std::abort();
  if (mol->atmcount != static_cast<int>(d.atoms.size()) ||
      mol->bndcount != static_cast<int>(d.bonds.size())) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view text = input.substr(0, split);
  const std::string_view ops = split == std::string_view::npos ? "" : input.substr(split + 1);

  Sketch s;
  SketchDoc loaded;
  SilentSink ui;
  try {
    if (SketchFromMolText(text, loaded, ui)) s.Replace(loaded);
  } catch (const RuntimeError&) {
  }
  const SketchDoc start = s.doc();
  Check(s);

  int steps = 0;
  for (size_t i = 0; i + 2 < ops.size() && steps < 64; i += 3) {
    const uint8_t op = static_cast<uint8_t>(ops[i]);
    const int a = static_cast<uint8_t>(ops[i + 1]);
    const int b = static_cast<uint8_t>(ops[i + 2]);
    const int atoms = static_cast<int>(s.doc().atoms.size());
    const int bonds = static_cast<int>(s.doc().bonds.size());
    const int atom = atoms > 0 ? a % atoms : -1;
    const int bond = bonds > 0 ? a % bonds : -1;
    const SketchPoint p{(a - 128) / 16.0, (b - 128) / 16.0};
    bool done = false;
    switch (op % 14) {
      case 0:
        done = s.AddAtom(p) >= 0;
        break;
      case 1:
        if (atom >= 0)
          done = s.AddBondAt(s.doc().atoms[atom].pos, s.FreeBondEnd(atom), 1 + b % 3,
                             (b & 4) ? kStereoWedge : kStereoNone) >= 0;
        break;
      case 2:
        done = s.AddChain(ChainPoints(p, {p.x + b % 7, p.y - b % 5}));
        break;
      case 3:
        done = s.AddRing(p, 3 + b % 6, b & 1);
        break;
      case 4:
        done = s.FuseRing(bond, 3 + b % 6, b & 1, SketchPoint{p.y, p.x});
        break;
      case 5:
        done = s.SpiroRing(atom, 3 + b % 6, b & 1);
        break;
      case 6:
        done = s.SetElement(atom, (b & 1) ? "Cl" : "N");
        break;
      case 7:
        done = s.ChangeCharge(atom, (b & 1) ? 1 : -1);
        break;
      case 8:
        done = s.CycleBond(bond);
        break;
      case 9:
        done = s.SetBondStereo(bond, (b & 1) ? kStereoHashed : kStereoWedge);
        break;
      case 10:
        done = (b & 1) ? s.EraseAtom(atom) : s.EraseBond(bond);
        break;
      case 11:
        done = s.MoveAtoms({atom, b % (atoms + 1)}, (b - 128) / 64.0, (a - 128) / 64.0);
        break;
      case 12:
        done = s.DeleteAtoms({atom, a % (atoms + 2) - 1});
        break;
      case 13:
        done = s.AddFragment(start);
        break;
    }
    steps += done;
    Check(s);
  }
  while (steps-- > 0) {
    if (!s.Undo()) std::abort();
  }
  if (!(s.doc() == start)) std::abort();
  return 0;
}
