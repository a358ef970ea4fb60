// Ways a structure reaches the search and registration windows: the clipboard
// (an "MDLCT" block from a structure editor, or MOL text), a MOL file chosen or
// dropped by the user, and the editor panel that stands where the embedded
// editor object was. Every way ends in MOL text held in memory, which the
// windows read with ReadMolText.
#pragma once

#include <QFrame>
#include <QPicture>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "gui/ui.h"

class QLabel;
class QMimeData;

namespace vuduzez {

// The MOL text of the structure on the clipboard: the "MDLCT" block if there
// is one, else MOL text (chemical/x-mdl-molfile, else plain text that is a
// V2000 MOL file). keepNameLine: registration keeps line 1 (the molecule
// name), search makes it empty. Shows "クリップボードにデータがありません" and
// gives nullopt when the clipboard holds no structure.
std::optional<std::string> CaptureStructureFromClipboard(bool keepNameLine, MessageSink& sink);

// The MOL text of a MOL file (dropped or chosen, UTF-8 path), line 1 blanked
// unless keepNameLine. Shows the error and gives nullopt when the file cannot
// be read (a FIFO or device is refused at once).
std::optional<std::string> CaptureStructureFromFile(const std::string& molPath, bool keepNameLine,
                                                    MessageSink& sink);

// Asks for a MOL file with the file-open dialog ("MOLファイルを開く"); nullopt
// when cancelled.
std::optional<std::string> ChooseMolFile(const std::string& startFolder, Ui& ui);

// Structure editors the panel may start, in order of preference: the program
// names looked up on PATH.
const std::vector<std::string>& StructureEditorCandidates();

// Full path of the first candidate found on PATH, empty when none is.
std::string FindStructureEditor();

// Starts the first structure editor found, detached; otherwise tells the user
// that none is installed and how to install one. Returns whether one started.
bool StartStructureEditor(MessageSink& sink);

// The panel's hint: which editor a double-click starts here, or how to get one.
std::string StructureEditorHint();

// The panel that stands for the embedded editor object ("ISIS Draw Window"):
// it shows the structure the window works with (drawn as the hits are),
// double-click starts a structure editor, a dropped .mol file is reported
// through molFileDropped.
class EditorPanel : public QFrame {
  Q_OBJECT

 public:
  explicit EditorPanel(QWidget* parent = nullptr);

  // Shows a text in place of the caption (a structure given as a SMILES has no
  // picture: the panel says so); an empty text brings the caption back.
  void showNote(const QString& text);
  // Shows the structure of MOL text (CP932 bytes), scaled into the panel; a
  // text the reader refuses clears the panel.
  void showStructure(const std::string& molText);
  void clearStructure();
  bool hasStructure() const { return !picture_.isNull(); }

 signals:
  // A .mol file was dropped onto the panel (local path).
  void molFileDropped(const QString& path);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* label_;
  QPicture picture_;
};

// The first local .mol file among dropped URLs, empty when there is none.
QString DroppedMolFile(const QMimeData* data);

}  // namespace vuduzez
