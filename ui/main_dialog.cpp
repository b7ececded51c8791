#include "ui/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimerEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ui/check_list_box.h"
#include "ui/dialog_units.h"
#include "ui/image_button.h"
#include "ui/palette.h"
#include "ui/panel_box.h"
#include "ui/picture.h"
#include "ui/resources.h"
#include "ui/screen_fit.h"
#include "ui/stepped_progress_bar.h"
#include "ui/tabbed_label.h"
#include "ui/wizard_pages.h"

namespace bracken::ui {

namespace {

constexpr const char* kCaption = "Quillon Database Converter - Bracken";
constexpr const char* kPleaseWait = "Please wait.. Database conversion is in progress.";
constexpr QSize kButtonSize(70, 61);
constexpr QSize kLogoSize(73, 66);

QLineEdit* MakeEdit(QWidget* parent, bool password) {
  auto* edit = new QLineEdit(parent);
  if (password) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QLabel* MakeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QGroupBox* MakePanel(const QString& title, QWidget* parent) { return new PanelBox(title, parent); }

ButtonImages Images(const char* name, bool withDisabled = true) {
  const QString base = QStringLiteral(":/images/%1").arg(QLatin1String(name));
  return {base + ".svg", base + "_pressed.svg", withDisabled ? base + "_disabled.svg" : QString()};
}

QIcon WindowIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/icons/bracken-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

// The default end of the process while a conversion still runs: no waiting
// for the worker and no destructors that could touch its connection.
void EndProcessNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace

CBrackenDlg::CBrackenDlg(QWidget* parent) : QDialog(parent), endProcess_(EndProcessNow) {
  RegisterResources();
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(kCaption));
  setWindowIcon(WindowIcon());
  setFixedSize(ToPixels(418, 324));
  setFont(DialogFont());

  CreateTemplateControls();
  CreateImageButtons();
  ApplyFontsAndColours();
  FollowDialogFont(this);
  WidenCutOffTexts();
  SetTabOrder();
  InstallKeyFilter();
  hostEdit_->setText(QStringLiteral("localhost"));
  ShowFirstPageOnly();
  hostEdit_->setFocus(Qt::OtherFocusReason);
  if (QScreen* shown = screen(); shown && FitOnScreen(this, shown->availableGeometry()) < 1.0) {
    // Smaller fonts, but check marks and frames keep the style's size.
    WidenCutOffTexts();
  }
}

CBrackenDlg::~CBrackenDlg() {
  // A run still going holds on to this window; it is asked to stop after
  // its current table, and its requests are served until it has returned.
  if (run_) run_->stopRequested = true;
  while (conversionWorker.IsRunning() || forwardWorker_.IsRunning()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

template <typename Widget>
Widget* CBrackenDlg::Add(int id, Widget* widget) {
  widget->setObjectName(QString::number(id));
  controls_.insert(id, widget);
  return widget;
}

QWidget* CBrackenDlg::Control(int id) const { return controls_.value(id, nullptr); }

void CBrackenDlg::CreateTemplateControls() {
  auto place = [](QWidget* widget, DialogUnitRect r) { widget->setGeometry(ToPixels(r)); };

  loginEdit_ = Add(1011, MakeEdit(this, false));
  place(loginEdit_, {77, 135, 89, 14});
  passwordEdit_ = Add(1012, MakeEdit(this, true));
  place(passwordEdit_, {77, 165, 89, 14});
  browse_ = Add(1000, new QPushButton(QStringLiteral("B&rowse"), this));
  place(browse_, {343, 125, 58, 17});
  passwordProtected_ = Add(1022, new QCheckBox(QStringLiteral("If &Password Protected:"), this));
  place(passwordProtected_, {241, 163, 83, 10});
  databasePasswordEdit_ = Add(1008, MakeEdit(this, true));
  place(databasePasswordEdit_, {330, 160, 71, 14});
  databasePasswordEdit_->setEnabled(false);
  hostEdit_ = Add(1010, MakeEdit(this, false));
  place(hostEdit_, {77, 105, 89, 14});
  pathEdit_ = Add(1018, MakeEdit(this, false));
  place(pathEdit_, {253, 106, 148, 14});
  pathEdit_->setReadOnly(true);
  place(Add(1013, new TabbedLabel(QStringLiteral("MySQL Server\t:"), this)), {19, 108, 54, 8});
  place(Add(1014, MakeLabel(QStringLiteral("Login Name"), this)), {19, 138, 38, 8});
  place(Add(1015, MakeLabel(QStringLiteral("Password"), this)), {19, 168, 32, 8});
  place(Add(1021, MakePanel(QStringLiteral("MS Access"), this)), {238, 76, 171, 119});
  place(Add(1017, MakeLabel(QStringLiteral("Select MS Access Database:"), this)),
        {253, 96, 143, 8});
  place(Add(1016, MakePanel(QStringLiteral("MySQL"), this)), {10, 76, 171, 119});

  destinationEdit_ = Add(1019, MakeEdit(this, false));
  place(destinationEdit_, {15, 111, 156, 14});
  place(Add(1020, MakeLabel(QStringLiteral("Enter MySQL Destination Database Name:"), this)),
        {15, 98, 136, 8});
  auto* instruction =
      Add(1035, MakeLabel(QStringLiteral("Select MS Access Table(s) from right panel listbox to "
                                         "convert into MySQL database. You can select one or more "
                                         "than one or All tables."),
                          this));
  instruction->setWordWrap(true);
  place(instruction, {13, 151, 156, 26});
  place(Add(1036, MakePanel(QStringLiteral("Enter Database Name"), this)), {9, 77, 172, 118});
  place(Add(1023, MakePanel(QStringLiteral("Select MS Access Table(s)"), this)),
        {237, 76, 172, 118});
  tableList_ = Add(1003, new CheckListBox(this));
  place(tableList_, {243, 89, 159, 88});
  selectAll_ = Add(1024, new QCheckBox(QStringLiteral("&Select All"), this));
  place(selectAll_, {243, 181, 69, 10});
  // Options has no place in the template: it sits beneath the name's panel,
  // on the second page only, and hides with Convert while a run goes on.
  options_ = new QPushButton(QStringLiteral("&Options..."), this);
  options_->setObjectName(QStringLiteral("options"));
  options_->setAutoDefault(false);
  place(options_, {9, 201, 58, 14});
  tableCount_ = Add(1037, MakeLabel(QString(), this));
  place(tableCount_, {330, 207, 24, 8});
  place(Add(1039, MakeLabel(QStringLiteral("Total number of Table(s) :"), this)),
        {244, 207, 84, 8});

  activityBar_ = Add(1030, new SteppedProgressBar(SteppedProgressBar::Look::Smooth, this));
  place(activityBar_, {10, 237, 198, 11});
  tableBar_ = Add(1031, new SteppedProgressBar(SteppedProgressBar::Look::Segmented, this));
  place(tableBar_, {10, 261, 197, 11});
  stop_ = Add(1032, new ImageButton(Images("stop", false), kButtonSize, this));
  stop_->setText(QStringLiteral("STOP"));
  stop_->setAccessibleName(QStringLiteral("STOP"));
  place(stop_, {217, 235, 46, 37});
  stop_->SetFixedImageSize(stop_->size());
  // The progress text takes the window's width and grows upwards to a
  // second line, so a longer notice (a wait for another client's lock, a
  // pending STOP) shows whole; one line stays where the template has it.
  pleaseWait_ = Add(1040, MakeLabel(QString::fromUtf8(kPleaseWait), this));
  pleaseWait_->setWordWrap(true);
  pleaseWait_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  place(pleaseWait_, {10, 216, 398, 16});
  place(Add(1041, MakeLabel(QString(), this)), {10, 250, 194, 8});
  // The rows of the table being copied, beside STOP.
  rowsLabel_ = Add(1043, MakeLabel(QString(), this));
  place(rowsLabel_, {268, 250, 140, 8});

  const QRect arrow = ToPixels(DialogUnitRect{186, 88, 47, 95});
  pictures_ << MakePicture(QStringLiteral(":/images/arrow.svg"), arrow.topLeft(), QSize(70, 155),
                           this);
  pictures_ << MakePicture(QStringLiteral(":/images/banner.svg"), QPoint(0, 0), QSize(627, 89),
                           this);
  pictures_[0]->setObjectName(QStringLiteral("arrow"));
  pictures_[1]->setObjectName(QStringLiteral("banner"));

  // Each edit is known to assistive tools by the label in front of it.
  const int buddies[][2] = {{1013, 1010}, {1014, 1011}, {1015, 1012}, {1017, 1018}, {1020, 1019}};
  for (const auto& [label, edit] : buddies) {
    static_cast<QLabel*>(Control(label))->setBuddy(Control(edit));
  }

  for (int id : {1021, 1016, 1036, 1023}) panels_ << static_cast<QGroupBox*>(Control(id));
  for (QGroupBox* panel : panels_) panel->lower();
  for (QWidget* picture : pictures_) picture->lower();

  connect(browse_, &QPushButton::clicked, this, &CBrackenDlg::OnBrowse);
  connect(passwordProtected_, &QCheckBox::clicked, this, &CBrackenDlg::OnPasswordProtectedClicked);
  connect(selectAll_, &QCheckBox::clicked, this, &CBrackenDlg::OnSelectAllClicked);
  connect(options_, &QPushButton::clicked, this, &CBrackenDlg::OnOptions);
  connect(tableList_, &CheckListBox::MarkChangedByUser, this, &CBrackenDlg::RefreshSelection);
  connect(tableList_, &CheckListBox::SelectionChangedByUser, this, &CBrackenDlg::RefreshSelection);
  connect(stop_, &QAbstractButton::clicked, this, &CBrackenDlg::OnStop);
}

void CBrackenDlg::CreateImageButtons() {
  // Each picture button but the logo answers Alt and the letter its tip
  // underlines; only a visible, enabled button takes its key.
  auto make = [this](int id, const ButtonImages& images, QSize size, QPoint at, const char* name,
                     Qt::Key mnemonic = Qt::Key_unknown) {
    auto* button = Add(id, new ImageButton(images, size, this));
    button->setAccessibleName(QString::fromUtf8(name));
    button->move(at);
    if (mnemonic != Qt::Key_unknown) {
      button->setShortcut(QKeySequence(Qt::ALT | mnemonic));
      button->setToolTip(QStringLiteral("%1 (%2)").arg(
          QString::fromUtf8(name), button->shortcut().toString(QKeySequence::NativeText)));
    } else {
      button->setToolTip(QString::fromUtf8(name));
    }
    return button;
  };
  logo_ = make(1025, Images("logo", false), kLogoSize, {20, 7}, "About");
  convert_ = make(1004, Images("convert"), kButtonSize, {535, 455}, "Convert", Qt::Key_C);
  help_ = make(1005, Images("help"), kButtonSize, {395, 455}, "Help", Qt::Key_H);
  exit_ = make(1006, Images("exit"), kButtonSize, {465, 455}, "Exit", Qt::Key_X);
  next_ = make(1001, Images("next"), kButtonSize, {535, 455}, "Next", Qt::Key_N);
  const QString greyed = QStringLiteral(":/images/convert_greyed.svg");
  converting_ = make(1007, {greyed, greyed, greyed}, kButtonSize, {535, 455}, "Converting");
  back_ = make(1009, Images("back"), kButtonSize, {326, 455}, "Back", Qt::Key_B);

  connect(logo_, &QAbstractButton::clicked, this, &CBrackenDlg::OpenAbout);
  connect(convert_, &QAbstractButton::clicked, this, &CBrackenDlg::OnConvert);
  connect(help_, &QAbstractButton::clicked, this, &CBrackenDlg::OpenHelp);
  connect(exit_, &QAbstractButton::clicked, this, &CBrackenDlg::OnExit);
  connect(next_, &QAbstractButton::clicked, this, &CBrackenDlg::OnNext);
  connect(back_, &QAbstractButton::clicked, this, &CBrackenDlg::OnBack);
}

void CBrackenDlg::ApplyFontsAndColours() {
  PaintPanelBackground(this);
  const QFont title = PanelTitleFont();
  for (QGroupBox* panel : panels_) panel->setFont(title);
  for (int id : {1013, 1014, 1015, 1017, 1022, 1016, 1021, 1020, 1035, 1036, 1024, 1023, 1040, 1039,
                 1037, 1041, 1043}) {
    ColourAsPanelText(Control(id));
  }
  ColourAsPathEdit(pathEdit_);
}

// The desktop's fonts are not the template's: a label or check box whose
// text would be cut off is widened towards its text's width, as far as it
// can go without covering another control of its page. An edit in the way
// (the database password's) gives up to a quarter of its width.
void CBrackenDlg::WidenCutOffTexts() {
  for (auto it = controls_.begin(); it != controls_.end(); ++it) {
    QWidget* control = it.value();
    auto* label = qobject_cast<QLabel*>(control);
    const bool fixedText = (label != nullptr && !label->wordWrap() && !label->text().isEmpty()) ||
                           qobject_cast<QCheckBox*>(control) != nullptr;
    if (!fixedText) continue;
    const int wanted = control->x() + control->sizeHint().width();
    int right = wanted;
    QWidget* blocker = nullptr;
    for (auto other = controls_.begin(); other != controls_.end(); ++other) {
      const QRect area = other.value()->geometry();
      const bool samePage = pages::OnFirstPage(other.key()) == pages::OnFirstPage(it.key());
      const bool sameRow =
          area.top() <= control->geometry().bottom() && area.bottom() >= control->geometry().top();
      if (other.value() != control && samePage && sameRow && area.left() > control->x() &&
          !qobject_cast<QGroupBox*>(other.value()) && area.left() - 1 < right) {
        right = area.left() - 1;
        blocker = other.value();
      }
    }
    if (wanted > right && qobject_cast<QLineEdit*>(blocker) != nullptr) {
      const int given = std::min(wanted - right, blocker->width() / 4);
      blocker->setGeometry(blocker->geometry().adjusted(given, 0, 0, 0));
      right += given;
    }
    if (right - control->x() > control->width())
      control->resize(right - control->x(), control->height());
  }
  // Check marks and edit frames keep the style's size where the fonts are
  // made smaller to fit a small screen: such a control grows to the height
  // it needs, on the same middle line.
  for (QWidget* control : std::as_const(controls_)) {
    const bool framed = qobject_cast<QCheckBox*>(control) || qobject_cast<QLineEdit*>(control);
    const int height = control->minimumSizeHint().height();
    if (framed && height > control->height()) {
      control->setGeometry(control->x(), control->geometry().center().y() - height / 2,
                           control->width(), height);
      // Grown, it may reach a panel's frame line: the window's own background
      // shows through instead of covering that line.
      if (qobject_cast<QCheckBox*>(control)) control->setAutoFillBackground(false);
    }
  }
}

// Tab follows each page's layout: the fields from the top, then the step
// forward, Help, Exit and the logo. Hidden and disabled controls are passed
// over, so one ring serves both pages and the progress area.
void CBrackenDlg::SetTabOrder() {
  const int order[] = {1010, 1011, 1012, 1018, 1000, 1022, 1008, 1001, 1003,
                       1024, 1019, 1009, 1004, 1005, 1006, 1032, 1025};
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(Control(order[i - 1]), Control(order[i]));
  }
  // Options, which the template does not have, comes after Exit.
  setTabOrder(exit_, options_);
  setTabOrder(options_, stop_);
  // Labels, panels, bars and the greyed picture never take the focus.
  converting_->setFocusPolicy(Qt::NoFocus);
}

void CBrackenDlg::InstallKeyFilter() {
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void CBrackenDlg::ShowFirstPageOnly() {
  for (int id : pages::kSecondPage) Control(id)->setVisible(false);
  for (int id : pages::kProgressArea) Control(id)->setVisible(false);
  options_->setVisible(false);
}

void CBrackenDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The first thing to type is the server, over the text it starts with.
  if (!shownOnce_) {
    shownOnce_ = true;
    hostEdit_->setFocus(Qt::OtherFocusReason);
    hostEdit_->selectAll();
  }
}

bool CBrackenDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto* press = static_cast<QKeyEvent*>(event);
  const int key = press->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    // Enter presses Browse when Browse has the focus and does nothing
    // anywhere else: it never closes the window or presses an image button
    // (Alt and the button's letter does).
    return watched != browse_;
  }
  // Alt with a letter is a mnemonic: one that no control takes must not
  // type its letter into a field either.
  const Qt::KeyboardModifiers held = press->modifiers();
  if ((held & Qt::AltModifier) && !(held & (Qt::ControlModifier | Qt::MetaModifier)) &&
      !press->text().isEmpty() && press->text().front().isPrint()) {
    return true;
  }
  if (key == Qt::Key_Escape) {
    OnExit();
    return true;
  }
  if (key == Qt::Key_F1) {
    OpenHelp();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CBrackenDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == activityTimer_.timerId()) {
    activityBar_->StepIt();
    return;
  }
  if (event->timerId() == captionTimer_.timerId()) {
    FlushCaption();
    return;
  }
  QDialog::timerEvent(event);
}

void CBrackenDlg::reject() { OnExit(); }

}  // namespace bracken::ui
