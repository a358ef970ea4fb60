// The Kekule form the system chooses for aromatic bonds (SMILES aromatic
// atoms, MOL bond type 4): single and double bonds such that every atom that
// needs a double bond gets exactly one, and among those forms one in which as
// many six-membered rings as possible alternate (three double bonds), so that
// the structure key marks them as it marks a drawn benzene or naphthalene.
#pragma once

#include <cstdint>
#include <vector>

namespace vuduzez {

struct KekuleGraph {
  // Bonds between atoms 0..atoms-1. order 0: to be made single or double;
  // any other order is fixed (2 counts as a double bond in a ring).
  struct Bond {
    int32_t a = 0;
    int32_t b = 0;
    int32_t order = 0;
  };
  int32_t atoms = 0;
  std::vector<Bond> bonds;
  // Per atom: 0 takes no double bond, 1 takes exactly one, 2 may take one (a
  // query atom in an aromatic ring). Atoms of role 2 are only given a double
  // bond when the form cannot be made without.
  std::vector<uint8_t> role;
};

struct KekuleForm {
  bool ok = true;
  int32_t atom = -1;           // on failure: the first atom left without its double bond
  std::vector<int32_t> order;  // per bond: 1 or 2 where it was to be chosen, else as given
};

// The Kekule form: the first perfect matching that a greedy start and
// augmenting paths give (Edmonds), improved while a search within a fixed
// budget finds a form in which more six-membered rings alternate; of equally
// good forms the first is kept. Deterministic for a given bond order.
KekuleForm ChooseKekuleForm(const KekuleGraph& graph);

}  // namespace vuduzez
