// The registration window: single registration of a drawn structure, batch
// registration of a folder of MOL files, and deletion of registered compounds.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "register/prepare.h"
#include "search/sound_search.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace vuduzez {

class EditorPanel;
class Ui;

class TfrmTouroku : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmTouroku(QWidget* parent = nullptr);

  // The name lines of the database (CP932), in the order ListBox1 shows them.
  const std::vector<std::string>& namelist() const { return namelist_; }

  // Prepare, store, batch registration, deletion, database file, MOL folder,
  // close; and the structure given as a MOL file (button or drop).
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void OpenMolClick();
  void MolFileDropped(const QString& path);
  // "SDファイルから登録": every record of a chosen SD file registered.
  void ImportSdClick();
  // "復元": a deleted compound chosen in the trash folder brought back.
  void RestoreClick();
  // An SD file given to the program (command line, file manager): registered
  // after a question naming it.
  void ImportSdFromFile(const std::string& sdPath);

 signals:
  // The window was closed (hidden; the next showing reads the name list again).
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();
  void FormClose();
  // Read, complete and key captured MOL text; show the results, and the
  // structure in the panel unless it is the panel's own drawing.
  void PrepareFromText(const std::string& text, bool fromPanel = false);
  // Shows what was prepared and keeps it for the store.
  void ShowPrepared(PreparedStructure next);
  // Shows name, formula and weight once they are known.
  CompletedHook CompletedShower();
  void StoreInner();
  // Reads the name list of the current database file into namelist and
  // ListBox1; on failure both stay as they were.
  void LoadNames();
  void FillListBox();
  void RepaintNow(QWidget* w);
  // Registers every record of the SD file, with the progress dialog.
  void ImportSd(const std::string& sdPath);
  // The sound index of the database for the MOL folder (made or brought up
  // to date with a progress dialog), to compare structures with the
  // registered ones; nullptr without a MOL folder or when the user stopped it.
  const SoundIndex* RegisteredIndex();
  // Settles the identity question before a store: false when the user does
  // not want a second record of a registered structure. The message area
  // names the registered forms of the structure.
  bool AskAboutSameStructure(Ui& ui);
  // "変更" made a new, empty database at path: it and its MOL folder are used.
  void UseNewDatabase(const std::string& path);

  // What the last "構造データの作成" computed. The window keeps its own copy so
  // that a search or batch run in between cannot change what the store writes.
  PreparedStructure prepared_;
  std::vector<std::string> namelist_;
  bool busy_ = false;  // a command is running: no other one may start
  SoundState sound_;   // the registered structures, for the identity questions

  EditorPanel* OleContainer1;
  QLabel* Label10;
  QPushButton* OpenMolButton;
  QLineEdit* Edit6;
  QLabel* Label6;
  QLineEdit* Edit4;
  QLabel* Label7;
  QLineEdit* Edit5;
  QPlainTextEdit* Memo1;
  QLabel* Label4;
  QLineEdit* Edit3;
  QLabel* Label5;
  QPushButton* Button1;
  QPushButton* Button2;
  QLabel* Label2;
  QLineEdit* Edit1;
  QPushButton* Button5;
  QLabel* Label3;
  QLineEdit* Edit2;
  QPushButton* Button7;
  QListWidget* ListBox1;
  QPushButton* Button3;
  QLabel* Label8;
  QLabel* LabelProgress;
  QPushButton* ImportSdButton;
  QPushButton* Button6;
  QPushButton* RestoreButton;
  QLabel* IdentityNote;  // the message area: registered forms of the prepared structure
  QLabel* Label9;
  QPushButton* Button4;
};

}  // namespace vuduzez
