#include "batch/batch_sheet.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "batch/batch_windows.h"
#include "batch/presets_combo_box.h"
#include "batch/settings_form.h"
#include "library/batch_command_parameters.h"
#include "library/batch_commands.h"
#include "library/reg_ex_transformer.h"
#include "text/encoding_manager.h"
#include "text/string_encoding.h"

namespace swapp {

namespace {

constexpr int kChannel10Bit = 1 << 9;

template <typename Widget>
Widget* named(Widget* widget, const char* key) {
  widget->setObjectName(QString::fromLatin1(key));
  return widget;
}

QLabel* note(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

// A radio button per choice, in a group bound to `key`.
QButtonGroup* radios(SettingsForm& form, const char* key, const std::vector<std::pair<int, QString>>& choices,
                     QBoxLayout* into, QWidget* parent) {
  auto* group = new QButtonGroup(parent);
  group->setObjectName(QString::fromLatin1(key));
  for (const auto& [id, title] : choices) {
    auto* button = new QRadioButton(title, parent);
    button->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(key)).arg(id));
    group->addButton(button, id);
    into->addWidget(button);
  }
  form.bind(key, group);
  return group;
}

// The encoding a command reads its texts in: 0 for each file's own (saved or guessed), then
// the enabled encodings and the one the settings hold now.
QComboBox* encodingCombo(SettingsForm& form, QWidget* parent) {
  auto* box = named(new QComboBox(parent), "selectedEncoding");
  box->addItem(QObject::tr("Each file's own (saved with it, or guessed)"), qlonglong(0));
  std::vector<sw::StringEncoding> encodings = sw::EncodingManager::sharedInstance().enabledEncodings();
  const int64_t stored = form.store().integerForKey("selectedEncoding");
  if (stored > 0 && stored <= int64_t(UINT32_MAX) && sw::isSupportedEncoding(sw::StringEncoding(stored)) &&
      std::find(encodings.begin(), encodings.end(), sw::StringEncoding(stored)) == encodings.end())
    encodings.push_back(sw::StringEncoding(stored));
  for (sw::StringEncoding encoding : encodings)
    box->addItem(QString::fromStdString(sw::nameOfEncoding(encoding)), qlonglong(encoding));
  form.bind("selectedEncoding", box);
  return box;
}

// The modifiers of the last mouse click on the buttons it watches.
class ClickModifiers : public QObject {
 public:
  using QObject::QObject;
  Qt::KeyboardModifiers take() {
    const Qt::KeyboardModifiers taken = modifiers_;
    modifiers_ = Qt::NoModifier;
    return taken;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
      modifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
    return QObject::eventFilter(watched, event);
  }

 private:
  Qt::KeyboardModifiers modifiers_ = Qt::NoModifier;
};

struct CreatorEntry {
  const char* title;
  const char* code;
};
constexpr CreatorEntry kCreators[] = {
    {"Karolo", "Krl2"}, {"QuickTime", "TVOD"}, {"Performer", "MOUP"}, {"Cubase", "StCu"}, {"Logic", "EMAG"}};

}  // namespace

int transposeMaskAllChannels(bool channel10Enabled) { return channel10Enabled ? 0xFFFF : 0xFFFF & ~kChannel10Bit; }

BatchSheet* BatchSheet::create(const std::string& command, const QStringList& paths, QWidget* parent) {
  if (!sw::batchCommand(command)) return nullptr;
  return new BatchSheet(command, paths, parent);
}

