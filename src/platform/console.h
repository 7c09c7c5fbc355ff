// Keyboard polling for the record loops: a non-blocking "is a key waiting"
// test and a key read without echo.
#pragma once

namespace vorlan::platform {

// Key codes returned by readKey besides plain bytes.
constexpr int kKeyEscape = 27;
// A terminal's escape sequence (arrow, function key, ...) read as one press.
constexpr int kKeySequence = 0x100;

// True when a key press is waiting on the console keyboard; never blocks.
// When standard input is not a terminal no key is ever waiting.
bool keyWaiting();

// Reads one key press without echo, waiting for one when none is waiting
// (callers test keyWaiting() first). A lone Escape gives kKeyEscape; the
// escape sequence of an arrow or function key gives kKeySequence. Returns -1
// when no key can be read (standard input is not a terminal, or it is gone).
//
// On POSIX the first call of either routine puts a terminal on standard
// input in non-canonical mode without echo (Ctrl-C still signals); nothing
// is changed or read when standard input is not the terminal of the
// foreground process. The signal handlers installed then restore the
// terminal and pass the signal on to a handler installed before them.
int readKey();

// Puts the terminal back as it was (also done automatically at exit and on
// fatal signals). Harmless when the console was never touched.
void restoreConsole();

}  // namespace vorlan::platform
