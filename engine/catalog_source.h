#pragma once

// The conversion's view of an opened Access file: the catalogue opened on the
// source connection text, and one recordset per table opened on that text.

#include <string>

#include "engine/conversion_source.h"
#include "source/source_access.h"

namespace bracken::engine {

class CatalogSource : public ConversionSource {
 public:
  // An empty connection text opens the recordsets on the catalogue itself
  // (a database opened from memory).
  CatalogSource(source::Catalog catalog, std::string connectionText)
      : catalog_(std::move(catalog)), connectionText_(std::move(connectionText)) {}

  std::vector<ColumnDescription> Columns(const std::string& table) override;
  long IndexCount(const std::string& table) override;
  IndexDescription Index(const std::string& table, long index) override;
  ColumnFlags Flags(const std::string& table, const std::string& column) override;
  std::unique_ptr<RowSource> OpenRows(const std::string& table) override;
  std::vector<std::string> ChildTables(const std::string& table) override;
  std::vector<std::string> TableDamage(const std::string& table) override;
  long StoredRowCount(const std::string& table) override;
  std::vector<std::string> FileDamage() override;
  // For the foreign keys.
  std::vector<source::Relationship> Relationships() override { return catalog_.Relationships(); }
  // For the views and procedures.
  std::vector<source::Query> Queries() override { return catalog_.Queries(); }

  // Defaults, validation rules and descriptions (DEFAULT, CHECK and COMMENT).
  ColumnRules Rules(const std::string& table, const std::string& column) override;
  TableRules Rules(const std::string& table) override;

  const source::Catalog& catalog() const { return catalog_; }
  const std::string& connectionText() const { return connectionText_; }

 private:
  source::Catalog catalog_;
  std::string connectionText_;
};

}  // namespace bracken::engine
