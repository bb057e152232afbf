#include "settings/synthesizer_editor.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "base/run_loop.h"
#include "playback/fluidsynth/dls_music_device.h"
#include "playback/midi_client.h"
#include "playback/sound_bank_list.h"

namespace swapp {

namespace {

std::shared_ptr<sw::DLSMusicDevice> sharedSynthesizer() {
  const std::shared_ptr<sw::MIDIFilter>& output = sw::MIDIClient::sharedMIDIClient().midiOutput();
  sw::MusicDevice* device = output ? output->musicDevice() : nullptr;
  auto* synthesizer = dynamic_cast<sw::DLSMusicDevice*>(device);
  // The output owns the synthesizer for the whole run: an alias without ownership is safe.
  return synthesizer ? std::shared_ptr<sw::DLSMusicDevice>(std::shared_ptr<void>(), synthesizer) : nullptr;
}

}  // namespace

SynthesizerEditor::SynthesizerEditor(QWidget* parent) : SynthesizerEditor(sharedSynthesizer(), {}, parent) {}

SynthesizerEditor::SynthesizerEditor(std::shared_ptr<sw::DLSMusicDevice> device, std::vector<std::string> bankFolders,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), device_(std::move(device)) {
  setObjectName(QStringLiteral("synthesizer"));
  setWindowTitle(tr("Synthesizer[*]"));
  bankList_ = bankFolders.empty() ? std::make_unique<sw::SoundBankList>()
                                  : std::make_unique<sw::SoundBankList>(std::move(bankFolders));
  build();
}

SynthesizerEditor::~SynthesizerEditor() {
  if (device_) device_->setChangeObserver({});
}

void SynthesizerEditor::build() {
  auto* layout = new QVBoxLayout(this);
  if (!device_) {
    layout->addWidget(new QLabel(tr("The built-in synthesizer could not be started (no sound font found?)."), this));
    return;
  }
  auto* form = new QFormLayout;
  banks_ = new QComboBox(this);
  banks_->setObjectName(QStringLiteral("bank"));
  banks_->setMinimumWidth(320);
  form->addRow(tr("Sound bank:"), banks_);
  rooms_ = new QComboBox(this);
  rooms_->setObjectName(QStringLiteral("reverbRoom"));
  for (const sw::DLSMusicDevice::ReverbRoom& room : sw::DLSMusicDevice::reverbRooms())
    rooms_->addItem(tr(room.name));
  form->addRow(tr("Reverb room:"), rooms_);
  reverb_ = new QSlider(Qt::Horizontal, this);
  reverb_->setObjectName(QStringLiteral("reverbVolume"));
  reverb_->setRange(0, 100);
  form->addRow(tr("Reverb level:"), reverb_);
  tuning_ = new QSpinBox(this);
  tuning_->setObjectName(QStringLiteral("tuning"));
  tuning_->setRange(-1200, 1200);
  tuning_->setSuffix(tr(" cents"));
  form->addRow(tr("Tuning:"), tuning_);
  volumeOffset_ = new QDoubleSpinBox(this);
  volumeOffset_->setObjectName(QStringLiteral("volumeOffset"));
  volumeOffset_->setRange(-40.0, 12.0);
  volumeOffset_->setDecimals(1);
  volumeOffset_->setSuffix(tr(" dB"));
  form->addRow(tr("Volume trim:"), volumeOffset_);
  channels_ = new QComboBox(this);
  channels_->setObjectName(QStringLiteral("channelIndex"));
  channels_->addItem(QStringLiteral("L-R"), 0);
  for (int pair = 1; pair <= 4; ++pair) channels_->addItem(QStringLiteral("%1-%2").arg(2 * pair - 1).arg(2 * pair), pair);
  form->addRow(tr("Output channels:"), channels_);
  layout->addLayout(form);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* buttons = new QHBoxLayout;
  auto* folder = new QPushButton(tr("Show Sound Bank"), this);
  auto* factory = new QPushButton(tr("Factory Defaults"), this);
  auto* restore = new QPushButton(tr("Restore"), this);
  auto* save = new QPushButton(tr("Save"), this);
  save->setObjectName(QStringLiteral("save"));
  factory->setObjectName(QStringLiteral("factoryDefaults"));
  restore->setObjectName(QStringLiteral("restore"));
  buttons->addWidget(folder);
  buttons->addStretch(1);
  buttons->addWidget(factory);
  buttons->addWidget(restore);
  buttons->addWidget(save);
  layout->addLayout(buttons);

  auto edited = [this] {
    if (!refreshing_) setWindowModified(true);
  };
  connect(banks_, &QComboBox::activated, this, [this, edited](int index) {
    const QString path = banks_->itemData(index).toString();
    const sw::OSStatus status = device_->setBankPath(path.toStdString());
    status_->setText(status == sw::noErr ? QString() : tr("The bank could not be loaded (error %1).").arg(status));
    edited();
  });
  connect(rooms_, &QComboBox::activated, this, [this, edited](int index) {
    device_->setReverbRoomType(uint32_t(index));
    edited();
  });
  connect(reverb_, &QSlider::valueChanged, this, [this, edited](int value) {
    if (refreshing_) return;
    device_->setReverbVolume(value / 100.0);
    edited();
  });
  connect(tuning_, &QSpinBox::valueChanged, this, [this, edited](int cents) {
    if (refreshing_) return;
    device_->setTuning(cents);
    edited();
  });
  connect(volumeOffset_, &QDoubleSpinBox::valueChanged, this, [this, edited](double decibels) {
    if (refreshing_) return;
    device_->setVolumeOffset(decibels);
    edited();
  });
  connect(channels_, &QComboBox::activated, this, [this, edited](int index) {
    if (device_->setChannelIndex(uint64_t(channels_->itemData(index).toInt())) != sw::noErr)
      status_->setText(tr("The sound device has no such channels."));
    refresh();
    edited();
  });
  connect(save, &QPushButton::clicked, this, [this] {
    const sw::OSStatus status = device_->savePreset();
    status_->setText(status == sw::noErr ? QString() : tr("The settings could not be saved (error %1).").arg(status));
    if (status == sw::noErr) setWindowModified(false);
  });
  connect(restore, &QPushButton::clicked, this, [this] {
    device_->restorePreset();
    refresh();
    setWindowModified(false);
  });
  connect(factory, &QPushButton::clicked, this, [this] {
    device_->factoryDefaults();
    refresh();
    setWindowModified(true);
  });
  connect(folder, &QPushButton::clicked, this, [this] {
    const QString bank = QString::fromStdString(device_->bankPath());
    const QString target = bank.isEmpty() ? QString::fromStdString(bankList_->folders().empty()
                                                                         ? std::string()
                                                                         : bankList_->folders().front())
                                          : QFileInfo(bank).absolutePath();
    if (!target.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(target));
  });
  // Changes of the synthesizer (a preset applied elsewhere) show here.
  device_->setChangeObserver([self = QPointer<SynthesizerEditor>(this)](const std::string&) {
    QMetaObject::invokeMethod(qApp, [self] {
      if (self) self->refresh();
    }, Qt::QueuedConnection);
  });
  bankList_->setChangeHandler([this] { fillBanks(); });
  // The watcher reports on the engine's run loop of this thread, drained here.
  if (bankList_->startWatching()) {
    auto* pump = new QTimer(this);
    connect(pump, &QTimer::timeout, this, [] { sw::RunLoop::current()->runPending(); });
    pump->start(500);
  }
  refresh();
}

void SynthesizerEditor::fillBanks() {
  if (!banks_) return;
  const bool wasRefreshing = refreshing_;
  refreshing_ = true;
  banks_->clear();
  const std::string current = device_->bankPath();
  bool listed = false;
  for (const sw::SoundBankEntry& bank : bankList_->banks()) {
    banks_->addItem(QString::fromStdString(bank.name), QString::fromStdString(bank.path));
    banks_->setItemData(banks_->count() - 1, QString::fromStdString(bank.path), Qt::ToolTipRole);
    listed = listed || bank.path == current;
  }
  if (!listed && !current.empty())
    banks_->addItem(QString::fromStdString(device_->bankName()), QString::fromStdString(current));
  if (banks_->count() == 0) banks_->addItem(tr("(no sound bank found)"), QString());
  banks_->setCurrentIndex(std::max(0, banks_->findData(QString::fromStdString(current))));
  refreshing_ = wasRefreshing;
}

void SynthesizerEditor::refresh() {
  if (!device_ || !banks_) return;
  refreshing_ = true;
  fillBanks();
  rooms_->setCurrentIndex(int(device_->reverbRoomType()));
  reverb_->setValue(int(device_->reverbVolume() * 100.0 + 0.5));
  tuning_->setValue(device_->tuning());
  volumeOffset_->setValue(device_->volumeOffset().value_or(0.0));
  channels_->setCurrentIndex(std::max(0, channels_->findData(int(device_->channelIndex()))));
  refreshing_ = false;
}

}  // namespace swapp
