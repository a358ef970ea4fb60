// The menu window: the program's main window. It loads the program settings
// at its first activation and switches between the two working windows.
#pragma once

#include <QWidget>

#include "database/workspace.h"

class QLabel;
class QPushButton;

namespace vuduzez {

class TfrmMenu : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmMenu(QWidget* parent = nullptr);

  // Handlers, by the names of the controls and events they serve.
  void FormActivate();
  void Button1Click();  // search window
  void Button2Click();  // registration window
  void Button3Click();  // quit
  void Button4Click();  // chain abbreviation rewrite

  // No vuduzez.ini was found: offers to make a workspace or to choose one.
  void FirstStart(const SettingsLookup& lookup);

  // A working window was closed: the menu shows again.
  void WorkingWindowClosed();

  // "T" until vuduzez.ini has been read.
  bool FirstActivation() const { return firstActivation_; }

 signals:
  // The menu was closed: the program ends.
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QLabel* Label1;
  bool firstActivation_ = true;
};

}  // namespace vuduzez
