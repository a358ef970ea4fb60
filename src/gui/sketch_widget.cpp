#include "gui/sketch_widget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "gui/canvas_qt.h"
#include "gui/clipboard_qt.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "model/mfconv.h"
#include "model/smiles.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "sketch/sketch_mol.h"

namespace vuduzez {

namespace {

constexpr double kDefaultScale = 20.0;  // 30-pixel bonds
constexpr double kMinScale = 3.0;
constexpr double kMaxScale = 80.0;
constexpr double kDragStart = 4.0;     // pixels the mouse moves before a press becomes a drag
constexpr double kChainFrom = 1.6;     // bond lengths of drag beyond which a chain is drawn
constexpr qint64 kTypingPause = 1000;  // ms within which a second letter completes a symbol

constexpr const char* kPanelLabel = "ISIS Draw Window";
constexpr const char* kPanelHint = "ダブルクリックでISIS Drawを起動";
constexpr const char* kEditExternally = "外部エディタで編集";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

double Length(QPointF v) { return std::hypot(v.x(), v.y()); }

QColor ElementColour(const std::string& symbol) {
  if (symbol == "N") return QColor(30, 60, 220);
  if (symbol == "O") return QColor(210, 20, 20);
  if (symbol == "S") return QColor(170, 130, 0);
  if (symbol == "P") return QColor(220, 110, 0);
  if (symbol == "F" || symbol == "Cl") return QColor(20, 150, 20);
  if (symbol == "Br") return QColor(150, 30, 30);
  if (symbol == "I") return QColor(120, 0, 160);
  return Qt::black;
}

// Whether the system's element table knows the symbol (others count as
// carbon there, so their hydrogens are not shown).
bool KnownToTheSystem(const std::string& symbol) {
  return symbol == "C" || ElementIndex(symbol.size() == 1 ? symbol + " " : symbol) != kCarbon;
}

// --- Button icons, drawn on a 20 x 20 grid ---

QIcon MakeIcon(const std::function<void(QPainter&)>& paint) {
  QIcon icon;
  for (int size : {20, 40}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 20.0, size / 20.0);
    p.setPen(QPen(QColor(25, 25, 25), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    paint(p);
    icon.addPixmap(pm);
  }
  return icon;
}

QIcon SelectIcon() {
  return MakeIcon([](QPainter& p) {
    QPen pen = p.pen();
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.2);
    p.setPen(pen);
    p.drawRect(QRectF(3, 3, 14, 14));
  });
}

QIcon EraserIcon() {
  return MakeIcon([](QPainter& p) {
    p.translate(10, 10);
    p.rotate(-40);
    p.drawRoundedRect(QRectF(-7.5, -4, 15, 8), 1.5, 1.5);
    p.setBrush(QColor(25, 25, 25));
    p.drawRoundedRect(QRectF(-7.5, -4, 6, 8), 1.5, 1.5);
  });
}

// One, two or three parallel diagonal lines.
QIcon BondIcon(int lines) {
  return MakeIcon([lines](QPainter& p) {
    const double step = 2.6;
    const double first = -(lines - 1) * step / 2;
    for (int i = 0; i < lines; ++i) {
      const double o = (first + i * step) / std::numbers::sqrt2;
      p.drawLine(QPointF(4 + o, 16 + o), QPointF(16 + o, 4 + o));
    }
  });
}

QIcon WedgeIcon(bool hashed) {
  return MakeIcon([hashed](QPainter& p) {
    if (!hashed) {
      p.setBrush(QColor(25, 25, 25));
      p.drawPolygon(QPolygonF({QPointF(4, 16), QPointF(14.2, 3.6), QPointF(16.4, 5.8)}));
      return;
    }
    p.setPen(QPen(QColor(25, 25, 25), 1.2));
    for (int k = 1; k <= 5; ++k) {
      const double t = k / 5.0;
      const QPointF c(4 + 11.3 * t, 16 - 11.3 * t);
      const QPointF n(2.0 * t, 2.0 * t);
      p.drawLine(c + n, c - n);
    }
  });
}

QIcon FitIcon() {
  return MakeIcon([](QPainter& p) {
    for (int sx : {-1, 1}) {
      for (int sy : {-1, 1}) {
        const QPointF c(10 + sx * 7, 10 + sy * 7);
        p.drawLine(c, c - QPointF(sx * 4, 0));
        p.drawLine(c, c - QPointF(0, sy * 4));
      }
    }
    p.drawEllipse(QPointF(10, 10), 2.5, 2.5);
  });
}

QIcon ClearIcon() {
  return MakeIcon([](QPainter& p) {
    p.drawRect(QRectF(4, 3, 12, 14));
    p.drawLine(QPointF(7, 7), QPointF(13, 13));
    p.drawLine(QPointF(13, 7), QPointF(7, 13));
  });
}

QIcon RingIcon(int size, bool aromatic) {
  return MakeIcon([=](QPainter& p) {
    std::vector<SketchPoint> pts =
        RingPointsAround({10, 10}, size, 2 * 7.5 * std::sin(std::numbers::pi / size));
    QPolygonF poly;
    for (const SketchPoint& v : pts) poly << QPointF(v.x, 20 - v.y);
    p.drawPolygon(poly);
    if (aromatic) {
      for (int k = 0; k < size; k += 2) {
        const QPointF a = poly[k] + (QPointF(10, 10) - poly[k]) * 0.28;
        const QPointF b = poly[(k + 1) % size] + (QPointF(10, 10) - poly[(k + 1) % size]) * 0.28;
        p.drawLine(a, b);
      }
    }
  });
}

QIcon CurvedArrowIcon(bool mirrored) {
  return MakeIcon([=](QPainter& p) {
    if (mirrored) {
      p.translate(20, 0);
      p.scale(-1, 1);
    }
    QPainterPath arc;
    arc.arcMoveTo(QRectF(4.5, 5, 11, 11), 200);
    arc.arcTo(QRectF(4.5, 5, 11, 11), 200, -220);
    p.drawPath(arc);
    const QPointF tip = arc.pointAtPercent(0);
    p.drawLine(tip, tip + QPointF(-0.5, -4.2));
    p.drawLine(tip, tip + QPointF(3.8, -1.2));
  });
}

QIcon ChargeIcon(bool plus) {
  return MakeIcon([=](QPainter& p) {
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
    if (plus) p.drawLine(QPointF(10, 6.5), QPointF(10, 13.5));
  });
}

}  // namespace

// --- SketchCanvas ---

SketchCanvas::SketchCanvas(QWidget* parent)
    : QWidget(parent), scale_(kDefaultScale), mol_(std::make_unique<Molecule>()) {
  UseLabelFontSubstitutes();
  setObjectName(QStringLiteral("sketchCanvas"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setMinimumSize(120, 90);

  label_ = new QLabel(Q(kPanelLabel), this);
  label_->setObjectName(QStringLiteral("EditorLabel"));
  label_->setAlignment(Qt::AlignCenter);
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QPalette grey = label_->palette();
  grey.setColor(QPalette::WindowText, QColor(150, 150, 150));
  label_->setPalette(grey);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
}

SketchCanvas::~SketchCanvas() = default;

void SketchCanvas::setTool(const SketchTool& tool) {
  tool_ = tool;
  if (tool_.kind != SketchTool::Kind::kSelect) selection_.clear();
  update();
  emit toolChanged();
}

void SketchCanvas::setElement(const std::string& symbol) {
  element_ = symbol;
  SketchTool t;
  t.kind = SketchTool::Kind::kAtom;
  setTool(t);
}

QPointF SketchCanvas::toScreen(SketchPoint p) const {
  return {width() / 2.0 + (p.x - centre_.x) * scale_, height() / 2.0 - (p.y - centre_.y) * scale_};
}

SketchPoint SketchCanvas::toModel(QPointF p) const {
  return {centre_.x + (p.x() - width() / 2.0) / scale_,
          centre_.y - (p.y() - height() / 2.0) / scale_};
}

void SketchCanvas::fitToView() {
  // Before the panel is shown its size is not known: fit when it is.
  fitPending_ = !isVisible();
  const SketchFit fit = FitView(sketch_.doc(), width(), height(), 24.0, kDefaultScale);
  scale_ = std::clamp(fit.scale, kMinScale, kMaxScale);
  centre_ = fit.centre;
  update();
}

int SketchCanvas::atomAt(QPointF pos) const {
  return sketch_.AtomAt(toModel(pos), std::max(8.0, 0.3 * bondPixels()) / scale_);
}

int SketchCanvas::bondAt(QPointF pos) const { return sketch_.BondAt(toModel(pos), 6.0 / scale_); }

void SketchCanvas::updateHover(QPointF pos) {
  hoverAtom_ = mouseInside_ ? atomAt(pos) : -1;
  hoverBond_ = mouseInside_ && hoverAtom_ < 0 ? bondAt(pos) : -1;
}

bool SketchCanvas::afterEdit(bool committed) {
  if (committed) {
    const int atoms = static_cast<int>(sketch_.doc().atoms.size());
    std::erase_if(selection_, [&](int a) { return a >= atoms; });
    updateHover(mousePos_);
    label_->setVisible(sketch_.empty());
    update();
    emit changed();
  } else if (sketch_.refusedForSize()) {
    WindowUi().ShowMessage(kSketchTooLarge);
  }
  return committed;
}

bool SketchCanvas::ringEdit(Sketch& s, QPointF at, int atom, int bond) const {
  if (atom >= 0) return s.SpiroRing(atom, tool_.ringSize, tool_.aromatic);
  if (bond >= 0) return s.FuseRing(bond, tool_.ringSize, tool_.aromatic, toModel(at));
  return s.AddRing(toModel(at), tool_.ringSize, tool_.aromatic);
}

bool SketchCanvas::dragEdit(Sketch& s, QPointF to) const {
  const bool atomTool = tool_.kind == SketchTool::Kind::kAtom;
  const int order = atomTool ? 1 : tool_.order;
  const int stereo = atomTool ? kStereoNone : tool_.stereo;
  const std::string end = atomTool ? element_ : "C";
  const SketchDoc& doc = sketch_.doc();
  if (pressAtom_ >= static_cast<int>(doc.atoms.size())) return false;
  const SketchPoint start = pressAtom_ >= 0 ? doc.atoms[pressAtom_].pos : toModel(pressPos_);
  int target = atomAt(to);
  if (target == pressAtom_) target = -1;
  if (target >= 0) return s.AddBondAt(start, doc.atoms[target].pos, order, stereo, end) >= 0;
  const SketchPoint m = toModel(to);
  const double distance = std::hypot(m.x - start.x, m.y - start.y);
  const bool chainTool = !atomTool && order == 1 && stereo == kStereoNone;
  if (chainTool && distance > kChainFrom * kSketchBondLength) {
    std::optional<SketchPoint> avoid;
    if (pressAtom_ >= 0) {
      const auto near = sketch_.Neighbours(pressAtom_);
      if (!near.empty()) avoid = doc.atoms[near[0]].pos;
    }
    return s.AddChain(ChainPoints(start, m, avoid));
  }
  return s.AddBondAt(start, SnappedBondEnd(start, m), order, stereo, end) >= 0;
}

bool SketchCanvas::moving() const {
  return tool_.kind == SketchTool::Kind::kSelect && (pressAtom_ >= 0 || pressBond_ >= 0);
}

void SketchCanvas::click() {
  using Kind = SketchTool::Kind;
  const SketchPoint at = toModel(pressPos_);
  const int atom = pressAtom_, bond = pressBond_;
  bool done = false;
  switch (tool_.kind) {
    case Kind::kSelect:
      if (atom < 0 && bond < 0) selection_.clear();
      update();
      return;
    case Kind::kEraser:
      if (atom >= 0) done = edit([&](Sketch& s) { return s.EraseAtom(atom); });
      if (bond >= 0) done = edit([&](Sketch& s) { return s.EraseBond(bond); });
      break;
    case Kind::kCharge:
      if (atom >= 0) done = edit([&](Sketch& s) { return s.ChangeCharge(atom, tool_.charge); });
      break;
    case Kind::kRing:
      done = edit([&](Sketch& s) { return ringEdit(s, pressPos_, atom, bond); });
      break;
    case Kind::kAtom:
      if (atom >= 0) {
        done = edit([&](Sketch& s) { return s.SetElement(atom, element_); });
      } else if (bond >= 0) {
        done = edit([&](Sketch& s) { return s.CycleBond(bond); });
      } else {
        done = edit([&](Sketch& s) { return s.AddAtom(at, element_) >= 0; });
      }
      break;
    case Kind::kBond:
      if (atom >= 0) {
        done = edit([&](Sketch& s) {
          return s.AddBondAt(s.doc().atoms[atom].pos, s.FreeBondEnd(atom), tool_.order,
                             tool_.stereo) >= 0;
        });
      } else if (bond >= 0) {
        done = edit([&](Sketch& s) {
          if (tool_.stereo != kStereoNone) return s.SetBondStereo(bond, tool_.stereo);
          if (tool_.order == 1) return s.CycleBond(bond);
          return s.SetBondOrder(bond, tool_.order);
        });
      } else {
        done = edit([&](Sketch& s) { return s.AddAtom(at) >= 0; });
      }
      break;
  }
  pressCommitted_ = done;
}

void SketchCanvas::finishDrag() {
  using Kind = SketchTool::Kind;
  switch (tool_.kind) {
    case Kind::kSelect: {
      if (moving()) {
        const QPointF d = (mousePos_ - pressPos_) / scale_;
        const std::vector<int> moved = selection_;
        edit([&](Sketch& s) { return s.MoveAtoms(moved, d.x(), -d.y()); });
        return;
      }
      const QRectF band = QRectF(pressPos_, mousePos_).normalized();
      if (!(QApplication::keyboardModifiers() & Qt::ShiftModifier)) selection_.clear();
      const auto& atoms = sketch_.doc().atoms;
      for (size_t i = 0; i < atoms.size(); ++i) {
        const int a = static_cast<int>(i);
        if (band.contains(toScreen(atoms[i].pos)) &&
            std::find(selection_.begin(), selection_.end(), a) == selection_.end()) {
          selection_.push_back(a);
        }
      }
      update();
      return;
    }
    case Kind::kAtom:
    case Kind::kBond:
      if (pressBond_ >= 0) break;  // a drag that starts on a bond is a click on it
      edit([&](Sketch& s) { return dragEdit(s, mousePos_); });
      return;
    default:
      break;
  }
  click();
}

void SketchCanvas::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (fitPending_) fitToView();
}

void SketchCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fitPending_ && isVisible()) fitToView();
}

void SketchCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    panFrom_ = event->position();
    panning_ = true;
    return;
  }
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  ignoreRelease_ = false;
  setFocus(Qt::MouseFocusReason);
  mouseInside_ = true;
  if (lastClickOnEmpty_ &&
      event->timestamp() - lastClickTime_ <=
          static_cast<quint64>(QApplication::doubleClickInterval()) &&
      Length(event->position() - lastClickPos_) < kDragStart) {
    // The second press of a double-click on the empty panel: the double-click
    // event handles it.
    ignoreRelease_ = true;
    return;
  }
  pressed_ = true;
  dragging_ = false;
  pressPos_ = mousePos_ = event->position();
  pressAtom_ = atomAt(pressPos_);
  pressBond_ = pressAtom_ < 0 ? bondAt(pressPos_) : -1;
  emptyBeforePress_ = sketch_.empty();
  pressCommitted_ = false;
  if (tool_.kind == SketchTool::Kind::kSelect && (pressAtom_ >= 0 || pressBond_ >= 0)) {
    std::vector<int> hit{pressAtom_};
    if (pressBond_ >= 0) {
      hit = {sketch_.doc().bonds[pressBond_].atom1, sketch_.doc().bonds[pressBond_].atom2};
    }
    const bool selected = std::all_of(hit.begin(), hit.end(), [&](int a) {
      return std::find(selection_.begin(), selection_.end(), a) != selection_.end();
    });
    if (!selected) {
      if (!(event->modifiers() & Qt::ShiftModifier)) selection_.clear();
      for (int a : hit) {
        if (std::find(selection_.begin(), selection_.end(), a) == selection_.end()) {
          selection_.push_back(a);
        }
      }
    }
  }
  update();
}

void SketchCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (panning_) {
    const QPointF d = (event->position() - panFrom_) / scale_;
    centre_.x -= d.x();
    centre_.y += d.y();
    panFrom_ = event->position();
  }
  mousePos_ = event->position();
  mouseInside_ = true;
  if (pressed_) {
    if (!dragging_ && Length(mousePos_ - pressPos_) >= kDragStart) dragging_ = true;
  } else {
    updateHover(mousePos_);
  }
  update();
}

void SketchCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) panning_ = false;
  if (event->button() != Qt::LeftButton) return;
  if (ignoreRelease_) {
    ignoreRelease_ = false;
    return;
  }
  if (!pressed_) return;
  mousePos_ = event->position();
  pressed_ = false;
  lastClickOnEmpty_ = false;
  if (dragging_) {
    finishDrag();
  } else {
    click();
    lastClickOnEmpty_ = emptyBeforePress_;
    lastClickTime_ = event->timestamp();
    lastClickPos_ = pressPos_;
  }
  dragging_ = false;
  updateHover(mousePos_);
  update();
}

void SketchCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  event->accept();
  pressed_ = false;
  ignoreRelease_ = true;
  // The first click of a double-click on the empty panel placed an atom:
  // take it back, then start the editor as the panel always did.
  if (lastClickOnEmpty_ && pressCommitted_ && sketch_.Revert()) {
    label_->setVisible(sketch_.empty());
    update();
    emit changed();
  }
  lastClickOnEmpty_ = pressCommitted_ = false;
  if (sketch_.empty()) emit editorRequested();
}

