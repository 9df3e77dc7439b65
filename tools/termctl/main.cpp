// termctl: command-line access to a terminal through devapi.
#include <cstdio>
#include <cstring>

#include "devapi.h"

int main(int argc, char** argv) {
  char version[16] = {};
  Q_GetSDKVersion(version);
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("usage: termctl [--help] [--version]\n");
    return 0;
  }
  std::printf("TermKit SDK version %s\n", version);
  return 0;
}
