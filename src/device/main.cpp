#include <cstdio>

int main() {
  std::puts("usage: dorvane2-sim run FILE | shell | --help");
  return 0;
}
