// The batch sheets: every command's sheet binds each settings key its command reads, shows the
// stored values, stores the shown ones on OK and nothing on Cancel; the Fix, Transpose and Set
// meta-event text controls follow their rules; presets made in a sheet are those of the
// command line.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "base/settings_store.h"
#include "batch/batch_sheet.h"
#include "batch/batch_windows.h"
#include "batch/presets_combo_box.h"
#include "batch/settings_form.h"
#include "library/batch_command_parameters.h"
#include "library/batch_defaults.h"
#include "library/factory_defaults.h"
#include "library/text_musical_defaults.h"

using namespace swapp;

namespace {

sw::SettingsStore& store() { return sw::SettingsStore::shared(); }

// Back to the factory values and no presets.
void resetSettings() {
  sw::registerFactoryDefaults();
  sw::registerBatchDefaults();
  sw::registerTextAndMusicalDefaults();
  for (const auto& [key, value] : store().dictionaryRepresentation()) {
    store().removeRunValue(key);
    if (store().hasUserValue(key)) store().removeObjectForKey(key);
  }
}

std::unique_ptr<BatchSheet> sheet(const std::string& name, const QStringList& paths = {}) {
  return std::unique_ptr<BatchSheet>(BatchSheet::create(name, paths));
}

int64_t channelMask(BatchSheet& sheet) { return sheet.form().value("transposeChannelMask").integerValue(); }

}  // namespace

class BatchSheetsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { resetSettings(); }

  void everySheetBindsTheKeysItsCommandReads() {
    QCOMPARE(batchCommandEntries().size(), sw::allBatchCommandParameters().size());
    for (const BatchCommandEntry& entry : batchCommandEntries()) {
      const auto built = sheet(entry.name);
      QVERIFY2(built, entry.name.c_str());
      const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(entry.name);
      QVERIFY(parameters);
      for (const std::string& key : parameters->keys)
        QVERIFY2(built->form().binds(key), (entry.name + " does not bind " + key).c_str());
      // A sheet has the presets of its command exactly when the command has parameters.
      QCOMPARE(built->presets() != nullptr, !parameters->presetList.empty());
    }
    QVERIFY(!sheet("NoSuchCommand"));
  }

  void okStoresTheShownValuesAndCancelStoresNothing() {
    store().setInteger("formatChosen", 1);
    store().setBool("compressed", true);
    {
      const auto convert = sheet("Convert");
      QVERIFY(convert->findChild<QRadioButton*>("formatChosen_1")->isChecked());
      QVERIFY(convert->findChild<QCheckBox*>("compressed")->isChecked());
      QVERIFY(convert->findChild<QCheckBox*>("useGMInstruments")->isChecked());  // factory value
      convert->findChild<QRadioButton*>("formatChosen_0")->click();
      QVERIFY(!convert->findChild<QCheckBox*>("useGMInstruments")->isEnabled());  // format 1 only
      convert->findChild<QCheckBox*>("compressed")->click();
      convert->reject();
    }
    QCOMPARE(store().integerForKey("formatChosen"), 1);
    QVERIFY(store().boolForKey("compressed"));

    const auto convert = sheet("Convert");
    convert->findChild<QRadioButton*>("formatChosen_0")->click();
    convert->findChild<QCheckBox*>("compressed")->click();
    convert->accept();
    QCOMPARE(convert->result(), int(QDialog::Accepted));
    QCOMPARE(store().integerForKey("formatChosen"), 0);
    QVERIFY(!store().boolForKey("compressed"));
    QVERIFY(!store().hasUserValue("useGMInstruments"));  // unchanged values are not written

    const auto lyrics = sheet("ExtractLyrics");
    auto* format = lyrics->findChild<QComboBox*>("extractLyricsFormat");
    format->setCurrentIndex(format->findData(qlonglong(3)));
    auto* encoding = lyrics->findChild<QComboBox*>("selectedEncoding");
    QCOMPARE(encoding->currentData().toLongLong(), 0);  // each file's own
    encoding->setCurrentIndex(encoding->count() - 1);
    lyrics->accept();
    QCOMPARE(store().integerForKey("extractLyricsFormat"), 3);
    QCOMPARE(store().integerForKey("selectedEncoding"), encoding->currentData().toLongLong());
  }

  void fixSheetKeepsItsButtonAndCreatorInStep() {
    store().setString("currentCreator", "TVOD");
    const auto fix = sheet("Fix");
    auto* popUp = fix->findChild<QComboBox*>("creatorPopUp");
    auto* code = fix->findChild<QLineEdit*>("currentCreator");
    QCOMPARE(popUp->currentText(), QStringLiteral("QuickTime"));
    QVERIFY(fix->okButton()->isEnabled());  // fixExtension is on by default
    fix->findChild<QCheckBox*>("fixExtension")->click();
    QVERIFY(!fix->okButton()->isEnabled());
    QVERIFY(!code->isEnabled());
    fix->findChild<QCheckBox*>("fixBadDeltaTime")->click();
    QVERIFY(fix->okButton()->isEnabled());
    fix->findChild<QCheckBox*>("fixExtension")->click();

    // A typed code of five characters is cut to four; an unknown code selects the first item.
    code->clear();
    QTest::keyClicks(code, QStringLiteral("ABCDE"));
    QCOMPARE(code->text(), QStringLiteral("ABCD"));
    QCOMPARE(popUp->currentIndex(), 0);
    popUp->setCurrentIndex(popUp->findText(QStringLiteral("Logic")));
    emit popUp->activated(popUp->currentIndex());
    QCOMPARE(code->text(), QStringLiteral("EMAG"));
    fix->accept();
    QCOMPARE(store().stringForKey("currentCreator"), std::string("EMAG"));
    QVERIFY(store().boolForKey("fixBadDeltaTime"));
    QVERIFY(store().boolForKey("enableFixButton"));
  }

  void changeChannelRefusesTheSameChannel() {
    const auto channel = sheet("ChangeMIDIChannel");
    channel->findChild<QSpinBox*>("MIDIChannelOld")->setValue(3);
    channel->findChild<QSpinBox*>("MIDIChannelNew")->setValue(3);
    channel->show();
    channel->accept();
    QVERIFY(channel->isVisible());
    QVERIFY(channel->problem().contains(QStringLiteral("same channel")));
    channel->findChild<QSpinBox*>("MIDIChannelNew")->setValue(4);
    QVERIFY(channel->problem().isEmpty());
    channel->accept();
    QVERIFY(!channel->isVisible());
    QCOMPARE(store().integerForKey("MIDIChannelOld"), 3);
    QCOMPARE(store().integerForKey("MIDIChannelNew"), 4);
  }

  void transposeChannelsFollowTheirRules() {
    const auto transpose = sheet("Transpose");
    auto* ten = transpose->findChild<QToolButton*>("channel10");
    QCOMPARE(channelMask(*transpose), 65023);  // the factory mask: all but channel 10
    QVERIFY(!ten->isEnabled());
    transpose->findChild<QPushButton*>("noChannels")->click();
    QCOMPARE(channelMask(*transpose), 0);
    transpose->findChild<QPushButton*>("allChannels")->click();
    QCOMPARE(channelMask(*transpose), 65023);
    transpose->findChild<QCheckBox*>("enableChannel10Transpose")->click();
    transpose->findChild<QPushButton*>("allChannels")->click();
    QCOMPARE(channelMask(*transpose), 65535);

    auto* three = transpose->findChild<QToolButton*>("channel3");
    QTest::mouseClick(three, Qt::LeftButton, Qt::AltModifier);
    QCOMPARE(channelMask(*transpose), 1 << 2);  // only the clicked channel
    QTest::mouseClick(three, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(channelMask(*transpose), 0xFFFF & ~(1 << 2));  // all but the clicked one
    QTest::mouseClick(three, Qt::LeftButton);
    QCOMPARE(channelMask(*transpose), 0xFFFF);  // a plain click toggles it alone

    // Switching channel 10 off clears it.
    transpose->findChild<QCheckBox*>("enableChannel10Transpose")->click();
    QCOMPARE(channelMask(*transpose), 65023);
    transpose->findChild<QSpinBox*>("transposeAmount")->setValue(-5);
    transpose->accept();
    QCOMPARE(store().integerForKey("transposeAmount"), -5);
    QCOMPARE(store().integerForKey("transposeChannelMask"), 65023);
    QVERIFY(!store().boolForKey("enableChannel10Transpose"));
  }

  void setTextPreviewShowsTheTransformedNames() {
    const auto text = sheet("SetMetaEventText", {QStringLiteral("/music/07 - Song.mid"), QStringLiteral("/music/Other.kar")});
    auto* preview = text->findChild<QListWidget*>("preview");
    text->findChild<QRadioButton*>("targetMetaEventSource_1")->click();
    QVERIFY(!text->findChild<QLineEdit*>("targetMetaEventString")->isEnabled());
    auto* pattern = text->findChild<QLineEdit*>("regExp1");
    QTest::keyClicks(pattern, QStringLiteral("^[0-9]+ *- *"));
    QCOMPARE(preview->count(), 2);
    QVERIFY(preview->item(0)->text().endsWith(QStringLiteral("→  Song")));
    QVERIFY(preview->item(1)->text().endsWith(QStringLiteral("→  Other")));
    // A bad pattern shows the name as far as it was transformed, with the problem.
    QTest::keyClicks(text->findChild<QLineEdit*>("regExp2"), QStringLiteral("(["));
    QVERIFY(preview->item(0)->text().contains(QStringLiteral("→  Song   (")));
    text->accept();
    QCOMPARE(store().integerForKey("targetMetaEventSource"), 1);
    QCOMPARE(store().stringForKey("regExp1"), std::string("^[0-9]+ *- *"));
  }

  void presetsHoldTheSheetValuesAndServeTheCommandLine() {
    const auto savedAsker = PresetsComboBox::nameAsker();
    PresetsComboBox::nameAsker() = [](QWidget*, sw::TSPresetManager&, const std::string&) {
      return std::optional<std::string>("Strip number");
    };
    {
      const auto text = sheet("SetMetaEventText");
      text->findChild<QRadioButton*>("targetMetaEventSource_1")->click();
      QTest::keyClicks(text->findChild<QLineEdit*>("regExp1"), QStringLiteral("^[0-9]+ "));
      PresetsComboBox* presets = text->presets();
      QCOMPARE(presets->perform(sw::TSPresetManager::Command::AddPreset), sw::noErr);
      QCOMPARE(presets->currentText(), QStringLiteral("Strip number"));
      // Choosing the preset again shows its values; the settings change only with OK.
      text->findChild<QLineEdit*>("regExp1")->clear();
      presets->setCurrentIndex(presets->findText(QStringLiteral("Strip number")));
      emit presets->activated(presets->currentIndex());
      QCOMPARE(text->findChild<QLineEdit*>("regExp1")->text(), QStringLiteral("^[0-9]+ "));
      QCOMPARE(store().stringForKey("regExp1"), std::string());
      text->reject();
    }
    // The command line applies the preset the sheet saved.
    const sw::BatchCommandParameters& parameters = *sw::batchCommandParameters("SetMetaEventText");
    QCOMPARE(sw::applyBatchPreset(parameters, "Strip number", sw::PresetScope::Saved), sw::noErr);
    QCOMPARE(store().stringForKey("regExp1"), std::string("^[0-9]+ "));

    // A preset the command line saved shows in another sheet's pop-up, keys and all.
    store().setInteger("transposeAmount", 7);
    QCOMPARE(sw::saveBatchPreset(*sw::batchCommandParameters("Transpose"), "Up a fifth"), sw::noErr);
    store().setInteger("transposeAmount", 0);
    const auto transpose = sheet("Transpose");
    PresetsComboBox* presets = transpose->presets();
    const int index = presets->findText(QStringLiteral("Up a fifth"));
    QVERIFY(index > 0);
    presets->setCurrentIndex(index);
    emit presets->activated(index);
    QCOMPARE(transpose->findChild<QSpinBox*>("transposeAmount")->value(), 7);
    QCOMPARE(presets->perform(sw::TSPresetManager::Command::DeletePreset), sw::noErr);
    QCOMPARE(presets->findText(QStringLiteral("Up a fifth")), -1);
    QCOMPARE(presets->currentIndex(), 0);  // back to the last used settings
    PresetsComboBox::nameAsker() = savedAsker;
  }
};

int runBatchSheetsTests(int argc, char** argv) {
  BatchSheetsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "batch_sheets_test.moc"
