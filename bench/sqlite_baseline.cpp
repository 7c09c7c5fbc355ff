// sqlite_baseline: plain SQLite doing the least work for the results of the
// Vorlan commands, so that the benchmark can state every figure as a ratio
// measured in the same run. One table per file with the record and the
// columns of its keys and system data values, one index per key.
//
//   sqlite_baseline insert DB N        N records (transactions of 10,000 rows)
//   sqlite_baseline scan DB OUT key|physical
//                                      every row, in key 0 or rowid order,
//                                      written to OUT as UNF entries (stdio)
//   sqlite_baseline update DB          a new update value for every row
//   sqlite_baseline pdc DB N           a PDC table, one record in ten an obituary
//   sqlite_baseline force DB           LastUpdated of every waiting record
//   sqlite_baseline purge DB           delete every obituary
//   sqlite_baseline ops DB             per-operation costs (see rm_ops)
//   sqlite_baseline version            the SQLite library's version
#include <sqlite3.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_records.h"

namespace vorlan::bench {
namespace {

constexpr uint64_t kSysDataBase = 0x08DC000000000000ull;

void fail(sqlite3* db, const char* what) {
  std::fprintf(stderr, "sqlite_baseline: %s: %s\n", what, db ? sqlite3_errmsg(db) : "no database");
  std::exit(1);
}

void exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, sql);
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) fail(db, sql);
  return st;
}

void stepDone(sqlite3* db, sqlite3_stmt* st) {
  if (sqlite3_step(st) != SQLITE_DONE) fail(db, sqlite3_sql(st));
  sqlite3_reset(st);
}

// The same settings as the record manager's files.
sqlite3* openDb(const char* path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path, &db) != SQLITE_OK) fail(db, path);
  exec(db, "PRAGMA synchronous = NORMAL");
  exec(db, "PRAGMA temp_store = MEMORY");
  exec(db, "PRAGMA cache_size = -32768");
  exec(db, "PRAGMA journal_mode = WAL");
  return db;
}

void closeDb(sqlite3* db) {
  if (sqlite3_close(db) != SQLITE_OK) fail(db, "close");
}

const char* const kInsertSql =
    "INSERT INTO records(data, sys, usys, k0, k1) VALUES (?1, ?2, ?3, ?4, ?5)";

void bindRecord(sqlite3_stmt* st, const uint8_t* record, uint64_t sys) {
  sqlite3_bind_blob(st, 1, record, kRecordLength, SQLITE_STATIC);
  sqlite3_bind_int64(st, 2, static_cast<int64_t>(sys));
  sqlite3_bind_int64(st, 3, static_cast<int64_t>(sys));
  sqlite3_bind_int64(st, 4, recordNumber(record));
  sqlite3_bind_blob(st, 5, record + kKey1Offset, kKey1Length, SQLITE_STATIC);
}

// Inserts `count` records numbered from `first`, committing every 10,000.
void insertRows(sqlite3* db, Generator& random, uint64_t first, uint64_t count, uint64_t sysBase) {
  sqlite3_stmt* insert = prepare(db, kInsertSql);
  uint8_t record[kRecordLength];
  exec(db, "BEGIN");
  for (uint64_t i = 0; i < count; ++i) {
    makeRecord(random, static_cast<uint32_t>(first + i), record);
    bindRecord(insert, record, sysBase + first + i);
    stepDone(db, insert);
    if ((i + 1) % kRowsPerTransaction == 0) {
      exec(db, "COMMIT");
      exec(db, "BEGIN");
    }
  }
  exec(db, "COMMIT");
  sqlite3_finalize(insert);
}

int runInsert(const char* path, uint64_t count) {
  sqlite3* db = openDb(path);
  exec(db,
       "CREATE TABLE records(position INTEGER PRIMARY KEY, data BLOB NOT NULL, sys INTEGER NOT NULL,"
       " usys INTEGER NOT NULL, k0 INTEGER NOT NULL, k1 BLOB NOT NULL);"
       "CREATE UNIQUE INDEX records_sys ON records(sys);"
       "CREATE INDEX records_usys ON records(usys);"
       "CREATE UNIQUE INDEX records_k0 ON records(k0);"
       "CREATE INDEX records_k1 ON records(k1);");
  Generator random{1};
  insertRows(db, random, 1, count, kSysDataBase);
  closeDb(db);
  return 0;
}

