// Standard error goes to a temporary file while a capture lives: the
// library's diagnostic lines can be read back, and runs of thousands of
// reported failures stay quiet.
#ifndef LURN_TEST_CAPTURE_STDERR_H
#define LURN_TEST_CAPTURE_STDERR_H

#include <stdio.h>

#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h> // dup, dup2, close under their POSIX names
#else
#include <unistd.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
// A sanitizer's report goes to the real standard error, not the capture.
#define LURN_SANITIZER_REPORTS_TO(fd)                                          \
  __sanitizer_set_report_fd(reinterpret_cast<void *>(intptr_t(fd)))
#else
#define LURN_SANITIZER_REPORTS_TO(fd) ((void)(fd))
#endif

class StderrCapture {
public:
  StderrCapture() : file_(tmpfile()), saved_(dup(2)) {
    fflush(stderr);
    if (Depth()++ == 0)
      LURN_SANITIZER_REPORTS_TO(saved_);
    dup2(fileno(file_), 2);
  }
  ~StderrCapture() {
    fflush(stderr);
    dup2(saved_, 2);
    if (--Depth() == 0)
      LURN_SANITIZER_REPORTS_TO(2);
    close(saved_);
    fclose(file_);
  }
  // The library's lines ("lurn: ...") written since the last call.
  std::vector<std::string> TakeLines() {
    fflush(stderr);
    fseek(file_, taken_, SEEK_SET);
    std::vector<std::string> lines;
    std::string line;
    for (int c; (c = fgetc(file_)) != EOF; ++taken_) {
      if (c != '\n' && c != '\r')
        line += char(c);
      else if (c == '\n' && line.compare(0, 6, "lurn: ") == 0)
        lines.push_back(line);
      if (c == '\n')
        line.clear();
    }
    return lines;
  }

private:
  static int &Depth() { // captures alive, nested
    static int depth = 0;
    return depth;
  }
  FILE *file_;
  int saved_;
  long taken_ = 0;
};

#endif
