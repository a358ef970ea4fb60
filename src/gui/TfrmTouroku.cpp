#include "gui/TfrmTouroku.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>

#include "database/database.h"
#include "database/mol_files.h"
#include "database/workspace.h"
#include "gui/clipboard_qt.h"
#include "gui/progress_qt.h"
#include "gui/quit_signals_qt.h"
#include "gui/structure_input_qt.h"
#include "gui/window_ui.h"
#include "model/com_data.h"
#include "model/molreader.h"
#include "platform/encoding.h"
#include "platform/errors.h"
#include "platform/message_sink.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "register/batch.h"
#include "register/delete.h"
#include "register/import.h"
#include "register/prepare.h"
#include "register/store.h"

namespace vuduzez {

namespace {

constexpr size_t kMemoLimit = 60000;  // keys this long are not shown, only counted

// Runs one handler: a run-time error ends the action and is shown in the
// standard error box; nothing may escape into Qt's event loop.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    WindowUi().ShowError(e.what());
  }
}

QString FromAnsi(const std::string& ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }

QLabel* BusyLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, Qt::red);
  label->setPalette(p);
  // Keeps its place while hidden, so that showing it needs no new layout.
  QSizePolicy policy = label->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  label->setSizePolicy(policy);
  label->hide();
  return label;
}

