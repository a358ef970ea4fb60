// The substructure search window: takes the query structure, searches the
// loaded compound database and pages through the hits with their pictures.
#pragma once

#include <QPicture>
#include <QWidget>
#include <optional>
#include <string>

#include "chem/identity.h"
#include "chem/sound_query.h"
#include "register/prepare.h"
#include "search/screening.h"
#include "search/similar_search.h"
#include "search/sound_search.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace vuduzez {

class EditorPanel;
class PictureLabel;

// How the window searches, one button each (kSearchModes in TfrmMain.cpp
// names them): the key screen (the default), atom by atom as RDKit matches,
// ranked by similarity, or the compound itself and its other forms (salts,
// stereoisomers, tautomers). Another mode is one more value and one more row
// of that table, and one more case in TfrmMain::SearchWith.
enum class SearchMode { kScreen = 0, kExact = 1, kSimilar = 2, kIdentity = 3 };

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);

  // Handlers, by the names of the controls and events they serve.
  void FormCreate();
  void FormActivate();
  void Button1Click();   // another database file
  void Button2Click();   // close
  void Button3Click();   // another MOL folder
  void Button4Click();   // search with the panel's drawing, else the clipboard's structure
  void Button5Click();   // previous hit
  void Button6Click();   // next hit
  void Edit4Return();    // the hit whose number was typed into the record number box
  void OpenMolClick();   // search with a MOL file chosen in the file dialog
  void SaveHitsClick();  // save the hits as an SD or CSV file
  void MolFileDropped(const QString& path);
  // The search with a MOL file as the query (chosen, dropped, or given to the program).
  void SearchFromFile(const std::string& path);

  void ShowHit(int n);
  void ShowMolFile(const std::string& path);

  const SearchState& searchState() const { return state_; }
  SearchMode searchMode() const;
  // The scores of the hits of a similarity search, in their ranked order
  // (empty after any other search).
  const std::vector<double>& hitScores() const { return hitScores_; }
  // The last atom-by-atom search's outcome (empty after a key screen).
  const SoundResult& exactResult() const { return exactResult_; }
  // After an identity search: the layer each hit shares with the query.
  const std::vector<chem::IdentityLevel>& identityLevels() const { return identityLevels_; }
  const QPicture& picture() const { return picture_; }
  // The folder in which hit MOL files are looked up.
  const std::string& molFolder() const { return molFolder_; }
  // The database file shown in the database box: the one every search
  // searches (loaded again first when it changed).
  const std::string& databaseFile() const { return dbPath_; }
  bool FirstActivation() const { return firstActivation_; }

 signals:
  // The window was closed (hidden; it keeps its state).
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Read, complete and key the query's MOL text, show it and search; subject
  // names the query in messages. A query taken from the panel's drawing
  // stays there as drawn; any other is shown in the panel.
  void SearchMolText(const std::string& text, const std::string& subject, bool fromPanel = false);
  // The search with a SMILES from the clipboard (not drawn: the panel says so).
  void SearchSmiles(const std::string& smiles);
  // Screening with the prepared query and the first hit.
  void SearchPrepared(const PreparedStructure& query);
  // The atom-by-atom search of a query as RDKit reads it, and the first hit.
  void SearchExact(chem::QueryForm form, const std::string& text);
  // The identity search ("同一化合物検索"): the compound of the query, its salt
  // forms, stereoisomers and tautomers, each hit shown with its relation.
  void SearchIdentity(const chem::Identity& query);
  // A query as RDKit reads it, in a mode that reads it so (atom by atom,
  // similarity); the panel already shows it.
  void SearchWith(SearchMode mode, chem::QueryForm form, const std::string& text);
  // The similar compounds of a query as RDKit reads it, ranked, and the first.
  void SearchSimilar(chem::QueryForm form, const std::string& text);
  // The mode's controls: what goes with it enabled, the search button's caption.
  void ModeChanged(SearchMode mode);
  // Hides the score of a similarity search (any other search).
  void ForgetScores();
  // Shows the hit count and hit 1 (or that there is none) after a search.
  void ShowSearchResult();
  // Loads the database file shown when the records are not its current ones.
  void RefreshRecords();
  // Empties the hit boxes and the picture: no hit is on display.
  void ClearHit();
  // Drops the hit list and its boxes: the records are another file's now.
  void ForgetHits();
  // Screened and unconfirmed counts of an atom-by-atom search beside the hit count.
  void ShowExactCounts();
  // Runs a handler, showing a run-time error in the error box.
  template <typename F>
  void Guarded(F&& f);

  QFrame* Panel2;
  EditorPanel* OleContainer1;
  QFrame* Panel1;
  PictureLabel* Image1;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* Button6;
  QPushButton* OpenMolButton;
  QPushButton* SaveHitsButton;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* Edit4;
  QLineEdit* Edit5;
  QLineEdit* Edit6;
  QLineEdit* Edit7;
  QButtonGroup* ModeGroup;       // the search mode, one button each (ids: SearchMode)
  QAbstractButton* CheckBox1;    // "原子単位で照合": atom by atom (the sound model)
  QCheckBox* ChiralBox;          // and match stereo too
  QDoubleSpinBox* ThresholdBox;  // the least similarity of a hit
  QLabel* ExactLabel;            // screened and unconfirmed counts of an atom-by-atom search
  QLabel* ScoreLabel;            // "類似度": the shown hit's similarity to the query
  QLineEdit* ScoreEdit;
  QLabel* IdentityLabel;  // the relation of the hit shown to the query of an identity search

  bool firstActivation_ = true;
  std::string openDialog1Folder_;  // start folder of the MOL file chooser
  std::string openDialog2Folder_;  // start folder of the database file chooser
  std::string molFolder_;
  std::string dbPath_;  // the database file shown in Edit6 and searched
  SearchState state_;
  SoundState sound_;  // the exact search's index of the database
  SoundResult exactResult_;
  std::shared_ptr<const chem::SoundQuery> exactQuery_;  // the last search's, when atom by atom
  SimilarState similar_;           // the similarity search's index of the database
  std::vector<double> hitScores_;  // of a similarity search's hits
  std::vector<chem::IdentityLevel> identityLevels_;  // per hit, after an identity search
  QPicture picture_;
};

}  // namespace vuduzez
