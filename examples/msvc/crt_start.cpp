// The start-up a C runtime would give a program linked with /nodefaultlib
// against msvcrt.dll: a client compiled by clang-cl needs no Visual C++.
// No headers, so that any compiler and packing can build it.
extern "C" int _fltused = 0; // MSVC-mode code using floating point needs it
extern "C" int __cdecl __getmainargs(int *, char ***, char ***, int, int *);
extern "C" void __cdecl exit(int);
int main(int argc, char **argv);

extern "C" void mainCRTStartup() {
  int argc = 0, startInfo = 0;
  char **argv = 0, **env = 0;
  __getmainargs(&argc, &argv, &env, 0, &startInfo);
  exit(main(argc, argv));
}
