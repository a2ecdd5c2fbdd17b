// Exceptions (libgcc's unwinder), strings (libstdc++) and a mutex (the
// thread library): prints "caught xx" when run with one argument.
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>

int main(int argc, char **) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  try {
    throw std::runtime_error(std::string(argc, 'x'));
  } catch (const std::exception &error) {
    std::printf("caught %s\n", error.what());
  }
  return 0;
}
