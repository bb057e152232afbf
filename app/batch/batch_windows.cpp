// Placeholder until the batch sheets land: no commands, no windows.
#include "batch/batch_windows.h"

namespace swapp {

const std::vector<BatchCommandEntry>& batchCommandEntries() {
  static const std::vector<BatchCommandEntry> entries;
  return entries;
}

void runBatchCommandSheet(QWidget*, const std::string&, const QStringList&,
                          const std::function<void(const QString&)>&) {}
bool batchIsRunning() { return false; }
void showLogWindow() {}
void showPreferences(QWidget*) {}
void showChordAliasPanel(QWidget*) {}
void showMidiSettings(QWidget*) {}
void showSynthesizerEditor(QWidget*) {}

}  // namespace swapp
