#include "editor/filters_bar.h"

#include <QActionGroup>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace swapp {

namespace {

QToolButton* smallButton(const QString& text, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setAutoRaise(false);
  button->setMinimumWidth(28);
  return button;
}

void modifiers(bool& alt, bool& ctrl) {
  const Qt::KeyboardModifiers held = QGuiApplication::keyboardModifiers();
  alt = held & Qt::AltModifier;
  ctrl = held & Qt::ControlModifier;
}

}  // namespace

FiltersBar::FiltersBar(FilterState& state, QWidget* parent) : QWidget(parent), state_(state) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(3);
  // A shown kind must be told from a hidden one at a glance.
  setStyleSheet(QStringLiteral(
      "QToolButton[checkable=\"true\"] { border: 1px solid palette(mid); border-radius: 3px; padding: 2px 5px;"
      " background: palette(button); color: palette(button-text); }"
      "QToolButton[checkable=\"true\"]:checked { background: palette(highlight); color: palette(highlighted-text);"
      " border-color: palette(dark); }"
      "QToolButton[checkable=\"true\"]:disabled { color: palette(mid); background: palette(window); }"));

  grid->addWidget(buttonRow(FilterGroup::Channels, tr("Channels")), 0, 0);
  grid->addWidget(buttonRow(FilterGroup::Kinds, tr("Events")), 1, 0);
  grid->addWidget(buttonRow(FilterGroup::MetaKinds, tr("Meta")), 2, 0);

  auto* solo = new QToolButton(this);
  solo->setText(tr("Solo"));
  solo->setCheckable(true);
  solo->setToolTip(tr("Mute the channels that are filtered out while playing"));
  connect(solo, &QToolButton::toggled, this, [this](bool on) {
    state_.setSolo(on);
    emit filtersChanged();
  });

  tracksButton_ = new QToolButton(this);
  tracksButton_->setText(tr("Tracks"));
  tracksButton_->setPopupMode(QToolButton::InstantPopup);
  tracksButton_->setMinimumWidth(80);
  tracksButton_->setToolTip(tr("Tracks shown; Alt-click: only this one, Ctrl-click: all but this one"));
  tracksMenu_ = new QMenu(tracksButton_);
  tracksButton_->setMenu(tracksMenu_);
  connect(tracksMenu_, &QMenu::aboutToShow, this, &FiltersBar::rebuildTracksMenu);

  search_ = new QLineEdit(this);
  search_->setPlaceholderText(tr("Search"));
  search_->setClearButtonEnabled(true);
  search_->setMinimumWidth(180);
  auto* categories = new QMenu(search_);
  auto* group = new QActionGroup(categories);
  const std::pair<QString, uint32_t> kinds[] = {
      {tr("All Fields"), sw::FEventList::kSearchSecond | sw::FEventList::kSearchThird | sw::FEventList::kSearchDataString},
      {tr("Second"), sw::FEventList::kSearchSecond},
      {tr("Third"), sw::FEventList::kSearchThird},
      {tr("Data"), sw::FEventList::kSearchDataString}};
  for (const auto& [title, mask] : kinds) {
    QAction* action = categories->addAction(title);
    action->setCheckable(true);
    action->setChecked(mask == state_.searchEventMask());
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, mask = mask] {
      state_.setSearchEventMask(mask);
      if (!state_.search().empty()) emit filtersChanged();
    });
  }
  QAction* categoryAction = search_->addAction(search_->style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                               QLineEdit::LeadingPosition);
  categoryAction->setToolTip(tr("Fields searched"));
  connect(categoryAction, &QAction::triggered, this,
          [this, categories] { categories->popup(search_->mapToGlobal(QPoint(0, search_->height()))); });
  // Typing refilters after a short pause, so a large file is not refiltered at every key.
  searchDelay_ = new QTimer(this);
  searchDelay_->setSingleShot(true);
  searchDelay_->setInterval(250);
  connect(searchDelay_, &QTimer::timeout, this, [this] {
    state_.setSearch(search_->text().toStdString());
    emit filtersChanged();
  });
  connect(search_, &QLineEdit::textChanged, searchDelay_, qOverload<>(&QTimer::start));

  auto* side = new QHBoxLayout;
  side->addWidget(tracksButton_);
  side->addWidget(solo);
  side->addStretch();
  grid->addLayout(side, 0, 1);
  grid->addWidget(search_, 1, 1);
  grid->setColumnStretch(0, 1);
}

