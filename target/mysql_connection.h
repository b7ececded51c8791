#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "target/local_load.h"
#include "target/server_traits.h"

struct st_mysql;

namespace bracken::target {

// How to reach the server beyond host, login and password. The defaults
// are the program's own: the ports 3306 to 3309 in turn, the client
// library's socket for "localhost", no TLS setting, and timeouts that end
// the wait for a silent server.
struct ConnectOptions {
  unsigned int port = 0;  // only this port; 0 tries 3306, 3307, 3308 and 3309 in turn
  std::string socket;     // the Unix socket for "localhost"; empty for the library's
  // TLS as the mysql client names it: "", DISABLED, PREFERRED, REQUIRED,
  // VERIFY_CA or VERIFY_IDENTITY ("" leaves the library's default, or means
  // VERIFY_CA when sslCa is given, as with the mysql client). DISABLED never
  // uses TLS; REQUIRED refuses a server without it. The client library checks
  // the certificate's chain and host name together, so VERIFY_CA checks the
  // name too.
  std::string sslMode;
  std::string sslCa;                        // a file of trusted certificate authorities
  unsigned int connectTimeoutSeconds = 10;  // per port tried
  // How long one read or write of a statement may wait. Long enough for a
  // slow DROP DATABASE, a key grown over a big table or another client's lock
  // held through a batch job (the run says it waits for a lock and can be
  // stopped meanwhile), but finite: a frozen server ends the run within the
  // hour as a lost connection does.
  unsigned int readTimeoutSeconds = 3600;
  unsigned int writeTimeoutSeconds = 3600;
};

// The TLS modes ConnectOptions::sslMode takes; false for any other text.
bool IsSslMode(const std::string& mode);

// The one connection to the MySQL server. Connect tries the ports 3306,
// 3307, 3308 and 3309 in this order on one handle. Once a port accepts the
// login, the session is set up (utf8mb4, the fixed sql_mode of
// session_settings.h) and the server's traits are read.
class MySqlConnection {
 public:
  // SessionRefused: a server accepted the login but not the session's
  // settings, or did not answer the questions about itself; it is not one the
  // conversion can write to safely, and no further port is tried. ErrorText
  // says why.
  enum class ConnectResult { Connected, EmptyHost, Refused, SessionRefused };

  MySqlConnection() = default;
  ~MySqlConnection();
  MySqlConnection(const MySqlConnection&) = delete;
  MySqlConnection& operator=(const MySqlConnection&) = delete;

  // Replaces any earlier handle (closing it first).
  ConnectResult Connect(const std::string& host, const std::string& login,
                        const std::string& password, const ConnectOptions& options = {});
  bool IsOpen() const { return handle_ != nullptr && connected_; }

  // What the server told of itself when connecting; all empty and zero when
  // not connected.
  const ServerTraits& Traits() const { return traits_; }
  // The port the session was opened on (0 when not connected, or through a
  // socket).
  unsigned int ConnectedPort() const { return connectedPort_; }

  // Sends one statement; true when the server accepted it. A statement longer
  // than Traits().MaxStatementBytes() is refused without being sent (the
  // server would drop the connection over it).
  bool Execute(const std::string& statement);
  // Execute in two halves: StartQuery sends the statement and returns at
  // once; FinishQuery waits for the answer and returns what Execute would.
  // Nothing else may be sent in between.
  void StartQuery(const std::string& statement);
  bool FinishQuery();
  // Sends one statement whose `?` placeholders take `values` in order, each
  // sent apart as long data in pieces (see long_value_statement.h), so only
  // each value alone must fit in max_allowed_packet. The values are bytes:
  // text must be utf8mb4 like everything else on this connection. A value
  // longer than max_allowed_packet is refused before anything is sent; the
  // connection stays usable. True when the server accepted the statement.
  bool ExecuteWithLongValues(const std::string& statement,
                             const std::vector<std::string_view>& values);
  // Why the last Connect found no server to use, with the error number: the
  // reason of the last port where a server answered (a refused login, TLS),
  // else that of the last port tried (nothing listening, an unknown host, a
  // missing socket). A wrong password on 3306 thus is not hidden by 3309 not
  // listening. Empty and 0 after a Connect that succeeded.
  const std::string& ConnectRefusal() const { return refusalText_; }
  unsigned int ConnectRefusalNumber() const { return refusalCode_; }
  // The server's explanation of the last failure.
  std::string ErrorText() const { return errorText_; }
  // True when the last failure was a lost connection: the server went away,
  // stopped answering within the read or write timeout, a read or write failed,
  // or a Galera node has left its cluster and takes no statement.
  bool LastErrorWasConnectionLost() const;
  // The server's (or the client's) number for the last failure.
  unsigned int LastErrorNumber() const;
  // Sends a LOAD DATA LOCAL INFILE statement whose file is what `stream`
  // gives while the server reads it, in the packets the client library
  // sends; the file name the statement gives is not read. `counts` take the
  // server's answer when Loaded.
  LocalLoadResult LoadFromStream(const std::string& statement, LocalLoadStream& stream,
                                 LocalLoadCounts& counts);
  // Runs a query and fetches all its rows (each cell as text, NULL as an
  // empty text); nullopt when refused, with ErrorText telling why.
  std::optional<std::vector<std::vector<std::string>>> QueryRows(const std::string& query);

  void Close();

 private:
  friend class RowStream;  // reads results on this handle
  void SetOptions(const ConnectOptions& options);
  bool TlsAsAsked(const ConnectOptions& options);
  bool SetUpSession();
  bool ReadTraits();
  bool ReadCollations();
  void Fail(std::string text, unsigned int code);
  void FailFromHandle();
  void Succeed();

  // The stream the local-infile handler reads during LoadFromStream.
  struct LocalFile {
    LocalLoadStream* stream = nullptr;  // set while a LoadFromStream is under way
    bool asked = false;                 // the server asked for the bytes
    bool brokenOff = false;             // the stream broke the load off
  };
  static int OpenLocalFile(void** state, const char* name, void* connection);
  static int ReadLocalFile(void* state, char* buffer, unsigned int size);
  static void CloseLocalFile(void* state);
  static int LocalFileError(void* state, char* message, unsigned int size);

  st_mysql* handle_ = nullptr;
  LocalFile localFile_;
  bool startFailed_ = false;  // StartQuery failed; FinishQuery tells it
  bool connected_ = false;
  unsigned int connectedPort_ = 0;
  ServerTraits traits_;
  std::string errorText_ = "Not connected to the MySQL server.";
  unsigned int errorCode_ = 2006;
  std::string refusalText_;
  unsigned int refusalCode_ = 0;
};

}  // namespace bracken::target
