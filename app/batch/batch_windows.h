// What the browser and the application shell call to reach the batch commands and the
// settings windows: the commands of the Batch menu and toolbar, their sheets, the progress
// and log windows, and the windows over the settings store.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace swapp {

struct BatchCommandEntry {
  std::string name;  // the library's sheet name: "Fix", "Convert", "Transpose"...
  QString title;     // menu and toolbar text: "Fix…"
  QString toolTip;
};

// Every batch command, in menu order.
const std::vector<BatchCommandEntry>& batchCommandEntries();

// Shows the sheet of command `name` over `parent` for `paths` (files and folders) and, when the
// user confirms, runs the batch off the event loop with the progress and log windows.
// `fileChanged` is called on the main thread for each file the batch rewrote or created.
void runBatchCommandSheet(QWidget* parent, const std::string& name, const QStringList& paths,
                          const std::function<void(const QString& path)>& fileChanged);

// Whether a batch is running (the shell asks before quitting).
bool batchIsRunning();

void showLogWindow();
void showPreferences(QWidget* parent);
void showChordAliasPanel(QWidget* parent);
void showMidiSettings(QWidget* parent);
void showSynthesizerEditor(QWidget* parent);

}  // namespace swapp