BatchSheet::BatchSheet(const std::string& command, const QStringList& paths, QWidget* parent)
    : QDialog(parent), command_(command), paths_(paths) {
  setObjectName(QString::fromStdString(command));
  form_ = new SettingsForm(sw::SettingsStore::shared(), this);
  for (const BatchCommandEntry& entry : batchCommandEntries())
    if (entry.name == command) setWindowTitle(QString(entry.title).remove(QChar(0x2026)));
  auto* layout = new QVBoxLayout(this);
  body_ = new QWidget(this);
  layout->addWidget(body_);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setStyleSheet(QStringLiteral("color: #b00020;"));
  problem_->setWordWrap(true);
  problem_->hide();
  layout->addWidget(problem_);
  layout->addLayout(buildOutputFolderRow());
  auto* bottom = new QHBoxLayout;
  const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(command);
  if (parameters && !parameters->presetList.empty()) {
    presets_ = new PresetsComboBox(parameters->presetList, *form_, this);
    bottom->addWidget(new QLabel(tr("Presets:"), this));
    bottom->addWidget(presets_);
  }
  bottom->addStretch(1);
  auto* cancel = new QPushButton(tr("Cancel"), this);
  ok_ = new QPushButton(tr("OK"), this);
  ok_->setObjectName(QStringLiteral("ok"));
  ok_->setDefault(true);
  bottom->addWidget(cancel);
  bottom->addWidget(ok_);
  layout->addLayout(bottom);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  if (command == "Fix") buildFix();
  if (command == "Convert") buildConvert();
  if (command == "ConvertKaraoke") buildConvertKaraoke();
  if (command == "ConvertToUTF8") buildConvertToUTF8();
  if (command == "ExtractLyrics") buildExtractLyrics();
  if (command == "MarkersToLyrics")
    buildQuestion(tr("Every marker after the start whose text begins with \"@\" becomes a lyric (\"@/\" and \"@\\\" "
                     "start a new line or paragraph), and one beginning with \"%\" becomes a text event."));
  if (command == "LyricsToMarkers")
    buildQuestion(tr("Every lyric after the start becomes a marker beginning with \"@\", and every text event "
                     "one beginning with \"%\"; line breaks are written \"/\" and \"\\\"."));
  if (command == "SetMetaEventText") buildSetMetaEventText();
  if (command == "ChangeMIDIChannel") buildChangeMIDIChannel();
  if (command == "Transpose") buildTranspose();
  if (command == "RemoveTrack") buildRemoveTrack();
  if (command == "Compand") buildCompand();
  form_->load();
  connect(form_, &SettingsForm::edited, problem_, &QLabel::hide);
}

std::string BatchSheet::outputFolder() {
  const sw::SettingsStore& store = sw::SettingsStore::shared();
  return store.boolForKey(kWritesElsewhereKey) ? store.stringForKey(kOutputFolderKey) : std::string();
}

QLayout* BatchSheet::buildOutputFolderRow() {
  // Results may go to another folder, keeping the originals as they are.
  auto* row = new QHBoxLayout;
  auto* elsewhere = named(new QCheckBox(tr("Write results to:"), this), kWritesElsewhereKey);
  auto* folder = named(new QLineEdit(this), kOutputFolderKey);
  folder->setPlaceholderText(tr("a folder outside the files' folders"));
  auto* choose = new QPushButton(tr("Choose…"), this);
  choose->setObjectName(QStringLiteral("chooseOutputFolder"));
  row->addWidget(elsewhere);
  row->addWidget(folder, 1);
  row->addWidget(choose);
  form_->bind(kWritesElsewhereKey, elsewhere);
  form_->bind(kOutputFolderKey, folder);
  connect(choose, &QPushButton::clicked, this, [this, elsewhere, folder] {
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("Write Results To"), folder->text());
    if (chosen.isEmpty()) return;
    folder->setText(chosen);
    elsewhere->setChecked(true);
  });
  return row;
}

QString BatchSheet::problem() const { return problem_->isVisible() ? problem_->text() : QString(); }

void BatchSheet::accept() {
  // A failed write keeps the values in memory, and the run reads them from there.
  form_->commit();
  const sw::BatchCommand* command = sw::batchCommand(command_);
  std::string problem = command && command->checkParameters ? command->checkParameters() : std::string();
  if (problem.empty() && outputFolder().empty() && form_->store().boolForKey(kWritesElsewhereKey))
    problem = tr("Choose the folder the results are written to.").toStdString();
  if (!problem.empty()) {
    QApplication::beep();
    problem_->setText(QString::fromStdString(problem));
    problem_->show();
    return;
  }
  QDialog::accept();
}

// ---------------------------------------------------------------- Fix