void SketchCanvas::enterEvent(QEnterEvent* event) {
  // Keys act on what is under the pointer, so the drawing takes them as the
  // pointer comes in, unless the user is typing into a text box.
  const auto* edit = qobject_cast<const QLineEdit*>(QApplication::focusWidget());
  const bool typing = (edit != nullptr && !edit->isReadOnly()) ||
                      qobject_cast<const QTextEdit*>(QApplication::focusWidget()) != nullptr ||
                      qobject_cast<const QPlainTextEdit*>(QApplication::focusWidget()) != nullptr;
  if (!typing && window()->isActiveWindow()) setFocus(Qt::MouseFocusReason);
  QWidget::enterEvent(event);
}

void SketchCanvas::leaveEvent(QEvent* event) {
  mouseInside_ = false;
  hoverAtom_ = hoverBond_ = -1;
  update();
  QWidget::leaveEvent(event);
}

void SketchCanvas::typeLetter(QChar letter) {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const std::string upper(1, static_cast<char>(letter.toUpper().toLatin1()));
  const std::string lower(1, static_cast<char>(letter.toLower().toLatin1()));
  const int atom = hoverAtom_;
  if (atom >= 0 && atom == typedAtom_ && now - typedAt_ <= kTypingPause && typed_.size() == 1 &&
      IsElementSymbol(typed_ + lower)) {
    // The second letter of a symbol ("C", "l"): one step for both.
    const bool reverted = typedCommitted_ && sketch_.Revert();
    const std::string symbol = typed_ + lower;
    const bool done = sketch_.SetElement(atom, symbol);
    afterEdit(done || reverted);
    typed_.clear();
    typedAtom_ = -1;
    return;
  }
  if (atom >= 0) {
    typed_ = upper;
    typedAtom_ = atom;
    typedAt_ = now;
    typedCommitted_ =
        IsElementSymbol(upper) && edit([&](Sketch& s) { return s.SetElement(atom, upper); });
    return;
  }
  // Nothing under the cursor: the letter chooses the element to draw.
  if (IsElementSymbol(upper)) setElement(upper);
}

