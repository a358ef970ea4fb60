// Builds small molecules for the drawing tests. Atoms are placed by the picture
// point they should get: two corner atoms (119, 162) and (232, 84) are added
// last, so that with base size 150 both axes are scaled by exactly 25 pixels
// per model unit and an atom placed at integer (px, py) lands there.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "depict/depict.h"
#include "depict/recording_canvas.h"
#include "model/molreader.h"
#include "support/recording_sink.h"

namespace vuduzez::testing {

struct TestAtom {
  int px;
  int py;
  const char* symbol = "C";
  int charge = 0;
};

struct TestBond {
  int atom1;
  int atom2;
  int order = 1;
  int stereo = 0;
};

// An atom given by its model coordinates as they stand in the file.
struct ModelAtom {
  std::string x;
  std::string y;
  const char* symbol = "C";
  int charge = 0;
};

inline std::string MolText(const std::vector<ModelAtom>& atoms,
                           const std::vector<TestBond>& bonds) {
  char buf[128];
  std::string text = "test.mol\n  vuduzez\n\n";
  std::snprintf(buf, sizeof buf, "%3zu%3zu  0  0  0  0  0  0  0  0999 V2000\n", atoms.size(),
                bonds.size());
  text += buf;
  for (const ModelAtom& a : atoms) {
    std::snprintf(buf, sizeof buf, "%10s%10s%10s %-3s 0%3d  0  0  0  0  0  0  0  0  0  0\n",
                  a.x.c_str(), a.y.c_str(), "0.0000", a.symbol, a.charge);
    text += buf;
  }
  for (const TestBond& b : bonds) {
    std::snprintf(buf, sizeof buf, "%3d%3d%3d%3d\n", b.atom1, b.atom2, b.order, b.stereo);
    text += buf;
  }
  return text + "M  END\n";
}

inline std::string Coord(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  return buf;
}

inline std::string MolText(const std::vector<TestAtom>& atoms, const std::vector<TestBond>& bonds,
                           bool corners = true) {
  std::vector<ModelAtom> model;
  for (const TestAtom& a : atoms) {
    model.push_back({Coord((a.px - 119) / 25.0), Coord((162 - a.py) / 25.0), a.symbol, a.charge});
  }
  if (corners) {
    model.push_back({"0.0000", "0.0000"});
    model.push_back({"4.5000", "3.1500"});
  }
  return MolText(model, bonds);
}

inline Molecule Read(const std::string& text) {
  Molecule mol;
  RecordingSink ui;
  if (!ReadMolText(mol, text, ui)) ADD_FAILURE() << "test molecule refused";
  CalcFormulaWeight(mol);
  return mol;
}

// Read and completed; the weight is set below 100 so that the base size is 150.
inline Molecule Build(const std::vector<TestAtom>& atoms, const std::vector<TestBond>& bonds,
                      bool corners = true) {
  Molecule mol = Read(MolText(atoms, bonds, corners));
  mol.molweight = "50.00";
  return mol;
}

inline std::vector<std::string> Draw(Molecule& mol, DepictSizes* sizes = nullptr,
                                     int32_t width = kPictureWidth) {
  RecordingCanvas canvas;
  DepictState st;
  DrawMolecule(mol, width, 1, kPictureAspect, canvas, st, sizes);
  return canvas.Lines();
}

// The drawing operations of the bonds: everything after the label height is
// set and before the first label.
inline std::vector<std::string> BondOps(const std::vector<std::string>& ops) {
  std::vector<std::string> out;
  int fonts = 0;
  for (const std::string& op : ops) {
    if (op.rfind("text ", 0) == 0) break;
    if (fonts >= 2) out.push_back(op);
    if (op.rfind("font ", 0) == 0) ++fonts;
  }
  return out;
}

// Everything from the first label on.
inline std::vector<std::string> LabelOps(const std::vector<std::string>& ops) {
  std::vector<std::string> out;
  bool on = false;
  for (const std::string& op : ops) {
    on = on || op.rfind("text ", 0) == 0;
    if (on) out.push_back(op);
  }
  return out;
}

}  // namespace vuduzez::testing