int runScan(const char* path, const char* outPath, bool keyOrder) {
  sqlite3* db = openDb(path);
  FILE* out = std::fopen(outPath, "wb");
  if (!out) {
    std::perror(outPath);
    return 1;
  }
  sqlite3_stmt* st = prepare(db, keyOrder ? "SELECT data, sys, usys FROM records ORDER BY k0"
                                          : "SELECT data, sys, usys FROM records ORDER BY position");
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const void* data = sqlite3_column_blob(st, 0);
    const int length = sqlite3_column_bytes(st, 0);
    std::fprintf(out, "S%016" PRIX64 ",U%016" PRIX64 ",%010d,", static_cast<uint64_t>(sqlite3_column_int64(st, 1)),
                 static_cast<uint64_t>(sqlite3_column_int64(st, 2)), length);
    std::fwrite(data, 1, static_cast<size_t>(length), out);
    std::fputs("\r\n", out);
  }
  if (rc != SQLITE_DONE) fail(db, "scan");
  std::fputc(0x1A, out);
  sqlite3_finalize(st);
  if (std::fclose(out) != 0) {
    std::perror(outPath);
    return 1;
  }
  closeDb(db);
  return 0;
}

int runUpdate(const char* path) {
  sqlite3* db = openDb(path);
  sqlite3_stmt* st = prepare(db, "UPDATE records SET usys = ?1 + position");
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(kSysDataBase + 0x0001000000000000ull));
  exec(db, "BEGIN");
  stepDone(db, st);
  exec(db, "COMMIT");
  sqlite3_finalize(st);
  closeDb(db);
  return 0;
}

