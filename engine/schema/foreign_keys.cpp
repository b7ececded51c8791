#include "engine/schema/foreign_keys.h"

#include <algorithm>
#include <map>
#include <set>

#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/schema/name_spelling.h"

namespace bracken::engine {

namespace {

using ColumnKey = std::pair<std::string, std::string>;  // source table, column

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Groups of joined columns: each column's representative.
class ColumnGroups {
 public:
  const ColumnKey& Root(const ColumnKey& key) {
    auto found = parent_.find(key);
    if (found == parent_.end()) return parent_.emplace(key, key).first->first;
    if (found->second == key) return found->first;
    const ColumnKey root = Root(found->second);
    found->second = root;
    return parent_.find(root)->first;
  }
  void Join(const ColumnKey& a, const ColumnKey& b) {
    const ColumnKey rootA = Root(a);
    const ColumnKey rootB = Root(b);
    if (rootA != rootB) parent_[rootA] = rootB;
  }
  std::vector<ColumnKey> Members() const {
    std::vector<ColumnKey> keys;
    for (const auto& entry : parent_) keys.push_back(entry.first);
    return keys;
  }

 private:
  std::map<ColumnKey, ColumnKey> parent_;
};

bool HasFourByteCharacter(const std::string& utf8) {
  return std::any_of(utf8.begin(), utf8.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0xF0; });
}

// The named text columns of `table` that hold a character above U+FFFF.
std::set<std::string> ExtendedColumns(ConversionSource& source, const std::string& table,
                                      const std::set<std::string>& columns) {
  std::set<std::string> found;
  std::unique_ptr<RowSource> rows = source.OpenRows(table);
  std::vector<long> scanned;
  for (long i = 0; i < rows->FieldCount(); ++i) {
    const ColumnDescription field = rows->Field(i);
    const bool text = field.type == source::adVarWChar || field.type == source::adLongVarWChar;
    if (text && columns.count(field.name) > 0) scanned.push_back(i);
  }
  for (; !scanned.empty() && !rows->Eof(); rows->MoveNext()) {
    for (long i : scanned) {
      const std::string name = rows->Field(i).name;
      if (found.count(name) > 0 || rows->ActualSize(i) <= 0) continue;
      try {
        if (HasFourByteCharacter(rows->Value(i).Bytes())) found.insert(name);
      } catch (const source::SourceError&) {
        // A value that cannot be read is named by the row copy.
      }
    }
  }
  return found;
}

std::string Describe(const source::Relationship& relationship) {
  return "Relationship " + Bracketed(relationship.name) + " (" + Bracketed(relationship.table) +
         " to " + Bracketed(relationship.referencedTable) + ")";
}

const TablePlan* Converted(const ConversionContext& context, const std::string& table) {
  for (const TablePlan& plan : context.convertedTables) {
    if (plan.sourceName == table) return &plan;
  }
  return nullptr;
}

void AppendColumns(std::string& text, const std::vector<std::string>& columns,
                   const TablePlan& plan) {
  text += '(';
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += ", ";
    AppendQuotedIdentifier(text, plan.TargetName(columns[i]));
  }
  text += ')';
}

void NotCreated(ConversionOwner& owner, ConversionContext& context,
                const source::Relationship& relationship, const std::string& why) {
  ++context.summary.relationshipsNotCreated;
  Report(owner, context.summary, Describe(relationship) + " was not created: " + why + ".");
}

// mysqldump turns foreign key checks off around its statements; a dump
// written here turns them on instead, since a file cannot count the rows
// without a parent before it is loaded: the loading server then refuses a
// key that its rows break rather than holding one that does not hold.
constexpr const char* kChecksOn =
    "/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=1 */";
constexpr const char* kChecksRestored =
    "/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */";

}  // namespace

// Relationships that ask for a key: enforced, made in this file, with a
// column on each side for every column of the other.
bool AsksForKey(const source::Relationship& relationship) {
  return relationship.Enforced() && !relationship.Inherited() && !relationship.columns.empty() &&
         relationship.columns.size() == relationship.referencedColumns.size();
}

// Access enforces a relationship only onto a unique index of the referenced
// columns; the plan keeps such an index as a PRIMARY KEY or UNIQUE key.
bool HasUniqueKey(ConversionSource& source, const std::string& table,
                  const std::vector<std::string>& columns) {
  const std::set<std::string> wanted(columns.begin(), columns.end());
  const long count = source.IndexCount(table);
  for (long i = 0; i < count; ++i) {
    const IndexDescription index = source.Index(table, i);
    if (!index.primaryKey && !index.unique) continue;
    if (std::set<std::string>(index.columns.begin(), index.columns.end()) == wanted) return true;
  }
  return false;
}

std::string EngineOption(TableEngine engine) {
  return engine == TableEngine::InnoDB ? "ENGINE=InnoDB ROW_FORMAT=DYNAMIC" : "ENGINE=myisam";
}

std::optional<TableEngine> ParseTableEngine(const std::string& text) {
  const std::string lower = Lower(text);
  if (lower == "myisam") return TableEngine::MyISAM;
  if (lower == "innodb") return TableEngine::InnoDB;
  return std::nullopt;
}

