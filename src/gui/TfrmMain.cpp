#include "gui/TfrmMain.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShowEvent>
#include <QVBoxLayout>

#include "database/identity_catalog.h"
#include "depict/depict.h"
#include "gui/canvas_qt.h"
#include "gui/clipboard_qt.h"
#include "gui/picture_label.h"
#include "gui/progress_qt.h"
#include "gui/quit_signals_qt.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "model/mfconv.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/scratch.h"
#include "platform/text.h"
#include "register/prepare.h"
#include "search/hit_export.h"
#include "search/search.h"

namespace vuduzez {

namespace {

// The user's own choices of the window, kept between runs in the user's
// settings ($XDG_CONFIG_HOME/vuduzez/vuduzez.conf), never in the workspace.
QSettings UserSettings() { return QSettings(QStringLiteral("vuduzez"), QStringLiteral("vuduzez")); }
constexpr const char* kModeKey = "search/mode";
constexpr const char* kExactKey = "search/atom_by_atom";  // the mode before there were more
constexpr const char* kChiralKey = "search/chiral";
constexpr const char* kThresholdKey = "search/similarity_threshold";

// The search modes' buttons, in their order: object name, caption, tooltip,
// and the mode's name in the user's settings.
struct ModeButton {
  SearchMode mode;
  const char* objectName;
  const char* caption;
  const char* tooltip;
  const char* setting;
};
constexpr ModeButton kSearchModes[] = {
    {SearchMode::kScreen, "ModeScreen", "構造キーで検索(&K)",
     "構造キーの部分構造で検索（描いたとおりの芳香族環で照合）", "screen"},
    {SearchMode::kExact, "CheckBox1", "原子単位で照合(&E)",
     "描いた形によらず原子ごとに照合し（芳香族性・電荷・SMARTS・問い合わせ原子）、"
     "一致した原子を色で示す",
     "exact"},
    {SearchMode::kSimilar, "ModeSimilar", "類似構造検索(&L)",
     "似た化合物を類似度（Morgan フィンガープリントの Tanimoto 係数）の高い順に示す", "similar"},
    {SearchMode::kIdentity, "ModeIdentity", "同一化合物検索(&I)",
     "描いた化合物そのものと、その塩・溶媒和物、立体異性体、互変異性体を探す", "identity"},
};

// The mode the user left the window in (the key screen at first). A
// setting from before the mode had a name of its own still counts.
SearchMode RememberedMode(const QSettings& settings) {
  const QString name = settings.value(QLatin1String(kModeKey)).toString();
  for (const ModeButton& m : kSearchModes) {
    if (name == QLatin1String(m.setting)) return m.mode;
  }
  return settings.value(QLatin1String(kExactKey), false).toBool() ? SearchMode::kExact
                                                                  : SearchMode::kScreen;
}

// Confirming the screened hits atom by atom: asked after each record and
// every few thousand steps of one, it lets the window repaint (every 50 ms)
// and, once the work takes a moment, shows a progress dialog with "中止". It
// answers a stop when that is pressed or the program is to end (SIGTERM).
class ConfirmProgress : public MessageSink {
 public:
  ConfirmProgress(QWidget* parent, int total) : parent_(parent), total_(total) { clock_.start(); }
  void ShowMessage(const std::string& text) override { WindowUi().ShowMessage(text); }
  void Progress(int done, int total) override {
    done_ = done;
    if (total > 0) total_ = total;
    Tick();
  }
  bool StopRequested() const override {
    Tick();
    return QuitRequested() || (dialog_ && dialog_->wasCanceled());
  }

 private:
  static constexpr qint64 kTickMs = 50;
  static constexpr qint64 kDialogAfterMs = 400;

  void Tick() const {
    const qint64 now = clock_.elapsed();
    if (now - lastTick_ < kTickMs) return;
    lastTick_ = now;
    if (!dialog_ && now >= kDialogAfterMs) {
      dialog_ = std::make_unique<QProgressDialog>(
          QString::fromUtf8(kConfirmingHits), QString::fromUtf8(kStopReading), 0, total_, parent_);
      dialog_->setObjectName(QStringLiteral("ConfirmProgress"));
      dialog_->setWindowTitle(parent_->windowTitle());
      dialog_->setWindowModality(Qt::WindowModal);
      dialog_->setMinimumDuration(0);
      dialog_->setAutoClose(false);
      dialog_->show();
    }
    if (dialog_) dialog_->setValue(done_);
    // Until the dialog blocks the window, clicks wait: the search is not
    // started again from inside itself.
    QCoreApplication::processEvents(dialog_ ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents);
  }

