#include "app/app.h"

#include "ui/win32/top_level_window.h"

#include <commctrl.h>

namespace Velmora::implementation {

int RunApplication(HINSTANCE instance, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    Win32::TopLevelWindow window(instance, L"Velmora");
    if (!window.Create()) {
        return 1;
    }
    window.Show(showCommand);
    return Win32::RunMessageLoop();
}

} // namespace Velmora::implementation
