#pragma once

// A list with a check square in front of every row: single selection,
// unsorted (rows keep the order in which they were added). Names longer
// than the list is wide scroll sideways and show whole as tooltips.

#include <QListWidget>

namespace bracken::ui {

class CheckListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CheckListBox(QWidget* parent);

  // Adds a row at the end, its mark off.
  void AddItem(const QString& text);
  bool IsMarked(int row) const;
  // Changes a mark without reporting it as the user's change.
  void SetMarked(int row, bool marked);

 signals:
  // The user turned a mark on or off (click on the square, space bar).
  void MarkChangedByUser(int row);
  // The user selected a row (click or keyboard move).
  void SelectionChangedByUser(int row);

 private:
  bool settingMark_ = false;
};

}  // namespace bracken::ui
