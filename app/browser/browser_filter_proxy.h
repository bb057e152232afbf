// Sorting and filtering over the browser's outline: any column sorts (numbers as numbers, names
// in natural order), each folder's entries among themselves; the filter keeps the files whose
// name, title, author, karaoke type or diagnosis holds the text, and, when asked, only files
// with defects. Folders always stay, so their entries can still be reached.
#pragma once

#include <QSortFilterProxyModel>

namespace swapp {

class BrowserFilterProxy : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit BrowserFilterProxy(QObject* parent = nullptr);

  QString filterText() const { return filterText_; }
  void setFilterText(const QString& text);
  bool showsOnlyDefective() const { return onlyDefective_; }
  void setShowsOnlyDefective(bool only);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  QString filterText_;
  bool onlyDefective_ = false;
};

}  // namespace swapp
