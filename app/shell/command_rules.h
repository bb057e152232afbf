// When the browser's commands are enabled, and the toolbar's items: which exist, which are
// shown by default, and the user's arrangement kept under "browser_toolbar".
#pragma once

#include <QString>
#include <QStringList>

namespace sw {
class SettingsStore;
}

namespace swapp {

// What the rules look at.
struct CommandState {
  bool browserIsKey = false;  // the browser window is the active window
  int selectedItems = 0;      // rows selected, files and folders
  int selectedFiles = 0;      // selected rows that are files
  bool synthesizerPlays = false;  // the output has no destination endpoint
  bool browserShown = false;  // "showBrowserWindow"
};

// Toolbar identifiers; a batch command's item is its name with a lower-case first letter.
inline constexpr const char* kSeparatorItem = "separator";
inline constexpr const char* kSpaceItem = "space";
inline constexpr const char* kFlexibleSpaceItem = "flexibleSpace";

class CommandRules {
 public:
  // "info" and "edit" need a selected file; the batch commands a selected item; the rest are
  // always enabled.
  static bool toolbarItemEnabled(const QString& identifier, const CommandState& state);
  // Menu commands by their action names ("showInfo", "edit", "askFix"...): the commands on the
  // selection need the browser window active and an item selected; "doMusicDeviceSetup" needs
  // the synthesizer; everything else is enabled.
  static bool menuCommandEnabled(const QString& command, const CommandState& state);
  // The menu command of a batch command name ("Fix" → "askFix").
  static QString batchMenuCommand(const QString& batchName);
  static QString batchToolbarIdentifier(const QString& batchName);

  // Separator, space, flexible space, "browse", "info", "edit", the batch commands, "showLog",
  // "showPreferences".
  static QStringList allowedToolbarItems(const QStringList& batchNames);
  // "browse", flexible space, "info", "edit", separator, "fix", "convert", "compand" (those of
  // the batch commands that exist).
  static QStringList defaultToolbarItems(const QStringList& batchNames);
  // The saved arrangement without unknown items, else the default one.
  static QStringList toolbarItems(const sw::SettingsStore& store, const QStringList& batchNames);
  static void saveToolbarItems(sw::SettingsStore& store, const QStringList& items);
};

inline constexpr const char* kToolbarKey = "browser_toolbar";

}  // namespace swapp
