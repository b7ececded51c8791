#pragma once

// The second page's Options: what a conversion carries beyond the tables'
// columns, keys and rows. They start as the command line's defaults and last
// while the window is open; nothing is kept between sessions.

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace bracken::ui {

struct ConversionChoices {
  // InnoDB instead of MyISAM for the created tables; only InnoDB keeps the
  // file's relationships as foreign keys.
  bool innoDb = false;
  // Default values, CHECK constraints from validation rules, and comments
  // from descriptions.
  bool rules = true;
  // The file's saved queries as views and procedures.
  bool queries = true;
  // OLE Object columns as the files their values hold, with each file's
  // name and MIME type beside it (the command line's --ole-objects files);
  // off, they hold the containers as Access holds them.
  bool oleFiles = false;
};

class COptionsDlg : public QDialog {
  Q_OBJECT

 public:
  COptionsDlg(const ConversionChoices& choices, QWidget* parent);

  // The choices as the dialog shows them now.
  ConversionChoices Choices() const;

 private:
  QComboBox* engine_;
  QCheckBox* rules_;
  QCheckBox* queries_;
  QCheckBox* oleFiles_;
};

}  // namespace bracken::ui
