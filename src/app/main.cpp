// Process entry of Velmora.exe: one top-level window and the message loop of the UI thread.

#include "app/app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return Velmora::implementation::RunApplication(instance, showCommand);
}
