// A program that only runs: tests copy it, start the copy and then try to
// replace its file while it is in use.
#include <windows.h>

int main() {
  Sleep(120000);
  return 0;
}
