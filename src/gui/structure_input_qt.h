// Ways a structure reaches the search and registration windows: the clipboard
// (an "MDLCT" block from a structure editor, or MOL text), a MOL file chosen or
// dropped by the user, and the sketcher panel that stands where the embedded
// editor object was. Every way ends in MOL text held in memory, which the
// windows read with ReadMolText.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "gui/sketch_widget.h"
#include "gui/ui.h"

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

// The structure panel of both windows, where the embedded editor object was
// ("ISIS Draw Window"): a sketcher that shows every structure the window
// works with (a clipboard capture, an opened or dropped MOL file) and lets
// the user draw, paste and edit. A double-click on the empty panel or the
// context menu entry "外部エディタで編集" starts a structure editor; a dropped
// .mol file is reported through molFileDropped.
//
// Whose structure it holds decides what the windows' buttons take: the
// user's drawing (anything drawn, edited or pasted in the panel since the
// window last showed a structure there) is taken as it is; an empty panel,
// or one that shows untouched what the window put there, lets the button
// capture the clipboard as before.
class EditorPanel : public SketchWidget {
  Q_OBJECT

 public:
  explicit EditorPanel(QWidget* parent = nullptr);

  // Shows a text in place of the caption of the empty panel (a structure
  // given as a SMILES is not drawn: the panel says so); an empty text brings
  // the caption back.
  void showNote(const QString& text);
  // Shows the structure of MOL text (CP932 bytes) that the window took, fitted
  // into the panel (one undoable step); a text the reader refuses clears the
  // panel.
  void showStructure(const std::string& molText);
  void clearStructure();
  bool hasStructure() const { return !isEmpty(); }

  // Whether the panel holds the user's own drawing: non-empty and other than
  // what showStructure last put there.
  bool holdsUserDrawing() const;
  // The drawing as MOL text for the windows' buttons, line 1 (the molecule
  // name) blanked unless keepNameLine.
  std::string structureText(bool keepNameLine) const;

 private:
  SketchDoc shown_;  // what the window last showed, as drawn
};

// The first local .mol file among dropped URLs, empty when there is none.
QString DroppedMolFile(const QMimeData* data);

}  // namespace vuduzez