// Restores a flag when the handler ends, whichever way it ends.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TfrmTouroku::TfrmTouroku(QWidget* parent) : QWidget(parent) {
  setObjectName("frmTouroku");
  setWindowTitle(QStringLiteral("検索用データの作成・登録"));

  auto named = [](auto* w, const char* name) {
    w->setObjectName(name);
    return w;
  };
  auto display = [this, &named](const char* name) {
    auto* e = named(new QLineEdit(this), name);
    e->setReadOnly(true);
    return e;
  };

  OleContainer1 = named(new EditorPanel(this), "OleContainer1");
  OleContainer1->setMinimumSize(353, 249);
  // The panel carries its own caption; it is this window's Label10.
  Label10 = OleContainer1->findChild<QLabel*>("EditorLabel");
  if (Label10 == nullptr) Label10 = new QLabel(OleContainer1);
  Label10->setObjectName("Label10");
  Label10->setText(QStringLiteral("ISIS Draw Window"));
  OpenMolButton =
      named(new QPushButton(QStringLiteral("MOLファイルを開く(&O)"), this), "OpenMolButton");
  OpenMolButton->setToolTip(QStringLiteral("MOLファイルから構造データを作成"));

  Edit6 = display("Edit6");
  Label6 = named(new QLabel(QStringLiteral("分子式"), this), "Label6");
  Edit4 = display("Edit4");
  Label7 = named(new QLabel(QStringLiteral("分子量"), this), "Label7");
  Edit5 = display("Edit5");
  Memo1 = named(new QPlainTextEdit(this), "Memo1");
  Memo1->setReadOnly(true);
  Memo1->setToolTip(QStringLiteral("検索用データ"));
  Label4 = named(new QLabel(QStringLiteral("データサイズ"), this), "Label4");
  Edit3 = display("Edit3");
  Label5 = named(new QLabel(QStringLiteral("バイト"), this), "Label5");
  Button1 = named(new QPushButton(QStringLiteral("構造データの作成(&M)"), this), "Button1");
  Button1->setToolTip(QStringLiteral("検索用データを作成"));
  Button2 = named(new QPushButton(QStringLiteral("構造データの収納(&S)"), this), "Button2");
  Button2->setToolTip(QStringLiteral("データベースに登録"));

  Label2 = named(new QLabel(QStringLiteral("データベースファイル名"), this), "Label2");
  Edit1 = display("Edit1");
  Button5 = named(new QPushButton(QStringLiteral("変更(&D)"), this), "Button5");
  Label3 = named(new QLabel(QStringLiteral("mole file 収納フォルダ"), this), "Label3");
  Edit2 = display("Edit2");
  Button7 = named(new QPushButton(QStringLiteral("変更(&F)"), this), "Button7");

  ListBox1 = named(new QListWidget(this), "ListBox1");
  Button3 = named(new QPushButton(QStringLiteral("構造データの一括作成(&B)"), this), "Button3");
  Button3->setToolTip(QStringLiteral("指定したフォルダの中のmole fileを一括処理"));
  Label8 = named(BusyLabel(QStringLiteral("変　換　中"), this), "Label8");
  LabelProgress = named(BusyLabel(QString(), this), "LabelProgress");
  LabelProgress->setMinimumWidth(90);
  ImportSdButton =
      named(new QPushButton(QStringLiteral("SDファイルから登録(&I)"), this), "ImportSdButton");
  ImportSdButton->setToolTip(
      QStringLiteral("SDファイルの各構造をmole file 収納フォルダにMOLファイルとして置き、登録"));
  Button6 = named(new QPushButton(QStringLiteral("削　除(&L)"), this), "Button6");
  Button6->setToolTip(QStringLiteral("リスト中の不用化合物のデータを削除"));
  Label9 = named(BusyLabel(QStringLiteral("削　除　中"), this), "Label9");
  RestoreButton = named(new QPushButton(QStringLiteral("復元(&R)"), this), "RestoreButton");
  RestoreButton->setToolTip(QStringLiteral("削除した化合物を削除済みフォルダから戻して登録"));
  IdentityNote = named(new QLabel(this), "IdentityNote");
  IdentityNote->setWordWrap(true);
  IdentityNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Button4 = named(new QPushButton(QStringLiteral("終　了(&X)"), this), "Button4");

  // Left: the structure and what was made of it. Right: settings and the list.
  auto* left = new QGridLayout;
  left->addWidget(OleContainer1, 0, 0, 1, 4);
  left->addWidget(OpenMolButton, 1, 0, 1, 2);
  left->addWidget(Edit6, 1, 2, 1, 2);
  left->addWidget(Label6, 2, 0);
  left->addWidget(Edit4, 2, 1, 1, 3);
  left->addWidget(Label7, 3, 0);
  left->addWidget(Edit5, 3, 1, 1, 3);
  left->addWidget(Memo1, 4, 0, 1, 4);
  left->addWidget(Label4, 5, 0);
  left->addWidget(Edit3, 5, 1, 1, 2);
  left->addWidget(Label5, 5, 3);
  left->addWidget(Button1, 6, 0, 1, 2);
  left->addWidget(Button2, 6, 2, 1, 2);
  left->addWidget(IdentityNote, 7, 0, 1, 4);

  auto* right = new QGridLayout;
  right->addWidget(Label2, 0, 0, 1, 2);
  right->addWidget(Edit1, 1, 0);
  right->addWidget(Button5, 1, 1);
  right->addWidget(Label3, 2, 0, 1, 2);
  right->addWidget(Edit2, 3, 0);
  right->addWidget(Button7, 3, 1);
  right->addWidget(ListBox1, 4, 0, 1, 2);
  auto* batchRow = new QHBoxLayout;
  batchRow->addWidget(Button3);
  batchRow->addWidget(Label8);
  batchRow->addWidget(LabelProgress);
  batchRow->addStretch();
  right->addLayout(batchRow, 5, 0, 1, 2);
  auto* importRow = new QHBoxLayout;
  importRow->addWidget(ImportSdButton);
  importRow->addStretch();
  right->addLayout(importRow, 6, 0, 1, 2);
  auto* deleteRow = new QHBoxLayout;
  deleteRow->addWidget(Button6);
  deleteRow->addWidget(Label9);
  deleteRow->addWidget(RestoreButton);
  deleteRow->addStretch();
  deleteRow->addWidget(Button4);
  right->addLayout(deleteRow, 7, 0, 1, 2);

  auto* top = new QHBoxLayout(this);
  top->addLayout(left, 3);
  top->addLayout(right, 2);
  resize(820, 560);

  connect(Button1, &QPushButton::clicked, this, &TfrmTouroku::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfrmTouroku::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TfrmTouroku::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TfrmTouroku::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TfrmTouroku::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TfrmTouroku::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TfrmTouroku::Button7Click);
  connect(OpenMolButton, &QPushButton::clicked, this, &TfrmTouroku::OpenMolClick);
  connect(ImportSdButton, &QPushButton::clicked, this, &TfrmTouroku::ImportSdClick);
  connect(RestoreButton, &QPushButton::clicked, this, &TfrmTouroku::RestoreClick);
  connect(OleContainer1, &EditorPanel::molFileDropped, this, &TfrmTouroku::MolFileDropped);

  FormCreate();
}

