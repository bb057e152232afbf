// The chord alias panel: for each XF chord type, the spellings that mean it, edited in place
// (the chord map follows every edit), imported from or exported to ".xgdef" files, or put back
// to the shipped defaults. The aliases are saved when the panel closes. While a batch runs
// (it may be writing chords with them) they cannot be changed.
#pragma once

#include <QWidget>

class QLabel;
class QTableWidget;

namespace sw {
class XFChordManager;
}

namespace swapp {

class ChordAliasPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ChordAliasPanel(QWidget* parent = nullptr);
  ChordAliasPanel(sw::XFChordManager& manager, QWidget* parent = nullptr);

  QTableWidget* table() const { return table_; }
  QLabel* message() const { return message_; }
  // The panel's actions without their file panels and question; false with the message shown
  // when they fail.
  bool importFrom(const QString& path);
  bool exportTo(const QString& path);
  bool revert();
  bool save();
  void refresh();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool refuseWhileBatchRuns();
  void showProblem(const QString& text);
  void showDuplicates();

  sw::XFChordManager& manager_;
  QTableWidget* table_;
  QLabel* message_;
  bool refreshing_ = false;
};

}  // namespace swapp