void PlanRelationshipCharacters(ConversionContext& context,
                                const std::vector<std::string>& selected) {
  context.extendedRelationshipColumns.clear();
  if (context.engine != TableEngine::InnoDB) return;
  ColumnGroups groups;
  std::map<std::string, std::set<std::string>> columnsOf;
  std::vector<source::Relationship> relationships;
  try {
    relationships = context.source.Relationships();
  } catch (const source::SourceError&) {
    return;
  }
  for (const source::Relationship& relationship : relationships) {
    if (!AsksForKey(relationship) || !Contains(selected, relationship.table) ||
        !Contains(selected, relationship.referencedTable)) {
      continue;
    }
    for (std::size_t i = 0; i < relationship.columns.size(); ++i) {
      groups.Join({relationship.table, relationship.columns[i]},
                  {relationship.referencedTable, relationship.referencedColumns[i]});
      columnsOf[relationship.table].insert(relationship.columns[i]);
      columnsOf[relationship.referencedTable].insert(relationship.referencedColumns[i]);
    }
  }
  std::set<ColumnKey> extendedGroups;
  for (const auto& [table, columns] : columnsOf) {
    try {
      for (const std::string& column : ExtendedColumns(context.source, table, columns)) {
        extendedGroups.insert(groups.Root({table, column}));
      }
    } catch (const source::SourceError&) {
      // Reported where the table's rows are read.
    }
  }
  for (const ColumnKey& key : groups.Members()) {
    if (extendedGroups.count(groups.Root(key)) > 0) context.extendedRelationshipColumns.insert(key);
  }
}

std::string ForeignKeyClause(const source::Relationship& relationship, const TablePlan& child,
                             const TablePlan& parent) {
  std::string text = "FOREIGN KEY ";
  AppendColumns(text, relationship.columns, child);
  text += " REFERENCES " + QuoteIdentifier(parent.targetName) + " ";
  AppendColumns(text, relationship.referencedColumns, parent);
  if (relationship.CascadeDeletes()) {
    text += " ON DELETE CASCADE";
  } else if (relationship.CascadeNull()) {
    text += " ON DELETE SET NULL";
  }
  if (relationship.CascadeUpdates()) text += " ON UPDATE CASCADE";
  return text;
}

std::string OrphanRowsTable(const source::Relationship& relationship, const TablePlan& child,
                            const TablePlan& parent) {
  std::string notNull;
  std::string joined;
  for (std::size_t i = 0; i < relationship.columns.size(); ++i) {
    const std::string childColumn =
        "c." + QuoteIdentifier(child.TargetName(relationship.columns[i]));
    notNull += childColumn + " IS NOT NULL AND ";
    joined += (i > 0 ? " AND p." : "p.") +
              QuoteIdentifier(parent.TargetName(relationship.referencedColumns[i])) + " = " +
              childColumn;
  }
  return "(SELECT 1 FROM " + QuoteIdentifier(child.targetName) + " AS c WHERE " + notNull +
         "NOT EXISTS (SELECT 1 FROM " + QuoteIdentifier(parent.targetName) + " AS p WHERE " +
         joined + ")) AS orphans";
}

void AddForeignKeys(ConversionOwner& owner, ConversionContext& context,
                    const std::function<bool(const source::Relationship&)>& only) {
  std::vector<source::Relationship> relationships;
  try {
    relationships = context.source.Relationships();
  } catch (const source::SourceError&) {
    return;  // the catalogue's damage is named at the start of the run
  }
  StatementExecutor& server = context.executor;
  NameRegistry names(false);
  bool checksWritten = false;
  for (const source::Relationship& relationship : relationships) {
    if (context.stoppedDuringWait) break;
    if (relationship.Inherited()) continue;  // a key of the linked table's own database
    if (only && !only(relationship)) continue;
    const TablePlan* child = Converted(context, relationship.table);
    const TablePlan* parent = Converted(context, relationship.referencedTable);
    if (!relationship.Enforced()) {
      Report(owner, context.summary,
             Describe(relationship) +
                 " was not created as a foreign key: it is not enforced in Access.");
      continue;
    }
    if (child == nullptr || parent == nullptr) {
      const std::string& missing =
          child == nullptr ? relationship.table : relationship.referencedTable;
      Report(owner, context.summary,
             Describe(relationship) + " was not created: the table " + Bracketed(missing) +
                 " was not converted.");
      continue;
    }
    // The engine the user chose holds no keys: named, not counted as lost,
    // as a table left unselected is not.
    if (context.engine != TableEngine::InnoDB) {
      Report(owner, context.summary,
             Describe(relationship) + " was not created: MyISAM has no foreign keys: use InnoDB.");
      continue;
    }
    if (!AsksForKey(relationship)) {
      NotCreated(owner, context, relationship, "its columns cannot be read");
      continue;
    }
    bool unique = false;
    try {
      unique = HasUniqueKey(context.source, relationship.referencedTable,
                            relationship.referencedColumns);
    } catch (const source::SourceError&) {
    }
    if (!unique) {
      NotCreated(
          owner, context, relationship,
          "its columns in " + Bracketed(relationship.referencedTable) + " have no unique key");
      continue;
    }
    if (!server.WritesDumpFile()) {
      const std::optional<long long> orphans =
          server.CountRows(OrphanRowsTable(relationship, *child, *parent));
      if (!orphans) {
        NotCreated(owner, context, relationship, server.ErrorText());
        continue;
      }
      if (*orphans > 0) {
        NotCreated(owner, context, relationship,
                   std::to_string(*orphans) + (*orphans == 1 ? " row" : " rows") + " of " +
                       Bracketed(relationship.table) + (*orphans == 1 ? " names" : " name") +
                       " no row of " + Bracketed(relationship.referencedTable));
        continue;
      }
    } else if (!checksWritten) {
      checksWritten = server.Execute(kChecksOn);
    }
    const std::string name = names.Claim(relationship.name, "Relationship");
    if (!server.Execute("ALTER TABLE " + QuoteIdentifier(child->targetName) + " ADD CONSTRAINT " +
                        QuoteIdentifier(name) + " " +
                        ForeignKeyClause(relationship, *child, *parent))) {
      NotCreated(owner, context, relationship, server.ErrorText());
    }
  }
  if (checksWritten) server.Execute(kChecksRestored);
}

}  // namespace bracken::engine
