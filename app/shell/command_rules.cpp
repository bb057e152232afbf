#include "shell/command_rules.h"

#include "base/settings_store.h"

namespace swapp {

namespace {

const QStringList kSelectionCommands = {
    QStringLiteral("showInfo"),     QStringLiteral("edit"),        QStringLiteral("doRevealInFinder"),
    QStringLiteral("doLaunch")};

}  // namespace

QString CommandRules::batchMenuCommand(const QString& batchName) { return QStringLiteral("ask") + batchName; }

QString CommandRules::batchToolbarIdentifier(const QString& batchName) {
  if (batchName.isEmpty()) return batchName;
  return batchName.left(1).toLower() + batchName.mid(1);
}

bool CommandRules::toolbarItemEnabled(const QString& identifier, const CommandState& state) {
  if (identifier == QLatin1String("info") || identifier == QLatin1String("edit")) return state.selectedFiles > 0;
  static const QStringList always = {QStringLiteral("browse"), QStringLiteral("showLog"),
                                     QStringLiteral("showPreferences"), QString::fromLatin1(kSeparatorItem),
                                     QString::fromLatin1(kSpaceItem), QString::fromLatin1(kFlexibleSpaceItem)};
  if (always.contains(identifier)) return true;
  return state.selectedItems > 0;  // a batch command
}

bool CommandRules::menuCommandEnabled(const QString& command, const CommandState& state) {
  if (command == QLatin1String("doMusicDeviceSetup")) return state.synthesizerPlays;
  if (kSelectionCommands.contains(command) || command.startsWith(QLatin1String("ask")))
    return state.browserIsKey && state.selectedItems > 0;
  return true;
}

QStringList CommandRules::allowedToolbarItems(const QStringList& batchNames) {
  QStringList items = {QString::fromLatin1(kSeparatorItem), QString::fromLatin1(kSpaceItem),
                       QString::fromLatin1(kFlexibleSpaceItem), QStringLiteral("browse"), QStringLiteral("info"),
                       QStringLiteral("edit")};
  for (const QString& name : batchNames) items << batchToolbarIdentifier(name);
  items << QStringLiteral("showLog") << QStringLiteral("showPreferences");
  return items;
}

QStringList CommandRules::defaultToolbarItems(const QStringList& batchNames) {
  QStringList items = {QStringLiteral("browse"), QString::fromLatin1(kFlexibleSpaceItem), QStringLiteral("info"),
                       QStringLiteral("edit"), QString::fromLatin1(kSeparatorItem)};
  for (const char* name : {"Fix", "Convert", "Compand"})
    if (batchNames.contains(QLatin1String(name))) items << batchToolbarIdentifier(QLatin1String(name));
  return items;
}

QStringList CommandRules::toolbarItems(const sw::SettingsStore& store, const QStringList& batchNames) {
  const std::optional<sw::SettingValue> saved = store.objectForKey(kToolbarKey);
  if (!saved || !saved->isArray()) return defaultToolbarItems(batchNames);
  const QStringList allowed = allowedToolbarItems(batchNames);
  QStringList items;
  for (const sw::SettingValue& value : saved->arrayValue()) {
    const QString item = QString::fromStdString(value.stringValue());
    if (!allowed.contains(item)) continue;
    const bool repeatable = item == QLatin1String(kSeparatorItem) || item == QLatin1String(kSpaceItem) ||
                            item == QLatin1String(kFlexibleSpaceItem);
    if (repeatable || !items.contains(item)) items << item;
  }
  return items;
}

void CommandRules::saveToolbarItems(sw::SettingsStore& store, const QStringList& items) {
  sw::SettingValue::Array array;
  for (const QString& item : items) array.emplace_back(item.toStdString());
  store.setObject(kToolbarKey, std::move(array));
}

}  // namespace swapp
