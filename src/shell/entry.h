#pragma once

namespace vorlan {

// The process entry: runs the one command of the command line and returns
// the exit status.
int runVorlan(int argc, char** argv);

// The file-argument copy: an empty argument prints "Invalid File Name" and
// gives 1, as does one longer than the buffer takes; otherwise 0.
int copyFileName(char* destination, const char* argument);

}  // namespace vorlan
