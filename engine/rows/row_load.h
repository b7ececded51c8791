#pragma once

// Rows of one table sent by LOAD DATA LOCAL INFILE from memory, many
// batches' worth in one chunk, with the same outcome as the batched INSERTs
// (row_batch.h) and so as one INSERT per row.
//
// LOCAL makes the server skip a duplicate and cut or replace a value it
// cannot store, with a warning, where an INSERT in strict mode refuses the
// row. So a chunk counts only when the server stored every row of it
// without a warning; any other chunk is undone and its rows go to the
// batched INSERTs, which refuse and report each such row as always.
//  - InnoDB: a chunk is one transaction, rolled back when not clean.
//  - MyISAM: a chunk is loaded into an empty temporary twin of the table
//    (CREATE TEMPORARY TABLE ... LIKE), and moved with INSERT ... SELECT
//    only when clean. That statement still refuses a duplicate of a row of
//    an earlier chunk; the table keeps the rows before it, as with a
//    batched INSERT, and the rest of the chunk goes to the batched INSERTs.
//
// A server that does not take LOCAL (local_infile=OFF, MySQL 8's default),
// or a login that may not create the twin, gets the batched INSERTs from
// then on: the run's LOAD choice is cleared with one notice line.

#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/rows/row_batch.h"
#include "engine/rows/row_copy.h"

namespace bracken::engine {

class RowLoad {
 public:
  // `batch` takes the rows of a chunk that is not clean; it must outlive
  // this load. The table was created empty just before the copy.
  RowLoad(ConversionOwner& owner, ConversionContext& context, const std::string& table,
          std::string quotedTarget, RowBatch& batch);
  // Drops the twin, if any.
  ~RowLoad();
  RowLoad(const RowLoad&) = delete;
  RowLoad& operator=(const RowLoad&) = delete;

  // Whether rows go by LOAD; false once the server refused it (the rows
  // then go to the batch).
  bool Active() const { return context_.batching.loadData; }
  // Adds row `number`: its INSERT tuple "(...)" (which the batch takes), its
  // line of LOAD text (AppendLoadField's fields, the last one's tab turned
  // into a newline) and the value changes to report once it arrived. Sends
  // the chunk when it is full. False when the copy must end (see Ending()).
  bool Add(std::string_view tuple, std::string_view line, long number,
           const std::vector<std::string>& changes);
  // Sends what is pending; false when the copy must end.
  bool Flush();
  const CopyOutcome& Ending() const { return ending_; }

 private:
  struct Pending {
    long number;
    std::size_t offset;  // of the tuple in tuples_
    std::size_t length;
    std::size_t firstChange, endChange;  // in changes_
  };

  bool Send();
  bool SendInnoDb(long count);
  bool SendMyIsam(long count);
  bool PrepareTwin();
  std::string LoadStatement(const std::string& quotedTable) const;
  void TurnOff(const std::string& why);
  bool ByBatch(std::size_t from);
  bool End(RowResult result);
  bool End(RowResult result, const std::string& errorText);
  bool EndAfterFailure(long count);
  void Arrived(std::size_t from, std::size_t to);
  void Clear();

  ConversionOwner& owner_;
  ConversionContext& context_;
  std::string quotedTarget_;
  std::string quotedTwin_;
  bool twinReady_ = false;
  RowBatch& batch_;
  ProgressCaptions captions_;
  std::size_t chunkRows_;
  std::size_t chunkBytes_;
  std::string data_;
  std::string tuples_;
  std::vector<Pending> rows_;
  std::vector<std::string> changes_;
  CopyOutcome ending_;
};

}  // namespace bracken::engine
