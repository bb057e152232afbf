#include "adapters/engine_adapters.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include "editing/editor_feedback.h"

namespace swapp {

QString ClipboardPasteboard::mimeTypeFor(const std::string& type) {
  if (type == sw::Pasteboard::kEventCollectionType) return QString::fromLatin1(kEventCollectionMimeType);
  if (type == sw::Pasteboard::kStringType) return QStringLiteral("text/plain");
  return QString::fromStdString(type);
}

void ClipboardPasteboard::clearContents() { pending_.clear(); }

void ClipboardPasteboard::setData(const std::string& type, const std::vector<uint8_t>& data) {
  pending_[mimeTypeFor(type)] = QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
  // The clipboard takes a complete set at once; every type written so far goes again.
  auto* mime = new QMimeData;
  for (const auto& [format, bytes] : pending_) mime->setData(format, bytes);
  QGuiApplication::clipboard()->setMimeData(mime);
}

std::optional<std::vector<uint8_t>> ClipboardPasteboard::data(const std::string& type) const {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  const QString format = mimeTypeFor(type);
  if (!mime || !mime->hasFormat(format)) return std::nullopt;
  const QByteArray bytes = mime->data(format);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

NotificationBridge::NotificationBridge(const std::vector<std::string>& names, QObject* parent) : QObject(parent) {
  for (const std::string& name : names) {
    tokens_.push_back(sw::NotificationCenter::shared().addObserver(
        name, [this](const std::string& posted, const sw::NotificationCenter::UserInfo& info) {
          QMap<QString, QString> userInfo;
          for (const auto& [key, value] : info) userInfo.insert(QString::fromStdString(key), QString::fromStdString(value));
          const QString qname = QString::fromStdString(posted);
          QMetaObject::invokeMethod(this, [this, qname, userInfo] { emit notified(qname, userInfo); },
                                    Qt::QueuedConnection);
        }));
  }
}

NotificationBridge::~NotificationBridge() {
  for (auto token : tokens_) sw::NotificationCenter::shared().removeObserver(token);
}

void installEditorFeedback() {
  sw::EditorFeedback::setBeepHandler([] { QApplication::beep(); });
  sw::EditorFeedback::setTrackAdditionHandler([](const sw::TrackAdditionPrompt& prompt) {
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::Question);
    box.setText(QString::fromStdString(prompt.message));
    box.setInformativeText(QString::fromStdString(prompt.informativeText));
    QPushButton* add = box.addButton(QString::fromStdString(prompt.addButton), QMessageBox::AcceptRole);
    box.addButton(QString::fromStdString(prompt.cancelButton), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == add;
  });
}

}  // namespace swapp
