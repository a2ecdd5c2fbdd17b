// The start of a program linked with /nodefaultlib against msvcrt.dll: what
// a C runtime's start-up would do, and no more, so that a client compiled
// by clang-cl needs no Visual C++ runtime to run.
#include <stdlib.h>

extern "C" {
int _fltused = 0; // MSVC-mode code that uses floating point refers to it
int __cdecl __getmainargs(int *argc, char ***argv, char ***env, int expand,
                          int *startInfo);
}
int main(int argc, char **argv);

extern "C" void mainCRTStartup() {
  int argc = 0, startInfo = 0;
  char **argv = NULL, **env = NULL;
  __getmainargs(&argc, &argv, &env, 0, &startInfo);
  exit(main(argc, argv));
}
