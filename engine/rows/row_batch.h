#pragma once

// Rows of one table sent many to an INSERT, with the same outcome as one
// INSERT per row. The table is MyISAM and the session strict, so a refused
// row ends its statement and the rows before it stay: after a refusal the
// batch reads the table's row count to learn how many of its rows arrived,
// sends the refused row alone (so that its refusal is reported with the
// server's text for that row, as the one-row copy reports it) and goes on
// with the rest. The report lines and messages come in the order of the
// rows, and a row's value changes are reported only when it arrived.
//
// While the server stores one batch, the copy reads and writes the next:
// a full batch is started and its answer taken only when the next one is
// ready to go (or the copy needs everything sent).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/rows/row_copy.h"
#include "engine/rows/row_refusal.h"

namespace bracken::engine {

class RowBatch {
 public:
  // `insertStart` is "INSERT INTO `T` VALUES"; the table was created empty
  // just before the copy. `table` names it in messages.
  RowBatch(ConversionOwner& owner, ConversionContext& context, const std::string& table,
           std::string quotedTarget, std::string insertStart);
  // A batch still on its way is answered before the copy's end.
  ~RowBatch();
  RowBatch(const RowBatch&) = delete;
  RowBatch& operator=(const RowBatch&) = delete;

  // Whether a row whose tuple "(...)" has this many bytes may join a batch;
  // a larger one is sent alone.
  bool Takes(std::size_t tupleBytes) const;
  // Adds row `number` with its tuple and the value changes to report once
  // it arrived; sends the batch when it is full. False when the copy must
  // end (see Ending()).
  bool Add(std::string_view tuple, long number, const std::vector<std::string>& changes);
  // Sends what is pending and waits for every answer; false when the copy
  // must end.
  bool Flush();
  // A row of the table the copy sent without the batch arrived.
  void ArrivedAlone() { ++tableRows_; }
  // Waits for the answer of a batch still on its way, if any, without
  // looking at it, so that the connection is free: the copy ends.
  void Abandon();
  // Why the copy must end, after Add or Flush returned false.
  const CopyOutcome& Ending() const { return ending_; }

 private:
  struct Pending {
    long number;
    std::size_t offset;  // of the tuple in statement_
    std::size_t length;
    std::size_t firstChange, endChange;  // in changes_
  };

  // Starts the batch being filled, once the one on its way is answered.
  bool Launch();
  // Takes the answer of the batch on its way, if any.
  bool Settle();
  bool SendFrom(std::size_t from, std::optional<bool> firstAnswer);
  std::string StatementFrom(std::size_t from) const;
  bool SendAlone(const Pending& row);
  bool End(RowResult result);
  void Arrived(std::size_t from, std::size_t to);
  void Clear();

  ConversionOwner& owner_;
  ConversionContext& context_;
  const std::string& table_;
  std::string quotedTarget_;
  std::string insertStart_;
  std::size_t budget_;
  ProgressCaptions captions_;
  // The batch sent (or on its way) ...
  std::string statement_;
  std::vector<Pending> rows_;
  std::vector<std::string> changes_;
  bool onItsWay_ = false;
  // ... and the one being filled meanwhile.
  std::string fillStatement_;
  std::vector<Pending> fillRows_;
  std::vector<std::string> fillChanges_;
  long long tableRows_ = 0;  // rows the table holds after the last statement
  CopyOutcome ending_;
};

}  // namespace bracken::engine
