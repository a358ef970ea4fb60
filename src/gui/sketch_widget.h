// The structure panel as a sketcher: the user draws the structure with the
// mouse and keyboard, pastes or loads one, and copies it as MOL text and as
// the "MDLCT" block. The drawing becomes a MOL V2000 text that goes through
// the system's reader like any MOL file.
#pragma once

#include <QFrame>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "sketch/sketch.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QToolButton;

namespace vuduzez {

// What a press on the drawing does.
struct SketchTool {
  enum class Kind { kSelect, kEraser, kAtom, kBond, kRing, kCharge };
  Kind kind = Kind::kBond;
  int order = 1;          // kBond: 1, 2, 3
  int stereo = 0;         // kBond: kStereoNone, kStereoWedge, kStereoHashed
  int ringSize = 6;       // kRing: 3..8
  bool aromatic = false;  // kRing: benzene
  int charge = 1;         // kCharge: +1 or -1
};

// The drawing area: shows the drawing and turns mouse and keys into the
// sketch's operations.
//
// Mouse: a click places an atom of the current element (or, on an atom,
// grows a bond from it with a bond tool, sets the element with an element
// tool); a click on a bond cycles single, double, triple (or sets what the
// bond tool draws); a drag from an atom draws a bond at a 30-degree step,
// dragged further a zigzag chain; a ring tool fuses onto a bond and shares an
// atom it is placed on. Keys over an atom or bond: element symbols, 1/2/3,
// +/-, Delete; Ctrl+Z/Ctrl+Y, Ctrl+C/Ctrl+V, Ctrl+A. The wheel zooms, the
// middle button pans.
class SketchCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit SketchCanvas(QWidget* parent = nullptr);
  ~SketchCanvas() override;

  const Sketch& sketch() const { return sketch_; }

  // Runs one operation of the sketch (the lambda returns what it returned)
  // and shows its result: repaint, changed(), or a message when the drawing
  // would grow beyond the system's capacity.
  template <typename Edit>
  bool edit(Edit&& op) {
    return afterEdit(static_cast<bool>(op(sketch_)));
  }

  const SketchTool& tool() const { return tool_; }
  void setTool(const SketchTool& tool);
  const std::string& element() const { return element_; }
  // Makes the symbol the current element and selects the element tool.
  void setElement(const std::string& symbol);

  const std::vector<int>& selection() const { return selection_; }

  // View: pixels per model unit and the model point at the centre.
  QPointF toScreen(SketchPoint p) const;
  SketchPoint toModel(QPointF p) const;
  double scale() const { return scale_; }
  void fitToView();

  void copyToClipboard() const;
  // Pastes an "MDLCT" block, MOL text or a one-line SMILES (laid out):
  // replaces an empty drawing (or any drawing while pasteReplaces says so),
  // else goes beside it. Shows why when the clipboard holds no structure.
  bool pasteFromClipboard(MessageSink& sink);
  std::function<bool()> pasteReplaces;

 signals:
  void changed();
  void toolChanged();
  // Double-click on an empty panel, or the context menu: start an editor.
  void editorRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  bool afterEdit(bool committed);
  double bondPixels() const { return kSketchBondLength * scale_; }
  int atomAt(QPointF pos) const;
  int bondAt(QPointF pos) const;
  void updateHover(QPointF pos);
  void click();
  void finishDrag();
  // The edits of a drag from the press point to `to`, and of a ring placed
  // at `at`, applied to any sketch (the drawing, or a preview copy).
  bool dragEdit(Sketch& s, QPointF to) const;
  bool ringEdit(Sketch& s, QPointF at, int atom, int bond) const;
  bool moving() const;
  void typeLetter(QChar letter);
  // Bonds and atoms from the given indices on are drawn as the preview's new ones.
  void paintDoc(QPainter& p, const SketchDoc& doc, size_t firstNewBond, size_t firstNewAtom) const;

  Sketch sketch_;
  SketchTool tool_;
  std::string element_ = "C";
  double scale_;
  SketchPoint centre_;
  int hoverAtom_ = -1;
  int hoverBond_ = -1;
  bool mouseInside_ = false;
  std::vector<int> selection_;

  bool pressed_ = false;
  bool dragging_ = false;
  QPointF pressPos_;
  QPointF mousePos_;
  int pressAtom_ = -1;
  int pressBond_ = -1;
  bool emptyBeforePress_ = false;
  bool pressCommitted_ = false;
  // The last click, to tell a double-click on the empty panel.
  bool lastClickOnEmpty_ = false;
  quint64 lastClickTime_ = 0;
  QPointF lastClickPos_;
  bool ignoreRelease_ = false;
  bool fitPending_ = false;
  bool panning_ = false;  // middle button held: the view follows the mouse
  QPointF panFrom_;

  std::string typed_;  // element letters typed over typedAtom_
  int typedAtom_ = -1;
  qint64 typedAt_ = 0;
  bool typedCommitted_ = false;

  QLabel* label_;
  std::unique_ptr<Molecule> mol_;  // the system's view of the drawing (hydrogens)
};

// The whole panel: element buttons down the left, tools above the drawing,
// ring templates and charges below it.
//
// For the windows (their EditorPanel builds on it): changed() on every change
// of the drawing; molText(), setMolText(), setMolecule(), isEmpty(), clear().
// As the structure panel, it carries the label "ISIS Draw Window" (object
// name "EditorLabel") while empty, its tooltip, a double-click on the empty panel
// and the context menu entry "外部エディタで編集" start an external structure
// editor, and a dropped .mol file is reported through molFileDropped.
class SketchWidget : public QFrame {
  Q_OBJECT

 public:
  explicit SketchWidget(QWidget* parent = nullptr);

  // The drawing as MOL V2000 text (CP932 bytes, CR LF), also when empty.
  std::string molText() const;
  // Replaces the drawing with a MOL text, read by the system's reader. False,
  // the reason shown through ui and the drawing kept, when it is refused.
  bool setMolText(std::string_view text, MessageSink& sink);
  // Replaces the drawing with a molecule (laid out when it has no coordinates).
  void setMolecule(const Molecule& mol);
  bool isEmpty() const;
  // Empties the drawing (one undoable step).
  void clear();

  SketchCanvas* canvas() const { return canvas_; }
  const Sketch& sketch() const { return canvas_->sketch(); }

 signals:
  void changed();
  void molFileDropped(const QString& path);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QToolButton* addButton(const QString& name, const QString& tip, const QIcon& icon,
                         const SketchTool* tool);
  void syncButtons();
  void chooseOtherElement();

  SketchCanvas* canvas_;
  QButtonGroup* tools_;
  std::vector<std::pair<QAbstractButton*, SketchTool>> toolButtons_;
  std::vector<std::pair<QAbstractButton*, std::string>> elementButtons_;
  QToolButton* undo_ = nullptr;
  QToolButton* redo_ = nullptr;
};

}  // namespace vuduzez
