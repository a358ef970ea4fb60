// The default valence model: how many hydrogens an atom carries without their
// being drawn, by its element, charge, bonds and radical electrons. It is the
// model of the field (RDKit's, element by element): neutral C 4, N 3, O 2, the
// halogens 1, S 2/4/6, P 3/5/7; a charge moves the allowed valences as for
// the isoelectronic element (N+ 4, O+ 3, O- 1, B- 4, C+ and C- 3); metals
// without a fixed valence get none.
#pragma once

#include <cstdint>

namespace vuduzez {

// How a formal charge moves the allowed valences of an element (index of
// kElements): +charge for elements from carbon on, -charge left of carbon,
// and -|charge| for carbon.
int32_t ValenceShift(int32_t elem, int32_t charge);

// Radical electrons of an M  RAD value: singlet and triplet 2, doublet 1.
int32_t RadicalElectrons(int32_t radical);

// Implicit hydrogens: the lowest allowed valence (shifted by the charge) that
// is not below the explicit valence (the bond order sum) plus the radical
// electrons, less that sum; 0 when no allowed valence is high enough, for a
// query atom (elem 0) and for an element that takes any valence.
int32_t DefaultHydrogens(int32_t elem, int32_t charge, int32_t explicitValence,
                         int32_t radicalElectrons);

// The explicit valence of an atom with aromatic bonds, before its bonds are
// made single and double: halfUnits is twice the bond order sum (an aromatic
// bond counts 1.5). A sum above the default valence is taken down to the
// nearest allowed valence within 1.5 (a ring fusion carbon has 4.5, which is
// 4); otherwise a half rounds up (2.5 is 3).
int32_t AromaticValence(int32_t elem, int32_t charge, int32_t halfUnits);

// Implicit hydrogens of an atom with aromatic bonds whose explicit valence is
// AromaticValence: what the default valence leaves, 0 above it.
int32_t AromaticHydrogens(int32_t elem, int32_t charge, int32_t explicitValence);

}  // namespace vuduzez
