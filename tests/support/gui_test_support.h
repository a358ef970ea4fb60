// Helpers for the window tests: sample MOL files, "MDLCT" blocks as a
// structure editor puts them on the clipboard, and small database files made
// with the real pipeline.
#pragma once

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <string>
#include <vector>

#include "database/database.h"
#include "key/structure_key.h"
#include "model/molreader.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/recording_sink.h"

namespace vuduzez::testsupport {

inline std::string SamplePath(const std::string& name) {
  return std::string(VUDUZEZ_SOURCE_DIR) + "/sample/mol/" + name + ".mol";
}

inline std::string SampleMol(const std::string& name) { return ReadFileBytes(SamplePath(name)); }

// Each line of the MOL text as one length byte and its characters.
inline std::string MdlctBlock(const std::string& molText) {
  std::string block;
  LineReader lines(molText);
  while (!lines.AtEnd()) {
    std::string_view line = lines.Next();
    block += static_cast<char>(line.size());
    block += line;
  }
  return block;
}

inline void SetClipboardMime(const QString& format, const std::string& bytes) {
  auto* data = new QMimeData;
  data->setData(format, QByteArray::fromStdString(bytes));
  QGuiApplication::clipboard()->setMimeData(data);
}

inline void SetClipboardBlock(const std::string& block) {
  SetClipboardMime(QStringLiteral("MDLCT"), block);
}

inline void SetClipboardText(const std::string& utf8) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
}

inline void ClearClipboard() { QGuiApplication::clipboard()->setMimeData(new QMimeData); }

// The record registration would write for a MOL file, under nameLine.
inline CompoundRecord RecordFor(const std::string& molPath, const std::string& nameLine) {
  RecordingSink ui;
  Molecule mol;
  if (!ReadMolFile(mol, molPath, ui)) return {};
  CalcFormulaWeight(mol);
  MakeStructureKey(mol, ui);
  return {nameLine, mol.molweight, mol.molformula, mol.keydata};
}

inline void WriteDatabase(const std::string& path, const std::vector<CompoundRecord>& records) {
  std::string text;
  for (const auto& r : records)
    text += r.name + "\r\n" + r.weight + "\r\n" + r.formula + "\r\n" + r.key + "\r\n";
  WriteFileBytes(path, text);
}

}  // namespace vuduzez::testsupport