void BatchSheet::buildFix() {
  auto* layout = new QVBoxLayout(body_);
  auto* extension = named(new QCheckBox(tr("Correct the file type and the name extension (.mid, .kar)"), body_),
                          "fixExtension");
  layout->addWidget(extension);
  auto* creatorRow = new QHBoxLayout;
  creatorRow->setContentsMargins(20, 0, 0, 0);
  auto* setCreator = named(new QCheckBox(tr("Also set the creator:"), body_), "setCreator");
  auto* creators = named(new QComboBox(body_), "creatorPopUp");
  creators->addItem(tr("Other (type its code)"), QString());
  for (const CreatorEntry& entry : kCreators)
    creators->addItem(QString::fromLatin1(entry.title), QString::fromLatin1(entry.code));
  auto* code = named(new QLineEdit(body_), "currentCreator");
  code->setMaximumWidth(70);
  creatorRow->addWidget(setCreator);
  creatorRow->addWidget(creators);
  creatorRow->addWidget(code);
  creatorRow->addStretch(1);
  layout->addLayout(creatorRow);
  auto* gaps = named(new QCheckBox(tr("Cut the song at its first gap longer than 10 minutes"), body_), "fixBadDeltaTime");
  layout->addWidget(gaps);
  auto* signature = named(new QCheckBox(tr("Put tempo changes on the first track; add a missing first tempo or "
                                           "time signature"),
                                        body_),
                          "fixSignature");
  layout->addWidget(signature);
  auto* reset = named(new QCheckBox(tr("Add the missing reset messages:"), body_), "fixMissingResetMessage");
  layout->addWidget(reset);
  auto* resetRow = new QHBoxLayout;
  resetRow->setContentsMargins(20, 0, 0, 0);
  auto* gm = named(new QCheckBox(tr("GM"), body_), "addGMReset");
  auto* gs = named(new QCheckBox(tr("GS"), body_), "addGSReset");
  auto* xg = named(new QCheckBox(tr("XG"), body_), "addXGReset");
  resetRow->addWidget(gm);
  resetRow->addWidget(gs);
  resetRow->addWidget(xg);
  resetRow->addStretch(1);
  layout->addLayout(resetRow);
  layout->addWidget(note(tr("Only tempo and signature corrections change the music; the warning before rewriting "
                            "files is given for them."),
                         body_));
  ok_->setText(tr("Fix"));

  form_->bind("fixExtension", extension);
  form_->bind("setCreator", setCreator);
  form_->bind("currentCreator", code);
  form_->bind("fixBadDeltaTime", gaps);
  form_->bind("fixSignature", signature);
  form_->bind("fixMissingResetMessage", reset);
  form_->bind("addGMReset", gm);
  form_->bind("addGSReset", gs);
  form_->bind("addXGReset", xg);

  // The pop-up shows the entry of the code typed, or the first item when none has it.
  auto synchronizeCreatorPopup = [creators, code] {
    const int index = creators->findData(code->text());
    creators->setCurrentIndex(index < 0 ? 0 : index);
  };
  connect(creators, &QComboBox::activated, this, [this, creators, code](int index) {
    if (index == 0) {
      code->setFocus();
      code->selectAll();
      return;
    }
    code->setText(creators->itemData(index).toString());
    form_->noteEdited();
  });
  connect(code, &QLineEdit::textEdited, this, [code](const QString& text) {
    if (text.size() > 4) {
      QApplication::beep();
      code->setText(text.left(4));
    }
  });
  connect(form_, &SettingsForm::edited, this, [=, this] {
    synchronizeCreatorPopup();
    creators->setEnabled(extension->isChecked());
    setCreator->setEnabled(extension->isChecked());
    code->setEnabled(extension->isChecked());
    for (QCheckBox* box : {gm, gs, xg}) box->setEnabled(reset->isChecked());
    // "enableFixButton": some repair is chosen.
    ok_->setEnabled(extension->isChecked() || signature->isChecked() || gaps->isChecked() || reset->isChecked());
  });
}

// ---------------------------------------------------------------- Convert, karaoke, UTF-8