void TfrmTouroku::FormCreate() {}

void TfrmTouroku::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window restored by the system is not a new activation.
  if (!event->spontaneous()) FormActivate();
}

void TfrmTouroku::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  event->accept();
  FormClose();
}

void TfrmTouroku::FormActivate() {
  Guarded([this] {
    const Settings& s = com_data().settings;
    Edit1->setText(QString::fromStdString(s.mdatafilename));
    Edit2->setText(QString::fromStdString(s.basedir1));
    LoadNames();
  });
}

void TfrmTouroku::FormClose() {
  hide();
  emit closed();
}

void TfrmTouroku::LoadNames() {
  const std::string& db = com_data().settings.mdatafilename;
  if (db.empty()) {
    WindowUi().ShowMessage(kNoDatabaseFileForRegistration);
    return;
  }
  namelist_ = LoadNameList(db);  // throws before anything is replaced
  FillListBox();
}

void TfrmTouroku::FillListBox() {
  ListBox1->clear();
  for (const std::string& name : namelist_) ListBox1->addItem(FromAnsi(name));
}

void TfrmTouroku::RepaintNow(QWidget* w) {
  // The run blocks the event loop, so the label is laid out and painted at
  // once, by hand.
  if (layout() != nullptr) layout()->activate();
  w->repaint();
}

// --- single registration ---------------------------------------------------

void TfrmTouroku::Button1Click() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    // The user's drawing in the panel; otherwise the clipboard's structure: an
    // "MDLCT" block or MOL text first, a SMILES only when neither is there.
    if (OleContainer1->holdsUserDrawing()) {
      PrepareFromText(OleContainer1->structureText(/*keepNameLine=*/true), /*fromPanel=*/true);
    } else if (const auto smiles = ReadClipboardSmiles()) {
      PreparedStructure next =
          PrepareSmiles(com_data().molecule, *smiles, WindowUi(), CompletedShower());
      if (next.status != PrepareStatus::kRefused) {
        // No coordinates to draw: the panel says so instead.
        OleContainer1->clearStructure();
        OleContainer1->showNote(QString::fromStdString(SmilesNotDrawnNote(AnsiToUtf8(*smiles))));
      }
      ShowPrepared(std::move(next));
    } else if (const auto text = CaptureStructureFromClipboard(/*keepNameLine=*/true, WindowUi())) {
      PrepareFromText(*text);
    }
  });
}

void TfrmTouroku::OpenMolClick() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    const auto path = ChooseMolFile(com_data().settings.basedir1, WindowUi());
    if (!path || path->empty()) return;
    if (const auto text = CaptureStructureFromFile(*path, /*keepNameLine=*/true, WindowUi())) {
      PrepareFromText(*text);
    }
  });
}

void TfrmTouroku::MolFileDropped(const QString& path) {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this, &path] {
    if (const auto text = CaptureStructureFromFile(path.toStdString(), true, WindowUi())) {
      PrepareFromText(*text);
    }
  });
}

CompletedHook TfrmTouroku::CompletedShower() {
  // Name, formula and weight are shown before the key is made, so that they
  // stand while a key message is up.
  return [this] {
    const Molecule& mol = com_data().molecule;
    Edit6->setText(FromAnsi(mol.molname + ".mol"));
    Edit4->setText(FromAnsi(mol.molformula));
    Edit5->setText(FromAnsi(mol.molweight));
  };
}

void TfrmTouroku::PrepareFromText(const std::string& text, bool fromPanel) {
  PreparedStructure next = PrepareMolText(com_data().molecule, text, WindowUi(), CompletedShower());
  if (next.status != PrepareStatus::kRefused) {
    OleContainer1->showNote({});
    if (!fromPanel) OleContainer1->showStructure(next.molText);
  }
  ShowPrepared(std::move(next));
}

