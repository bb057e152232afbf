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

// Runs command `name` with the parameters now in the settings (what the sheet's OK does after
// storing them): false when another batch runs or there is no such command.
bool startBatchCommand(QWidget* parent, const std::string& name, const QStringList& paths,
                       const std::function<void(const QString& path)>& fileChanged);

// Stops a running batch after its current file and waits for it (before quitting).
void stopBatchAndWait();

void showLogWindow();
void showPreferences(QWidget* parent);
void showChordAliasPanel(QWidget* parent);
void showMidiSettings(QWidget* parent);
void showSynthesizerEditor(QWidget* parent);

// One window alone, for screenshots: "fix-sheet" (any command's sheet as its lower-case name
// and "-sheet": "transpose-sheet"), "progress", "log" (runs Extract lyrics over `paths` and a
// missing file, so the log has its lines), "preferences", "chord-aliases", "midi-settings",
// "synthesizer". Null for an unknown name.
QWidget* showWindowNamed(const QString& name, const QStringList& paths);

}  // namespace swapp
