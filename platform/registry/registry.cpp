// The registry: hives of keys and typed values in one SQLite database,
// <system root>/registry.db.
//
// Start reading at Registry: it owns the connection and the handle table,
// and every Reg* call is one of its methods under its one lock. A key is a
// row of `keys` (its path as given, a folded copy that makes names compare
// without regard to case, and its parent); a value is a row of `vals`. Every
// write runs in one IMMEDIATE transaction, in WAL mode, so another process
// may read and write the same store at once and a process killed mid-write
// leaves each change whole or absent. Reads take no write lock: the schema
// is only created under one when it is missing, so a reader never waits
// behind another process's write. Every failure of the store is told as it
// is (damaged, busy, full, denied), never as a missing key or value. The
// root is looked up on every call and the connection follows it, so each
// test's root has a registry of its own.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/internal/no_destroy.h"
#include "platform/internal/platform.h"

namespace {

// How long a write waits for another process's write before it gives up
// with ERROR_BUSY: long enough for any change the program makes, short
// enough that a main thread saving the settings does not freeze for long.
std::atomic<int> busyTimeoutMs{2000};

// Predefined roots, by the number of their handle. Columns: handle value,
// hive name as paths begin.
struct Hive {
  std::uintptr_t handle;
  const char* name;
};
constexpr Hive kHives[] = {
    {0x80000000u, "HKEY_CLASSES_ROOT"},
    {0x80000001u, "HKEY_CURRENT_USER"},
    {0x80000002u, "HKEY_LOCAL_MACHINE"},
};

// Windows-1252 case folding: ASCII and the accented capitals.
std::string Fold(std::string_view ansi) {
  std::string out(ansi);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
      ch = static_cast<char>(c + 0x20);
    } else if (c == 0x8A || c == 0x8C || c == 0x8E) {
      ch = static_cast<char>(c + 0x10);
    } else if (c == 0x9F) {
      ch = static_cast<char>(0xFF);
    }
  }
  return out;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto end = path.find('\\', start);
    const auto part = path.substr(start, end == std::string_view::npos
                                             ? std::string_view::npos
                                             : end - start);
    if (!part.empty()) parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
  }
};

