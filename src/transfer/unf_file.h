// UNF files: the flat file that holds the records of one Btrieve file with
// their system data values, written by the exports and read by the imports.
//
// A UNF file is a sequence of entries, one per record, optionally followed by
// the end marker 0x1A. An entry is, in this order:
//   "S" + 16 upper-case hex digits of sysData + ","        (when sysData != 0)
//   "U" + 16 upper-case hex digits of updateSysData + ","  (when it is != 0)
//   the length as 10 decimal digits + ","                  (always)
//   the record's bytes, then CR LF.
//
// One UNF file is open per run; `unfFile` is its process-wide handle. All
// routines take the handle explicitly so that tests can use their own.
//
// Messages go to standard error, printed from their exact format strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_handle.h"

namespace vorlan {

// The largest record the -LOAD_OLD reader delivers (the size of the shared
// record buffer); longer entries are skipped.
constexpr int32_t kUnfOldRecordLimit = 64129;
constexpr unsigned char kUnfEndMarker = 0x1A;

// Results of the two readers.
constexpr int kUnfMalformed = -1;  // malformed or truncated entry, or a read
                                   // failure; already reported on standard
                                   // error. The import stops and its run ends
                                   // with a nonzero exit status.
constexpr int kUnfEnd = 0;         // no more entries: end of file at an entry
                                   // boundary, or the end marker. No message.
constexpr int kUnfEntry = 1;       // an entry was read
constexpr int kUnfSkipped = 2;     // readUnfRecordOld only: an entry longer
                                   // than kUnfOldRecordLimit was passed over
                                   // (its skip message printed); nothing is
                                   // delivered, the caller reads on.

// One piece of one record, as the whole-record reader delivers them: the
// first piece opens the entry, the last one closes it; a record longer than
// the record buffer comes in several pieces (a last piece may be empty).
struct UnfPiece {
  const unsigned char* bytes = nullptr;
  uint16_t length = 0;
  bool first = false;
  bool last = false;
  uint64_t sysData = 0;
  uint64_t updateSysData = 0;
};

struct UnfFile {
  platform::FileHandle handle;
  std::string path;  // for the messages

  // Writer state, kept between the pieces of one entry; empty between
  // entries.
  bool entryOpen = false;
  int64_t lengthFieldOffset = 0;  // where the entry's length field starts
  uint32_t lengthSoFar = 0;       // bytes of the entry written so far

  // Reader state: the file size as last seen, used to refuse a length field
  // that asks for more bytes than the file holds before anything is
  // allocated or read for it.
  int64_t knownSize = 0;

  // The reason of the first write failure (errno-style), and whether it has
  // been reported already.
  int writeError = 0;
  bool failureReported = false;
};

extern UnfFile unfFile;

// Opens the UNF file: create 0 opens an existing file (imports), 1 creates it
// or truncates it (exports), both for reading and writing; any other value
// opens nothing and only checks the handle already held. Returns 0, or 1
// after "\nUnable to open UNF File <%s>.\n". At verbosity 1 or more it first
// prints "Opening UNF File <%s>\n".
int openUnfFile(UnfFile& file, const char* path, int create);
int openUnfFile(const char* path, int create);  // on unfFile

// Closes the UNF file. With exportFlag 1 it first closes an entry left open
// (as abandonUnfEntry does) and writes the end marker. Returns 0, or 1 when
// a write, the final flush or the close failed; the failure is reported with
// reportUnfWriteFailure unless it was reported before. At verbosity 1 or more
// it prints "Closing UNF File\n". A handle that is not open is left alone.
int closeUnfFile(UnfFile& file, int exportFlag);

// Appends one piece of one record. The first piece writes the S and U fields
// (for values that are not 0) and the length field; every later piece
// rewrites the length field in place with the new total (the file grows only
// at its end); the last piece ends the entry with CR LF. A first piece while
// an entry is still open closes that entry first; a later piece without an
// open entry starts one. Returns false when the write failed (the file
// handle remembers it, so every later write fails too): the caller stops and
// calls reportUnfWriteFailure.
bool writeUnfPiece(UnfFile& file, const UnfPiece& piece);
bool writeUnfPiece(UnfFile& file, const unsigned char* bytes, uint16_t length,
                   bool first, bool last, uint64_t sysData, uint64_t updateSysData);

// Writes out what the handle buffers, so that a failure shows before the
// caller reports success. False when the write failed.
bool flushUnfFile(UnfFile& file);

// True while an entry has been opened by a first piece and not yet closed by
// a last one: after a record whose reading stopped half-way the caller sees
// it here, reports the record and calls abandonUnfEntry.
bool unfEntryOpen(const UnfFile& file);

// Closes the entry being written without further data: its length field
// already counts the bytes written, CR LF follows, and the writer state is
// emptied, so the entries after it stay readable. Nothing happens when no
// entry is open. Returns false when the write failed.
bool abandonUnfEntry(UnfFile& file);

// Prints "\nError writing UNF File <%s>: %s.\n" (the path and the reason) on
// standard error, once per file.
void reportUnfWriteFailure(UnfFile& file);

// The -LOAD entry buffer, owned by the caller and reused for every entry: it
// grows only when an entry is longer than any before and is released by
// releaseUnfEntryBuffer or the destructor (both safe to repeat). After an
// entry of L bytes it holds at least max(L + 1, 24) bytes, and the bytes from
// L up to that size are zero (a short record shows zeros after its end).
struct UnfEntryBuffer {
  unsigned char* bytes = nullptr;
  size_t capacity = 0;

