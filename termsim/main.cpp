// The terminal simulator program.
#include <cstdio>

int main() {
  std::fputs("termsim: not available yet\n", stderr);
  return 1;
}
