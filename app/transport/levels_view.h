// The 16 bars of the channel meter, values 0-127.
#pragma once

#include <QWidget>

#include <array>

namespace swapp {

class LevelsView : public QWidget {
  Q_OBJECT
 public:
  explicit LevelsView(QWidget* parent = nullptr);
  // False when the value is unchanged; otherwise stores it and repaints that channel's bar.
  bool setValue(int value, int channel);
  int value(int channel) const { return values_[size_t(channel & 15)]; }
  QRect rectForChannel(int channel) const;
  QSize sizeHint() const override { return {128, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<int, 16> values_{};
};

}  // namespace swapp
