#include "browser/browser_filter_proxy.h"

#include "browser/browser_model.h"

namespace swapp {

int naturalCompare(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype endA = i, endB = j;
      while (endA < a.size() && a[endA].isDigit()) ++endA;
      while (endB < b.size() && b[endB].isDigit()) ++endB;
      // Without leading zeros, the longer run is the larger number.
      QStringView x = QStringView(a).mid(i, endA - i), y = QStringView(b).mid(j, endB - j);
      while (x.size() > 1 && x.front() == u'0') x = x.mid(1);
      while (y.size() > 1 && y.front() == u'0') y = y.mid(1);
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (const int order = x.compare(y); order != 0) return order < 0 ? -1 : 1;
      i = endA, j = endB;
      continue;
    }
    const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
    if (x != y) return QString::localeAwareCompare(QString(x), QString(y)) < 0 ? -1 : 1;
    ++i, ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return QString::compare(a, b);  // "a" and "A": a fixed order all the same
}

BrowserFilterProxy::BrowserFilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(BrowserModel::kSortRole);
  setDynamicSortFilter(true);
}

void BrowserFilterProxy::setFilterText(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed == filterText_) return;
  filterText_ = trimmed;
  invalidateRowsFilter();
}

void BrowserFilterProxy::setShowsOnlyDefective(bool only) {
  if (only == onlyDefective_) return;
  onlyDefective_ = only;
  invalidateRowsFilter();
}

bool BrowserFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  if (filterText_.isEmpty() && !onlyDefective_) return true;
  const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
  if (index.data(BrowserModel::kDirectoryRole).toBool()) return true;
  if (onlyDefective_ && !index.data(BrowserModel::kDefectiveRole).toBool()) return false;
  return filterText_.isEmpty() ||
         index.data(BrowserModel::kFilterTextRole).toString().contains(filterText_, Qt::CaseInsensitive);
}

bool BrowserFilterProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const QVariant a = left.data(BrowserModel::kSortRole);
  const QVariant b = right.data(BrowserModel::kSortRole);
  // Rows without a value (files still being read) come first.
  if (!a.isValid() || !b.isValid()) return !a.isValid() && b.isValid();
  if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString) {
    const int order = naturalCompare(a.toString(), b.toString());
    if (order != 0 || left.column() == kNameColumn) return order < 0;
  } else {
    const double x = a.toDouble(), y = b.toDouble();
    if (x != y) return x < y;
  }
  // Equal values keep a stable order by name.
  return naturalCompare(left.siblingAtColumn(kNameColumn).data().toString(),
                           right.siblingAtColumn(kNameColumn).data().toString()) < 0;
}

}  // namespace swapp