  QWidget* parent_;
  int total_;
  int done_ = 0;
  QElapsedTimer clock_;
  mutable qint64 lastTick_ = 0;
  mutable std::unique_ptr<QProgressDialog> dialog_;
};

QString Path(const std::string& path) { return QFile::decodeName(path.c_str()); }
std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(true);  // the boxes only display: nothing reads them back
  return e;
}

// A caption with its keyboard accelerator (Alt+key), shown as "(&K)".
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, char key) {
  auto* b = new QPushButton(QString::fromUtf8(caption) + QStringLiteral("(&%1)").arg(key), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QHBoxLayout* Row(const std::vector<QWidget*>& widgets) {
  auto* row = new QHBoxLayout;
  for (QWidget* w : widgets) {
    if (w == nullptr) {
      row->addStretch();
    } else {
      row->addWidget(w);
    }
  }
  return row;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("部分構造検索"));

  // The structure editor's place: left. It grows with the window.
  Panel2 = new QFrame(this);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setFrameShadow(QFrame::Raised);
  Panel2->setMinimumSize(300, 249);
  OleContainer1 = new EditorPanel(Panel2);
  OleContainer1->setObjectName(QStringLiteral("OleContainer1"));
  auto* editorBox = new QVBoxLayout(Panel2);
  editorBox->setContentsMargins(2, 2, 2, 2);
  editorBox->addWidget(OleContainer1);

  OpenMolButton = MakeButton(this, "OpenMolButton", "MOLファイルを開く", 'O');
  OpenMolButton->setToolTip(QStringLiteral("MOLファイルを検索構造として部分構造検索"));
  Button4 = MakeButton(this, "Button4", "部分構造検索", 'S');
  Button4->setToolTip(QStringLiteral("部分構造による検索を開始"));
  Button4->setDefault(true);

  // The hit: right, on white. The picture keeps its aspect and fills the panel.
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);
  Image1 = new PictureLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setMinimumSize(kPictureWidth, 245);
  auto* pictureBox = new QVBoxLayout(Panel1);
  pictureBox->setContentsMargins(1, 2, 2, 2);
  pictureBox->addWidget(Image1);

  // Both number boxes hold six digits; the record number box takes a number
  // and Enter to jump to that hit.
  QLabel* label1 = MakeLabel(this, "Label1", "レコードNo");
  Edit4 = MakeEdit(this, "Edit4");
  Edit4->setReadOnly(false);
  Edit4->setMaxLength(6);
  Edit4->setValidator(new QIntValidator(1, 999999, Edit4));
  Edit4->setToolTip(QStringLiteral("番号を入力してEnterでその該当レコードを表示"));
  Edit4->setFixedWidth(66);
  label1->setBuddy(Edit4);
  Button5 = MakeButton(this, "Button5", "前のデータ", 'P');
  Button6 = MakeButton(this, "Button6", "次のデータ", 'N');
  Edit5 = MakeEdit(this, "Edit5");
  Edit5->setFixedWidth(66);
  ExactLabel = MakeLabel(this, "ExactLabel", "");
  ExactLabel->hide();
  Edit3 = MakeEdit(this, "Edit3");
  IdentityLabel = MakeLabel(this, "IdentityLabel", "");
  IdentityLabel->hide();
  Edit1 = MakeEdit(this, "Edit1");
  Edit2 = MakeEdit(this, "Edit2");
  Edit2->setFixedWidth(70);
  ScoreLabel = MakeLabel(this, "ScoreLabel", "類似度");
  ScoreEdit = MakeEdit(this, "ScoreEdit");
  ScoreEdit->setFixedWidth(56);
  ScoreLabel->hide();
  ScoreEdit->hide();

  // The database and the MOL folder: bottom left.
  Edit6 = MakeEdit(this, "Edit6");
  Edit6->setToolTip(QStringLiteral("現在使用しているデータベースの名前"));
  Button1 = MakeButton(this, "Button1", "変更", 'D');
  Button1->setToolTip(QStringLiteral("使用するデータベースを変更"));
  Edit7 = MakeEdit(this, "Edit7");
  Edit7->setToolTip(QStringLiteral("表示する化合物のmole fileの入ったフォルダ"));
  Button3 = MakeButton(this, "Button3", "変更", 'F');

  SaveHitsButton = MakeButton(this, "SaveHitsButton", "検索結果を保存", 'A');
  SaveHitsButton->setToolTip(QStringLiteral("該当した化合物をSDファイルかCSVファイルに保存"));
  Button2 = MakeButton(this, "Button2", "終了", 'X');

  // The search mode: the key screen unless another is chosen; the choice,
  // the stereo box and the threshold are remembered.
  ModeGroup = new QButtonGroup(this);
  std::vector<QAbstractButton*> modeButtons;
  for (const ModeButton& m : kSearchModes) {
    auto* b = new QRadioButton(QString::fromUtf8(m.caption), this);
    b->setObjectName(QString::fromLatin1(m.objectName));
    b->setToolTip(QString::fromUtf8(m.tooltip));
    ModeGroup->addButton(b, static_cast<int>(m.mode));
    modeButtons.push_back(b);
  }
  CheckBox1 = ModeGroup->button(static_cast<int>(SearchMode::kExact));
  ChiralBox = new QCheckBox(QStringLiteral("立体も照合"), this);
  ChiralBox->setObjectName(QStringLiteral("ChiralBox"));
  ChiralBox->setToolTip(
      QStringLiteral("原子単位で照合するとき、不斉中心と二重結合の立体も一致させる"));
  auto* thresholdLabel = MakeLabel(this, "Label9", "しきい値");
  ThresholdBox = new QDoubleSpinBox(this);
  ThresholdBox->setObjectName(QStringLiteral("ThresholdBox"));
  ThresholdBox->setRange(0.0, 1.0);
  ThresholdBox->setDecimals(2);
  ThresholdBox->setSingleStep(0.05);
  ThresholdBox->setToolTip(QStringLiteral("この類似度（0～1）以上の化合物を示す"));
  thresholdLabel->setBuddy(ThresholdBox);
  {
    const QSettings settings = UserSettings();
    ModeGroup->button(static_cast<int>(RememberedMode(settings)))->setChecked(true);
    ChiralBox->setChecked(settings.value(QLatin1String(kChiralKey), false).toBool());
    ThresholdBox->setValue(
        settings.value(QLatin1String(kThresholdKey), kDefaultSimilarity).toDouble());
  }
  ModeChanged(searchMode());
  connect(ModeGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
    if (!on) return;
    const auto mode = static_cast<SearchMode>(id);
    ModeChanged(mode);
    QSettings settings = UserSettings();
    for (const ModeButton& m : kSearchModes) {
      if (m.mode == mode) settings.setValue(QLatin1String(kModeKey), QLatin1String(m.setting));
    }
    settings.setValue(QLatin1String(kExactKey), mode == SearchMode::kExact);
  });
  connect(ChiralBox, &QCheckBox::toggled, this,
          [](bool on) { UserSettings().setValue(QLatin1String(kChiralKey), on); });
  connect(ThresholdBox, &QDoubleSpinBox::valueChanged, this,
          [](double t) { UserSettings().setValue(QLatin1String(kThresholdKey), t); });

  auto* left = new QVBoxLayout;
  left->addWidget(Panel2, 1);
  left->addLayout(Row({OpenMolButton, Button4}));
  left->addWidget(MakeLabel(this, "Label7", "データベースファイル名"));
  left->addLayout(Row({Edit6, Button1}));
  left->addWidget(MakeLabel(this, "Label8", "mole file 収納フォルダ"));
  left->addLayout(Row({Edit7, Button3}));
  // A row a mode: its button, then what goes with it.
  for (QAbstractButton* b : modeButtons) {
    std::vector<QWidget*> row = {b};
    switch (static_cast<SearchMode>(ModeGroup->id(b))) {
      case SearchMode::kExact:
        row.push_back(ChiralBox);
        break;
      case SearchMode::kSimilar:
        row.insert(row.end(), {thresholdLabel, ThresholdBox});
        break;
      case SearchMode::kScreen:
      case SearchMode::kIdentity:
        break;
    }
    row.push_back(nullptr);
    left->addLayout(Row(row));
  }

  auto* right = new QVBoxLayout;
  right->addWidget(Panel1, 1);
  right->addLayout(Row({label1, Edit4, nullptr, Button5, Button6}));
  right->addLayout(Row({MakeLabel(this, "Label2", "該当レコード"), Edit5,
                        MakeLabel(this, "Label3", "件"), ExactLabel, nullptr}));
  right->addLayout(Row({MakeLabel(this, "Label4", "化合物名"), Edit3, IdentityLabel}));
  right->addLayout(Row({MakeLabel(this, "Label5", "分子式"), Edit1,
                        MakeLabel(this, "Label6", "分子量"), Edit2, ScoreLabel, ScoreEdit}));
  right->addLayout(Row({SaveHitsButton, nullptr, Button2}));

  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(8, 8, 8, 8);
  top->addLayout(left, 1);
  top->addLayout(right, 1);
  resize(sizeHint().expandedTo(QSize(681, 442)));

  connect(Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmMain::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmMain::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TfrmMain::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmMain::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TfrmMain::Button6Click);
  connect(OpenMolButton, &QPushButton::clicked, this, &TfrmMain::OpenMolClick);
  connect(SaveHitsButton, &QPushButton::clicked, this, &TfrmMain::SaveHitsClick);
  connect(Edit4, &QLineEdit::returnPressed, this, &TfrmMain::Edit4Return);
  connect(OleContainer1, &EditorPanel::molFileDropped, this, &TfrmMain::MolFileDropped);

  FormCreate();
}