void SketchCanvas::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Undo)) {
    edit([](Sketch& s) { return s.Undo(); });
    return;
  }
  if (event->matches(QKeySequence::Redo) ||
      (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
    edit([](Sketch& s) { return s.Redo(); });
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    copyToClipboard();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    pasteFromClipboard(WindowUi());
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selection_.clear();
    for (size_t i = 0; i < sketch_.doc().atoms.size(); ++i)
      selection_.push_back(static_cast<int>(i));
    update();
    return;
  }
  const int key = event->key();
  const int atom = hoverAtom_, bond = hoverBond_;
  if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
    if (!selection_.empty()) {
      const std::vector<int> gone = selection_;
      selection_.clear();
      edit([&](Sketch& s) { return s.DeleteAtoms(gone); });
    } else if (atom >= 0) {
      edit([&](Sketch& s) { return s.EraseAtom(atom); });
    } else if (bond >= 0) {
      edit([&](Sketch& s) { return s.EraseBond(bond); });
    }
    return;
  }
  if (key == Qt::Key_Escape) {
    selection_.clear();
    pressed_ = dragging_ = false;
    update();
    return;
  }
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (key >= Qt::Key_1 && key <= Qt::Key_3 && bond >= 0) {
    edit([&](Sketch& s) { return s.SetBondOrder(bond, key - Qt::Key_0); });
    return;
  }
  if ((key == Qt::Key_Plus || key == Qt::Key_Minus) && atom >= 0) {
    edit([&](Sketch& s) { return s.ChangeCharge(atom, key == Qt::Key_Plus ? 1 : -1); });
    return;
  }
  const QString text = event->text();
  if (text.size() == 1 && text[0].isLetter() && text[0].unicode() < 128) {
    typeLetter(text[0]);
    return;
  }
  QWidget::keyPressEvent(event);
}

