// The hit picture's control: a label that shows its picture as large as it
// fits, keeping the picture's aspect. The picture is a recording of drawing
// operations, so it is drawn anew at the size shown, never stretched as pixels.
#pragma once

#include <QLabel>

namespace vuduzez {

class PictureLabel : public QLabel {
 public:
  explicit PictureLabel(QWidget* parent = nullptr);

  // Where the picture is drawn now (widget coordinates); empty without one.
  QRectF pictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vuduzez