void TfrmMain::FormCreate() { firstActivation_ = true; }

template <typename F>
void TfrmMain::Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    // RuntimeError carries the system's text; anything else ends the action the same way.
    WindowUi().ShowError(e.what());
  }
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

void TfrmMain::FormActivate() {
  const Settings& settings = com_data().settings;
  // Every opening shows the program settings again, and the window searches
  // what it shows: a database chosen with Button1 lasts until it is closed.
  dbPath_ = settings.mdatafilename;
  Edit6->setText(Path(dbPath_));
  Edit7->setText(Path(settings.basedir1));
  molFolder_ = settings.basedir1;
  openDialog1Folder_ = settings.basedir1;
  openDialog2Folder_ = settings.basedir2;
  if (dbPath_.empty()) {
    // Nothing to load: an empty database until a file is named.
    if (!state_.path.empty()) ForgetHits();
    state_ = SearchState{};
    sound_ = SoundState{};
    WindowUi().ShowMessage(kNoDatabaseFileForSearch);
    return;
  }
  Guarded([&] { RefreshRecords(); });
}

void TfrmMain::RefreshRecords() {
  if (dbPath_.empty()) return;
  // The hits of another file are not paged through beside this one's name,
  // whether or not this one loads.
  if (state_.path != dbPath_ && state_.hitcount > 0) ForgetHits();
  // Other programs append to the file or replace it: a changed file is read again.
  RefreshSearchDataStamped(state_, dbPath_);
  firstActivation_ = false;
}

