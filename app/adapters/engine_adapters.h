// The engine's interfaces implemented for the desktop: the pasteboard on the system clipboard,
// notifications delivered on the main thread, and the editor's beep and track question.
#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/notification_center.h"
#include "editing/pasteboard.h"

namespace swapp {

// The clipboard MIME type of an event collection ("SWMidiEventCollectionType").
inline constexpr const char* kEventCollectionMimeType = "application/x-scorewell-midi-event-collection";

// Event collections travel as kEventCollectionMimeType, the rows' text as "text/plain" and
// "text/tab-separated-values", so a paste works between windows and into a spreadsheet.
class ClipboardPasteboard : public sw::Pasteboard {
 public:
  static QString mimeTypeFor(const std::string& type);

  void clearContents() override;
  void setData(const std::string& type, const std::vector<uint8_t>& data) override;
  std::optional<std::vector<uint8_t>> data(const std::string& type) const override;

 private:
  std::map<QString, QByteArray> pending_;
};

// Forwards the named engine notifications (posted on any thread) to the main thread.
class NotificationBridge : public QObject {
  Q_OBJECT
 public:
  NotificationBridge(const std::vector<std::string>& names, QObject* parent = nullptr);
  ~NotificationBridge() override;

 signals:
  void notified(const QString& name, const QMap<QString, QString>& userInfo);

 private:
  std::vector<sw::NotificationCenter::Token> tokens_;
};

// The beep of a refused value and the question "Do you want to add a new track?" as Qt
// dialogs. Installed once by the application.
void installEditorFeedback();

}  // namespace swapp
