#pragma once

// Several tables copied at once, each job on a session and a reader of the
// file of its own, with a run that reads as if they had been copied one
// after another: the names are given out in table order before the jobs
// start, each table's report lines, messages and refused rows are held back
// and passed on in table order as soon as every table before it is passed
// on, and its counts join the run's summary then. A child table (the
// elements of attachment and multi-value columns) stays with its parent's
// job, after it.
//
// A job whose table fails (a lost connection, a refused CREATE TABLE) fails
// that table only: it is reported and counted, the other jobs go on, and a
// job whose session was lost opens a new one for its next table. A job that
// cannot open one ends; the tables it would have taken go to the others.

#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

// How one table's step ended. Stopped: the copy was broken off by a stop.
enum class TableStep { Converted, Skipped, Vanished, Failed, Stopped };

// One table and its children, on the job's owner and context; `failure`
// holds the server's text on Failed and Vanished.
using TableConversion = std::function<TableStep(ConversionOwner&, ConversionContext&,
                                                const std::string& table, std::string& failure)>;

// A table's end, passed on in table order on the calling thread after its
// lines and counts. `stopAsked`: a stop was asked by the end of the table.
using TableEnd = std::function<void(const std::string& table, TableStep step,
                                    const std::string& failure, bool stopAsked)>;

enum class JobsEnding {
  NoJobs,        // no job could open its session; nothing was done
  Completed,     // every table had its turn
  Stopped,       // a stop left tables without one
  SessionsLost,  // every job lost its session with tables left
};

// Gives out the target names of `tables` and of their child tables in table
// order, as one job after another would claim them, into
// context.givenTableNames. A parent that is skipped has its children's
// names given out all the same.
void GiveOutTableNames(ConversionContext& context, const std::vector<std::string>& tables);

// Copies `tables` (names given out already) with context.jobs jobs, each
// opened through context.openJob and set to `database`. Returns once every
// job has ended and every finished table is passed on.
JobsEnding CopyTablesInJobs(ConversionOwner& owner, ConversionContext& context,
                            const std::vector<std::string>& tables, const std::string& database,
                            const TableConversion& convert, const TableEnd& tableEnd);

// For a program that ends at once: no statement reaches the server after
// this returns (context.endingAtOnce is set, and so is every job's), and the
// summary returned counts every row that can still arrive, the tables of
// jobs at work included. Like the run's own counts it is a snapshot taken
// while the run goes on.
ConversionSummary EndingAtOnceSummary(ConversionContext& context);

}  // namespace bracken::engine
