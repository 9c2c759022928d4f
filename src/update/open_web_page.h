#pragma once

#include <string_view>

namespace Velmora {

// Opens an https page in the user's browser and says whether it was handed over; anything but an
// https address is refused with a line in the run log. Velmora runs elevated, and a browser started
// by it would run elevated too, so the page is handed to the desktop shell (Explorer), which starts
// the browser with the user's normal rights; only where no shell desktop answers is the page opened
// directly. Call on a thread with a single-threaded COM apartment (the UI thread). Windows only.
[[nodiscard]] bool OpenWebPage(std::wstring_view httpsUrl);

// Shows a folder in Explorer, handed over the same way as a web page, so that it runs with the user's
// normal rights. Windows only.
[[nodiscard]] bool OpenFolderInExplorer(const std::wstring& folder);

} // namespace Velmora
