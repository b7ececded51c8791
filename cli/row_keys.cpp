#include "cli/row_keys.h"

#include "engine/schema/row_key.h"

namespace bracken::cli {

RowKeysChoice ChooseRowKeys(bool asked, const target::ClusterTraits& cluster,
                            const target::ServerTraits& server) {
  RowKeysChoice choice;
  const bool needed = engine::ServerNeedsRowKeys(cluster);
  if (!asked && !needed) return choice;
  if (engine::TakesInvisibleColumns(server)) {
    choice.add = true;
    return choice;
  }
  const std::string reason = engine::NoInvisibleColumnsReason(server);
  if (asked) {
    choice.refusal = "--add-keys cannot be carried out: " + reason + ".";
  } else {
    choice.notice = "Tables without a primary key are created without a key column: " + reason +
                    ", though the server wants a primary key on every table.";
  }
  return choice;
}

}  // namespace bracken::cli
