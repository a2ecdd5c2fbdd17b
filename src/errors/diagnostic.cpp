#include "diagnostic.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>
#endif

#include "../settings/settings.h"

namespace {

// A control character as a line shows it: \n, \r, \t, or \xHH.
void AppendEscaped(std::string &out, unsigned char byte) {
  const char *named = byte == '\n'   ? "\\n"
                      : byte == '\r' ? "\\r"
                      : byte == '\t' ? "\\t"
                                     : NULL;
  if (named != NULL) {
    out += named;
    return;
  }
  char hex[8];
  snprintf(hex, sizeof hex, "\\x%02X", byte);
  out += hex;
}

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// The length of the UTF-8 character that starts at `at`, or 0 when the
// bytes there are not one (a stray continuation byte, a cut sequence, an
// overlong or out-of-range form).
size_t CharacterLength(const std::string &text, size_t at) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80)
    return 1;
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size())
    return 0;
  for (size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
      return 0;
  unsigned char second = static_cast<unsigned char>(text[at + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F) || (lead == 0xED && second > 0x9F))
    return 0; // overlong, past U+10FFFF, or a surrogate
  return length;
}

#if defined(_WIN32)
// A pipe's write waits while its reader does not read, and the platform
// offers no write that gives up (not on a pipe of Wine's either): a log
// that is a pipe is refused, as a FIFO that would hold the program is
// natively. The write itself is checked: the C runtime's close reports
// success after a write that failed (a full disk).
bool AppendLine(const char *path, const std::string &line, std::string &why) {
  HANDLE file =
      CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    why = "error " + std::to_string(GetLastError());
    return false;
  }
  bool written = false;
  if (GetFileType(file) == FILE_TYPE_PIPE) {
    why = "a pipe, whose reader could hold the program";
  } else {
    DWORD count = 0;
    written = WriteFile(file, line.data(), DWORD(line.size()), &count, NULL) &&
              count == line.size();
    if (!written)
      why = "error " + std::to_string(GetLastError());
  }
  CloseHandle(file);
  return written;
}
#else
// Never waits: a FIFO that nobody reads would hold the program at the open
// (it fails with ENXIO instead), and one whose reader lags at the write.
bool AppendLine(const char *path, const std::string &line, std::string &why) {
  int file =
      open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (file < 0) {
    why = strerror(errno);
    return false;
  }
  ssize_t count = write(file, line.data(), line.size());
  int writeError = errno;
  bool closed = close(file) == 0;
  if (count == ssize_t(line.size()) && closed)
    return true;
  why = count < 0                       ? strerror(writeError)
        : count != ssize_t(line.size()) ? "a short write"
                                        : strerror(errno);
  return false;
}
#endif

} // namespace

std::string Quoted(const std::string &text, size_t limit) {
  std::string out = "\"";
  size_t at = 0;
  while (at < text.size()) {
    size_t length = CharacterLength(text, at);
    if (at + (length > 0 ? length : 1) > limit)
      break;
    unsigned char byte = static_cast<unsigned char>(text[at]);
    if (length == 0 || IsControl(byte)) {
      AppendEscaped(out, byte);
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += char(byte);
    } else {
      out.append(text, at, length);
    }
    at += length > 0 ? length : 1;
  }
  out += '"';
  if (at < text.size())
    out += "...";
  return out;
}

bool SaidOnce::First(const std::string &key) {
  // FNV-1a: the key is read whole, and only its hash is kept.
  uint64_t hash = 14695981039346656037ull;
  for (char byte : key)
    hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
  std::lock_guard<std::mutex> hold(lock_);
  if (said_.count(hash) != 0 || said_.size() >= kLimit)
    return false;
  said_.insert(hash);
  return true;
}

void SayDiagnostic(const char *format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int length = vsnprintf(NULL, 0, format, args);
  va_end(args);
  std::string formatted(length > 0 ? size_t(length) + 1 : 1, '\0');
  vsnprintf(&formatted[0], formatted.size(), format, again);
  va_end(again);
  formatted.pop_back();
  std::string text;
  for (char byte : formatted) {
    if (IsControl(static_cast<unsigned char>(byte)))
      AppendEscaped(text, static_cast<unsigned char>(byte));
    else
      text += byte;
  }
  text += '\n';
  fputs(text.c_str(), stderr);
  fflush(stderr);
#if defined(_WIN32)
  OutputDebugStringA(text.c_str());
#endif
  std::string log = LogSetting();
  if (log.empty())
    return;
  // One writer at a time, so that lines from two threads never interleave.
  static std::mutex lock;
  static SaidOnce unwritable;
  std::lock_guard<std::mutex> hold(lock);
  std::string why;
  if (!AppendLine(log.c_str(), text, why) && unwritable.First(log)) {
    std::string said = "lurn: cannot append to LURN_LOG=" + Quoted(log) + " (" +
                       why + "); lines go to standard error only\n";
    fputs(said.c_str(), stderr);
    fflush(stderr);
  }
}
