#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/palette.h"
#include "ui/resources.h"

namespace bracken::ui {

namespace {
constexpr int kMyIsam = 0;
constexpr int kInnoDb = 1;
}  // namespace

COptionsDlg::COptionsDlg(const ConversionChoices& choices, QWidget* parent) : QDialog(parent) {
  RegisterResources();
  setWindowTitle(QStringLiteral("Options"));
  setObjectName(QStringLiteral("options-dialog"));
  setFont(DialogFont());

  engine_ = new QComboBox(this);
  engine_->setObjectName(QStringLiteral("optionsEngine"));
  engine_->addItem(QStringLiteral("MyISAM"));
  engine_->addItem(QStringLiteral("InnoDB"));
  engine_->setCurrentIndex(choices.innoDb ? kInnoDb : kMyIsam);
  auto* engineLabel = new QLabel(QStringLiteral("&Storage engine:"), this);
  engineLabel->setBuddy(engine_);
  auto* engineNote = new QLabel(
      QStringLiteral("MyISAM has no foreign keys: the file's relationships become foreign keys "
                     "with InnoDB only."),
      this);
  engineNote->setWordWrap(true);

  rules_ =
      new QCheckBox(QStringLiteral("&Default values, validation rules and descriptions"), this);
  rules_->setObjectName(QStringLiteral("optionsRules"));
  rules_->setChecked(choices.rules);

  queries_ = new QCheckBox(QStringLiteral("Saved &queries as views and procedures"), this);
  queries_->setObjectName(QStringLiteral("optionsQueries"));
  queries_->setChecked(choices.queries);

  oleFiles_ = new QCheckBox(
      QStringLiteral("OLE objects as the &files they hold, with name and type columns"), this);
  oleFiles_->setObjectName(QStringLiteral("optionsOleFiles"));
  oleFiles_->setChecked(choices.oleFiles);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(engineLabel, engine_);
  form->addRow(QString(), engineNote);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(rules_);
  layout->addWidget(queries_);
  layout->addWidget(oleFiles_);
  layout->addStretch(1);
  layout->addWidget(buttons);
  setSizeGripEnabled(false);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  engineNote->setMinimumWidth(engineNote->fontMetrics().averageCharWidth() * 48);
}

ConversionChoices COptionsDlg::Choices() const {
  return {engine_->currentIndex() == kInnoDb, rules_->isChecked(), queries_->isChecked(),
          oleFiles_->isChecked()};
}

}  // namespace bracken::ui