  UnfEntryBuffer() = default;
  ~UnfEntryBuffer();
  UnfEntryBuffer(const UnfEntryBuffer&) = delete;
  UnfEntryBuffer& operator=(const UnfEntryBuffer&) = delete;
};

void releaseUnfEntryBuffer(UnfEntryBuffer& buffer);

// Reads the next entry for -LOAD, of any length, into `buffer`. Results:
// kUnfEntry, kUnfEnd or kUnfMalformed (see above). On kUnfEntry `length` is
// the entry's length (0 for an empty record) and both values are set (0 for
// a field that is absent).
//
// Format errors print the messages of the fields:
//   "Incorrect SysData data format <%s> at offset %.8x %.8x.\r\n"
//   "Incorrect UpdateSysData data format <%s> at offset %.8x %.8x.\r\n"
//   "Incorrect data format <%s> at offset %.8x %.8x!\r\n"
// with the 20 characters read and the position just after them (high and low
// 32 bits). The last one also covers a length that is negative or beyond the
// signed 32-bit range. A file that ends inside an entry is reported as
//   "Truncated entry at offset %.8x %.8x: %lld of %d data bytes present.\r\n"
//   "Truncated entry at offset %.8x %.8x: the file ends inside its fields.\r\n"
// with the offset where the entry starts; a length field asking for more
// bytes than the file holds is caught before any buffer is grown for it. An
// entry that cannot get its buffer prints
//   "\nNot enough memory for an entry of %d bytes in UNF File <%s>.\n"
// and a read failure "\nError reading UNF File <%s>: %s.\n"; all give
// kUnfMalformed.
//
// At verbosity 1 or more each field is traced: "Read System Data <%s>",
// " = %.8X%.8X\n", "[%s]\n" (the value as a timestamp), the same with
// "Read UpdateSysData <%s>", and "Read Length <%s> = %d\n".
int readUnfRecord(UnfFile& file, UnfEntryBuffer& buffer, int32_t& length,
                  uint64_t& sysData, uint64_t& updateSysData);

// Reads the next entry for -LOAD_OLD into `recordBuffer` (kUnfOldRecordLimit
// bytes, which the caller clears beforehand). As readUnfRecord, and in
// addition: an entry longer than kUnfOldRecordLimit prints
// "Skipping Oversized Record of %ld Bytes...\n", is passed over with its CR
// LF and gives kUnfSkipped.
int readUnfRecordOld(UnfFile& file, unsigned char* recordBuffer, int32_t& length,
                     uint64_t& sysData, uint64_t& updateSysData);

}  // namespace vorlan
