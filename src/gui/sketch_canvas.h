// The sketcher's drawing area: the drawing shown at a zoom and pan of the
// user's, and the mouse and keys turned into the sketch's operations.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/molecule.h"
#include "platform/message_sink.h"
#include "sketch/sketch.h"
#include "sketch/sketch_depict.h"

class QLabel;

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

// The drawing area: shows the drawing (drawn through depict's Canvas, as the
// structure pictures are, with atoms over their valence in red) and turns
// mouse and keys into the sketch's operations.
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
  // The same as the drawing's view of depict (sketch/sketch_depict.h).
  SketchView view() const;
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

}  // namespace vuduzez