void BatchSheet::buildConvert() {
  auto* layout = new QVBoxLayout(body_);
  layout->addWidget(note(tr("Rewrite each file as:"), body_));
  QButtonGroup* format = radios(*form_, "formatChosen",
                                {{0, tr("Format 0: everything on one track")},
                                 {1, tr("Format 1: tempo, words and chords, then one track per channel")}},
                                layout, body_);
  auto* gmNames = named(new QCheckBox(tr("Name the channel tracks after their General MIDI instrument"), body_),
                        "useGMInstruments");
  gmNames->setContentsMargins(20, 0, 0, 0);
  layout->addWidget(gmNames);
  auto* compressed = named(new QCheckBox(tr("Write with running status (smaller files)"), body_), "compressed");
  layout->addWidget(compressed);
  form_->bind("useGMInstruments", gmNames);
  form_->bind("compressed", compressed);
  ok_->setText(tr("Convert"));
  connect(form_, &SettingsForm::edited, this, [format, gmNames] { gmNames->setEnabled(format->checkedId() == 1); });
}

void BatchSheet::buildConvertKaraoke() {
  auto* layout = new QVBoxLayout(body_);
  layout->addWidget(note(tr("Rewrite each file as a one-track karaoke file with its words as lyric events, "
                            "the chords written:"),
                         body_));
  radios(*form_, "karaokeFormatChosen", {{0, tr("As text events")}, {1, tr("As XF chord events")}}, layout, body_);
  ok_->setText(tr("Convert"));
}

void BatchSheet::buildConvertToUTF8() {
  auto* layout = new QFormLayout(body_);
  layout->addRow(note(tr("Re-encode the texts of each file as UTF-8. A text that is already UTF-8 is kept."), body_));
  layout->addRow(tr("The texts are in:"), encodingCombo(*form_, body_));
  ok_->setText(tr("Convert"));
}

void BatchSheet::buildExtractLyrics() {
  auto* layout = new QFormLayout(body_);
  layout->addRow(note(tr("Write the lyrics of each file into a UTF-8 file beside it, with the same name."), body_));
  auto* format = named(new QComboBox(body_), "extractLyricsFormat");
  format->addItem(tr("Plain text (.txt)"), qlonglong(0));
  format->addItem(tr("LRC (.lrc)"), qlonglong(1));
  format->addItem(tr("Enhanced LRC, a time on every word (.lrc)"), qlonglong(2));
  format->addItem(tr("ChordPro, with the chords (.cpm)"), qlonglong(3));
  layout->addRow(tr("Format:"), format);
  form_->bind("extractLyricsFormat", format);
  layout->addRow(tr("The lyrics are in:"), encodingCombo(*form_, body_));
  ok_->setText(tr("Extract"));
}

void BatchSheet::buildQuestion(const QString& message) {
  auto* layout = new QVBoxLayout(body_);
  auto* title = new QLabel(windowTitle() + QLatin1Char('?'), body_);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);
  auto* text = note(message, body_);
  text->setObjectName(QStringLiteral("message"));
  layout->addWidget(text);
  ok_->setText(tr("Convert"));
}

// ---------------------------------------------------------------- Set meta-event text

