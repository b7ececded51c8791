#pragma once

// What the conversion needs from the window that shows it. The dialog
// implements it by carrying out each request on the interface thread, in the
// order given, while the worker waits for it; tests implement it with a
// recorder and bracken-cli with a console. Controls are addressed by their
// dialog ids (see engine/control_ids.h). Every call comes from the worker.

#include <string>
#include <vector>

namespace bracken::engine {

// YesNo: Yes is the default button. YesNoDefaultNo: No is the default, for
// questions whose Yes destroys data; Enter and Esc both answer No.
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
// Warning: the icon the desktop shows for destructive questions. Error: a
// failure the program names in its own words, where no other icon is fixed.
enum class MessageIcon { None, Information, Question, Warning, Error };
enum class MessageAnswer { Ok, Yes, No };

class ConversionOwner {
 public:
  virtual ~ConversionOwner() = default;

  // A modal message box over the window; returns the button the user chose.
  // The conversion's messages carry no icon, but for the overwrite question.
  // A text may hold several paragraphs, separated by an empty line.
  virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    MessageButtons buttons, MessageIcon icon) = 0;

  // A row left out of the copy: refused by the server, too large to send or
  // unreadable. `text` is the message (the server's own text for a refusal),
  // `where` names the table and row when the text does not ("Table [Orders],
  // row 17."), else it is empty. The message shows like any other; a window
  // may let the user stop showing the rest of a run's refusals, which the
  // report lists anyway.
  virtual void ShowRowRefusal(const std::string& text, const std::string& caption,
                              const std::string& /*where*/) {
    ShowMessage(text, caption, MessageButtons::Ok, MessageIcon::None);
  }

  virtual void SetControlVisible(int id, bool visible) = 0;
  virtual void SetControlEnabled(int id, bool enabled) = 0;
  // Labels and edits (the status label 1041; the destination name edit 1019).
  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual std::string ControlText(int id) = 0;
  // Check boxes (Select All).
  virtual void SetChecked(int id, bool checked) = 0;
  // Rows of the check-list (the table list 1003).
  virtual int ListItemCount(int listId) = 0;
  virtual bool ListItemChecked(int listId, int row) = 0;
  virtual void SetListItemChecked(int listId, int row, bool checked) = 0;
  // Entry i = the table name of row i when its mark was on at the last update
  // (an empty text for rows never marked). Read once per run.
  virtual std::vector<std::string> SelectedTableNames() = 0;

  // Progress bars (the activity bar 1030 and the table bar 1031).
  virtual void SetProgressRange(int id, int low, int high) = 0;
  virtual void SetProgressStep(int id, int step) = 0;
  virtual void SetProgressPosition(int id, int position) = 0;
  virtual void StepProgress(int id) = 0;

  // The window's title; the row copy writes its progress here after each row.
  virtual void SetCaption(const std::string& caption) = 0;
  // Timer 1 drives the activity bar; each tick steps bar 1030 (the window's
  // own tick handler does that, not the run).
  virtual void StartTimer(int id, int periodMs) = 0;
  virtual void StopTimer(int id) = 0;

  // One line of the run's report: a name respelled, a column widened, a value
  // changed or left out, a row refused, a table cut short. A console prints
  // each line at once; the window keeps them for the end of the run.
  virtual void ReportLine(const std::string& line) = 0;
  // The end of a run that lost, changed or respelled anything: the closing
  // message and every line reported during the run, in a window that
  // scrolls and can save them as text (a console has printed them already).
  virtual void ShowReport(const std::string& message, const std::vector<std::string>& lines) = 0;
  // The rows the plan found in `table` before its copy starts: the count its
  // row progress runs against (a damaged or stale file's own count may
  // differ). Owners that show no such progress leave it.
  virtual void TableRowsFound(const std::string& /*table*/, long /*rows*/) {}
  // A line about how the run goes that is neither a message nor part of the
  // report (the command line prints it on standard error). Owners without
  // such a place leave it.
  virtual void Notice(const std::string& /*line*/) {}
};

}  // namespace bracken::engine
