#include "gui/sketch_widget.h"

#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QToolButton>
#include <QVBoxLayout>

#include "depict/canvas.h"
#include "gui/sketch_icons.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "sketch/sketch_mol.h"

namespace vuduzez {

namespace {

constexpr const char* kPanelHint = "ダブルクリックでISIS Drawを起動";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

SketchWidget::SketchWidget(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setToolTip(Q(kPanelHint));
  setAcceptDrops(true);

  canvas_ = new SketchCanvas(this);
  tools_ = new QButtonGroup(this);
  tools_->setExclusive(true);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(1, 1, 1, 1);
  grid->setSpacing(0);

  // Elements down the left.
  auto* elements = new QVBoxLayout;
  elements->setSpacing(0);
  for (const char* sym : {"C", "N", "O", "S", "P", "F", "Cl", "Br", "I", "H"}) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("sketchElement_") + Q(sym));
    b->setText(Q(sym));
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);  // keys belong to the drawing
    b->setFixedSize(24, 20);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, ElementColour(sym));
    b->setPalette(pal);
    tools_->addButton(b);
    elementButtons_.emplace_back(b, sym);
    connect(b, &QToolButton::clicked, this, [this, sym] { canvas_->setElement(sym); });
    elements->addWidget(b);
  }
  auto* other = new QToolButton(this);
  other->setObjectName(QStringLiteral("sketchElementOther"));
  other->setText(QStringLiteral("…"));
  other->setToolTip(Q("その他の元素（周期表）"));
  other->setAutoRaise(true);
  other->setFocusPolicy(Qt::NoFocus);
  other->setFixedSize(24, 20);
  connect(other, &QToolButton::clicked, this, &SketchWidget::chooseOtherElement);
  elements->addWidget(other);
  elements->addStretch();
  grid->addLayout(elements, 0, 0, 3, 1);

  using Kind = SketchTool::Kind;
  auto tool = [](Kind kind, int order = 1, int stereo = kStereoNone) {
    SketchTool t;
    t.kind = kind;
    t.order = order;
    t.stereo = stereo;
    return t;
  };
  auto separator = [](QHBoxLayout* row) { row->addSpacing(5); };

  // Tools above the drawing.
  auto* top = new QHBoxLayout;
  top->setSpacing(0);
  const SketchTool select = tool(Kind::kSelect), eraser = tool(Kind::kEraser);
  top->addWidget(addButton(QStringLiteral("sketchSelect"), Q("選択・移動"), SelectIcon(), &select));
  top->addWidget(addButton(QStringLiteral("sketchEraser"), Q("消しゴム"), EraserIcon(), &eraser));
  separator(top);
  const SketchTool bonds[] = {tool(Kind::kBond, 1), tool(Kind::kBond, 2), tool(Kind::kBond, 3),
                              tool(Kind::kBond, 1, kStereoWedge),
                              tool(Kind::kBond, 1, kStereoHashed)};
  top->addWidget(addButton(QStringLiteral("sketchBond1"), Q("単結合（ドラッグを伸ばすと鎖）"),
                           BondIcon(1), &bonds[0]));
  top->addWidget(addButton(QStringLiteral("sketchBond2"), Q("二重結合"), BondIcon(2), &bonds[1]));
  top->addWidget(addButton(QStringLiteral("sketchBond3"), Q("三重結合"), BondIcon(3), &bonds[2]));
  top->addWidget(addButton(QStringLiteral("sketchWedge"), Q("くさび形結合（手前）"),
                           WedgeIcon(false), &bonds[3]));
  top->addWidget(addButton(QStringLiteral("sketchHashed"), Q("破線くさび形結合（奥）"),
                           WedgeIcon(true), &bonds[4]));
  separator(top);
  undo_ = addButton(QStringLiteral("sketchUndo"), Q("元に戻す (Ctrl+Z)"), CurvedArrowIcon(false),
                    nullptr);
  redo_ = addButton(QStringLiteral("sketchRedo"), Q("やり直し (Ctrl+Y)"), CurvedArrowIcon(true),
                    nullptr);
  connect(undo_, &QToolButton::clicked, this,
          [this] { canvas_->edit([](Sketch& s) { return s.Undo(); }); });
  connect(redo_, &QToolButton::clicked, this,
          [this] { canvas_->edit([](Sketch& s) { return s.Redo(); }); });
  top->addWidget(undo_);
  top->addWidget(redo_);
  separator(top);
  QToolButton* fit = addButton(QStringLiteral("sketchFit"), Q("全体を表示"), FitIcon(), nullptr);
  QToolButton* clearAll =
      addButton(QStringLiteral("sketchClear"), Q("すべて消去"), ClearIcon(), nullptr);
  connect(fit, &QToolButton::clicked, canvas_, &SketchCanvas::fitToView);
  connect(clearAll, &QToolButton::clicked, this, &SketchWidget::clear);
  top->addWidget(fit);
  top->addWidget(clearAll);
  top->addStretch();
  grid->addLayout(top, 0, 1);
  grid->addWidget(canvas_, 1, 1);

  // Ring templates and charges below it.
  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(0);
  static const SketchTool rings[] = {
      {Kind::kRing, 1, 0, 3, false, 1}, {Kind::kRing, 1, 0, 4, false, 1},
      {Kind::kRing, 1, 0, 5, false, 1}, {Kind::kRing, 1, 0, 6, false, 1},
      {Kind::kRing, 1, 0, 7, false, 1}, {Kind::kRing, 1, 0, 8, false, 1},
      {Kind::kRing, 1, 0, 6, true, 1}};
  for (const SketchTool& r : rings) {
    const QString name = r.aromatic ? QStringLiteral("sketchBenzene")
                                    : QStringLiteral("sketchRing%1").arg(r.ringSize);
    const QString tip = r.aromatic ? Q("ベンゼン環") : Q("%1員環").arg(r.ringSize);
    bottom->addWidget(addButton(name, tip, RingIcon(r.ringSize, r.aromatic), &r));
  }
  separator(bottom);
  static const SketchTool plus{Kind::kCharge, 1, 0, 6, false, 1};
  static const SketchTool minus{Kind::kCharge, 1, 0, 6, false, -1};
  bottom->addWidget(
      addButton(QStringLiteral("sketchChargePlus"), Q("正電荷（＋）"), ChargeIcon(true), &plus));
  bottom->addWidget(
      addButton(QStringLiteral("sketchChargeMinus"), Q("負電荷（－）"), ChargeIcon(false), &minus));
  bottom->addStretch();
  grid->addLayout(bottom, 2, 1);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("sketchStatus"));
  status_->setTextFormat(Qt::PlainText);
  status_->setContentsMargins(4, 0, 4, 1);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  grid->addWidget(status_, 3, 0, 1, 2);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(1, 1);

  connect(canvas_, &SketchCanvas::changed, this, [this] {
    syncButtons();
    updateStatus();
    emit changed();
  });
  connect(canvas_, &SketchCanvas::toolChanged, this, &SketchWidget::syncButtons);
  connect(canvas_, &SketchCanvas::editorRequested, this, [] { StartStructureEditor(WindowUi()); });
  syncButtons();
}