void BatchSheet::buildSetMetaEventText() {
  auto* layout = new QVBoxLayout(body_);
  auto* top = new QFormLayout;
  auto* type = named(new QComboBox(body_), "targetMetaEvent");
  static const char* const kTypes[] = {"Text",   "Copyright", "Sequence or track name", "Instrument name",
                                       "Lyric",  "Marker",    "Cue point",              "Program name",
                                       "Device name"};
  for (int number = 1; number <= 9; ++number)
    type->addItem(QStringLiteral("%1 (%2)").arg(tr(kTypes[number - 1])).arg(number), qlonglong(number));
  const int64_t stored = form_->store().integerForKey("targetMetaEvent");
  if (stored > 9 && stored <= 15) type->addItem(tr("Type %1").arg(stored), qlonglong(stored));
  top->addRow(tr("Meta event:"), type);
  form_->bind("targetMetaEvent", type);
  layout->addLayout(top);

  auto* sourceRow = new QHBoxLayout;
  QButtonGroup* source =
      radios(*form_, "targetMetaEventSource", {{0, tr("This text:")}}, sourceRow, body_);
  auto* text = named(new QLineEdit(body_), "targetMetaEventString");
  text->setPlaceholderText(tr("empty: remove the event"));
  sourceRow->addWidget(text, 1);
  form_->bind("targetMetaEventString", text);
  layout->addLayout(sourceRow);
  auto* fromName = new QRadioButton(tr("The file name without its extension, after these replacements:"), body_);
  fromName->setObjectName(QStringLiteral("targetMetaEventSource_1"));
  source->addButton(fromName, 1);
  layout->addWidget(fromName);

  auto* grid = new QGridLayout;
  grid->setContentsMargins(20, 0, 0, 0);
  grid->addWidget(new QLabel(tr("Regular expression"), body_), 0, 0);
  grid->addWidget(new QLabel(tr("Replace with ($1… for groups)"), body_), 0, 1);
  std::vector<QLineEdit*> fields;
  for (int n = 1; n <= 4; ++n) {
    const std::string pattern = "regExp" + std::to_string(n), replacement = "replaceStr" + std::to_string(n);
    auto* patternField = new QLineEdit(body_);
    patternField->setObjectName(QString::fromStdString(pattern));
    auto* replacementField = new QLineEdit(body_);
    replacementField->setObjectName(QString::fromStdString(replacement));
    grid->addWidget(patternField, n, 0);
    grid->addWidget(replacementField, n, 1);
    form_->bind(pattern, patternField);
    form_->bind(replacement, replacementField);
    fields.push_back(patternField);
    fields.push_back(replacementField);
  }
  layout->addLayout(grid);
  auto* encodingRow = new QFormLayout;
  encodingRow->addRow(tr("Write the fixed text in:"), encodingCombo(*form_, body_));
  layout->addLayout(encodingRow);
  layout->addWidget(new QLabel(tr("Preview:"), body_));
  auto* preview = named(new QListWidget(body_), "preview");
  preview->setMaximumHeight(110);
  layout->addWidget(preview);
  ok_->setText(tr("Set"));

  connect(form_, &SettingsForm::edited, this, [this, source, text, fields, preview] {
    const bool fromName = source->checkedId() == 1;
    text->setEnabled(!fromName);
    for (QLineEdit* field : fields) field->setEnabled(fromName);
    preview->clear();
    std::array<sw::RegExTransformer::Replacement, 4> pairs;
    for (int n = 0; n < 4; ++n)
      pairs[size_t(n)] = {form_->value("regExp" + std::to_string(n + 1)).stringValue(),
                          form_->value("replaceStr" + std::to_string(n + 1)).stringValue()};
    const sw::RegExTransformer transformer(pairs);
    for (const QString& path : paths_) {
      const QString name = QFileInfo(path).fileName();
      QString result = text->text();
      if (fromName) {
        sw::Error error;
        result = QString::fromStdString(transformer.transformedValue(name.toStdString(), &error));
        if (error) result += tr("   (%1)").arg(QString::fromStdString(error.message));
      }
      preview->addItem(name + QStringLiteral("  →  ") + result);
    }
  });
}

// ---------------------------------------------------------------- channel, transpose, track

void BatchSheet::buildChangeMIDIChannel() {
  auto* layout = new QFormLayout(body_);
  auto* from = named(new QSpinBox(body_), "MIDIChannelOld");
  auto* to = named(new QSpinBox(body_), "MIDIChannelNew");
  for (QSpinBox* box : {from, to}) box->setRange(1, 16);
  layout->addRow(tr("Move the messages of channel:"), from);
  layout->addRow(tr("To channel:"), to);
  form_->bind("MIDIChannelOld", from);
  form_->bind("MIDIChannelNew", to);
  ok_->setText(tr("Change"));
}

