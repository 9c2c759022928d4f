#include "cli/report_path.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace Velmora::Cli {
namespace {

std::wstring Upper(std::wstring_view text) {
    std::wstring upper(text);
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    }
    return upper;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension.
bool IsDeviceName(std::wstring_view fileName) {
    const std::wstring base = Upper(fileName.substr(0, fileName.find(L'.')));
    constexpr std::array<std::wstring_view, 4> kDevices = {L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(kDevices.begin(), kDevices.end(), base) != kDevices.end()) {
        return true;
    }
    return base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) && base[3] >= L'1' &&
           base[3] <= L'9';
}

} // namespace

std::optional<std::wstring> WhyNotAReportPath(std::wstring_view fullPath) {
    if (fullPath.starts_with(L"\\\\.\\") || fullPath.starts_with(L"\\\\?\\") ||
        fullPath.starts_with(L"\\?"
                             L"?\\")) {
        return L"it names a device, not a file";
    }
    const bool drive = fullPath.size() >= 3 && std::iswalpha(static_cast<std::wint_t>(fullPath[0])) &&
                       fullPath[1] == L':' && fullPath[2] == L'\\';
    const bool share = fullPath.starts_with(L"\\\\") && fullPath.size() > 2;
    if (!drive && !share) {
        return L"it is not an absolute path";
    }
    if (std::any_of(fullPath.begin(), fullPath.end(), [](wchar_t c) { return c < 0x20; })) {
        return L"it holds a control character";
    }
    if (fullPath.find(L':', drive ? 2 : 0) != std::wstring_view::npos) {
        return L"it names a stream of a file";
    }
    const std::wstring_view fileName = fullPath.substr(fullPath.find_last_of(L'\\') + 1);
    if (fileName.empty() || fileName.back() == L'.' || fileName.back() == L' ') {
        return L"it does not end in a file name";
    }
    if (IsDeviceName(fileName)) {
        return L"it names a device, not a file";
    }
    return std::nullopt;
}

} // namespace Velmora::Cli