QToolButton* SketchWidget::addButton(const QString& name, const QString& tip, const QIcon& icon,
                                     const SketchTool* tool) {
  auto* b = new QToolButton(this);
  b->setObjectName(name);
  b->setToolTip(tip);
  b->setIcon(icon);
  b->setIconSize(QSize(18, 18));
  b->setAutoRaise(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setFixedSize(22, 22);
  if (tool != nullptr) {
    b->setCheckable(true);
    tools_->addButton(b);
    toolButtons_.emplace_back(b, *tool);
    const SketchTool t = *tool;
    connect(b, &QToolButton::clicked, this, [this, t] { canvas_->setTool(t); });
  }
  return b;
}

void SketchWidget::syncButtons() {
  using Kind = SketchTool::Kind;
  const SketchTool& t = canvas_->tool();
  for (auto& [button, tool] : toolButtons_) {
    const bool same =
        tool.kind == t.kind &&
        (t.kind != Kind::kBond || (tool.order == t.order && tool.stereo == t.stereo)) &&
        (t.kind != Kind::kRing || (tool.ringSize == t.ringSize && tool.aromatic == t.aromatic)) &&
        (t.kind != Kind::kCharge || tool.charge == t.charge);
    if (same) button->setChecked(true);
  }
  if (t.kind == Kind::kAtom) {
    bool found = false;
    for (auto& [button, symbol] : elementButtons_) {
      if (symbol == canvas_->element()) {
        button->setChecked(true);
        found = true;
      }
    }
    if (!found && tools_->checkedButton() != nullptr) {
      // Another element: no button of its own stays lit.
      tools_->setExclusive(false);
      tools_->checkedButton()->setChecked(false);
      tools_->setExclusive(true);
    }
  }
  undo_->setEnabled(canvas_->sketch().CanUndo());
  redo_->setEnabled(canvas_->sketch().CanRedo());
}

void SketchWidget::chooseOtherElement() {
  // Every symbol of the table is an element; the system's reader takes any.
  if (const auto symbol = WindowUi().ChooseElement(canvas_->element()))
    canvas_->setElement(*symbol);
}

QString SketchWidget::statusText() const { return status_->text(); }

void SketchWidget::updateStatus() {
  const SketchDoc& doc = sketch().doc();
  const std::vector<OverValence> over = OverValentAtoms(doc);
  QPalette pal = status_->palette();
  if (!over.empty()) {
    // The first few, by symbol and bond count; the atoms are red in the drawing.
    QStringList parts;
    for (size_t i = 0; i < over.size() && i < 3; ++i) {
      const OverValence& o = over[i];
      parts << QString::fromStdString(
          OverValenceMessage(doc.atoms[static_cast<size_t>(o.atom)].symbol, o.bonds, o.allowed));
    }
    if (over.size() > 3) parts << QStringLiteral("…");
    status_->setText(parts.join(QStringLiteral("、")));
    pal.setColor(QPalette::WindowText, QColor::fromRgb(kHighlightRgb));
  } else if (doc.atoms.empty()) {
    status_->clear();
  } else {
    // What the system makes of the drawing: its formula and weight.
    auto mol = std::make_unique<Molecule>();
    SketchToMolecule(doc, *mol);
    status_->setText(QString::fromStdString(AnsiToUtf8(mol->molformula) + "  " + mol->molweight));
    pal.setColor(QPalette::WindowText, QColor(90, 90, 90));
  }
  status_->setPalette(pal);
}

std::string SketchWidget::molText() const { return SketchToMolText(sketch().doc()); }

bool SketchWidget::setMolText(std::string_view text, MessageSink& ui) {
  SketchDoc doc;
  try {
    if (!SketchFromMolText(text, doc, ui)) return false;
  } catch (const RuntimeError& e) {
    ui.ShowError(e.what());
    return false;
  }
  canvas_->edit([&](Sketch& s) { return s.Replace(std::move(doc)); });
  canvas_->fitToView();
  return true;
}

void SketchWidget::setMolecule(const Molecule& mol) {
  SketchDoc doc = SketchFromMolecule(mol, mol.molname);
  canvas_->edit([&](Sketch& s) { return s.Replace(std::move(doc)); });
  canvas_->fitToView();
}

bool SketchWidget::isEmpty() const { return sketch().empty(); }

void SketchWidget::clear() {
  canvas_->edit([](Sketch& s) { return s.Clear(); });
}

void SketchWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedMolFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void SketchWidget::dropEvent(QDropEvent* event) {
  const QString path = DroppedMolFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  emit molFileDropped(path);
}

}  // namespace vuduzez