void SketchCanvas::wheelEvent(QWheelEvent* event) {
  const QPointF pos = event->position();
  const SketchPoint before = toModel(pos);
  scale_ =
      std::clamp(scale_ * std::pow(1.15, event->angleDelta().y() / 120.0), kMinScale, kMaxScale);
  const SketchPoint after = toModel(pos);
  centre_.x += before.x - after.x;
  centre_.y += before.y - after.y;
  update();
  event->accept();
}

void SketchCanvas::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(Q(kEditExternally), this, [this] { emit editorRequested(); });
  menu.addSeparator();
  menu.addAction(Q("コピー"), QKeySequence::Copy, this, [this] { copyToClipboard(); })
      ->setEnabled(!sketch_.empty());
  menu.addAction(Q("貼り付け"), QKeySequence::Paste, this,
                 [this] { pasteFromClipboard(WindowUi()); });
  menu.addSeparator();
  menu.addAction(Q("元に戻す"), QKeySequence::Undo, this,
                 [this] { edit([](Sketch& s) { return s.Undo(); }); })
      ->setEnabled(sketch_.CanUndo());
  menu.addAction(Q("やり直し"), QKeySequence(Qt::CTRL | Qt::Key_Y), this,
                 [this] { edit([](Sketch& s) { return s.Redo(); }); })
      ->setEnabled(sketch_.CanRedo());
  menu.addAction(Q("全体を表示"), this, [this] { fitToView(); });
  menu.addAction(Q("すべて消去"), this, [this] { edit([](Sketch& s) { return s.Clear(); }); })
      ->setEnabled(!sketch_.empty());
  menu.exec(event->globalPos());
}

void SketchCanvas::copyToClipboard() const {
  if (sketch_.empty()) return;
  const std::string text = SketchToMolText(sketch_.doc());
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kMdlctFormat),
                QByteArray::fromStdString(MdlctBlockOfMolText(text)));
  data->setData(QString::fromLatin1(kMolfileMime), QByteArray::fromStdString(text));
  data->setText(QString::fromStdString(AnsiToUtf8(text)));
  // The system's own picture of it, for pasting into documents.
  auto mol = std::make_unique<Molecule>();
  SketchToMolecule(sketch_.doc(), *mol);
  const QImage image = PictureToImage(DrawMoleculePicture(*mol));
  if (!image.isNull()) data->setImageData(image);
  QGuiApplication::clipboard()->setMimeData(data);
}

bool SketchCanvas::pasteFromClipboard(MessageSink& ui) {
  const ClipboardStructure s = ReadClipboardStructure();
  SketchDoc doc;
  if (s.kind == ClipboardStructure::Kind::kNone) {
    // One line of text: a SMILES (and its title), laid out.
    const QString plain = QGuiApplication::clipboard()->text().trimmed();
    if (plain.isEmpty() || plain.contains(QLatin1Char('\n')) || plain.contains(QLatin1Char('\r'))) {
      ui.ShowMessage(kClipboardEmpty);
      return false;
    }
    const std::string utf8 = plain.toStdString();
    auto mol = std::make_unique<Molecule>();
    const SmilesResult read = ReadSmiles(*mol, Utf8ToAnsi(utf8).value_or(utf8));
    if (!read.ok) {
      ui.ShowMessage(read.message);
      return false;
    }
    doc = SketchFromMolecule(*mol, mol->molname);
  } else {
    const std::string text = s.kind == ClipboardStructure::Kind::kMdlctBlock
                                 ? ConvertMdlctBlock(s.bytes, NameLine::kKeep)
                                 : s.bytes;
    try {
      if (!SketchFromMolText(text, doc, ui)) return false;
    } catch (const RuntimeError& e) {
      ui.ShowError(e.what());
      return false;
    }
  }
  const bool replace = sketch_.empty() || (pasteReplaces && pasteReplaces());
  const bool done =
      edit([&](Sketch& sk) { return replace ? sk.Replace(std::move(doc)) : sk.AddFragment(doc); });
  if (done) fitToView();
  return done;
}

