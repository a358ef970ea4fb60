// A long run of a window (reading MOL files for the sound index, confirming
// hits): a progress dialog with "中止" once it takes a moment; the program's
// end (SIGTERM) stops it too.
#pragma once

#include <QProgressDialog>
#include <QString>
#include <memory>

#include "gui/quit_signals_qt.h"
#include "gui/window_ui.h"
#include "platform/message_sink.h"
#include "platform/messages.h"

namespace vuduzez {

class TablesProgress : public MessageSink {
 public:
  TablesProgress(QWidget* parent, const char* label) : parent_(parent), label_(label) {}
  void ShowMessage(const std::string& text) override { WindowUi().ShowMessage(text); }
  void Progress(int done, int total) override {
    if (!dialog_) {
      dialog_ = std::make_unique<QProgressDialog>(
          QString::fromUtf8(label_), QString::fromUtf8(kStopReading), 0, total, parent_);
      dialog_->setWindowModality(Qt::WindowModal);
      dialog_->setMinimumDuration(500);
    }
    dialog_->setValue(done);
  }
  bool StopRequested() const override {
    return QuitRequested() || (dialog_ && dialog_->wasCanceled());
  }

 private:
  QWidget* parent_;
  const char* label_;
  std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace vuduzez