QWidget* FiltersBar::buttonRow(FilterGroup group, const QString& title) {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  auto* label = new QLabel(title, row);
  label->setMinimumWidth(60);
  layout->addWidget(label);
  QToolButton* all = smallButton(tr("All"), row);
  QToolButton* none = smallButton(tr("None"), row);
  all->setToolTip(tr("Show every %1").arg(title.toLower()));
  none->setToolTip(tr("Hide every %1").arg(title.toLower()));
  connect(all, &QToolButton::clicked, this, [this, group] {
    state_.setAll(group, true);
    syncFromState();
    emit filtersChanged();
  });
  connect(none, &QToolButton::clicked, this, [this, group] {
    state_.setAll(group, false);
    syncFromState();
    emit filtersChanged();
  });
  layout->addWidget(all);
  layout->addWidget(none);
  layout->addSpacing(6);
  const auto& buttons = state_.buttons(group);
  for (size_t i = 0; i < buttons.size(); ++i) {
    QToolButton* button = smallButton(QString::fromStdString(buttons[i].label), row);
    button->setCheckable(true);
    button->setChecked(buttons[i].selected);
    button->setToolTip(QString::fromStdString(buttons[i].toolTip) +
                       tr("\nAlt-click: show only this one. Ctrl-click: hide only this one."));
    connect(button, &QToolButton::clicked, this, [this, group, i] {
      bool alt = false, ctrl = false;
      modifiers(alt, ctrl);
      state_.click(group, int(i), alt, ctrl);
      syncFromState();
      emit filtersChanged();
    });
    buttons_[int(group)].push_back(button);
    layout->addWidget(button);
  }
  layout->addStretch();
  return row;
}

void FiltersBar::setNotesOffAvailable(bool available) {
  const auto& kinds = state_.buttons(FilterGroup::Kinds);
  for (size_t i = 0; i < kinds.size() && i < buttons_[int(FilterGroup::Kinds)].size(); ++i) {
    if (kinds[i].tag != 0x80) continue;
    QToolButton* button = buttons_[int(FilterGroup::Kinds)][i];
    button->setEnabled(available);
    button->setToolTip(available ? tr("Note Off") : tr("Note-off events are hidden: View > Show Note-Off Events"));
  }
}

void FiltersBar::syncFromState() {
  for (int g = 0; g < 3; ++g) {
    const auto& buttons = state_.buttons(FilterGroup(g));
    for (size_t i = 0; i < buttons.size() && i < buttons_[g].size(); ++i) buttons_[g][i]->setChecked(buttons[i].selected);
  }
}

void FiltersBar::rebuildTracksMenu() {
  tracksMenu_->clear();
  QAction* title = tracksMenu_->addAction(tr("Tracks"));
  title->setEnabled(false);
  connect(tracksMenu_->addAction(tr("All")), &QAction::triggered, this, [this] {
    state_.setAllTracks(true);
    emit filtersChanged();
  });
  connect(tracksMenu_->addAction(tr("None")), &QAction::triggered, this, [this] {
    state_.setAllTracks(false);
    emit filtersChanged();
  });
  const std::vector<std::string> names = trackNames_ ? trackNames_() : std::vector<std::string>();
  const int count = int(std::min(names.size(), state_.trackMask().size()));
  for (int t = 0; t < count; ++t) {
    QAction* item = tracksMenu_->addAction(QString::fromStdString(names[size_t(t)]));
    item->setCheckable(true);
    item->setChecked(state_.trackMask()[size_t(t)] != 0);
    connect(item, &QAction::triggered, this, [this, t, count] {
      bool alt = false, ctrl = false;
      modifiers(alt, ctrl);
      state_.clickTrack(t, count, alt, ctrl);
      emit filtersChanged();
    });
  }
  tracksMenu_->addSeparator();
  connect(tracksMenu_->addAction(tr("Remove Empty Tracks")), &QAction::triggered, this,
          &FiltersBar::removeEmptyTracksRequested);
}

}  // namespace swapp
