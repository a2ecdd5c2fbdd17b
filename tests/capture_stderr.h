// Standard error goes to a temporary file while a capture lives: the
// library's diagnostic lines can be read back, and runs of thousands of
// reported failures stay quiet.
#ifndef LURN_TEST_CAPTURE_STDERR_H
#define LURN_TEST_CAPTURE_STDERR_H

#include <stdio.h>

#include <string>

#if defined(_WIN32)
#include <io.h>
#define LURN_DUP _dup
#define LURN_DUP2 _dup2
#define LURN_CLOSE _close
#define LURN_FILENO _fileno
#else
#include <unistd.h>
#define LURN_DUP dup
#define LURN_DUP2 dup2
#define LURN_CLOSE close
#define LURN_FILENO fileno
#endif

class StderrCapture {
public:
  StderrCapture() : file_(tmpfile()), saved_(-1) {
    fflush(stderr);
    if (file_ != NULL) {
      saved_ = LURN_DUP(2);
      LURN_DUP2(LURN_FILENO(file_), 2);
    }
  }
  ~StderrCapture() {
    fflush(stderr);
    if (file_ != NULL) {
      LURN_DUP2(saved_, 2);
      LURN_CLOSE(saved_);
      fclose(file_);
    }
  }
  StderrCapture(const StderrCapture &) = delete;
  StderrCapture &operator=(const StderrCapture &) = delete;

  // Everything written since the capture began.
  std::string Text() { return From(0); }
  // What was written since the last Take.
  std::string Take() {
    std::string text = From(taken_);
    taken_ += static_cast<long>(text.size());
    return text;
  }

private:
  std::string From(long offset) {
    std::string text;
    if (file_ == NULL)
      return "(no temporary file for standard error)";
    fflush(stderr);
    fseek(file_, offset, SEEK_SET);
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file_)) > 0)
      text.append(buffer, got);
    fseek(file_, 0, SEEK_END);
    return text;
  }

  FILE *file_;
  int saved_;
  long taken_ = 0;
};

#endif
