#include "gui/open_files.h"

#include <QFile>
#include <QFileInfo>

#include "gui/TfrmMain.h"
#include "gui/TfrmMenu.h"
#include "gui/TfrmTouroku.h"
#include "gui/forms_qt.h"
#include "gui/window_ui.h"
#include "platform/files.h"
#include "platform/messages.h"

namespace vuduzez {

namespace {

bool IsSdFile(const QString& path) {
  const QString ext = QFileInfo(path).suffix().toLower();
  if (ext == QLatin1String("sdf") || ext == QLatin1String("sd")) return true;
  if (ext == QLatin1String("mol")) return false;
  // Neither: an SD file has a "$$$$" line.
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  while (!f.atEnd()) {
    if (f.readLine().trimmed() == "$$$$") return true;
  }
  return false;
}

}  // namespace

void OpenGivenFiles(const Forms& forms, const QStringList& files) {
  if (forms.frmMenu == nullptr || forms.frmMenu->FirstActivation()) return;
  QString mol;
  QStringList sd;
  for (const QString& file : files) {
    const QString path = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo(path).isFile()) {
      WindowUi().ShowError(std::string(kFileNotFound) + ": " + file.toStdString());
    } else if (IsSdFile(path)) {
      sd << path;
    } else if (mol.isEmpty()) {
      mol = path;
    }
  }
  if (!mol.isEmpty() && forms.frmMain != nullptr) {
    forms.frmMenu->Button1Click();
    forms.frmMain->SearchFromFile(QFile::encodeName(mol).toStdString());
  }
  if (!sd.isEmpty() && forms.frmTouroku != nullptr) {
    if (mol.isEmpty()) forms.frmMenu->Button2Click();
    if (!forms.frmTouroku->isVisible()) forms.frmTouroku->show();
    for (const QString& path : sd) {
      forms.frmTouroku->ImportSdFromFile(QFile::encodeName(path).toStdString());
    }
  }
}

}  // namespace vuduzez
