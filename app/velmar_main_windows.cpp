// velmar.exe: the editor's window on Windows.
#include "main_window.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) { return win32::runEditor(instance, show); }
