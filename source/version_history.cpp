// The join of an append-only memo's versions to the rows that own them.

#include "source/version_history.h"

#include <algorithm>
#include <cmath>

namespace bracken::source {

namespace {

// A date serial as a point in time: before 1899-12-30 the fraction counts
// forward from the day, so -1.25 (Dec 29, 6:00) lies after -1.0.
double Chronological(const Variant& date) {
  double serial = date.ToDouble();
  double day = std::trunc(serial);
  return day + std::fabs(serial - day);
}

void OldestFirst(std::vector<StoredVersion>& versions) {
  std::stable_sort(versions.begin(), versions.end(),
                   [](const StoredVersion& a, const StoredVersion& b) {
                     if (a.date.value.IsNull() || b.date.value.IsNull()) {
                       return a.date.value.IsNull() && !b.date.value.IsNull();
                     }
                     return Chronological(a.date.value) < Chronological(b.date.value);
                   });
}

}  // namespace

void VersionHistoryJoin::Add(const Variant& set, StoredVersion version) {
  if (set.IsNull()) {
    unnumbered_.push_back(std::move(version));
  } else {
    sets_[set.ToInt64()].push_back(std::move(version));
  }
}

std::vector<StoredVersion> VersionHistoryJoin::Take(const Variant& set) {
  if (set.IsNull()) return {};
  auto found = sets_.find(set.ToInt64());
  if (found == sets_.end()) return {};
  std::vector<StoredVersion> versions = std::move(found->second);
  sets_.erase(found);
  OldestFirst(versions);
  return versions;
}

std::vector<StoredVersion> VersionHistoryJoin::Leftover() {
  std::vector<StoredVersion> versions = std::move(unnumbered_);
  unnumbered_.clear();
  OldestFirst(versions);
  for (auto& [set, stored] : sets_) {
    OldestFirst(stored);
    for (auto& version : stored) versions.push_back(std::move(version));
  }
  sets_.clear();
  leftoverVersions_ += versions.size();
  return versions;
}

std::string LeftoverNote(size_t versions, const std::string& parentTable) {
  return versions == 1 ? "1 version belongs to no row of [" + parentTable +
                             "]; it is kept at the end with empty key columns"
                       : std::to_string(versions) + " versions belong to no row of [" +
                             parentTable + "]; they are kept at the end with empty key columns";
}

}  // namespace bracken::source
