#include "gui/sketch_canvas.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/canvas_qt.h"
#include "gui/clipboard_qt.h"
#include "gui/window_ui.h"
#include "model/mfconv.h"
#include "model/smiles.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/messages.h"
#include "sketch/sketch_depict.h"
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
constexpr const char* kEditExternally = "外部エディタで編集";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

double Length(QPointF v) { return std::hypot(v.x(), v.y()); }

}  // namespace

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
  const QColor hoverColour(205, 225, 255), selectColour(150, 190, 250),
      previewColour(190, 215, 250);
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

  // What the press would add: a band under its new bonds and atoms.
  if (doc == &preview.doc()) {
    for (size_t b = real.bonds.size(); b < doc->bonds.size(); ++b) {
      bondBand(static_cast<int>(b), previewColour);
    }
    for (size_t a = real.atoms.size(); a < doc->atoms.size(); ++a) {
      atomDisc(static_cast<int>(a), previewColour);
    }
  }

  // The structure as the pictures draw it; atoms over their valence in the
  // highlight colour.
  std::vector<int> marked;
  for (const OverValence& o : OverValentAtoms(*doc)) marked.push_back(o.atom);
  QtCanvas canvas(p);
  try {
    DrawSketch(*doc, view(), canvas, *mol_, marked);
  } catch (const RuntimeError&) {
    // Tables out of range cannot happen for the sketcher's own text; nothing drawn then.
  }
  p.setRenderHint(QPainter::Antialiasing);

  if (dragging_ && tool_.kind == Kind::kSelect && !moving()) {
    p.setPen(QPen(QColor(60, 110, 200), 1, Qt::DashLine));
    p.setBrush(QColor(60, 110, 200, 25));
    p.drawRect(QRectF(pressPos_, mousePos_).normalized());
  }
}

SketchView SketchCanvas::view() const { return {width(), height(), scale_, centre_}; }

}  // namespace vuduzez
