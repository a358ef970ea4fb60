#include "model/valence.h"

#include "model/molecule.h"

namespace vuduzez {

namespace {

const Element* ElementAt(int32_t elem) {
  if (elem < 1 || elem >= kElementSlots) return nullptr;
  return &kElements[static_cast<size_t>(elem)];
}

// The element takes any valence (transition metals): no implicit hydrogens.
bool AnyValence(const Element& e) { return e.valenceCount == 0 || e.valences[0] < 0; }

}  // namespace

int32_t ValenceShift(int32_t elem, int32_t charge) {
  const Element* e = ElementAt(elem);
  if (e == nullptr) return 0;
  if (e->early) return -charge;
  if (elem == kCarbon && charge > 0) return -charge;
  return charge;
}

int32_t RadicalElectrons(int32_t radical) {
  switch (radical) {
    case 1:
    case 3:
      return 2;
    case 2:
      return 1;
    default:
      return 0;
  }
}

int32_t DefaultHydrogens(int32_t elem, int32_t charge, int32_t explicitValence,
                         int32_t radicalElectrons) {
  const Element* e = ElementAt(elem);
  if (e == nullptr || AnyValence(*e)) return 0;
  // A lone hydrogen: H2 when neutral, a bare proton or hydride when charged.
  if (elem == kHydrogen && explicitValence == 0 && radicalElectrons == 0) {
    return charge == 0 ? 1 : 0;
  }
  const int32_t used = explicitValence + radicalElectrons;
  const int32_t shift = ValenceShift(elem, charge);
  for (int k = 0; k < e->valenceCount && e->valences[static_cast<size_t>(k)] >= 0; ++k) {
    const int32_t allowed = e->valences[static_cast<size_t>(k)] + shift;
    if (used <= allowed) return allowed - used;
  }
  return 0;
}

int32_t AromaticValence(int32_t elem, int32_t charge, int32_t halfUnits) {
  const Element* e = ElementAt(elem);
  if (e != nullptr && !AnyValence(*e)) {
    const int32_t shift = ValenceShift(elem, charge);
    const int32_t defaultValence = e->valences[0] + shift;
    if (halfUnits > 2 * defaultValence) {
      int32_t below = defaultValence;
      for (int k = 0; k < e->valenceCount && e->valences[static_cast<size_t>(k)] >= 0; ++k) {
        const int32_t v = e->valences[static_cast<size_t>(k)] + shift;
        if (2 * v > halfUnits) break;
        below = v;
      }
      if (halfUnits - 2 * below <= 3) return below;
    }
  }
  return (halfUnits + 1) / 2;  // a half rounds up
}

int32_t AromaticHydrogens(int32_t elem, int32_t charge, int32_t explicitValence) {
  const Element* e = ElementAt(elem);
  if (e == nullptr || AnyValence(*e)) return 0;
  const int32_t defaultValence = e->valences[0] + ValenceShift(elem, charge);
  return explicitValence <= defaultValence ? defaultValence - explicitValence : 0;
}

}  // namespace vuduzez