void TfrmMain::ForgetHits() {
  state_.hitnames.clear();
  state_.hitrows.clear();
  state_.hitcount = 0;
  state_.hitpos = 0;
  exactQuery_.reset();
  identityLevels_.clear();
  ExactLabel->hide();
  IdentityLabel->hide();
  ForgetScores();
  Edit4->clear();
  Edit5->clear();
  ClearHit();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);  // hidden only: the window keeps its state
  emit closed();
}

void TfrmMain::Button2Click() { close(); }

void TfrmMain::Button4Click() {
  Guarded([&] {
    // The user's drawing in the panel is the query; otherwise the clipboard's
    // structure, as a structure editor put it there: an "MDLCT" block or MOL
    // text first, a SMILES only when neither is there.
    if (OleContainer1->holdsUserDrawing()) {
      SearchMolText(OleContainer1->structureText(false), kQueryStructure, /*fromPanel=*/true);
    } else if (const auto smiles = ReadClipboardSmiles()) {
      SearchSmiles(*smiles);
    } else if (const auto text = CaptureStructureFromClipboard(false, WindowUi())) {
      SearchMolText(*text, kQueryStructure);
    }
  });
}

void TfrmMain::OpenMolClick() {
  const auto path = ChooseMolFile(openDialog1Folder_, WindowUi());
  if (path) SearchFromFile(*path);
}

