#include "ui/check_list_box.h"

namespace bracken::ui {

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSortingEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Long names show whole: the list scrolls sideways, and each row tells
  // its name as a tooltip.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideNone);
  setUniformItemSizes(true);
  connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!settingMark_) emit MarkChangedByUser(row(item));
  });
  connect(this, &QListWidget::currentRowChanged, this, [this](int current) {
    if (current >= 0) emit SelectionChangedByUser(current);
  });
}

void CheckListBox::AddItem(const QString& text) {
  auto* item = new QListWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  item->setToolTip(text);
  settingMark_ = true;
  addItem(item);
  settingMark_ = false;
}

bool CheckListBox::IsMarked(int row) const {
  const QListWidgetItem* it = item(row);
  return it != nullptr && it->checkState() == Qt::Checked;
}

void CheckListBox::SetMarked(int row, bool marked) {
  QListWidgetItem* it = item(row);
  if (it == nullptr) return;
  settingMark_ = true;
  it->setCheckState(marked ? Qt::Checked : Qt::Unchecked);
  settingMark_ = false;
}

}  // namespace bracken::ui
