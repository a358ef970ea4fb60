// The name confirmation dialog: shows the compound name before it is stored.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace vuduzez {

class TfrmInpCode : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmInpCode(QWidget* parent = nullptr);

  // Runs the dialog modally with the name shown: 1 "そのまま登録", 2 "名前を変更"
  // (closing by the frame also gives 2).
  int ShowModalWithName(const QString& name);

 private:
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QPushButton* Button1;
  QPushButton* Button2;
};

}  // namespace vuduzez
