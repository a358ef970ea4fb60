// The registration window: single registration of a drawn structure, batch
// registration of a folder of MOL files, and deletion of registered compounds.
#pragma once

#include <QWidget>

namespace vuduzez {

class TfrmTouroku : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmTouroku(QWidget* parent = nullptr);
};

}  // namespace vuduzez