void BatchSheet::buildTranspose() {
  auto* layout = new QVBoxLayout(body_);
  auto* amountRow = new QFormLayout;
  auto* amount = named(new QSpinBox(body_), "transposeAmount");
  amount->setRange(-127, 127);
  amount->setSuffix(tr(" semitones"));
  amountRow->addRow(tr("Transpose by:"), amount);
  layout->addLayout(amountRow);
  form_->bind("transposeAmount", amount);

  auto* channel10 = named(new QCheckBox(tr("Channel 10 (drums) may be transposed"), body_), "enableChannel10Transpose");
  form_->bind("enableChannel10Transpose", channel10);

  layout->addWidget(new QLabel(tr("Channels (Alt-click: only that one; Ctrl-click: all but that one):"), body_));
  auto* channelRow = new QHBoxLayout;
  channelRow->setSpacing(2);
  body_->setStyleSheet(QStringLiteral(
      "QToolButton { border: 1px solid #9a9a9a; border-radius: 3px; padding: 3px; background: #f6f6f6; }"
      "QToolButton:checked { background: #3874d8; border-color: #2a5aa8; color: white; }"
      "QToolButton:disabled { color: #b0b0b0; border-color: #d0d0d0; }"));
  std::vector<QToolButton*> buttons;
  auto* clickModifiers = new ClickModifiers(this);
  for (int channel = 1; channel <= 16; ++channel) {
    auto* button = new QToolButton(body_);
    button->installEventFilter(clickModifiers);
    button->setObjectName(QStringLiteral("channel%1").arg(channel));
    button->setText(QString::number(channel));
    button->setCheckable(true);
    button->setMinimumWidth(26);
    channelRow->addWidget(button);
    buttons.push_back(button);
  }
  layout->addLayout(channelRow);
  auto* allRow = new QHBoxLayout;
  auto* all = named(new QPushButton(tr("All"), body_), "allChannels");
  auto* none = named(new QPushButton(tr("None"), body_), "noChannels");
  for (QPushButton* button : {all, none}) button->setAutoDefault(false);
  allRow->addWidget(all);
  allRow->addWidget(none);
  allRow->addStretch(1);
  layout->addLayout(allRow);
  layout->addWidget(channel10);
  ok_->setText(tr("Transpose"));

  // Channel 10 can be chosen only when enabled; it is cleared when it is not.
  auto applyChannel10 = [buttons, channel10] {
    buttons[9]->setEnabled(channel10->isChecked());
    if (!channel10->isChecked()) buttons[9]->setChecked(false);
  };
  form_->bind(
      "transposeChannelMask",
      [buttons] {
        int64_t mask = 0;
        for (size_t i = 0; i < buttons.size(); ++i)
          if (buttons[i]->isChecked()) mask |= int64_t(1) << i;
        return sw::SettingValue(mask);
      },
      [buttons, applyChannel10](const sw::SettingValue& value) {
        const int64_t mask = value.integerValue();
        for (size_t i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(mask & (int64_t(1) << i));
        applyChannel10();
      });
  connect(channel10, &QCheckBox::toggled, this, [this, applyChannel10] {
    applyChannel10();
    form_->noteEdited();
  });
  auto setAll = [this, buttons, applyChannel10](bool selected) {
    for (QToolButton* button : buttons) button->setChecked(selected);
    applyChannel10();
    form_->noteEdited();
  };
  connect(all, &QPushButton::clicked, this, [setAll] { setAll(true); });
  connect(none, &QPushButton::clicked, this, [setAll] { setAll(false); });
  for (QToolButton* clicked : buttons) {
    connect(clicked, &QToolButton::clicked, this, [this, clicked, buttons, applyChannel10, clickModifiers] {
      const Qt::KeyboardModifiers modifiers = clickModifiers->take();
      const bool only = modifiers & Qt::AltModifier, others = modifiers & Qt::ControlModifier;
      if (only || others) {
        for (QToolButton* button : buttons) button->setChecked(button == clicked ? only : others);
        applyChannel10();
      }
      form_->noteEdited();
    });
  }
}

void BatchSheet::buildRemoveTrack() {
  auto* layout = new QFormLayout(body_);
  auto* name = named(new QLineEdit(body_), "nameOfTrackToRemove");
  layout->addRow(tr("Remove the track named:"), name);
  layout->addRow(note(tr("The first track of that name goes, with all its events; empty tracks go too."), body_));
  form_->bind("nameOfTrackToRemove", name);
  ok_->setText(tr("Remove"));
}

void BatchSheet::buildCompand() {
  auto* layout = new QVBoxLayout(body_);
  layout->addWidget(note(tr("Rewrite each file with the same events:"), body_));
  radios(*form_, "compandAction",
         {{0, tr("Compact: channel messages with running status")}, {1, tr("Expand: every status byte written")}},
         layout, body_);
  ok_->setText(tr("Rewrite"));
}

}  // namespace swapp