void TfrmTouroku::ShowPrepared(PreparedStructure next) {
  // A refused file leaves the prepared structure and the displays as they were.
  if (next.status == PrepareStatus::kRefused) return;
  com_data().keyfail = next.keyfail();
  if (next.ready()) {
    Memo1->setPlainText(next.key.size() >= kMemoLimit ? QString(kTooManyBytes)
                                                      : QString::fromLatin1(next.key));
    Edit3->setText(QString::number(next.key.size()));
  } else {
    // keydata still belongs to an earlier molecule: show no key at all.
    Memo1->clear();
    Edit3->clear();
  }
  prepared_ = std::move(next);
  IdentityNote->clear();  // it spoke of the structure prepared before
}

void TfrmTouroku::Button2Click() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] { StoreInner(); });
}

void TfrmTouroku::StoreInner() {
  Ui& ui = WindowUi();
  const Settings& settings = com_data().settings;
  if (!CheckStorable(prepared_, settings.basedir1, ui)) return;
  if (!AskAboutSameStructure(ui)) return;
  // The name questions: an unnamed structure is asked for a name, a named one
  // confirmed or renamed. Cancelling an input box stores nothing. The rules
  // for the answer are the store's.
  std::optional<std::string> answer;
  const std::string offered = AnsiToUtf8(prepared_.name);
  if (prepared_.name.empty()) {
    answer = ui.InputBox(kCodeInputCaption, kEnterNamePrompt, "");
    if (!answer) return;
  } else if (ui.ConfirmName(offered) != 1) {
    answer = ui.InputBox(kCodeInputCaption, kEnterNewNamePrompt, offered);
    if (!answer) return;
  }
  const StoreResult stored =
      StoreStructure(prepared_, answer, settings.mdatafilename, settings.basedir1, namelist_, ui);
  if (!stored.stored()) return;
  ListBox1->addItem(FromAnsi(stored.listed));
  // The new name in view and selected.
  ListBox1->setCurrentRow(ListBox1->count() - 1);
  ListBox1->scrollToItem(ListBox1->item(ListBox1->count() - 1));
  ui.ShowMessage(kStored);
}

const SoundIndex* TfrmTouroku::RegisteredIndex() {
  const Settings& s = com_data().settings;
  if (s.basedir1.empty() || s.mdatafilename.empty()) return nullptr;
  if (!SoundIndexIsCurrent(sound_, s.mdatafilename, s.basedir1)) {
    TablesProgress progress(this, kReadingTables);
    if (!PrepareSoundIndex(sound_, s.mdatafilename, s.basedir1, progress)) return nullptr;
  }
  return &*sound_.index;
}

bool TfrmTouroku::AskAboutSameStructure(Ui& ui) {
  const SoundIndex* registered = RegisteredIndex();
  if (registered == nullptr) return true;
  const std::vector<IdentityMatch> forms = RegisteredForms(prepared_.molText, *registered);
  const std::string related = MatchNames(forms, /*exact=*/false);
  IdentityNote->setText(related.empty() ? QString()
                                        : QString::fromStdString(RelatedCompoundsNote(related)));
  const std::string same = MatchNames(forms, /*exact=*/true);
  return same.empty() || ui.Confirm(SameStructureQuestion(same));
}

// --- settings --------------------------------------------------------------

void TfrmTouroku::UseNewDatabase(const std::string& path) {
  Ui& ui = WindowUi();
  const NewDatabase made = CreateDatabase(path);
  if (!made.created) {
    ui.ShowMessage(DatabaseExistsMessage(path));
    return;
  }
  Settings& s = com_data().settings;
  s.mdatafilename = path;
  s.basedir1 = made.molFolder;
  Edit1->setText(QString::fromStdString(path));
  Edit2->setText(QString::fromStdString(made.molFolder));
  LoadNames();
  ui.ShowMessage(DatabaseCreatedMessage(path, made.molFolder));
}

