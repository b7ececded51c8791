#pragma once

// The report at the end of a run that lost, changed or respelled anything:
// the run's closing message above every line it reported, with Save As to
// keep them as a text file and OK to close.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <thread>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace bracken::ui {

// Asks where to save the report, starting from the proposed path; returns
// the chosen path, or an empty text when the user cancels. The program asks
// with the desktop's file dialog; tests answer with a path of their own.
using ReportFileChooser = std::function<QString(QWidget* parent, const QString& proposedPath)>;

// Verifies the copy the run made, on a thread of its own, handing each line
// of its report to `report` (from that thread) as it comes.
using VerifyAction =
    std::function<void(const std::function<void(const std::string& line)>& report)>;

// The desktop's "Save As" dialog.
QString ChooseReportFileWithDialog(QWidget* parent, const QString& proposedPath);

// The report's text as saved: the message, then one line per entry, each
// ending with a newline. Line breaks inside an entry become spaces so that
// every entry stays one line.
QString ReportText(const QString& message, const QStringList& lines);

class CReportDlg : public QDialog {
  Q_OBJECT

 public:
  // proposedName is the file name Save As offers, in the user's home folder.
  CReportDlg(const QString& message, const QStringList& lines, QWidget* parent,
             ReportFileChooser chooser = ChooseReportFileWithDialog,
             const QString& proposedName = QStringLiteral("Bracken report.txt"));

  ~CReportDlg() override;

  // Writes the report to path as UTF-8; on failure, says why in a message box
  // and returns false (the file is then left as it was).
  bool SaveTo(const QString& path);

  // Offers a button that verifies the copy against the file; its lines join
  // the report, so Save As keeps them too. Once, per window.
  void OfferVerify(VerifyAction action);
  bool Verifying() const { return verifier_.joinable(); }

 protected:
  // The window stays while verify runs.
  void reject() override;

 private:
  void OnSaveAs();
  void OnVerify();
  void AppendLine(const QString& line);
  void OnVerifyDone();

  QString message_;
  QStringList lines_;
  ReportFileChooser chooser_;
  QString proposedPath_;
  QLabel* messageLabel_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* verify_ = nullptr;
  VerifyAction verifyAction_;
  std::thread verifier_;
};

}  // namespace bracken::ui
