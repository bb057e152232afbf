#include "batch/batch_windows.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "batch/batch_job.h"
#include "batch/batch_sheet.h"
#include "batch/log_window.h"
#include "batch/progress_window.h"
#include "library/batch_command_parameters.h"
#include "library/batch_defaults.h"
#include "library/factory_defaults.h"
#include "library/text_musical_defaults.h"
#include "settings/chord_alias_panel.h"
#include "settings/midi_settings_window.h"
#include "settings/preferences_window.h"
#include "settings/settings_file_watcher.h"
#include "settings/synthesizer_editor.h"

namespace swapp {

namespace {

void registerDefaults() {
  // Settings the command line changes show in the windows opened from now on.
  SettingsFileWatcher::shared();
  sw::registerFactoryDefaults();
  sw::registerBatchDefaults();
  sw::registerTextAndMusicalDefaults();
}

// Shows the one window of a kind, made on first use, in front.
template <typename Window>
Window* showSingle(QPointer<Window>& slot, QWidget* parent) {
  if (!slot) {
    slot = new Window(parent);
    slot->setAttribute(Qt::WA_DeleteOnClose);
  }
  slot->show();
  slot->raise();
  slot->activateWindow();
  return slot.data();
}

QPointer<PreferencesWindow> gPreferences;
QPointer<ChordAliasPanel> gChordAliases;
QPointer<MidiSettingsWindow> gMidiSettings;
QPointer<SynthesizerEditor> gSynthesizer;

}  // namespace

const std::vector<BatchCommandEntry>& batchCommandEntries() {
  static const std::vector<BatchCommandEntry> entries{
      {"Fix", QObject::tr("Fix…"), QObject::tr("Repair the type, name, tempo, gaps and reset messages of files")},
      {"Convert", QObject::tr("Convert…"), QObject::tr("Rewrite files as SMF format 0 or 1")},
      {"ConvertKaraoke", QObject::tr("Convert to Karaoke…"), QObject::tr("Rewrite files as one-track karaoke files")},
      {"ConvertToUTF8", QObject::tr("Convert to UTF-8…"), QObject::tr("Re-encode the texts of files as UTF-8")},
      {"ExtractLyrics", QObject::tr("Extract Lyrics…"),
       QObject::tr("Write the lyrics beside each file as text, LRC or ChordPro")},
      {"MarkersToLyrics", QObject::tr("Markers to Lyrics…"), QObject::tr("Turn marker events into lyric events")},
      {"LyricsToMarkers", QObject::tr("Lyrics to Markers…"), QObject::tr("Turn lyric events into marker events")},
      {"ChangeMIDIChannel", QObject::tr("Change MIDI Channel…"),
       QObject::tr("Move the messages of one MIDI channel to another")},
      {"SetMetaEventText", QObject::tr("Set Meta-Event Text…"),
       QObject::tr("Set a meta-event text, fixed or made from the file name")},
      {"Transpose", QObject::tr("Transpose…"), QObject::tr("Move the notes of chosen channels by semitones")},
      {"RemoveTrack", QObject::tr("Remove Track…"), QObject::tr("Remove the track of a given name")},
      {"Compand", QObject::tr("Compand…"), QObject::tr("Rewrite files with or without running status")},
  };
  return entries;
}

bool startBatchCommand(QWidget* parent, const std::string& name, const QStringList& paths,
                       const std::function<void(const QString& path)>& fileChanged) {
  registerDefaults();
  if (BatchJob::current()) return false;
  if (const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(name))
    for (const std::string& line : sw::confirmBatchParameters(*parameters))
      LogWindow::shared().logText(QString::fromStdString(name + ": " + line));
  return BatchJob::start(parent, name, paths, fileChanged) != nullptr;
}

void runBatchCommandSheet(QWidget* parent, const std::string& name, const QStringList& paths,
                          const std::function<void(const QString& path)>& fileChanged) {
  registerDefaults();
  if (BatchJob* job = BatchJob::current()) {
    QMessageBox::information(parent, QObject::tr("A batch is running"),
                             QObject::tr("Wait for the running batch to end, or stop it, before starting another."));
    if (job->progressWindow()) job->progressWindow()->raise();
    return;
  }
  BatchSheet* sheet = BatchSheet::create(name, paths, parent);
  if (!sheet) return;
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  QPointer<QWidget> owner(parent);
  QObject::connect(sheet, &QDialog::accepted, sheet, [owner, name, paths, fileChanged] {
    startBatchCommand(owner.data(), name, paths, fileChanged);
  });
  sheet->open();
}

bool batchIsRunning() { return BatchJob::current() != nullptr; }

void stopBatchAndWait() { BatchJob::finishNow(); }

void showLogWindow() {
  LogWindow& window = LogWindow::shared();
  window.show();
  window.raise();
  window.activateWindow();
}

void showPreferences(QWidget* parent) {
  registerDefaults();
  showSingle(gPreferences, parent);
}

void showChordAliasPanel(QWidget* parent) { showSingle(gChordAliases, parent); }

void showMidiSettings(QWidget* parent) {
  registerDefaults();
  showSingle(gMidiSettings, parent);
}

void showSynthesizerEditor(QWidget* parent) { showSingle(gSynthesizer, parent); }

QWidget* showWindowNamed(const QString& name, const QStringList& paths) {
  registerDefaults();
  if (name.endsWith(QLatin1String("-sheet"))) {
    const QString wanted = name.chopped(6);
    for (const BatchCommandEntry& entry : batchCommandEntries()) {
      if (QString::fromStdString(entry.name).toLower() != wanted) continue;
      BatchSheet* sheet = BatchSheet::create(entry.name, paths, nullptr);
      sheet->setAttribute(Qt::WA_DeleteOnClose);
      sheet->show();
      return sheet;
    }
    return nullptr;
  }
  if (name == QLatin1String("progress")) {
    auto* window = new ProgressWindow(QObject::tr("Processing Files"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setMessage(paths.isEmpty() ? QStringLiteral("song.mid") : QFileInfo(paths.first()).fileName());
    window->setValue(1, 3);
    window->show();
    return window;
  }
  if (name == QLatin1String("log")) {
    QStringList named = paths;
    named << QStringLiteral("/nonexistent/missing song.mid");
    showLogWindow();
    startBatchCommand(nullptr, "ExtractLyrics", named, {});
    return &LogWindow::shared();
  }
  if (name == QLatin1String("preferences")) return showSingle(gPreferences, nullptr);
  if (name == QLatin1String("chord-aliases")) return showSingle(gChordAliases, nullptr);
  if (name == QLatin1String("midi-settings")) return showSingle(gMidiSettings, nullptr);
  if (name == QLatin1String("synthesizer")) return showSingle(gSynthesizer, nullptr);
  return nullptr;
}

}  // namespace swapp
