#include "gui/ui_qt.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTranslator>

#include "gui/TfrmInpCode.h"
#include "gui/forms_qt.h"
#include "gui/periodic_table.h"

namespace vuduzez {

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

QWidget* QtUi::Owner() { return QApplication::activeWindow(); }

void QtUi::ShowMessage(const std::string& text) {
  QMessageBox::information(Owner(), Q(kMessageTitle), Q(text));
}

void QtUi::ShowError(const std::string& text) {
  QMessageBox::critical(Owner(), Q(kMessageTitle), Q(text));
}

std::optional<std::string> QtUi::InputBox(const std::string& caption, const std::string& prompt,
                                          const std::string& defaultText) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(Owner(), Q(caption), Q(prompt), QLineEdit::Normal, Q(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

bool QtUi::Confirm(const std::string& question) {
  return QMessageBox::question(Owner(), Q(kMessageTitle), Q(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

int QtUi::ConfirmName(const std::string& name) {
  TfrmInpCode* dialog = forms().frmInpCode;
  if (dialog == nullptr) return 2;
  return dialog->ShowModalWithName(Q(name)) == 1 ? 1 : 2;
}

std::optional<std::string> QtUi::OpenFile(const std::string& filter,
                                          const std::string& startFolder) {
  const QString path = QFileDialog::getOpenFileName(
      Owner(), Q(kOpenFileTitle), QFile::decodeName(startFolder.c_str()), QtFileFilter(filter));
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

std::optional<std::string> QtUi::SaveFile(const std::string& title, const std::string& filter,
                                          const std::string& startFolder) {
  const QString path = QFileDialog::getSaveFileName(
      Owner(), Q(title), QFile::decodeName(startFolder.c_str()), QtFileFilter(filter));
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

std::optional<std::string> QtUi::BrowseFolder(const std::string& title) {
  // The browser of the original listed files beside the folders.
  const QString path =
      QFileDialog::getExistingDirectory(Owner(), Q(title), QString(), QFileDialog::Options());
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

int QtUi::Choose(const std::string& question, const std::vector<std::string>& buttons) {
  QMessageBox box(QMessageBox::Question, Q(kMessageTitle), Q(question), QMessageBox::NoButton,
                  Owner());
  std::vector<QAbstractButton*> made;
  for (const std::string& b : buttons) {
    made.push_back(
        box.addButton(Q(b), made.empty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole));
  }
  if (!made.empty()) box.setDefaultButton(static_cast<QPushButton*>(made.front()));
  box.exec();
  for (size_t i = 0; i < made.size(); ++i) {
    if (box.clickedButton() == made[i]) return static_cast<int>(i);
  }
  return -1;
}

std::optional<std::string> QtUi::ChooseElement(const std::string& current) {
  PeriodicTableDialog table(current, Owner());
  if (table.exec() != QDialog::Accepted || table.chosen().empty()) return std::nullopt;
  return table.chosen();
}

QString QtFileFilter(const std::string& filter) {
  if (filter.empty()) return QString();
  const QStringList parts = Q(filter).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString description = parts[i];
    if (i + 1 >= parts.size()) {
      filters << description;  // a description without patterns is taken as patterns
      continue;
    }
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    filters << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return filters.join(QStringLiteral(";;"));
}

bool SetupJapaneseDialogs() {
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

void SetupFonts() {
  QFont::insertSubstitution(Q(kWindowFontFace), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
  QFont font(Q(kWindowFontFace));
  font.setPointSize(9);
  QApplication::setFont(font);
}

}  // namespace vuduzez
