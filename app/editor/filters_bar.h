// The filter controls above the event table: rows of toggle buttons for channels, event kinds
// and meta kinds with All and None, the tracks menu (with "Remove Empty Tracks"), the search
// field with its category menu, and Solo. Alt-click shows only the clicked button's events,
// Ctrl-click hides only them. The rules live in FilterState; this is its face.
#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "editor/filter_state.h"

class QLineEdit;
class QMenu;
class QTimer;
class QToolButton;

namespace swapp {

class FiltersBar : public QWidget {
  Q_OBJECT
 public:
  FiltersBar(FilterState& state, QWidget* parent = nullptr);

  // The numbered track names, asked for each time the tracks menu opens.
  void setTrackNamesProvider(std::function<std::vector<std::string>()> provider) { trackNames_ = std::move(provider); }
  // Shows the state's current selection (after presets were loaded).
  void syncFromState();
  // Without "showNotesOff" the note-off button has no effect and is disabled.
  void setNotesOffAvailable(bool available);
  QLineEdit* searchField() const { return search_; }

 signals:
  void filtersChanged();
  void removeEmptyTracksRequested();

 private:
  QWidget* buttonRow(FilterGroup group, const QString& title);
  void rebuildTracksMenu();

  FilterState& state_;
  std::vector<QToolButton*> buttons_[3];
  QToolButton* tracksButton_ = nullptr;
  QMenu* tracksMenu_ = nullptr;
  QLineEdit* search_ = nullptr;
  QTimer* searchDelay_ = nullptr;
  std::function<std::vector<std::string>()> trackNames_;
};

}  // namespace swapp
