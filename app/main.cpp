// Program entry point. The application object is built during static
// initialisation; its InitInstance does the whole life of the process.
#include <windows.h>

#include "app/assistant_app.h"

namespace {
Zentrava::App::CAssistantApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return theApp.Run(instance); }