void TfrmMain::MolFileDropped(const QString& path) { SearchFromFile(PathBytes(path)); }

void TfrmMain::SearchFromFile(const std::string& path) {
  Guarded([&] {
    if (const auto text = CaptureStructureFromFile(path, false, WindowUi())) {
      SearchMolText(*text, QFileInfo(Path(path)).fileName().toStdString());
    }
  });
}

void TfrmMain::SearchMolText(const std::string& text, const std::string& subject, bool fromPanel) {
  const SearchMode mode = searchMode();
  if (mode != SearchMode::kScreen) {
    // As RDKit reads it: query atoms and bonds our own reader refuses included.
    OleContainer1->showNote({});
    if (!fromPanel) OleContainer1->showStructure(text);
    SearchWith(mode, chem::QueryForm::kMolText, text);
    return;
  }
  Molecule& mol = com_data().molecule;
  // The query's name line is blank: messages name it by the subject.
  const auto nameQuery = [&mol, &subject] {
    if (!mol.molname.empty()) return;
    mol.molname = Utf8ToAnsi(subject).value_or(Utf8ToAnsi(kQueryStructure).value_or(""));
  };
  const PreparedStructure query = PrepareMolText(mol, text, WindowUi(), nameQuery);
  // The query stands in the panel, whatever the search makes of it; the
  // user's own drawing stays as drawn.
  OleContainer1->showNote({});
  if (!fromPanel && query.status == PrepareStatus::kRefused) {
    OleContainer1->clearStructure();
  } else if (!fromPanel) {
    OleContainer1->showStructure(query.molText);
  }
  SearchPrepared(query);
}

void TfrmMain::SearchSmiles(const std::string& smiles) {
  // A SMARTS is searched atom by atom whatever the mode: the key screen cannot.
  const std::string utf8 = AnsiToUtf8(smiles);
  const bool smarts = chem::LooksLikeSmarts(utf8);
  const SearchMode mode = searchMode();
  if (mode != SearchMode::kScreen || smarts) {
    OleContainer1->clearStructure();
    OleContainer1->showNote(
        QString::fromStdString(smarts ? SmartsNote(utf8) : SmilesNotDrawnNote(utf8)));
    // A SMARTS describes no one structure to compare with: atom by atom too.
    SearchWith(smarts ? SearchMode::kExact : mode,
               smarts ? chem::QueryForm::kSmarts : chem::QueryForm::kSmiles, utf8);
    return;
  }
  const PreparedStructure query = PrepareSmiles(com_data().molecule, smiles, WindowUi());
  // It has no coordinates to draw: the panel says so instead.
  OleContainer1->clearStructure();
  OleContainer1->showNote(query.status == PrepareStatus::kRefused
                              ? QString()
                              : QString::fromStdString(SmilesNotDrawnNote(AnsiToUtf8(smiles))));
  SearchPrepared(query);
}

void TfrmMain::SearchPrepared(const PreparedStructure& query) {
  Molecule& mol = com_data().molecule;
  if (query.status != PrepareStatus::kRefused) com_data().keyfail = query.keyfail();
  // A refused file or a failed key stops the search: screening would use the
  // key and counts of an earlier molecule.
  if (!query) return;

  RefreshRecords();
  Edit5->clear();
  SearchStructure(state_, mol);
  exactQuery_.reset();
  exactResult_ = SoundResult{};
  identityLevels_.clear();
  ExactLabel->hide();
  ForgetScores();
  ShowSearchResult();
}

SearchMode TfrmMain::searchMode() const { return static_cast<SearchMode>(ModeGroup->checkedId()); }

void TfrmMain::ModeChanged(SearchMode mode) {
  ChiralBox->setEnabled(mode == SearchMode::kExact);
  ThresholdBox->setEnabled(mode == SearchMode::kSimilar);
  const bool similar = mode == SearchMode::kSimilar;
  const bool identity = mode == SearchMode::kIdentity;
  Button4->setText(QString::fromUtf8(similar    ? "類似構造検索(&S)"
                                     : identity ? "同一化合物検索(&S)"
                                                : "部分構造検索(&S)"));
  Button4->setToolTip(QString::fromUtf8(similar ? "類似構造による検索を開始"
                                        : identity ? "同じ化合物とその別の形の検索を開始"
                                                   : "部分構造による検索を開始"));
}

