// The settings windows: preferences over the store the command line writes (a change made
// there shows here), the MIDI settings with and without a sequencer, the synthesizer editor,
// and the chord alias panel with its definition files.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <memory>

#include "base/settings_store.h"
#include "library/factory_defaults.h"
#include "playback/fluidsynth/dls_music_device.h"
#include "playback/midi_client.h"
#include "playback/midi_transport.h"
#include "recording_output.h"
#include "settings/chord_alias_panel.h"
#include "settings/midi_settings_window.h"
#include "settings/preferences_window.h"
#include "settings/synthesizer_editor.h"
#include "temp_dir.h"
#include "text/xf_chord_manager.h"

using namespace swapp;

namespace {

sw::SettingsStore& store() { return sw::SettingsStore::shared(); }

class FakeTransport : public sw::MidiTransport {
 public:
  std::vector<sw::MidiEndpoint> destinations() override {
    return {{11, 1001, "Synth Port", "20:0"}, {12, 1002, "Keyboard", "24:0"}};
  }
  sw::OSStatus send(sw::MIDIEndpointRef, const uint8_t*, size_t, uint64_t) override { return sw::noErr; }
  void flushOutput(sw::MIDIEndpointRef) override {}
};

}  // namespace

class SettingsWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    sw::registerFactoryDefaults();
    for (const char* key : {"warnBeforeDestructiveProcessing", "saveSelection", "MIDIDevice", "MIDIOutputUniqueID",
                            "GSReset", "fixExtension", "enableFixButton"})
      store().removeObjectForKey(key);
  }

  void preferencesShowTheStoreAndChangesFromTheCommandLine() {
    PreferencesWindow window;
    auto* warn = window.findChild<QCheckBox*>("warnBeforeDestructiveProcessing");
    QVERIFY(warn->isChecked());
    warn->click();  // applies at once
    QVERIFY(!store().boolForKey("warnBeforeDestructiveProcessing"));

    // Another program (the command line) writes the same file.
    {
      sw::SettingsStore other(store().path());
      other.setBool("saveSelection", true);
      other.setBool("warnBeforeDestructiveProcessing", true);
    }
    QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QCheckBox*>("saveSelection")->isChecked(), 5000);
    QVERIFY(warn->isChecked());
    QVERIFY(store().boolForKey("saveSelection"));

    // Every known key is listed; one goes back to its factory value.
    const auto keys = sw::knownSettingKeys();
    QCOMPARE(window.table()->rowCount(), int(keys.size()));
    int row = -1;
    for (int i = 0; i < window.table()->rowCount(); ++i)
      if (window.table()->item(i, 0)->text() == QStringLiteral("fixExtension")) row = i;
    QVERIFY(row >= 0);
    store().setBool("fixExtension", false);
    window.reload();
    QVERIFY(window.table()->item(row, 1)->text().startsWith(QStringLiteral("NO")));
    window.resetRow(row);
    QVERIFY(!store().hasUserValue("fixExtension"));
    QVERIFY(window.table()->item(row, 1)->text().contains(QStringLiteral("factory")));
  }

  void midiSettingsChooseADestinationOrTheSynthesizer() {
    sw::MIDIClient client(std::make_unique<FakeTransport>(), apptest::recording());
    {
      MidiSettingsWindow window(client);
      QVERIFY(client.midiOutput()->muted());  // nothing plays while it is open
      QCOMPARE(window.destinations()->count(), 3);  // the synthesizer first
      QCOMPARE(window.destinations()->currentRow(), 0);
      QVERIFY(window.transportNote()->isHidden());
      window.destinations()->setCurrentRow(2);
      window.findChild<QCheckBox*>("GSReset")->click();
      window.reject();
    }
    QCOMPARE(store().integerForKey("MIDIDevice"), 0);  // Cancel changes nothing
    QVERIFY(!client.midiOutput()->muted());
    QVERIFY(!store().boolForKey("GSReset"));
    {
      MidiSettingsWindow window(client);
      window.destinations()->setCurrentRow(2);
      window.findChild<QCheckBox*>("GSReset")->click();
      window.accept();
    }
    QCOMPARE(store().integerForKey("MIDIDevice"), 1);
    QCOMPARE(store().integerForKey("MIDIOutputUniqueID"), 1002);
    QVERIFY(store().boolForKey("GSReset"));
    {
      MidiSettingsWindow window(client);
      QCOMPARE(window.destinations()->currentRow(), 2);
      window.destinations()->setCurrentRow(0);
      window.accept();
    }
    QCOMPARE(store().integerForKey("MIDIDevice"), 0);

    // Without a sequencer the window says so and only the synthesizer is offered.
    sw::MIDIClient lonely(nullptr, apptest::recording());
    MidiSettingsWindow window(lonely);
    QCOMPARE(window.destinations()->count(), 1);
    QVERIFY(!window.transportNote()->isHidden());
    QVERIFY(window.transportNote()->text().contains(QStringLiteral("No MIDI sequencer")));
  }

  void synthesizerEditorAppliesAndRestoresSettings() {
    SynthesizerEditor none(nullptr, {"/nonexistent"});
    QVERIFY(!none.tuning());  // says there is no synthesizer

    sw::MusicDevice::Options options;
    options.audio = false;
    std::shared_ptr<sw::DLSMusicDevice> device = sw::DLSMusicDevice::createWithSettings(nullptr, options);
    if (!device) QSKIP("no software synthesizer on this machine");
    swtest::TempDir banks;
    SynthesizerEditor editor(device, {banks.path()});
    editor.tuning()->setValue(25);
    QCOMPARE(device->tuning(), 25);
    editor.volumeOffset()->setValue(-6.0);
    QCOMPARE(device->volumeOffset().value_or(0.0), -6.0);
    QVERIFY(editor.isEdited());
    editor.findChild<QPushButton*>("save")->click();
    QVERIFY(!editor.isEdited());
    QVERIFY(store().hasUserValue(sw::DLSMusicDevice::kSettingsDefault));
    editor.findChild<QPushButton*>("factoryDefaults")->click();
    QCOMPARE(device->tuning(), 0);
    QCOMPARE(editor.tuning()->value(), 0);
    editor.findChild<QPushButton*>("restore")->click();
    QCOMPARE(device->tuning(), 25);
    QCOMPARE(editor.tuning()->value(), 25);
    store().removeObjectForKey(sw::DLSMusicDevice::kSettingsDefault);
  }

  void chordAliasPanelEditsImportsAndExports() {
    swtest::TempDir dir;
    sw::XFChordManager manager(dir.file("aliases.plist"));
    ChordAliasPanel panel(manager);
    QCOMPARE(panel.table()->rowCount(), int(manager.types().size()));
    int min7 = -1, maj7 = -1;
    for (int row = 0; row < panel.table()->rowCount(); ++row) {
      if (panel.table()->item(row, 0)->text() == QStringLiteral("min7")) min7 = row;
      if (panel.table()->item(row, 0)->text() == QStringLiteral("Maj7")) maj7 = row;
    }
    QVERIFY(min7 >= 0 && maj7 >= 0);
    panel.table()->item(min7, 1)->setText(QStringLiteral("zz7"));
    QCOMPARE(manager.chordsMap().at("zz7"), std::string("min7"));
    panel.table()->item(maj7, 1)->setText(QStringLiteral("zz7"));  // listed twice: the later type wins
    QVERIFY(panel.message()->text().contains(QStringLiteral("zz7")));

    const QString exported = QString::fromStdString(dir.file("mine.xgdef"));
    QVERIFY(panel.exportTo(exported));
    panel.table()->item(maj7, 1)->setText(QString());
    panel.table()->item(min7, 1)->setText(QString());
    QVERIFY(manager.chordsMap().find("zz7") == manager.chordsMap().end());
    QVERIFY(panel.importFrom(exported));
    QCOMPARE(panel.table()->item(min7, 1)->text(), QStringLiteral("zz7"));

    // A file that is no definitions list changes nothing and says why.
    const std::string junk = dir.file("junk.xgdef");
    std::ofstream(junk) << "not a property list";
    QVERIFY(!panel.importFrom(QString::fromStdString(junk)));
    QVERIFY(!panel.message()->text().isEmpty());
    QCOMPARE(panel.table()->item(min7, 1)->text(), QStringLiteral("zz7"));

    // A control character cannot go into the definitions: the cell goes back.
    panel.table()->item(min7, 1)->setText(QStringLiteral("bad\x01"));
    QCOMPARE(panel.table()->item(min7, 1)->text(), QStringLiteral("zz7"));

    // Closing saves the user's file; reverting goes back to the shipped aliases.
    panel.close();
    QVERIFY(QFile::exists(QString::fromStdString(dir.file("aliases.plist"))));
    QVERIFY(panel.revert());
    QVERIFY(panel.table()->item(min7, 1)->text() != QStringLiteral("zz7"));
  }
};

int runSettingsWindowsTests(int argc, char** argv) {
  SettingsWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "settings_windows_test.moc"