// A PDC table: key 0 the record number, key 1 the tracked record's system
// data value, key 2 LastUpdated; RecordState 'D' for one record in ten.
int runPdc(const char* path, uint64_t count) {
  sqlite3* db = openDb(path);
  exec(db,
       "CREATE TABLE pdc(number INTEGER PRIMARY KEY, tracked INTEGER NOT NULL, state TEXT NOT NULL,"
       " last_updated INTEGER NOT NULL, sys INTEGER NOT NULL, data BLOB NOT NULL);"
       "CREATE UNIQUE INDEX pdc_tracked ON pdc(tracked);"
       "CREATE INDEX pdc_last_updated ON pdc(last_updated);"
       "CREATE UNIQUE INDEX pdc_sys ON pdc(sys);");
  sqlite3_stmt* st = prepare(db, "INSERT INTO pdc VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
  uint8_t record[48] = {};
  exec(db, "BEGIN");
  for (uint64_t n = 1; n <= count; ++n) {
    const bool obituary = n % 10 == 1;
    sqlite3_bind_int64(st, 1, static_cast<int64_t>(n));
    sqlite3_bind_int64(st, 2, static_cast<int64_t>(0x0800000000000000ull + n));
    sqlite3_bind_text(st, 3, obituary ? "D" : "N", 1, SQLITE_STATIC);
    sqlite3_bind_int64(st, 4, 638000000000000000ll);
    sqlite3_bind_int64(st, 5, static_cast<int64_t>(kSysDataBase + n));
    sqlite3_bind_blob(st, 6, record, sizeof record, SQLITE_STATIC);
    stepDone(db, st);
    if (n % kRowsPerTransaction == 0) {
      exec(db, "COMMIT");
      exec(db, "BEGIN");
    }
  }
  exec(db, "COMMIT");
  sqlite3_finalize(st);
  closeDb(db);
  return 0;
}

int runForce(const char* path) {
  sqlite3* db = openDb(path);
  sqlite3_stmt* st = prepare(db, "UPDATE pdc SET last_updated = ?1 WHERE state = 'N'");
  sqlite3_bind_int64(st, 1, 639000000000000000ll);
  exec(db, "BEGIN");
  stepDone(db, st);
  exec(db, "COMMIT");
  sqlite3_finalize(st);
  closeDb(db);
  return 0;
}

int runPurge(const char* path) {
  sqlite3* db = openDb(path);
  exec(db, "BEGIN");
  exec(db, "DELETE FROM pdc WHERE state = 'D'");
  exec(db, "COMMIT");
  closeDb(db);
  return 0;
}

void report(const char* name, uint64_t count, double seconds) {
  std::printf("%s %" PRIu64 " %.6f\n", name, count, seconds);
}

// The work of rm_ops, statement by statement: one prepared statement per
// kind of call, a row copied out per call.
int runOps(const char* path) {
  sqlite3* db = openDb(path);
  uint8_t buffer[kRecordLength * 2];
  uint64_t records = 0;
  {
    sqlite3_stmt* st = prepare(db, "SELECT count(*) FROM records");
    if (sqlite3_step(st) == SQLITE_ROW) records = static_cast<uint64_t>(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
  }
  auto fetchRows = [&](const char* sql) {
    sqlite3_stmt* st = prepare(db, sql);
    uint64_t n = 0;
    const auto start = Clock::now();
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::memcpy(buffer, sqlite3_column_blob(st, 0), static_cast<size_t>(sqlite3_column_bytes(st, 0)));
      ++n;
    }
    const double seconds = secondsSince(start);
    sqlite3_finalize(st);
    return std::make_pair(n, seconds);
  };
  // The reads in one read transaction, as a program doing the least work
  // would (a statement outside a transaction takes and drops the file's
  // locks each time).
  exec(db, "BEGIN");
  auto [nextCount, nextSeconds] = fetchRows("SELECT data, sys, usys FROM records ORDER BY k0");
  report("get_next", nextCount, nextSeconds);
  auto [stepCount, stepSeconds] = fetchRows("SELECT data, sys, usys FROM records ORDER BY position");
  report("step_next", stepCount, stepSeconds);

  auto lookups = [&](const char* name, const char* sql) {
    sqlite3_stmt* st = prepare(db, sql);
    Generator random{kLookupSeed};
    const auto start = Clock::now();
    for (uint64_t i = 0; i < kLookupOps; ++i) {
      sqlite3_bind_int64(st, 1, static_cast<int64_t>(random.pick(records)));
      if (sqlite3_step(st) != SQLITE_ROW) fail(db, name);
      std::memcpy(buffer, sqlite3_column_blob(st, 0), static_cast<size_t>(sqlite3_column_bytes(st, 0)));
      sqlite3_reset(st);
    }
    report(name, kLookupOps, secondsSince(start));
    sqlite3_finalize(st);
  };
  lookups("get_direct", "SELECT data, sys, usys FROM records WHERE position = ?1");
  lookups("get_equal", "SELECT data, sys, usys FROM records WHERE k0 = ?1");
  exec(db, "COMMIT");

  Generator random{99};
  auto start = Clock::now();
  insertRows(db, random, records + 1, kInsertOps, kSysDataBase);
  report("insert", kInsertOps, secondsSince(start));
  start = Clock::now();
  insertRows(db, random, records + 1 + kInsertOps, kInsertOps, kGivenSysDataBase);
  report("insert_sys_data", kInsertOps, secondsSince(start));
  closeDb(db);
  return 0;
}

int usage() {
  std::fputs(
      "usage: sqlite_baseline insert DB N | scan DB OUT key|physical | update DB |\n"
      "       pdc DB N | force DB | purge DB | ops DB\n",
      stderr);
  return 2;
}

}  // namespace
}  // namespace vorlan::bench

int main(int argc, char** argv) {
  using namespace vorlan::bench;
  if (argc == 2 && std::strcmp(argv[1], "version") == 0) return std::printf("%s\n", sqlite3_libversion()) < 0;
  if (argc < 3) return usage();
  const std::string command = argv[1];
  const char* db = argv[2];
  if (command == "insert" && argc == 4) return runInsert(db, std::strtoull(argv[3], nullptr, 10));
  if (command == "scan" && argc == 5) return runScan(db, argv[3], std::strcmp(argv[4], "key") == 0);
  if (command == "update" && argc == 3) return runUpdate(db);
  if (command == "pdc" && argc == 4) return runPdc(db, std::strtoull(argv[3], nullptr, 10));
  if (command == "force" && argc == 3) return runForce(db);
  if (command == "purge" && argc == 3) return runPurge(db);
  if (command == "ops" && argc == 3) return runOps(db);
  return usage();
}