void TfrmMain::SearchWith(SearchMode mode, chem::QueryForm form, const std::string& text) {
  switch (mode) {
    case SearchMode::kSimilar:
      SearchSimilar(form, text);
      return;
    case SearchMode::kIdentity:
      SearchIdentity(form == chem::QueryForm::kSmiles ? chem::SmilesIdentity(text)
                                                      : chem::StructureIdentity(text));
      return;
    case SearchMode::kExact:
    case SearchMode::kScreen:  // a SMARTS: the key screen cannot
      SearchExact(form, text);
      return;
  }
}

void TfrmMain::ForgetScores() {
  hitScores_.clear();
  ScoreLabel->hide();
  ScoreEdit->hide();
  ScoreEdit->clear();
}

void TfrmMain::SearchSimilar(chem::QueryForm form, const std::string& text) {
  Ui& ui = WindowUi();
  const chem::SimilarityQuery q = chem::SimilarityQueryOf(form, text);
  if (!q.ok) {
    ui.ShowMessage(QueryNotReadMessage(q.error));
    return;
  }
  RefreshRecords();
  Edit5->clear();
  if (!SimilarIndexIsCurrent(similar_, dbPath_, molFolder_)) {
    TablesProgress progress(this, kReadingTables);
    // Stopped: no search; what was read is read again next time.
    if (!PrepareSimilarIndex(similar_, sound_, dbPath_, molFolder_, progress)) return;
  }
  const double threshold = ThresholdBox->value();
  const SimilarResult r = SimilarSearch(similar_, q.print, {threshold, 0, 0});
  // The hit list in ranked order, named as the index names them; the picture
  // highlights nothing.
  exactQuery_.reset();
  exactResult_ = SoundResult{};
  state_.hitnames.clear();
  state_.hitrows.clear();
  hitScores_.clear();
  identityLevels_.clear();
  for (const SimilarHit& h : r.hits) {
    state_.hitnames.emplace_back(similar_.index->Name(static_cast<size_t>(h.row)));
    state_.hitrows.push_back(h.row);
    hitScores_.push_back(h.score);
  }
  state_.hitcount = static_cast<int32_t>(state_.hitnames.size());
  state_.hitpos = 1;
  ExactLabel->setText(QString::fromStdString(SimilarCountsText(threshold, r.unprinted)));
  ExactLabel->setToolTip({});
  ExactLabel->show();
  ScoreLabel->show();
  ScoreEdit->show();
  ShowSearchResult();
}

void TfrmMain::SearchIdentity(const chem::Identity& query) {
  Ui& ui = WindowUi();
  if (!query.known()) {
    ui.ShowMessage(QueryNotReadMessage("RDKit does not read it"));
    return;
  }
  RefreshRecords();
  Edit5->clear();
  if (!SoundIndexIsCurrent(sound_, dbPath_, molFolder_)) {
    TablesProgress progress(this, kReadingTables);
    if (!PrepareSoundIndex(sound_, dbPath_, molFolder_, progress)) return;
  }
  exactQuery_.reset();
  exactResult_ = SoundResult{};
  ExactLabel->hide();
  ForgetScores();
  state_.hitnames.clear();
  state_.hitrows.clear();
  identityLevels_.clear();
  for (const IdentityMatch& m : FindInIndex(*sound_.index, query)) {
    state_.hitnames.push_back(m.name);
    state_.hitrows.push_back(static_cast<int32_t>(m.row));
    identityLevels_.push_back(m.level);
  }
  state_.hitcount = static_cast<int32_t>(state_.hitnames.size());
  state_.hitpos = 1;
  ShowSearchResult();
}

