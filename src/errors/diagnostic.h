// The library's diagnostic lines, the details that an error box or a
// failure result cannot carry: where they go, how a value from outside is
// shown in them, and how a line said once is remembered.
#ifndef LURN_DIAGNOSTIC_H
#define LURN_DIAGNOSTIC_H

#include <stddef.h>
#include <stdint.h>

#include <mutex>
#include <string>
#include <unordered_set>

// Writes one diagnostic line (printf's format, no newline) to standard error
// and the debugger's output on Windows, and appends it to the file named by
// LURN_LOG when set: a GUI program has no standard error. LURN_LOG is read
// at each line, since lines come from Open, from frames and from the
// settings themselves. A log that cannot take the line (it cannot be
// opened, the write fails, or it is a pipe that could hold the program) is
// named once on standard error. Control characters in the line are escaped,
// so that one line stays one line. Safe from any thread.
void SayDiagnostic(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A value from a program or a user as a diagnostic line shows it: in double
// quotes, with control characters, quotes, backslashes and bytes that are
// not UTF-8 escaped (\n, \", \\, \x01), and of a long value its first
// `limit` bytes only, cut between two characters and followed by "...".
std::string Quoted(const std::string &text, size_t limit = 64);

// Remembers what was said, so that each thing is said once however often it
// happens: by a 64-bit hash of its key, and at most kLimit keys, so that
// values of any length or number cost a bounded memory. Past the limit,
// nothing new is said. Safe from any thread.
class SaidOnce {
public:
  static const size_t kLimit = 1024;
  // True the first time for each key, while fewer than kLimit are held.
  bool First(const std::string &key);

private:
  std::mutex lock_;
  std::unordered_set<uint64_t> said_;
};

#endif