// One prepared statement with its parameters bound, stepped by the caller.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    result_ = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    statement_.reset(raw);
  }
  bool ok() const { return result_ == SQLITE_OK; }
  Statement& Bind(int index, sqlite3_int64 value) {
    sqlite3_bind_int64(statement_.get(), index, value);
    return *this;
  }
  Statement& Bind(int index, const std::string& text) {
    sqlite3_bind_text(statement_.get(), index, text.data(),
                      static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int index, const void* data, int size) {
    // A zero-length blob must still be a blob, not NULL.
    if (size == 0) {
      sqlite3_bind_zeroblob(statement_.get(), index, 0);
    } else {
      sqlite3_bind_blob(statement_.get(), index, data, size, SQLITE_TRANSIENT);
    }
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step() { return ok() ? sqlite3_step(statement_.get()) : result_; }
  sqlite3_int64 Integer(int column) {
    return sqlite3_column_int64(statement_.get(), column);
  }
  std::string Text(int column) {
    const auto* text = sqlite3_column_text(statement_.get(), column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text),
                             sqlite3_column_bytes(statement_.get(), column));
  }
  std::string Blob(int column) {
    const void* data = sqlite3_column_blob(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return data == nullptr ? std::string()
                           : std::string(static_cast<const char*>(data),
                                         static_cast<std::size_t>(size));
  }

 private:
  int result_ = SQLITE_ERROR;
  std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement_;
};

LONG ErrorFor(int sqliteResult, LONG whenOther) {
  switch (sqliteResult & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ERROR_BADDB;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    case SQLITE_FULL:
      return ERROR_DISK_FULL;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    default:
      return whenOther;
  }
}

// The result of a step that looks something up: found, not there
// (notFound), or the store's own failure.
LONG LookupResult(int step, LONG notFound) {
  if (step == SQLITE_ROW) return ERROR_SUCCESS;
  if (step == SQLITE_DONE) return notFound;
  return ErrorFor(step, ERROR_CANTREAD);
}

// An open key: which store it lives in and which row it is. The row's id is
// never reused (AUTOINCREMENT), so a handle to a deleted key cannot come to
// name another one.
struct KeyRef {
  std::string root;
  sqlite3_int64 id;
};

// A value as stored.
struct StoredValue {
  std::string name;
  DWORD type;
  std::string data;
};

// Copies a stored value out under the caller's size rules: no data buffer
// asks for the size; a buffer too small gets nothing and ERROR_MORE_DATA
// with the size it needs.
LONG CopyValueOut(const StoredValue& value, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize) {
  if (type != nullptr) *type = value.type;
  const auto size = static_cast<DWORD>(value.data.size());
  if (data == nullptr) {
    if (dataSize != nullptr) *dataSize = size;
    return ERROR_SUCCESS;
  }
  if (*dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, value.data.data(), size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

// Copies a name with its terminator into a buffer of *size characters; on
// success *size becomes the length without the terminator.
LONG CopyNameOut(const std::string& name, LPSTR buffer, LPDWORD size) {
  if (buffer == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
  if (*size < name.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

class Registry {
 public:
  LONG CreateKey(HKEY base, LPCSTR subKey, PHKEY result, LPDWORD disposition);
  LONG OpenKey(HKEY base, LPCSTR subKey, PHKEY result);
  LONG QueryValue(HKEY key, LPCSTR name, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize);
  LONG SetValue(HKEY key, LPCSTR name, DWORD type, const BYTE* data,
                DWORD dataSize);
  LONG DeleteValue(HKEY key, LPCSTR name);
  LONG DeleteKey(HKEY base, LPCSTR subKey);
  LONG EnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize,
                 LPDWORD type, LPBYTE data, LPDWORD dataSize);
  LONG EnumKey(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize);
  LONG CloseKey(HKEY key);
  void SetBusyTimeout(int milliseconds) {
    if (db_) sqlite3_busy_timeout(db_.get(), milliseconds);
  }

 private:
  // Where a handle leads: the store and the key's row, or an error.
  struct Target {
    LONG error = ERROR_SUCCESS;
    sqlite3* db = nullptr;
    KeyRef key{};
  };
  Target Resolve(HKEY key);
  sqlite3* Connect(const std::string& root, LONG& error);
  static LONG Prepare(sqlite3* db);
  static LONG SchemaReady(sqlite3* db, bool& ready);
  static LONG HiveRow(sqlite3* db, const char* name, sqlite3_int64& id);
  static LONG KeyPath(sqlite3* db, sqlite3_int64 id, std::string& path);
  static LONG ChildRow(sqlite3* db, sqlite3_int64 parent,
                       const std::string& name, sqlite3_int64& id);
  static LONG FindValue(sqlite3* db, sqlite3_int64 key, const std::string& name,
                        StoredValue& value);
  HKEY AddHandle(KeyRef key);

  std::string connectedRoot_;
  dev_t connectedDevice_ = 0;
  ino_t connectedInode_ = 0;
  Database db_;
  std::uintptr_t nextHandle_ = 0x100;
  std::map<std::uintptr_t, std::unique_ptr<KeyRef>> handles_;
};

// A transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) {
    result_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  }
  ~Transaction() {
    if (result_ == SQLITE_OK && !committed_) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
  }
  int result() const { return result_; }
  int Commit() {
    const int result = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    committed_ = result == SQLITE_OK;
    return result;
  }

 private:
  sqlite3* db_;
  int result_;
  bool committed_ = false;
};

// Whether the tables and the hives are all there, found by reading alone.
LONG Registry::SchemaReady(sqlite3* db, bool& ready) {
  ready = false;
  Statement tables(db,
                   "SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                   "AND name IN ('keys', 'vals')");
  const int step = tables.Step();
  if (step != SQLITE_ROW) return ErrorFor(step, ERROR_CANTOPEN);
  if (tables.Integer(0) != 2) return ERROR_SUCCESS;
  for (const auto& hive : kHives) {
    sqlite3_int64 id = 0;
    const LONG found = HiveRow(db, hive.name, id);
    if (found == ERROR_BADDB) return ERROR_SUCCESS;
    if (found != ERROR_SUCCESS) return found;
  }
  ready = true;
  return ERROR_SUCCESS;
}

LONG Registry::Prepare(sqlite3* db) {
  sqlite3_busy_timeout(db, busyTimeoutMs.load());
  // Changing to WAL needs the database to itself for a moment; another
  // process doing the same at the same time is waited for by busy_timeout.
  // A store already in WAL only has its header read.
  int result =
      sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) return ErrorFor(result, ERROR_CANTOPEN);
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // The write lock is taken only for a store that lacks its tables, so
  // opening a store for reading never waits behind another writer.
  bool ready = false;
  if (const LONG checked = SchemaReady(db, ready); checked != ERROR_SUCCESS) {
    return checked;
  }
  if (ready) return ERROR_SUCCESS;
  Transaction transaction(db);
  if (transaction.result() != SQLITE_OK) {
    return ErrorFor(transaction.result(), ERROR_CANTOPEN);
  }
  result = sqlite3_exec(db,
                        "CREATE TABLE IF NOT EXISTS keys("
                        "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
                        "  parent INTEGER REFERENCES keys(id),"
                        "  name TEXT NOT NULL,"
                        "  folded TEXT NOT NULL,"
                        "  path TEXT NOT NULL,"
                        "  UNIQUE(parent, folded));"
                        "CREATE TABLE IF NOT EXISTS vals("
                        "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
                        "  key INTEGER NOT NULL REFERENCES keys(id),"
                        "  name TEXT NOT NULL,"
                        "  folded TEXT NOT NULL,"
                        "  type INTEGER NOT NULL,"
                        "  data BLOB NOT NULL,"
                        "  UNIQUE(key, folded));",
                        nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) return ErrorFor(result, ERROR_CANTOPEN);
  for (const auto& hive : kHives) {
    // Hives have no parent; NULL parents are distinct in a UNIQUE index, so
    // the name alone is checked here.
    sqlite3_int64 id = 0;
    const LONG found = HiveRow(db, hive.name, id);
    if (found == ERROR_SUCCESS) continue;
    if (found != ERROR_BADDB) return found;
    Statement add(db,
                  "INSERT INTO keys(parent, name, folded, path) "
                  "VALUES(NULL, ?1, ?1, ?1)");
    const int step = add.Bind(1, std::string(hive.name)).Step();
    if (step != SQLITE_DONE) return ErrorFor(step, ERROR_CANTOPEN);
  }
  result = transaction.Commit();
  return result == SQLITE_OK ? ERROR_SUCCESS : ErrorFor(result, ERROR_CANTOPEN);
}

sqlite3* Registry::Connect(const std::string& root, LONG& error) {
  error = ERROR_SUCCESS;
  const std::string path = root + "/registry.db";
  struct stat info {};
  // The connection is kept only while its file is still the one at the
  // path: a root that was removed and made again, or a store deleted under
  // a running program, gets a fresh connection rather than a deleted file.
  if (db_ && root == connectedRoot_ && stat(path.c_str(), &info) == 0 &&
      info.st_dev == connectedDevice_ && info.st_ino == connectedInode_) {
    return db_.get();
  }
  db_.reset();
  connectedRoot_.clear();
  // The store holds the person's profile: only its owner may read it. The
  // journal files SQLite makes beside it take the same mode.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = ERROR_CANTOPEN;
    return nullptr;
  }
  fchmod(fd, 0600);
  const bool known = fstat(fd, &info) == 0;
  close(fd);
  if (!known) {
    error = ERROR_CANTOPEN;
    return nullptr;
  }
  sqlite3* raw = nullptr;
  const int result = sqlite3_open_v2(
      path.c_str(), &raw,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
      nullptr);
  Database db(raw);
  if (result != SQLITE_OK) {
    error = ErrorFor(result, ERROR_CANTOPEN);
    return nullptr;
  }
  if ((error = Prepare(db.get())) != ERROR_SUCCESS) return nullptr;
  db_ = std::move(db);
  connectedRoot_ = root;
  connectedDevice_ = info.st_dev;
  connectedInode_ = info.st_ino;
  return db_.get();
}

// A hive that is missing means a damaged store: every store has all three.
LONG Registry::HiveRow(sqlite3* db, const char* name, sqlite3_int64& id) {
  Statement find(db, "SELECT id FROM keys WHERE parent IS NULL AND name = ?");
  const LONG found =
      LookupResult(find.Bind(1, std::string(name)).Step(), ERROR_BADDB);
  if (found == ERROR_SUCCESS) id = find.Integer(0);
  return found;
}

LONG Registry::KeyPath(sqlite3* db, sqlite3_int64 id, std::string& path) {
  Statement find(db, "SELECT path FROM keys WHERE id = ?");
  const LONG found = LookupResult(find.Bind(1, id).Step(), ERROR_KEY_DELETED);
  if (found == ERROR_SUCCESS) path = find.Text(0);
  return found;
}

LONG Registry::ChildRow(sqlite3* db, sqlite3_int64 parent,
                        const std::string& name, sqlite3_int64& id) {
  Statement find(db, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
  const LONG found = LookupResult(
      find.Bind(1, parent).Bind(2, vt::platform::AnsiToUtf8(Fold(name))).Step(),
      ERROR_FILE_NOT_FOUND);
  if (found == ERROR_SUCCESS) id = find.Integer(0);
  return found;
}

LONG Registry::FindValue(sqlite3* db, sqlite3_int64 key,
                         const std::string& name, StoredValue& value) {
  Statement find(db,
                 "SELECT name, type, data FROM vals WHERE key = ? AND "
                 "folded = ?");
  const LONG found = LookupResult(
      find.Bind(1, key).Bind(2, vt::platform::AnsiToUtf8(Fold(name))).Step(),
      ERROR_FILE_NOT_FOUND);
  if (found == ERROR_SUCCESS) {
    value = StoredValue{vt::platform::Utf8ToAnsi(find.Text(0)),
                        static_cast<DWORD>(find.Integer(1)), find.Blob(2)};
  }
  return found;
}

Registry::Target Registry::Resolve(HKEY key) {
  Target target;
  const auto number = reinterpret_cast<std::uintptr_t>(key);
  const std::string root = vt::platform::SystemRoot();
  for (const auto& hive : kHives) {
    if (hive.handle != number) continue;
    target.db = Connect(root, target.error);
    if (target.db == nullptr) return target;
    target.key = {root, 0};
    target.error = HiveRow(target.db, hive.name, target.key.id);
    return target;
  }
  const auto it = handles_.find(number);
  if (it == handles_.end()) {
    target.error = ERROR_INVALID_HANDLE;
    return target;
  }
  target.key = *it->second;
  // A handle keeps to the store it was opened in, even after the system
  // root has moved.
  target.db = Connect(target.key.root, target.error);
  if (target.db != nullptr) {
    std::string path;
    target.error = KeyPath(target.db, target.key.id, path);
  }
  return target;
}

HKEY Registry::AddHandle(KeyRef key) {
  nextHandle_ += 4;
  handles_.emplace(nextHandle_, std::make_unique<KeyRef>(std::move(key)));
  return reinterpret_cast<HKEY>(nextHandle_);
}

LONG Registry::CreateKey(HKEY base, LPCSTR subKey, PHKEY result,
                         LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto target = Resolve(base);
  if (target.error != ERROR_SUCCESS) return target.error;
  Transaction transaction(target.db);
  if (transaction.result() != SQLITE_OK) {
    return ErrorFor(transaction.result(), ERROR_CANTWRITE);
  }
  std::string path;
  if (const LONG found = KeyPath(target.db, target.key.id, path)) return found;
  sqlite3_int64 id = target.key.id;
  bool created = false;
  for (const auto& part : SplitPath(subKey == nullptr ? "" : subKey)) {
    const std::string utf8 = vt::platform::AnsiToUtf8(part);
    path += "\\" + utf8;
    sqlite3_int64 child = 0;
    const LONG found = ChildRow(target.db, id, part, child);
    if (found == ERROR_SUCCESS) {
      id = child;
      // The key's own spelling is kept: the stored path follows it.
      if (const LONG again = KeyPath(target.db, id, path)) return again;
      continue;
    }
    if (found != ERROR_FILE_NOT_FOUND) return found;
    Statement add(target.db,
                  "INSERT INTO keys(parent, name, folded, path) "
                  "VALUES(?, ?, ?, ?)");
    const int step = add.Bind(1, id)
                         .Bind(2, utf8)
                         .Bind(3, vt::platform::AnsiToUtf8(Fold(part)))
                         .Bind(4, path)
                         .Step();
    if (step != SQLITE_DONE) return ErrorFor(step, ERROR_CANTWRITE);
    id = sqlite3_last_insert_rowid(target.db);
    created = true;
  }
  const int committed = transaction.Commit();
  if (committed != SQLITE_OK) return ErrorFor(committed, ERROR_CANTWRITE);
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  *result = AddHandle({target.key.root, id});
  return ERROR_SUCCESS;
}

LONG Registry::OpenKey(HKEY base, LPCSTR subKey, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto target = Resolve(base);
  if (target.error != ERROR_SUCCESS) return target.error;
  sqlite3_int64 id = target.key.id;
  for (const auto& part : SplitPath(subKey == nullptr ? "" : subKey)) {
    if (const LONG found = ChildRow(target.db, id, part, id)) return found;
  }
  *result = AddHandle({target.key.root, id});
  return ERROR_SUCCESS;
}

LONG Registry::QueryValue(HKEY key, LPCSTR name, LPDWORD type, LPBYTE data,
                          LPDWORD dataSize) {
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  auto target = Resolve(key);
  if (target.error != ERROR_SUCCESS) return target.error;
  StoredValue value;
  if (const LONG found = FindValue(target.db, target.key.id,
                                   name == nullptr ? "" : name, value)) {
    return found;
  }
  return CopyValueOut(value, type, data, dataSize);
}

LONG Registry::SetValue(HKEY key, LPCSTR name, DWORD type, const BYTE* data,
                        DWORD dataSize) {
  if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
  if (dataSize > 0x7FFFFFFFu) return ERROR_INVALID_PARAMETER;
  auto target = Resolve(key);
  if (target.error != ERROR_SUCCESS) return target.error;
  const std::string ansiName = name == nullptr ? "" : name;
  Transaction transaction(target.db);
  if (transaction.result() != SQLITE_OK) {
    return ErrorFor(transaction.result(), ERROR_CANTWRITE);
  }
  std::string path;
  if (const LONG found = KeyPath(target.db, target.key.id, path)) return found;
  // An existing value keeps its place and the spelling of its name.
  Statement upsert(target.db,
                   "INSERT INTO vals(key, name, folded, type, data) "
                   "VALUES(?, ?, ?, ?, ?) ON CONFLICT(key, folded) DO UPDATE "
                   "SET type = excluded.type, data = excluded.data");
  const int step = upsert.Bind(1, target.key.id)
                       .Bind(2, vt::platform::AnsiToUtf8(ansiName))
                       .Bind(3, vt::platform::AnsiToUtf8(Fold(ansiName)))
                       .Bind(4, static_cast<sqlite3_int64>(type))
                       .BindBlob(5, data, static_cast<int>(dataSize))
                       .Step();
  if (step != SQLITE_DONE) return ErrorFor(step, ERROR_CANTWRITE);
  const int committed = transaction.Commit();
  return committed == SQLITE_OK ? ERROR_SUCCESS
                                : ErrorFor(committed, ERROR_CANTWRITE);
}

LONG Registry::DeleteValue(HKEY key, LPCSTR name) {
  auto target = Resolve(key);
  if (target.error != ERROR_SUCCESS) return target.error;
  Transaction transaction(target.db);
  if (transaction.result() != SQLITE_OK) {
    return ErrorFor(transaction.result(), ERROR_CANTWRITE);
  }
  Statement remove(target.db, "DELETE FROM vals WHERE key = ? AND folded = ?");
  const int step =
      remove.Bind(1, target.key.id)
          .Bind(2, vt::platform::AnsiToUtf8(Fold(name == nullptr ? "" : name)))
          .Step();
  if (step != SQLITE_DONE) return ErrorFor(step, ERROR_CANTWRITE);
  if (sqlite3_changes(target.db) == 0) return ERROR_FILE_NOT_FOUND;
  const int committed = transaction.Commit();
  return committed == SQLITE_OK ? ERROR_SUCCESS
                                : ErrorFor(committed, ERROR_CANTWRITE);
}

LONG Registry::DeleteKey(HKEY base, LPCSTR subKey) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  auto target = Resolve(base);
  if (target.error != ERROR_SUCCESS) return target.error;
  Transaction transaction(target.db);
  if (transaction.result() != SQLITE_OK) {
    return ErrorFor(transaction.result(), ERROR_CANTWRITE);
  }
  sqlite3_int64 id = target.key.id;
  for (const auto& part : SplitPath(subKey)) {
    if (const LONG found = ChildRow(target.db, id, part, id)) return found;
  }
  // A hive itself is never deleted.
  Statement hive(target.db, "SELECT parent IS NULL FROM keys WHERE id = ?");
  if (const LONG found =
          LookupResult(hive.Bind(1, id).Step(), ERROR_KEY_DELETED)) {
    return found;
  }
  if (hive.Integer(0) != 0) return ERROR_ACCESS_DENIED;
  Statement children(target.db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  const int childStep = children.Bind(1, id).Step();
  if (childStep == SQLITE_ROW) return ERROR_ACCESS_DENIED;
  if (childStep != SQLITE_DONE) return ErrorFor(childStep, ERROR_CANTREAD);
  Statement values(target.db, "DELETE FROM vals WHERE key = ?");
  int step = values.Bind(1, id).Step();
  if (step != SQLITE_DONE) return ErrorFor(step, ERROR_CANTWRITE);
  Statement remove(target.db, "DELETE FROM keys WHERE id = ?");
  step = remove.Bind(1, id).Step();
  if (step != SQLITE_DONE) return ErrorFor(step, ERROR_CANTWRITE);
  const int committed = transaction.Commit();
  return committed == SQLITE_OK ? ERROR_SUCCESS
                                : ErrorFor(committed, ERROR_CANTWRITE);
}

LONG Registry::EnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize,
                         LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  auto target = Resolve(key);
  if (target.error != ERROR_SUCCESS) return target.error;
  Statement find(target.db,
                 "SELECT name, type, data FROM vals WHERE key = ? "
                 "ORDER BY id LIMIT 1 OFFSET ?");
  if (const LONG found =
          LookupResult(find.Bind(1, target.key.id).Bind(2, index).Step(),
                       ERROR_NO_MORE_ITEMS)) {
    return found;
  }
  const StoredValue value{vt::platform::Utf8ToAnsi(find.Text(0)),
                          static_cast<DWORD>(find.Integer(1)), find.Blob(2)};
  if (const LONG error = CopyNameOut(value.name, name, nameSize)) return error;
  return CopyValueOut(value, type, data, dataSize);
}

LONG Registry::EnumKey(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize) {
  auto target = Resolve(key);
  if (target.error != ERROR_SUCCESS) return target.error;
  Statement find(target.db,
                 "SELECT name FROM keys WHERE parent = ? "
                 "ORDER BY folded LIMIT 1 OFFSET ?");
  if (const LONG found =
          LookupResult(find.Bind(1, target.key.id).Bind(2, index).Step(),
                       ERROR_NO_MORE_ITEMS)) {
    return found;
  }
  return CopyNameOut(vt::platform::Utf8ToAnsi(find.Text(0)), name, nameSize);
}

LONG Registry::CloseKey(HKEY key) {
  const auto number = reinterpret_cast<std::uintptr_t>(key);
  for (const auto& hive : kHives) {
    if (hive.handle == number) return ERROR_SUCCESS;
  }
  return handles_.erase(number) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// The one registry of the process, and its lock.
struct Locked {
  std::unique_lock<std::mutex> lock;
  Registry& registry;
};
// Neither is ever destroyed: a thread may still be inside a registry call
// while the process ends.
vt::platform::NoDestroy<std::mutex> registryMutex;
Registry& TheRegistry() {
  static vt::platform::NoDestroy<Registry> registry;
  return registry.get();
}
Locked Lock() { return {std::unique_lock(registryMutex.get()), TheRegistry()}; }

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM,
                     LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  auto locked = Lock();
  return locked.registry.CreateKey(key, subKey, result, disposition);
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
  auto locked = Lock();
  return locked.registry.OpenKey(key, subKey, result);
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  auto locked = Lock();
  return locked.registry.QueryValue(key, valueName, type, data, dataSize);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type,
                    const BYTE* data, DWORD dataSize) {
  auto locked = Lock();
  return locked.registry.SetValue(key, valueName, type, data, dataSize);
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
  auto locked = Lock();
  return locked.registry.DeleteValue(key, valueName);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  auto locked = Lock();
  return locked.registry.DeleteKey(key, subKey);
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName,
                   LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  auto locked = Lock();
  return locked.registry.EnumValue(key, index, valueName, valueNameSize, type,
                                   data, dataSize);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize,
                   LPDWORD reserved, LPSTR keyClass, LPDWORD classSize, void*) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  auto locked = Lock();
  const LONG result = locked.registry.EnumKey(key, index, name, nameSize);
  // Keys have no class here: an empty one is what every key reports.
  if (result == ERROR_SUCCESS && keyClass != nullptr && classSize != nullptr &&
      *classSize > 0) {
    keyClass[0] = '\0';
    *classSize = 0;
  }
  return result;
}

LONG RegCloseKey(HKEY key) {
  auto locked = Lock();
  return locked.registry.CloseKey(key);
}

namespace vt::platform {

void SetRegistryBusyTimeout(int milliseconds) {
  busyTimeoutMs = milliseconds;
  auto locked = Lock();
  locked.registry.SetBusyTimeout(milliseconds);
}

}  // namespace vt::platform
