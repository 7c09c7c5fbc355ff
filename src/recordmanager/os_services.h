// The few operating-system services the record manager needs for locking,
// file handling and durability: whole-file locks that the system releases
// when the process dies, file identity, rename and removal, and the hooks
// that let bundled writes reach the file at process end. Every such call of
// the record manager lives in os_services.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace vorlan::rm::os {

// Opens a descriptor on an existing file for locking; -1 when it does not
// exist (*missing = true) or cannot be opened.
int openLockDescriptor(const std::string& path, bool* missing);
void closeDescriptor(int descriptor);

// Non-blocking whole-file locks (flock): shared for a normal open, exclusive
// for an exclusive open or for renaming, deleting or replacing a file.
bool lockShared(int descriptor);
bool lockExclusive(int descriptor);

// Device and inode of a file by name, without opening it (a descriptor
// closed on a file would release SQLite's own locks on it): false when it
// does not exist.
bool pathIdentity(const std::string& path, uint64_t* device, uint64_t* inode);

// Device and inode of an open descriptor, so that two names of one file
// share one store.
bool fileIdentity(int descriptor, uint64_t* device, uint64_t* inode);

bool pathExists(const std::string& path);
bool renamePath(const std::string& from, const std::string& to);
void removePath(const std::string& path);  // no error when absent

// Process-end hooks: `flush` runs at normal exit and on SIGINT, SIGTERM and
// SIGHUP (when the engine is inside a call the signal is held until the
// call returns). After the flush the signal goes on to the handler that was
// installed before, or is sent again with its default action. The fork
// routines run around fork() (pthread_atfork).
struct ProcessHooks {
  void (*flush)() = nullptr;
  void (*beforeFork)() = nullptr;
  void (*afterForkParent)() = nullptr;
  void (*afterForkChild)() = nullptr;
};
void installProcessHooks(const ProcessHooks& hooks);

// Engine calls bracket themselves with these so that a signal arriving in
// the middle of SQLite work is acted on at the end of the call.
void enterEngine();
void leaveEngine();

// Starts a detached thread running `body`, with every signal blocked in it
// so that handlers run on the program's own threads.
void startBackgroundThread(void (*body)());

// Sleeps for the given milliseconds.
void pause(int milliseconds);

}  // namespace vorlan::rm::os
