#include "gui/periodic_table.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/sketch_icons.h"
#include "platform/messages.h"
#include "sketch/sketch.h"

namespace vuduzez {

void PeriodicTableDialog::PlaceOf(int z, int& row, int& column) {
  static constexpr int kPeriodEnd[] = {2, 10, 18, 36, 54, 86, 118};
  int period = 0;
  while (z > kPeriodEnd[period]) ++period;
  const int first = period == 0 ? 1 : kPeriodEnd[period - 1] + 1;
  const int k = z - first;  // place within the period
  row = period;
  if (period == 0) {
    column = z == 1 ? 0 : 17;
  } else if (period <= 2) {
    column = k < 2 ? k : k + 10;  // s block, then p block from group 13
  } else if (period <= 4) {
    column = k;
  } else if (k < 2) {
    column = k;
  } else if (k < 17) {
    row = period + 3;  // La..Lu below period 6, Ac..Lr below period 7
    column = k + 1;
  } else {
    column = k - 14;
  }
}

PeriodicTableDialog::PeriodicTableDialog(const std::string& current, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("periodicTable"));
  setWindowTitle(QString::fromUtf8(kPeriodicTableTitle));
  auto* grid = new QGridLayout;
  grid->setSpacing(1);
  for (int z = 1; z <= 118; ++z) {
    const std::string symbol(ElementSymbolOf(z));
    int row = 0, column = 0;
    PlaceOf(z, row, column);
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("element_") + QString::fromStdString(symbol));
    b->setText(QString::fromStdString(symbol));
    b->setToolTip(QStringLiteral("%1 %2").arg(z).arg(QString::fromStdString(symbol)));
    b->setFixedSize(30, 26);
    b->setCheckable(true);
    b->setChecked(symbol == current);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, ElementColour(symbol));
    b->setPalette(pal);
    connect(b, &QToolButton::clicked, this, [this, symbol] {
      chosen_ = symbol;
      accept();
    });
    grid->addWidget(b, row, column);
  }
  grid->setRowMinimumHeight(7, 8);  // a gap above the f-block rows
  auto* cancel = new QPushButton(QString::fromUtf8(kCancelButton), this);
  cancel->setObjectName(QStringLiteral("periodicTableCancel"));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel);
  column->addLayout(buttons);
}

}  // namespace vuduzez
