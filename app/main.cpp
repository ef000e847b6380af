// Program entry point. The application object does the whole life of the
// process; until it exists the program starts and ends at once.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
