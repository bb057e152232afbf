#include "browser/info_panel.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/midi_file_item.h"
#include "smf/midi_sequence.h"
#include "text/string_encoding.h"
#include "transport/transport_bar.h"

namespace swapp {

namespace {

QString fieldTitle(InfoPanel::TextField field) {
  switch (field) {
    case InfoPanel::kSequenceName:
      return QObject::tr("Sequence name:");
    case InfoPanel::kTitle:
      return QObject::tr("Title:");
    case InfoPanel::kAuthor:
      return QObject::tr("Author:");
    default:
      return QObject::tr("Copyright:");
  }
}

}  // namespace

InfoPanel::InfoPanel(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Info"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  nameLabel_ = new QLabel;
  QFont bold = nameLabel_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  nameLabel_->setFont(bold);
  nameLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(nameLabel_);
  recordLabel_ = new QLabel;
  recordLabel_->setTextFormat(Qt::RichText);
  recordLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(recordLabel_);
  diagnosisLabel_ = new QLabel;
  diagnosisLabel_->setWordWrap(true);
  layout->addWidget(diagnosisLabel_);

  auto* form = new QFormLayout;
  for (int field = 0; field < kTextFieldCount; ++field) {
    fields_[field] = new QLineEdit;
    form->addRow(fieldTitle(TextField(field)), fields_[field]);
  }
  layout->addLayout(form);

  transport_ = new TransportBar;
  layout->addWidget(transport_);

  auto* buttons = new QHBoxLayout;
  previousButton_ = new QPushButton(tr("Previous"));
  nextButton_ = new QPushButton(tr("Next"));
  auto* cancel = new QPushButton(tr("Cancel"));
  auto* ok = new QPushButton(tr("OK"));
  ok->setDefault(true);
  for (QPushButton* button : {previousButton_, nextButton_}) buttons->addWidget(button);
  buttons->addStretch(1);
  for (QPushButton* button : {cancel, ok}) buttons->addWidget(button);
  connect(previousButton_, &QPushButton::clicked, this, [this] { commitAndStep(kPrevious); });
  connect(nextButton_, &QPushButton::clicked, this, [this] { commitAndStep(kNext); });
  connect(ok, &QPushButton::clicked, this, [this] { commitAndStep(kClose); });
  connect(cancel, &QPushButton::clicked, this, &InfoPanel::discardAndClose);
  layout->addLayout(buttons);
  resize(520, sizeHint().height());
}

InfoPanel::~InfoPanel() { transport_->stop(); }

void InfoPanel::showFile(const QString& path, const sw::FileInformation* information) {
  path_ = path;
  nameLabel_->setText(QFileInfo(path).fileName());
  nameLabel_->setToolTip(path);
  fillRecord(information);
  const std::array<std::string, kTextFieldCount> texts =
      information ? std::array<std::string, kTextFieldCount>{information->sequenceName, information->title,
                                                             information->author, information->copyright}
                  : std::array<std::string, kTextFieldCount>{};
  for (int field = 0; field < kTextFieldCount; ++field) {
    shownTexts_[field] = QString::fromStdString(texts[field]);
    fields_[field]->setText(shownTexts_[field]);
    fields_[field]->setEnabled(information != nullptr);
  }
  // The transport plays the file as it is on disk.
  std::shared_ptr<sw::MidiSequence> sequence;
  if (information && information->readable) {
    sw::OSStatus status = sw::noErr;
    sequence = std::make_shared<sw::MidiSequence>(path.toStdString(), 0, &status);
    if (status != sw::noErr && sequence->count() == 0) sequence.reset();
  }
  transport_->setSequence(sequence);
}

void InfoPanel::fillRecord(const sw::FileInformation* info) {
  if (!info) {
    recordLabel_->setText(tr("<i>Reading the file…</i>"));
    diagnosisLabel_->clear();
    return;
  }
  QStringList resets;
  for (const std::string& reset : info->resets) resets << QString::fromStdString(reset);
  const QLocale locale;
  const QString row = QStringLiteral("<tr><td align=right><b>%1</b></td><td>%2</td></tr>");
  QString html = QStringLiteral("<table cellspacing=2>");
  html += row.arg(tr("Format"), QString::number(info->format));
  html += row.arg(tr("Tracks"), QString::number(info->tracks));
  html += row.arg(tr("Division"), QString::number(info->division));
  html += row.arg(tr("Tempo"), tr("%1 BPM").arg(info->tempo));
  html += row.arg(tr("Duration"), QString::fromStdString(info->duration));
  html += row.arg(tr("Karaoke"), info->karaokeType.empty() ? tr("none") : QString::fromStdString(info->karaokeType));
  html += row.arg(tr("Chords"), info->hasChords ? tr("yes") : tr("no"));
  html += row.arg(tr("Resets"), resets.isEmpty() ? tr("none") : resets.join(QLatin1Char(' ')));
  html += row.arg(tr("Size"), locale.formattedDataSize(QFileInfo(path_).size()));
  auto code = [this](const std::string& text) {
    return text.find_first_not_of(std::string("\0 ", 2)) == std::string::npos ? tr("none")
                                                                               : QString::fromStdString("'" + text + "'").toHtmlEscaped();
  };
  html += row.arg(tr("Type / creator"), code(info->type) + QStringLiteral(" / ") + code(info->creator));
  html += row.arg(tr("Encoding"), QString::fromStdString(sw::nameOfEncoding(info->encoding.encoding)).toHtmlEscaped());
  html += QStringLiteral("</table>");
  recordLabel_->setText(html);
  diagnosisLabel_->setText(info->bugExplanation.empty() ? tr("No defects found.")
                                                        : QString::fromStdString(info->bugExplanation));
}

bool InfoPanel::isDirty() const {
  for (int field = 0; field < kTextFieldCount; ++field)
    if (fields_[field]->isEnabled() && fields_[field]->text() != shownTexts_[field]) return true;
  return false;
}

sw::Error InfoPanel::commitChanges() {
  if (!isDirty()) return {};
  sw::MidiFileItem item(path_.toStdString(), nullptr);
  if (const sw::OSStatus status = item.updateInfo(); status != sw::noErr)
    return sw::Error{status, path_.toStdString(), "The file could not be read."};
  // Only the texts the user changed are written; the others stay as the file has them.
  for (int field = 0; field < kTextFieldCount; ++field) {
    if (fields_[field]->text() == shownTexts_[field]) continue;
    std::string text = fields_[field]->text().toStdString();
    switch (field) {
      case kSequenceName:
        item.setSequenceName(std::move(text));
        break;
      case kTitle:
        item.setTitle(std::move(text));
        break;
      case kAuthor:
        item.setAuthor(std::move(text));
        break;
      default:
        item.setCopyright(std::move(text));
    }
  }
  if (const sw::OSStatus status = item.doCommitChanges(); status != sw::noErr)
    return sw::Error{status, path_.toStdString(), "The texts could not be written."};
  for (int field = 0; field < kTextFieldCount; ++field) shownTexts_[field] = fields_[field]->text();
  emit fileWritten(path_);
  return {};
}

void InfoPanel::commitAndStep(int step) {
  wasPlaying_ = transport_->isPlaying();
  transport_->stop();
  if (const sw::Error error = commitChanges(); error.status != sw::noErr) {
    QMessageBox box(QMessageBox::Warning, tr("Scorewell"), QString::fromStdString(error.message), QMessageBox::Ok, this);
    box.setInformativeText(QStringLiteral("%1\n%2").arg(QString::fromStdString(error.path),
                                                        QString::fromStdString(sw::statusDescription(error.status))));
    box.exec();
    return;  // the panel stays on the file
  }
  if (step == kClose) {
    accept();
    return;
  }
  emit stepRequested(step == kPrevious ? -1 : +1);
  if (wasPlaying_) transport_->play();
}

void InfoPanel::discardAndClose() {
  for (int field = 0; field < kTextFieldCount; ++field) fields_[field]->setText(shownTexts_[field]);
  transport_->stop();
  QDialog::reject();
}

void InfoPanel::reject() { discardAndClose(); }

}  // namespace swapp
