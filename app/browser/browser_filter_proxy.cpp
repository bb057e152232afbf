#include "browser/browser_filter_proxy.h"

#include "browser/browser_model.h"

namespace swapp {

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
