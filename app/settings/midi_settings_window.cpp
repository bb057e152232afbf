#include "settings/midi_settings_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "base/settings_store.h"
#include "batch/batch_windows.h"
#include "batch/settings_form.h"
#include "playback/fluidsynth/dls_music_device.h"
#include "playback/midi_client.h"

namespace swapp {

namespace {
constexpr int kSynthesizerRow = 0;
}

MidiSettingsWindow::MidiSettingsWindow(QWidget* parent) : MidiSettingsWindow(sw::MIDIClient::sharedMIDIClient(), parent) {}

MidiSettingsWindow::MidiSettingsWindow(sw::MIDIClient& client, QWidget* parent) : QDialog(parent), client_(client) {
  setObjectName(QStringLiteral("midiSettings"));
  setWindowTitle(tr("MIDI Settings"));
  form_ = new SettingsForm(sw::SettingsStore::shared(), this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Play through:"), this));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("destinations"));
  list_->setMinimumHeight(120);
  layout->addWidget(list_);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("transportNote"));
  note_->setWordWrap(true);
  layout->addWidget(note_);

  auto* resets = new QGroupBox(tr("Before playing, reset the device with"), this);
  auto* resetRow = new QHBoxLayout(resets);
  for (const char* key : {"GMReset", "GSReset", "XGReset"}) {
    auto* box = new QCheckBox(QString::fromLatin1(key, 2), resets);
    box->setObjectName(QString::fromLatin1(key));
    resetRow->addWidget(box);
    form_->bind(key, box);
  }
  auto* resetNow = new QPushButton(tr("Reset Now"), resets);
  resetNow->setAutoDefault(false);
  resetRow->addStretch(1);
  resetRow->addWidget(resetNow);
  layout->addWidget(resets);
  auto* soundsOff = new QCheckBox(tr("All sounds off when playback stops"), this);
  soundsOff->setObjectName(QStringLiteral("allSoundsOffOnStop"));
  form_->bind("allSoundsOffOnStop", soundsOff);
  layout->addWidget(soundsOff);

  auto* volumeRow = new QHBoxLayout;
  volumeRow->addWidget(new QLabel(tr("Master volume:"), this));
  volume_ = new QSlider(Qt::Horizontal, this);
  volume_->setObjectName(QStringLiteral("masterVolume"));
  volume_->setRange(0, 100);
  volumeRow->addWidget(volume_, 1);
  layout->addLayout(volumeRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* synthesizer = buttons->addButton(tr("Synthesizer…"), QDialogButtonBox::ActionRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(synthesizer, &QPushButton::clicked, this, [this] { showSynthesizerEditor(this); });
  connect(resetNow, &QPushButton::clicked, this, [this] {
    const std::shared_ptr<sw::MIDIFilter>& output = client_.midiOutput();
    output->setMuted(false);
    output->resetDevice(form_->value("GMReset").boolValue(), form_->value("GSReset").boolValue(),
                        form_->value("XGReset").boolValue());
    output->setMuted(true);
  });
  const std::shared_ptr<sw::MIDIFilter>& output = client_.midiOutput();
  auto* device = output ? dynamic_cast<sw::DLSMusicDevice*>(output->musicDevice()) : nullptr;
  volume_->setValue(device ? int(device->masterVolume() * 100.0f + 0.5f) : 100);
  // Nothing plays while the destination is being chosen.
  if (output) output->setMuted(true);
  connect(volume_, &QSlider::valueChanged, this,
          [this](int value) { client_.midiOutput()->sendMasterVolume(float(value) / 100.0f); });
  refresh();
}

void MidiSettingsWindow::refresh() {
  form_->load();
  list_->clear();
  auto* synthesizer = new QListWidgetItem(tr("Built-in synthesizer"), list_);
  synthesizer->setData(Qt::UserRole, QVariant());
  const sw::SettingsStore& store = sw::SettingsStore::shared();
  const bool wantsDestination = store.integerForKey("MIDIDevice") != 0;
  const auto wanted = uint32_t(store.integerForKey("MIDIOutputUniqueID"));
  int selected = kSynthesizerRow;
  for (const sw::MidiEndpoint& endpoint : client_.destinations()) {
    auto* item = new QListWidgetItem(QStringLiteral("%1  (%2)").arg(QString::fromStdString(endpoint.name),
                                                                   QString::fromStdString(endpoint.address)),
                                     list_);
    item->setData(Qt::UserRole, qulonglong(endpoint.uniqueID));
    if (wantsDestination && endpoint.uniqueID == wanted) selected = list_->count() - 1;
  }
  list_->setCurrentRow(selected);
  if (!client_.hasTransport()) {
    const std::string& why = client_.transportError().message;
    note_->setText(tr("No MIDI sequencer is available%1: everything plays through the built-in synthesizer.")
                       .arg(why.empty() ? QString() : QStringLiteral(" (%1)").arg(QString::fromStdString(why))));
  } else if (list_->count() == 1) {
    note_->setText(tr("The sequencer offers no destination: everything plays through the built-in synthesizer."));
  } else if (wantsDestination && selected == kSynthesizerRow) {
    note_->setText(tr("The destination chosen before is gone: the built-in synthesizer plays instead."));
  } else {
    note_->clear();
  }
  note_->setVisible(!note_->text().isEmpty());
}

void MidiSettingsWindow::done(int result) {
  if (const std::shared_ptr<sw::MIDIFilter>& output = client_.midiOutput()) output->setMuted(false);
  QDialog::done(result);
}

MidiSettingsWindow::~MidiSettingsWindow() {
  if (const std::shared_ptr<sw::MIDIFilter>& output = client_.midiOutput()) output->setMuted(false);
}

void MidiSettingsWindow::accept() {
  form_->commit();
  std::optional<sw::MidiEndpoint> chosen;
  const QListWidgetItem* item = list_->currentItem();
  if (item && item->data(Qt::UserRole).isValid()) {
    const auto id = uint32_t(item->data(Qt::UserRole).toULongLong());
    for (const sw::MidiEndpoint& endpoint : client_.destinations())
      if (endpoint.uniqueID == id) chosen = endpoint;
  }
  client_.selectDestination(chosen, true);
  QDialog::accept();
}

}  // namespace swapp