void SketchCanvas::paintEvent(QPaintEvent*) {
  using Kind = SketchTool::Kind;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::white);

  // What the press would do if released now is drawn as if done, the new
  // bonds in blue; a moved selection is drawn where it goes.
  const SketchDoc& real = sketch_.doc();
  const SketchDoc* doc = &real;
  Sketch preview;
  SketchDoc moved;
  const bool drawing = tool_.kind == Kind::kAtom || tool_.kind == Kind::kBond;
  if (dragging_ && drawing && pressBond_ < 0) {
    preview.Replace(real);
    if (dragEdit(preview, mousePos_)) doc = &preview.doc();
  } else if (tool_.kind == Kind::kRing && mouseInside_ && !pressed_) {
    preview.Replace(real);
    if (ringEdit(preview, mousePos_, hoverAtom_, hoverBond_)) doc = &preview.doc();
  } else if (dragging_ && moving()) {
    moved = real;
    const QPointF d = (mousePos_ - pressPos_) / scale_;
    for (int a : selection_) {
      moved.atoms[a].pos.x += d.x();
      moved.atoms[a].pos.y -= d.y();
    }
    doc = &moved;
  }

  const double bp = bondPixels();
  const QColor hoverColour(205, 225, 255), selectColour(150, 190, 250);
  auto atomDisc = [&](int a, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(toScreen(doc->atoms[a].pos), std::max(6.0, 0.28 * bp), std::max(6.0, 0.28 * bp));
  };
  auto bondBand = [&](int b, const QColor& c) {
    p.setPen(QPen(c, std::max(6.0, 0.3 * bp), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(toScreen(doc->atoms[doc->bonds[b].atom1].pos),
               toScreen(doc->atoms[doc->bonds[b].atom2].pos));
  };
  for (size_t b = 0; b < real.bonds.size(); ++b) {
    const auto& bond = real.bonds[b];
    const auto in = [&](int a) {
      return std::find(selection_.begin(), selection_.end(), a) != selection_.end();
    };
    if (in(bond.atom1) && in(bond.atom2)) bondBand(static_cast<int>(b), selectColour);
  }
  for (int a : selection_) atomDisc(a, selectColour);
  if (!pressed_ && doc == &real) {
    if (hoverAtom_ >= 0) atomDisc(hoverAtom_, hoverColour);
    if (hoverBond_ >= 0) bondBand(hoverBond_, hoverColour);
  }

  if (doc == &preview.doc()) {
    paintDoc(p, *doc, real.bonds.size(), real.atoms.size());
  } else {
    paintDoc(p, *doc, doc->bonds.size(), doc->atoms.size());
  }

  if (dragging_ && tool_.kind == Kind::kSelect && !moving()) {
    p.setPen(QPen(QColor(60, 110, 200), 1, Qt::DashLine));
    p.setBrush(QColor(60, 110, 200, 25));
    p.drawRect(QRectF(pressPos_, mousePos_).normalized());
  }
}

void SketchCanvas::paintDoc(QPainter& p, const SketchDoc& doc, size_t firstNewBond,
                            size_t firstNewAtom) const {
  const double bp = bondPixels();
  const double lineWidth = std::max(1.0, bp / 24);
  const double gap = std::max(3.0, 0.17 * bp);
  const double wedge = std::max(4.0, 0.22 * bp);
  const QColor newColour(40, 110, 220);

  for (size_t i = 0; i < doc.bonds.size(); ++i) {
    const SketchBond& b = doc.bonds[i];
    const QPointF a = toScreen(doc.atoms[b.atom1].pos), e = toScreen(doc.atoms[b.atom2].pos);
    const double len = Length(e - a);
    if (len < 1.0) continue;
    const QColor colour = i >= firstNewBond ? newColour : QColor(Qt::black);
    p.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    const QPointF u = (e - a) / len, n(-u.y(), u.x());
    if (b.order == 1 && b.stereo == kStereoWedge) {
      p.drawPolygon(QPolygonF({a, e + n * wedge / 2, e - n * wedge / 2}));
    } else if (b.order == 1 && b.stereo == kStereoHashed) {
      const int lines = std::max(4, static_cast<int>(len / 4));
      for (int k = 1; k <= lines; ++k) {
        const double t = static_cast<double>(k) / lines;
        const QPointF c = a + (e - a) * t;
        p.drawLine(c + n * (wedge / 2) * t, c - n * (wedge / 2) * t);
      }
    } else if (b.order == 2 || b.order > 3) {
      // A ring's double bond has its second line inside the ring, shortened;
      // any other is a centred pair. Other types get a dashed second line.
      const auto centre = RingCentreOfBondIn(doc, static_cast<int>(i));
      QPen second = p.pen();
      if (b.order != 2) second.setStyle(Qt::DashLine);
      if (centre) {
        const QPointF c = toScreen(*centre);
        const double side = QPointF::dotProduct(c - (a + e) / 2, n) >= 0 ? 1.0 : -1.0;
        p.drawLine(a, e);
        p.setPen(second);
        p.drawLine(a + u * len * 0.14 + n * side * gap, e - u * len * 0.14 + n * side * gap);
      } else {
        p.drawLine(a + n * gap / 2, e + n * gap / 2);
        p.setPen(second);
        p.drawLine(a - n * gap / 2, e - n * gap / 2);
      }
    } else if (b.order == 3) {
      p.drawLine(a, e);
      p.drawLine(a + n * gap, e + n * gap);
      p.drawLine(a - n * gap, e - n * gap);
    } else {
      p.drawLine(a, e);
    }
  }

  // Labels: every atom that is not a plain bonded carbon, with the hydrogens
  // the system counts for it on the side away from its bonds, and its charge.
  SketchToMolecule(doc, *mol_);
  const bool haveH = mol_->atmcount == static_cast<int>(doc.atoms.size());
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(static_cast<int>(std::clamp(0.45 * bp, 9.0, 22.0)));
  QFont small = font;
  small.setPixelSize(std::max(7, font.pixelSize() * 7 / 10));
  const QFontMetricsF fm(font), sm(small);
  for (size_t i = 0; i < doc.atoms.size(); ++i) {
    const SketchAtom& atom = doc.atoms[i];
    const std::vector<int> near = NeighboursIn(doc, static_cast<int>(i));
    if (atom.symbol == "C" && atom.charge == 0 && !near.empty()) continue;
    const int h = haveH && KnownToTheSystem(atom.symbol) ? mol_->posdata[i + 1].hcount : 0;
    double towardBonds = 0.0;
    for (int n : near) towardBonds += doc.atoms[n].pos.x - atom.pos.x;
    const bool hLeft = h > 0 && towardBonds > 1e-6;

    const QPointF c = toScreen(atom.pos);
    const QString sym = QString::fromStdString(atom.symbol);
    const QString digits = h > 1 ? QString::number(h) : QString();
    QString charge;
    const int q = ChargeOfCode(atom.charge);
    if (atom.charge == 4) {
      charge = QStringLiteral("•");
    } else if (q != 0) {
      charge = (std::abs(q) > 1 ? QString::number(std::abs(q)) : QString()) +
               (q > 0 ? QStringLiteral("+") : QStringLiteral("−"));
    }
    const double symW = fm.horizontalAdvance(sym);
    const double hW = h > 0 ? fm.horizontalAdvance(QStringLiteral("H")) : 0.0;
    const double dW = sm.horizontalAdvance(digits);
    const double baseline = c.y() + fm.capHeight() / 2;
    const double symLeft = c.x() - symW / 2;
    const double hLeftX = hLeft ? symLeft - hW - dW : symLeft + symW;
    const double right = hLeft ? symLeft + symW : hLeftX + hW + dW;
    const double chargeW = sm.horizontalAdvance(charge);
    const double left = hLeft ? hLeftX : symLeft;
    QRectF box(QPointF(left - 1.5, baseline - fm.capHeight() - 2.5),
               QPointF(right + chargeW + 1.5, baseline + fm.descent() * 0.6 + 1.0));
    p.fillRect(box, Qt::white);

    const QColor colour = i >= firstNewAtom ? newColour : ElementColour(atom.symbol);
    p.setPen(colour);
    p.setFont(font);
    p.drawText(QPointF(symLeft, baseline), sym);
    if (h > 0) {
      p.drawText(QPointF(hLeftX, baseline), QStringLiteral("H"));
      p.setFont(small);
      p.drawText(QPointF(hLeftX + hW, baseline + 0.3 * fm.capHeight()), digits);
    }
    if (!charge.isEmpty()) {
      p.setFont(small);
      p.drawText(QPointF(right + 0.5, baseline - 0.55 * fm.capHeight()), charge);
    }
  }
}

// --- SketchWidget ---

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
  other->setToolTip(Q("その他の元素"));
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
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(1, 1);

  connect(canvas_, &SketchCanvas::changed, this, [this] {
    syncButtons();
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
  const std::optional<std::string> answer =
      WindowUi().InputBox(kElementInputCaption, kElementInputPrompt, canvas_->element());
  if (!answer) return;  // cancelled
  std::string text = Trim(*answer);
  if (text.empty()) return;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    text[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
  }
  if (!IsElementSymbol(text)) {
    WindowUi().ShowMessage(NotAnElementMessage(text));
    return;
  }
  canvas_->setElement(text);
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