void TfrmTouroku::Button5Click() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    Settings& s = com_data().settings;
    // Another database file, or a new, empty one (its MOL folder beside it).
    const int choice = WindowUi().Choose(kDatabaseChoiceQuestion,
                                         {kOpenDatabaseButton, kNewDatabaseButton, kCancelButton});
    if (choice == 1) {
      const auto file = WindowUi().SaveFile(kNewDatabaseTitle, kDatabaseFileFilter, s.basedir2);
      if (!file || file->empty()) {
        WindowUi().ShowMessage(kNoFileName);
        return;
      }
      UseNewDatabase(*file);
      return;
    }
    const auto file = choice == 0 ? WindowUi().OpenFile("", s.basedir2) : std::nullopt;
    if (!file || file->empty()) {
      WindowUi().ShowMessage(kNoFileName);
      return;
    }
    Edit1->setText(QString::fromStdString(*file));
    s.mdatafilename = *file;
    LoadNames();
  });
}

void TfrmTouroku::Button7Click() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    // Cancelling gives the empty path, which is taken like any other.
    const std::string folder = WindowUi().BrowseFolder(kSelectFolderTitle).value_or("");
    Edit2->setText(QString::fromStdString(folder));
    com_data().settings.basedir1 = folder;
  });
}

// --- batch registration and deletion ----------------------------------------

void TfrmTouroku::Button3Click() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    Ui& ui = WindowUi();
    const std::string folder = ui.BrowseFolder(kSelectFolderTitle).value_or("");
    if (folder.empty()) {
      ui.ShowMessage(kNoMolFolder);
      return;
    }
    // A window-modal progress dialog: its cancel button stops the run
    // between files (what was stored stays), and every step lets the event
    // loop run, so that the windows keep painting. Nothing else can start
    // meanwhile: the dialog takes this window's input, busy_ refuses its
    // handlers and closing it is refused.
    QProgressDialog progress(QString::fromUtf8(kBatchProgressText),
                             QString::fromUtf8(kBatchStopButton), 0, 0, this);
    progress.setObjectName("BatchProgress");
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    auto hideBusy = [this, &progress] {
      progress.hide();
      Label8->hide();
      LabelProgress->hide();
      RepaintNow(this);
    };
    ForwardingSink relay(ui);
    relay.onProgress = [this, &progress](int done, int total) {
      LabelProgress->setText(QStringLiteral("%1 / %2").arg(done).arg(total));
      RepaintNow(LabelProgress);
      progress.setMaximum(total);
      progress.setValue(done);
    };
    relay.stopRequested = [&progress] { return progress.wasCanceled() || QuitRequested(); };
    // The closing message comes after the busy label has gone.
    relay.beforeText = [&hideBusy](const std::string& text) {
      if (text.rfind(kBatchFinished, 0) == 0) hideBusy();
    };
    Label8->show();
    LabelProgress->clear();
    LabelProgress->show();
    RepaintNow(Label8);
    // Up and painted at once, before the first file.
    progress.setValue(0);
    progress.show();
    QCoreApplication::processEvents();
    // The structures registered before, to name the files that repeat them;
    // the files of another folder follow their records into the MOL folder.
    BatchOptions options;
    options.molFolder = com_data().settings.basedir1;
    options.registered = RegisteredIndex();
    BatchSummary summary;
    try {
      summary = BatchRegister(folder, com_data().settings.mdatafilename, com_data().molecule, relay,
                              options);
    } catch (...) {
      hideBusy();
      throw;
    }
    hideBusy();
    if (summary.stopped) ui.ShowMessage(BatchStoppedMessage(summary.registered));
    // The store's duplicate test looks at namelist: it must see what the run
    // added, so the list is read again now rather than at the next showing.
    if (summary.registered > 0) LoadNames();
  });
}

// As for batch registration: a window-modal progress dialog whose cancel
// button stops the run between records (what was registered stays).
void TfrmTouroku::ImportSdClick() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    Ui& ui = WindowUi();
    const Settings& s = com_data().settings;
    if (s.basedir1.empty()) {
      ui.ShowMessage(kNoMolFolder);
      return;
    }
    const auto sdPath = ui.OpenFile(kSdFileFilter, s.basedir2);
    if (!sdPath || sdPath->empty()) return;
    ImportSd(*sdPath);
  });
}

void TfrmTouroku::ImportSdFromFile(const std::string& sdPath) {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([&] {
    Ui& ui = WindowUi();
    if (com_data().settings.basedir1.empty()) {
      ui.ShowMessage(kNoMolFolder);
      return;
    }
    if (!ui.Confirm(ImportSdQuestion(sdPath))) return;
    ImportSd(sdPath);
  });
}

