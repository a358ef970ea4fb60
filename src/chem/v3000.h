// MOL V3000 read through RDKit and written again as V2000, the form the
// system's reader, its MOL folder and the original program share. Linking
// chem/ lends the converter to the MOL reader (SetV3000Converter) before main
// runs; the build makes every program link it (vuduzez_chem_v3000_anchor).
#pragma once

#include <string>
#include <string_view>

namespace vuduzez::chem {

// The V2000 text of a V3000 MOL text: its atoms, bonds, coordinates, charges,
// isotopes, radicals, wedges, query atoms and groups as RDKit reads them, its
// bonds as drawn (aromatic bonds stay type 4). False, with RDKit's reason in
// why, when RDKit cannot read it or V2000 cannot hold it (more than 999 atoms
// or bonds).
bool ConvertV3000ToV2000(std::string_view v3000, std::string& v2000, std::string& why);

}  // namespace vuduzez::chem

// Referenced by the link options of every program so that the converter is
// installed wherever the MOL reader is.
extern "C" int vuduzez_chem_v3000_anchor;
