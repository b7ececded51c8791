#include "target/mysql_connection.h"

#include <mysql.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "target/client_refusals.h"
#include "target/long_value_statement.h"
#include "target/result_rows.h"
#include "target/session_settings.h"

namespace bracken::target {

namespace {

constexpr unsigned int kPorts[] = {3306, 3307, 3308, 3309};

// Client errors for a connection that went away or was lost mid-query; a
// read or write timeout ends in one of them too (2013 for a server that
// stopped answering, the 50xx numbers for a read or write that failed).
constexpr unsigned int kServerGoneError = 2006;
constexpr unsigned int kServerLostError = 2013;
constexpr unsigned int kServerLostExtendedError = 2055;
constexpr unsigned int kNetReadError = 5013;
constexpr unsigned int kNetWriteError = 5014;
// A Galera node that has left its cluster's primary component (or is kept
// out of use) answers every statement with this, SQLSTATE 08S01, a
// communication failure: nothing sent to it can arrive until it is back.
constexpr unsigned int kWsrepNotReady = 1047;
// The client's number for a TLS failure.
constexpr unsigned int kTlsError = 2026;
// The server's number for a packet longer than max_allowed_packet.
constexpr unsigned int kPacketTooLargeError = 1153;

// The client's numbers for a port where nothing answered: no socket, a refused
// or timed-out connection, a host name that does not resolve.
constexpr unsigned int kNoLocalServerError = 2002;
constexpr unsigned int kNoServerOnHostError = 2003;
constexpr unsigned int kUnknownHostError = 2005;

bool NothingAnswered(unsigned int code) {
  return code == kNoLocalServerError || code == kNoServerOnHostError || code == kUnknownHostError;
}

// The client's number for a local file it will not send.
constexpr int kLocalFileRefusedError = 2000;

constexpr const char* kNotConnected = "Not connected to the MySQL server.";

bool ContainsMariaDb(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.find("mariadb") != std::string::npos;
}

}  // namespace

bool IsSslMode(const std::string& mode) {
  for (const char* known :
       {"", "DISABLED", "PREFERRED", "REQUIRED", "VERIFY_CA", "VERIFY_IDENTITY"}) {
    if (mode == known) return true;
  }
  return false;
}

MySqlConnection::~MySqlConnection() { Close(); }

MySqlConnection::ConnectResult MySqlConnection::Connect(const std::string& host,
                                                        const std::string& login,
                                                        const std::string& password,
                                                        const ConnectOptions& options) {
  Close();
  refusalText_.clear();
  refusalCode_ = 0;
  handle_ = mysql_init(nullptr);
  if (handle_ == nullptr) return ConnectResult::Refused;
  if (host.empty()) {
    Fail("No server host given.", 0);
    refusalText_ = errorText_;
    return ConnectResult::EmptyHost;
  }
  if (!IsSslMode(options.sslMode)) {
    Fail("Unknown TLS mode '" + options.sslMode + "'.", kTlsError);
    refusalText_ = errorText_;
    refusalCode_ = errorCode_;
    return ConnectResult::Refused;
  }
  SetOptions(options);
  std::vector<unsigned int> ports(std::begin(kPorts), std::end(kPorts));
  if (options.port != 0) ports = {options.port};
  const char* socket = options.socket.empty() ? nullptr : options.socket.c_str();
  bool answered = false;  // a port's server gave the refusal kept
  const auto keepRefusal = [&] {
    const bool fromServer = !NothingAnswered(errorCode_);
    if (answered && !fromServer) return;
    answered = fromServer;
    refusalText_ = errorText_;
    refusalCode_ = errorCode_;
  };
  for (unsigned int port : ports) {
    // A failed mysql_real_connect clears the handle's options (TLS,
    // timeouts, the local-infile handler): each port gets them anew.
    if (port != ports.front()) SetOptions(options);
    if (mysql_real_connect(handle_, host.c_str(), login.c_str(), password.c_str(), "", port, socket,
                           0) == nullptr) {
      FailFromHandle();
      keepRefusal();
      continue;
    }
    if (!TlsAsAsked(options)) {
      keepRefusal();
      // A fresh handle for the next port, with the same options.
      mysql_close(handle_);
      handle_ = mysql_init(nullptr);
      if (handle_ == nullptr) return ConnectResult::Refused;
      SetOptions(options);
      continue;
    }
    if (!SetUpSession() || !ReadTraits()) {
      // The handle goes; the reason stays for ErrorText.
      std::string reason = errorText_;
      unsigned int code = errorCode_;
      Close();
      Fail(std::move(reason), code);
      return ConnectResult::SessionRefused;
    }
    connected_ = true;
    connectedPort_ = port;
    refusalText_.clear();
    refusalCode_ = 0;
    Succeed();
    return ConnectResult::Connected;
  }
  return ConnectResult::Refused;
}

void MySqlConnection::SetOptions(const ConnectOptions& options) {
  // LOCAL loads come from memory only (LoadFromStream): the handler below
  // replaces the library's, which would read any file the server names.
  unsigned int localInfile = 1;
  mysql_optionsv(handle_, MYSQL_OPT_LOCAL_INFILE, &localInfile);
  mysql_set_local_infile_handler(handle_, &MySqlConnection::OpenLocalFile,
                                 &MySqlConnection::ReadLocalFile, &MySqlConnection::CloseLocalFile,
                                 &MySqlConnection::LocalFileError, this);
  mysql_optionsv(handle_, MYSQL_OPT_CONNECT_TIMEOUT, &options.connectTimeoutSeconds);
  mysql_optionsv(handle_, MYSQL_OPT_READ_TIMEOUT, &options.readTimeoutSeconds);
  mysql_optionsv(handle_, MYSQL_OPT_WRITE_TIMEOUT, &options.writeTimeoutSeconds);
  const std::string& mode = options.sslMode;
  if (mode.empty() && options.sslCa.empty()) return;
  // The library uses TLS when the server offers it once asked to; checking
  // the server's certificate makes TLS compulsory. REQUIRED is checked after
  // the handshake (TlsAsAsked).
  my_bool useTls = mode != "DISABLED";
  my_bool verify =
      mode == "VERIFY_CA" || mode == "VERIFY_IDENTITY" || (mode.empty() && !options.sslCa.empty());
  mysql_optionsv(handle_, MYSQL_OPT_SSL_ENFORCE, &useTls);
  mysql_optionsv(handle_, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
  if (useTls && !options.sslCa.empty()) {
    mysql_optionsv(handle_, MYSQL_OPT_SSL_CA, options.sslCa.c_str());
  }
}

// True when the session uses TLS as the options ask: never for DISABLED,
// always for REQUIRED and the verifying modes.
bool MySqlConnection::TlsAsAsked(const ConnectOptions& options) {
  const bool encrypted = mysql_get_ssl_cipher(handle_) != nullptr;
  const std::string& mode = options.sslMode;
  if (mode == "DISABLED" && encrypted) {
    Fail("The connection uses TLS although --ssl-mode=DISABLED asks for none.", kTlsError);
    return false;
  }
  const bool required = mode == "REQUIRED" || mode == "VERIFY_CA" || mode == "VERIFY_IDENTITY" ||
                        (mode.empty() && !options.sslCa.empty());
  if (required && !encrypted) {
    Fail("The server does not offer TLS, which --ssl-mode=" + (mode.empty() ? "VERIFY_CA" : mode) +
             " asks for.",
         kTlsError);
    return false;
  }
  return true;
}

bool MySqlConnection::SetUpSession() {
  if (mysql_set_character_set(handle_, kSessionCharset) != 0) {
    FailFromHandle();
    return false;
  }
  const std::string setMode = std::string("SET SESSION sql_mode = '") + kSessionSqlMode + "'";
  if (mysql_real_query(handle_, setMode.data(), setMode.size()) != 0) {
    FailFromHandle();
    return false;
  }
  return true;
}

bool MySqlConnection::ReadTraits() {
  auto found = FetchRows(handle_,
                         "SELECT @@SESSION.max_allowed_packet, @@version, @@version_comment, "
                         "CONNECTION_ID()");
  if (!found || found->rows.size() != 1 || found->rows[0].size() != 4) {
    FailFromHandle();
    return false;
  }
  const std::vector<std::string>& row = found->rows[0];
  traits_.maxAllowedPacket = std::strtoull(row[0].c_str(), nullptr, 10);
  traits_.version = row[1];
  traits_.isMariaDb = ContainsMariaDb(row[1]) || ContainsMariaDb(row[2]);
  traits_.connectionId = std::strtoull(row[3].c_str(), nullptr, 10);
  return ReadCollations();
}

// MariaDB lists "uca1400_as_ci" once per character set and gives the full
// name in FULL_COLLATION_NAME; MySQL has full names in COLLATION_NAME.
bool MySqlConnection::ReadCollations() {
  auto found = FetchRows(handle_,
                         "SELECT * FROM information_schema.COLLATION_CHARACTER_SET_APPLICABILITY "
                         "WHERE CHARACTER_SET_NAME IN ('utf8', 'utf8mb3', 'utf8mb4')");
  if (!found) {
    FailFromHandle();
    return false;
  }
  int name = found->ColumnIndex("FULL_COLLATION_NAME");
  if (name < 0) name = found->ColumnIndex("COLLATION_NAME");
  const int charset = found->ColumnIndex("CHARACTER_SET_NAME");
  std::vector<CollationName> available;
  for (const auto& row : found->rows) {
    if (name >= 0 && charset >= 0) available.push_back({row[charset], row[name]});
  }
  traits_.utf8AccentSensitiveCollation = ChooseAccentSensitiveCollation(available, "utf8mb3");
  traits_.utf8mb4AccentSensitiveCollation = ChooseAccentSensitiveCollation(available, "utf8mb4");
  return true;
}

bool MySqlConnection::Execute(const std::string& statement) {
  if (!IsOpen()) {
    Fail(kNotConnected, kServerGoneError);
    return false;
  }
  if (statement.size() > traits_.MaxStatementBytes()) {
    Fail(StatementTooLongText(statement.size(), traits_.maxAllowedPacket), kPacketTooLargeError);
    return false;
  }
  if (mysql_real_query(handle_, statement.data(), statement.size()) != 0) {
    FailFromHandle();
    return false;
  }
  Succeed();
  return true;
}

void MySqlConnection::StartQuery(const std::string& statement) {
  startFailed_ = true;
  if (!IsOpen()) {
    Fail(kNotConnected, kServerGoneError);
  } else if (statement.size() > traits_.MaxStatementBytes()) {
    Fail(StatementTooLongText(statement.size(), traits_.maxAllowedPacket), kPacketTooLargeError);
  } else if (mysql_send_query(handle_, statement.data(), statement.size()) != 0) {
    FailFromHandle();
  } else {
    startFailed_ = false;
  }
}

bool MySqlConnection::FinishQuery() {
  if (startFailed_) return false;
  if (mysql_read_query_result(handle_) != 0) {
    FailFromHandle();
    return false;
  }
  Succeed();
  return true;
}

bool MySqlConnection::ExecuteWithLongValues(const std::string& statement,
                                            const std::vector<std::string_view>& values) {
  if (!IsOpen()) {
    Fail(kNotConnected, kServerGoneError);
    return false;
  }
  if (auto failure =
          target::ExecuteWithLongValues(handle_, statement, values, traits_.maxAllowedPacket)) {
    Fail(std::move(failure->text), failure->code);
    return false;
  }
  Succeed();
  return true;
}

LocalLoadResult MySqlConnection::LoadFromStream(const std::string& statement,
                                                LocalLoadStream& stream, LocalLoadCounts& counts) {
  counts = {};
  if (!IsOpen()) {
    Fail(kNotConnected, kServerGoneError);
    return LocalLoadResult::Failed;
  }
  localFile_ = {&stream, false, false};
  const int refused = mysql_real_query(handle_, statement.data(), statement.size());
  const bool asked = localFile_.asked;
  localFile_ = {};
  if (refused != 0) {
    FailFromHandle();
    return asked || LastErrorWasConnectionLost() ? LocalLoadResult::Failed
                                                 : LocalLoadResult::NotTaken;
  }
  counts.rows = mysql_affected_rows(handle_);
  counts.warnings = mysql_warning_count(handle_);
  Succeed();
  return LocalLoadResult::Loaded;
}

// The handler's state is the connection's LocalFile; a request while no
// LoadFromStream is under way is refused.
int MySqlConnection::OpenLocalFile(void** state, const char*, void* connection) {
  LocalFile& file = static_cast<MySqlConnection*>(connection)->localFile_;
  *state = &file;
  if (file.stream == nullptr) return 1;
  file.asked = true;
  return 0;
}

int MySqlConnection::ReadLocalFile(void* state, char* buffer, unsigned int size) {
  LocalFile& file = *static_cast<LocalFile*>(state);
  const int n = file.stream->Read(buffer, size);
  if (n < 0) file.brokenOff = true;
  return n;
}

void MySqlConnection::CloseLocalFile(void*) {}

int MySqlConnection::LocalFileError(void* state, char* message, unsigned int size) {
  const bool brokenOff = state != nullptr && static_cast<LocalFile*>(state)->brokenOff;
  std::snprintf(
      message, size, "%s",
      brokenOff ? kLoadBrokenOffText : "The program sends no local file it did not load itself.");
  return kLocalFileRefusedError;
}

std::optional<std::vector<std::vector<std::string>>> MySqlConnection::QueryRows(
    const std::string& query) {
  if (!IsOpen()) {
    Fail(kNotConnected, kServerGoneError);
    return std::nullopt;
  }
  auto found = FetchRows(handle_, query);
  if (!found) {
    FailFromHandle();
    return std::nullopt;
  }
  Succeed();
  return std::move(found->rows);
}

bool MySqlConnection::LastErrorWasConnectionLost() const {
  for (unsigned int lost : {kServerGoneError, kServerLostError, kServerLostExtendedError,
                            kNetReadError, kNetWriteError, kWsrepNotReady}) {
    if (errorCode_ == lost) return true;
  }
  return false;
}

unsigned int MySqlConnection::LastErrorNumber() const { return errorCode_; }

void MySqlConnection::Close() {
  if (handle_ != nullptr) mysql_close(handle_);
  handle_ = nullptr;
  connected_ = false;
  connectedPort_ = 0;
  traits_ = ServerTraits();
  Fail(kNotConnected, kServerGoneError);
}

void MySqlConnection::Fail(std::string text, unsigned int code) {
  errorText_ = std::move(text);
  errorCode_ = code;
}

void MySqlConnection::FailFromHandle() { Fail(mysql_error(handle_), mysql_errno(handle_)); }

void MySqlConnection::Succeed() { Fail("", 0); }

}  // namespace bracken::target