void TfrmTouroku::ImportSd(const std::string& sdPath) {
  Ui& ui = WindowUi();
  const Settings& s = com_data().settings;
  QProgressDialog progress(QString::fromUtf8(kImportProgressText),
                           QString::fromUtf8(kBatchStopButton), 0, 1000, this);
  progress.setObjectName("ImportProgress");
  progress.setWindowTitle(windowTitle());
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  ForwardingSink relay(ui);
  relay.onProgress = [&progress](int done, int) { progress.setValue(done); };
  relay.stopRequested = [&progress] { return progress.wasCanceled() || QuitRequested(); };
  // The closing message and errors come after the dialog has gone.
  relay.beforeText = [&progress](const std::string&) { progress.hide(); };
  ImportOptions options;
  options.registered = RegisteredIndex();
  progress.setValue(0);
  progress.show();
  QCoreApplication::processEvents();
  const ImportSummary summary = ImportSdFile(sdPath, s.mdatafilename, s.basedir1, "",
                                             com_data().molecule, relay, {}, options);
  progress.hide();
  // A stop shows no closing message of its own: say what was done.
  if (summary.stopped) ui.ShowMessage(ImportFinishedMessage(summary));
  if (summary.registered > 0) LoadNames();
}

void TfrmTouroku::Button6Click() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= static_cast<int>(namelist_.size()) ||
        ListBox1->selectedItems().isEmpty()) {
      WindowUi().ShowMessage(kNoSelection);
      return;
    }
    const std::string nameLine = namelist_[static_cast<size_t>(row)];
    // Asked with the number of records that go, as the file holds them now.
    const std::vector<std::string> names = LoadNameList(com_data().settings.mdatafilename);
    const int records = static_cast<int>(std::count(names.begin(), names.end(), nameLine));
    if (!WindowUi().Confirm(DeleteQuestion(AnsiToUtf8(nameLine), records))) return;
    auto hideBusy = [this] {
      Label9->hide();
      RepaintNow(this);
    };
    ForwardingSink relay(WindowUi());
    relay.beforeText = [&hideBusy](const std::string&) { hideBusy(); };
    Label9->show();
    RepaintNow(Label9);
    try {
      DeleteCompound(com_data().settings.mdatafilename, com_data().settings.basedir1, nameLine,
                     relay);
    } catch (...) {
      hideBusy();
      throw;
    }
    hideBusy();
    // Every record of that name has left the file; every entry of that name
    // leaves the list box too, which stays in step with namelist.
    for (size_t i = namelist_.size(); i-- > 0;) {
      if (namelist_[i] == nameLine) {
        namelist_.erase(namelist_.begin() + static_cast<std::ptrdiff_t>(i));
        delete ListBox1->takeItem(static_cast<int>(i));
      }
    }
    ListBox1->setCurrentRow(-1);  // a second press must not delete a neighbour
  });
}

void TfrmTouroku::RestoreClick() {
  if (busy_) return;
  BusyScope busy(busy_);
  Guarded([this] {
    Ui& ui = WindowUi();
    const Settings& s = com_data().settings;
    if (s.basedir1.empty()) {
      ui.ShowMessage(kNoMolFolder);
      return;
    }
    const std::string trash = TrashFolderOf(s.basedir1);
    if (!IsFolder(trash)) {
      ui.ShowMessage(kNoTrashFolder);
      return;
    }
    const auto file = ui.OpenFile(kRestoreFileFilter, trash);
    if (!file || file->empty()) return;
    // Registered again under the file's name, as a batch run would.
    const std::string fileName = file->substr(file->rfind('/') + 1);
    const std::optional<std::string> nameLine = Utf8ToAnsi(fileName);
    if (!nameLine) {
      ui.ShowMessage(NameNotShiftJisMessage(fileName));
      return;
    }
    if (RestoreCompound(s.mdatafilename, s.basedir1, *nameLine, com_data().molecule, ui) ==
        RestoreStatus::kRestored) {
      LoadNames();
    }
  });
}

void TfrmTouroku::Button4Click() { close(); }

}  // namespace vuduzez