void TfrmMain::SearchExact(chem::QueryForm form, const std::string& text) {
  Ui& ui = WindowUi();
  const chem::QueryResult q = chem::CompileQuery(form, text, ChiralBox->isChecked());
  if (!q.query) {
    ui.ShowMessage(QueryNotReadMessage(q.error));
    return;
  }
  RefreshRecords();
  Edit5->clear();
  if (!SoundIndexIsCurrent(sound_, dbPath_, molFolder_)) {
    TablesProgress progress(this, kReadingTables);
    // Stopped: no search; what was read is read again next time.
    if (!PrepareSoundIndex(sound_, dbPath_, molFolder_, progress)) return;
  }
  // The window repaints, and "中止" or SIGTERM stops it.
  ConfirmProgress confirming(this, 0);
  exactResult_ = SoundSearch(sound_, *q.query, confirming);
  exactQuery_ = q.query;
  identityLevels_.clear();
  // The hit list is the exact hits, named as the index names them (the
  // database file as it is now).
  state_.hitnames.clear();
  state_.hitrows = exactResult_.rows;
  for (int32_t r : exactResult_.rows) {
    state_.hitnames.emplace_back(sound_.index->Name(static_cast<size_t>(r)));
  }
  state_.hitcount = static_cast<int32_t>(state_.hitnames.size());
  state_.hitpos = 1;
  ForgetScores();
  ShowExactCounts();
  ShowSearchResult();
}

void TfrmMain::ShowSearchResult() {
  Ui& ui = WindowUi();
  Edit5->setText(QString::number(state_.hitcount));
  Edit4->setText(QStringLiteral("1"));
  if (state_.hitcount >= 1) {
    ShowHit(1);
  } else {
    ClearHit();
    ui.ShowMessage(kNoMatch);
  }
}

void TfrmMain::ClearHit() {
  Edit3->clear();
  Edit1->clear();
  Edit2->clear();
  ScoreEdit->clear();
  picture_ = QPicture();
  Image1->clear();
}

void TfrmMain::ShowHit(int n) {
  if (n < 1 || n > state_.hitcount) return;
  // What an identity search's hit is to the query.
  if (static_cast<size_t>(n) <= identityLevels_.size()) {
    IdentityLabel->setText(QString::fromUtf8(RelationText(identityLevels_[n - 1])));
    IdentityLabel->show();
  } else {
    IdentityLabel->hide();
  }
  const std::string path = HitMolPath(molFolder_, state_.hitnames[n - 1]);
  if (!FileExists(path)) {
    // No picture of another compound beside this record number.
    ClearHit();
    WindowUi().ShowMessage(NoFileMessage(Path(path).toStdString()));
    return;
  }
  Edit3->setText(QFileInfo(Path(path)).fileName());
  ShowMolFile(path);
  if (static_cast<size_t>(n) <= hitScores_.size()) {
    ScoreEdit->setText(QString::number(hitScores_[static_cast<size_t>(n) - 1], 'f', 3));
  }
}

void TfrmMain::Edit4Return() {
  bool ok = false;
  const int n = Edit4->text().toInt(&ok);
  if (state_.hitcount < 1) {
    WindowUi().ShowMessage(kNoMoreData);
  } else if (!ok || n < 1 || n > state_.hitcount) {
    WindowUi().ShowMessage(HitNumberMessage(state_.hitcount));
  } else {
    state_.hitpos = n;
    Edit4->setText(QString::number(n));
    Guarded([&] { ShowHit(n); });
    return;
  }
  // The box shows the hit on display again.
  Edit4->setText(state_.hitcount < 1 && state_.hitpos < 1 ? QString()
                                                          : QString::number(state_.hitpos));
}

void TfrmMain::ShowMolFile(const std::string& path) {
  Molecule& mol = com_data().molecule;
  if (!ReadMolFile(mol, path, WindowUi())) return;
  CalcFormulaWeight(mol);
  std::optional<Highlight> highlight;
  SoundMapping mapping;
  if (exactQuery_ && FindSoundMapping(*exactQuery_, ReadFileBytes(path), mapping)) {
    highlight = Highlight{mapping.atoms, MolBondNumbers(mol, mapping.bonds)};
  }
  // Drawn into a fresh picture: a failed drawing keeps the one shown.
  picture_ =
      DrawMoleculePicture(mol, kPictureWidth, 1, kPictureAspect, highlight ? &*highlight : nullptr);
  Image1->setPicture(picture_);
  Edit1->setText(QString::fromStdString(AnsiToUtf8(mol.molformula)));
  Edit2->setText(QString::fromStdString(mol.molweight));
}

void TfrmMain::Button5Click() {
  if (state_.hitpos > 1) {
    --state_.hitpos;
    Edit4->setText(QString::number(state_.hitpos));
    Guarded([&] { ShowHit(state_.hitpos); });
  } else {
    WindowUi().ShowMessage(kNoMoreData);
  }
}

