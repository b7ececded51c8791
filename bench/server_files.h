#pragma once

// Where the test server may write files for its own LOAD DATA INFILE, the
// ceiling the loads are measured against.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "target/mysql_connection.h"

namespace bracken::bench {

// The folder, tried by writing a file there; empty (with the reason
// printed) when the server may not write one.
inline std::string OutfileDirectory(target::MySqlConnection& connection) {
  auto found = connection.QueryRows("SELECT @@secure_file_priv IS NULL, @@secure_file_priv");
  if (!found || found->empty() || found->front().size() < 2) {
    std::printf("server-side LOAD DATA INFILE: secure_file_priv cannot be read (%s)\n",
                connection.ErrorText().c_str());
    return "";
  }
  if (found->front()[0] == "1") {
    std::printf("server-side LOAD DATA INFILE: secure_file_priv is NULL, no file allowed\n");
    return "";
  }
  // "" allows any folder.
  std::string directory = found->front()[1];
  if (directory.empty()) directory = std::filesystem::temp_directory_path().string();
  if (directory.back() != '/') directory += '/';
  const std::string probe = directory + "bracken_bench_probe_" + std::to_string(::getpid());
  if (!connection.Execute("SELECT 1 INTO OUTFILE '" + probe + "'")) {
    std::printf("server-side LOAD DATA INFILE: the server cannot write in %s (%s)\n",
                directory.c_str(), connection.ErrorText().c_str());
    return "";
  }
  std::filesystem::remove(probe);
  return directory;
}

}  // namespace bracken::bench
