// The serial line agent. Not built yet: it reports that and exits.
#include <cstdio>

int main() {
  std::fputs("lineagent: the serial line agent is not available in this build\n", stderr);
  return 1;
}
