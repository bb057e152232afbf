#include "transport/levels_view.h"

#include <QPainter>

#include <algorithm>

namespace swapp {

LevelsView::LevelsView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setToolTip(tr("Channels 1 to 16"));
}

bool LevelsView::setValue(int value, int channel) {
  value = std::clamp(value, 0, 127);
  int& stored = values_[size_t(channel & 15)];
  if (stored == value) return false;
  stored = value;
  update(rectForChannel(channel));
  return true;
}

QRect LevelsView::rectForChannel(int channel) const {
  const int left = width() * (channel & 15) / 16;
  const int right = width() * ((channel & 15) + 1) / 16;
  return QRect(left, 0, right - left, height());
}

void LevelsView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor empty = palette().color(QPalette::Mid);
  for (int channel = 0; channel < 16; ++channel) {
    const QRect bar = rectForChannel(channel).adjusted(1, 1, -1, -1);
    painter.fillRect(bar, empty.lighter(150));
    const int filled = bar.height() * values_[size_t(channel)] / 127;
    if (filled > 0) {
      const QColor colour = values_[size_t(channel)] > 110 ? QColor(230, 120, 40) : QColor(60, 170, 80);
      painter.fillRect(QRect(bar.left(), bar.bottom() - filled + 1, bar.width(), filled), colour);
    }
  }
}

}  // namespace swapp
