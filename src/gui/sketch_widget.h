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

#include "gui/sketch_canvas.h"
#include "model/molecule.h"
#include "platform/message_sink.h"
#include "sketch/sketch.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QToolButton;

namespace vuduzez {

// The whole panel: element buttons down the left (the "…" button opens a
// periodic table), tools above the drawing, ring templates and charges below
// it, and a status line that gives the drawing's formula and weight or says
// which atoms are drawn over their valence.
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
  // The status line's text.
  QString statusText() const;
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
  void updateStatus();

  SketchCanvas* canvas_;
  QButtonGroup* tools_;
  std::vector<std::pair<QAbstractButton*, SketchTool>> toolButtons_;
  std::vector<std::pair<QAbstractButton*, std::string>> elementButtons_;
  QToolButton* undo_ = nullptr;
  QToolButton* redo_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace vuduzez
