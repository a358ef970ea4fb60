// The PNG output of vuduzez-cli draw, through the windows' own Qt picture.
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <memory>

#include "cli/cmd_draw.h"
#include "gui/canvas_qt.h"
#include "platform/errors.h"

namespace vuduzez::cli {

namespace {

QtMessageHandler previousHandler = nullptr;

// A headless run has no session folder; that notice is no concern of the user.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.contains("XDG_RUNTIME_DIR")) return;
  if (previousHandler != nullptr) previousHandler(type, context, text);
}

// Fonts need a GUI application; the CLI has no display, so it asks for none.
std::unique_ptr<QGuiApplication> MakeGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return nullptr;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  previousHandler = qInstallMessageHandler(QuietHandler);
  static int argc = 1;
  static char name[] = "vuduzez-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

void WriteMoleculePng(Molecule& mol, int32_t width, const std::string& path,
                      const Highlight* highlight) {
  const auto app = MakeGuiApplication();
  const QImage image =
      PictureToImage(DrawMoleculePicture(mol, width, 1, kPictureAspect, highlight));
  if (!image.save(QString::fromStdString(path), "PNG")) {
    ThrowFileError(path, kCannotWriteFile);
  }
}

}  // namespace vuduzez::cli
