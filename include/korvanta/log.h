// Log.txt: timestamped, indented Shift-JIS lines with CR LF ends, written
// into the working folder once InitMediaLibrary has run (it starts a fresh
// file). Every call appends and closes the file, so nothing is lost when the
// process ends abruptly; a log that cannot be written loses its text and the
// program runs on (standard error says so once).
#pragma once

namespace korvanta {

int LogAdd(const char* text);                  // always -1
int LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));      // always -1
int LogPrintfLine(const char* format, ...) __attribute__((format(printf, 1, 2)));  // adds a line feed; always -1
int LogIndent();    // the following lines one tab further in; always 0
int LogUnindent();  // always 0

// Sends every log text to standard error as well, converted to UTF-8.
void SetLogEcho(bool on);
// Turns the echo on when the arguments hold "--log-echo" or the environment
// has KORVANTA_LOG_ECHO=1. Removes "--log-echo" from argv; returns the new argc.
int ConfigureLogEchoFromCommandLine(int argc, char** argv);

}  // namespace korvanta
