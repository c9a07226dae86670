// The log file: timestamped, indented Shift-JIS lines with CR LF ends.
//
// Every call opens the file, appends and closes it again, so that nothing is
// lost when the process ends abruptly. Text written before the log directory
// is known is dropped. A log that cannot be opened or written loses its text,
// and the run goes on; the first such failure of a run (each LogStart begins
// one) is reported on standard error with the path and the reason.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace media {

int LogStart();                                // begins a fresh log file; always 1
int LogAdd(const char* text);                  // always -1
int LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));      // always -1
int LogPrintfLine(const char* format, ...) __attribute__((format(printf, 1, 2)));  // always -1
int LogIndent();                               // always 0
int LogUnindent();                             // always 0
int LogSystemInfo();                           // system report; always 0

// Sends everything written to the log to standard error as well, converted to
// UTF-8 (the counterpart of a debugger output on this platform). The echo and
// the mirror show every text, whether or not the file took it.
void SetLogEcho(bool on);
bool LogEchoEnabled();
// Mirrors the log to a second stream in the same way (null stops it); the
// batch command prints the battle log on standard output with it.
void SetLogMirror(FILE* stream);
// Turns the echo on when the arguments hold "--log-echo" or the environment
// has KORVANTA_LOG_ECHO=1. Removes "--log-echo" from argv; returns the new argc.
int ConfigureLogEchoFromCommandLine(int argc, char** argv);

// Sets the folder and file name of the log without starting the media layer
// (batch programs). The folder must fit the 256-byte directory field; returns
// false when it does not.
bool SetLogLocation(const char* directory, const char* fileName);

}  // namespace media
