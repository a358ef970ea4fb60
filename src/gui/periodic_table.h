// The periodic table of the sketcher's "…" button: every element as a button
// in its place (lanthanoids and actinoids in two rows below); a click chooses
// it.
#pragma once

#include <QDialog>
#include <string>

namespace vuduzez {

class PeriodicTableDialog : public QDialog {
  Q_OBJECT

 public:
  // current: the element drawn now, marked in the table.
  explicit PeriodicTableDialog(const std::string& current, QWidget* parent = nullptr);

  // The element clicked ("" until one is).
  const std::string& chosen() const { return chosen_; }

  // Where an element stands: row (0..6 the periods, 8 and 9 the f-block rows)
  // and column (0..17) of the table.
  static void PlaceOf(int z, int& row, int& column);

 private:
  std::string chosen_;
};

}  // namespace vuduzez