void TfrmMain::Button6Click() {
  if (state_.hitpos < state_.hitcount) {
    ++state_.hitpos;
    Edit4->setText(QString::number(state_.hitpos));
    Guarded([&] { ShowHit(state_.hitpos); });
  } else {
    WindowUi().ShowMessage(kNoMoreData);
  }
}

void TfrmMain::Button1Click() {
  const auto path = WindowUi().OpenFile(kDatabaseFileFilter, openDialog2Folder_);
  if (!path) {
    WindowUi().ShowMessage(kNoFileName);
    return;
  }
  // Only this window's database changes; the setting stays. The box shows
  // the chosen file from now on, and every search loads it (again) until it
  // loads.
  dbPath_ = *path;
  Edit6->setText(Path(dbPath_));
  Guarded([&] { RefreshRecords(); });
}

void TfrmMain::SaveHitsClick() {
  Ui& ui = WindowUi();
  if (state_.hitcount < 1) {
    ui.ShowMessage(kNoHitsToSave);
    return;
  }
  const auto path = ui.SaveFile(kSaveHitsTitle, kHitFileFilter, openDialog2Folder_);
  if (!path) return;
  const std::optional<HitFormat> format = HitFormatForFile(*path);
  if (format != HitFormat::kSdf && format != HitFormat::kCsv) {
    ui.ShowMessage(HitFileExtensionMessage(Path(*path).toStdString()));
    return;
  }
  Guarded([&] {
    // The hits of the last search, read from the folder they are shown from.
    const std::vector<std::string> hits(state_.hitnames.begin(),
                                        state_.hitnames.begin() + state_.hitcount);
    std::vector<std::string> problems;
    // A similarity search's hits keep their scores, an identity search's
    // their layers.
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> extra;
    if (!hitScores_.empty()) {
      columns = {kSimilarityColumn};
      for (size_t i = 0; i < hitScores_.size() && i < hits.size(); ++i) {
        extra.push_back({ScoreText(hitScores_[i])});
      }
    } else if (!identityLevels_.empty()) {
      columns = {kLayerColumn};
      for (size_t i = 0; i < identityLevels_.size() && i < hits.size(); ++i) {
        extra.push_back({chem::IdentityLevelName(identityLevels_[i])});
      }
    }
    const HitCounts saved = SaveHits(
        *path, *format, hits, molFolder_, dbPath_,
        [&](const std::string& p) { problems.push_back(p); }, columns,
        columns.empty() ? nullptr : &extra);
    // Every hit is written; those without their structure are counted apart.
    std::string text = HitsSavedMessage(saved.written, Path(*path).toStdString());
    if (saved.withoutStructure > 0) {
      text += "\n\n" + HitsWithoutStructureMessage(saved.withoutStructure);
      for (size_t i = 0; i < problems.size() && i < 20; ++i) text += "\n" + problems[i];
      if (problems.size() > 20) text += "\n…";
    }
    ui.ShowMessage(text);
  });
}

void TfrmMain::Button3Click() {
  const auto folder = WindowUi().BrowseFolder(kSelectFolderTitle);
  // Cancelled: the box and the folder in use stay as they were.
  if (!folder) return;
  Edit7->setText(Path(*folder));
  molFolder_ = *folder;
}

void TfrmMain::ShowExactCounts() {
  const SoundResult& r = exactResult_;
  ExactLabel->setText(QString::fromStdString(
      ExactCountsText(static_cast<int>(r.candidates), static_cast<int>(r.unconfirmed.size()))));
  // The unconfirmed records by name, and why (the first of many).
  constexpr size_t kListed = 30;
  const std::vector<std::string> unconfirmed = UnconfirmedLines(sound_, r);
  QStringList lines;
  for (size_t i = 0; i < unconfirmed.size() && i < kListed; ++i) {
    lines << QString::fromStdString(unconfirmed[i]);
  }
  if (r.unconfirmed.size() > kListed) {
    lines << QString::fromStdString(MoreEntriesMessage(r.unconfirmed.size() - kListed));
  }
  ExactLabel->setToolTip(lines.join(QLatin1Char('\n')));
  ExactLabel->show();
}

}  // namespace vuduzez
