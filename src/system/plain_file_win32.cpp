#include "system/plain_file.h"

#include "common/win32_handles.h"

namespace Velmora {

bool ReadPlainFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::wstring& error) {
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || !::GetFileInformationByHandle(file.Get(), &information)) {
        error = L"it cannot be opened (error " + std::to_wstring(::GetLastError()) + L")";
        return false;
    }
    if ((information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        error = L"it is a link or a folder";
        return false;
    }
    if (information.nFileSizeHigh != 0 || information.nFileSizeLow > maxBytes) {
        error = L"it is larger than " + std::to_wstring(maxBytes / 1024) + L" KB";
        return false;
    }
    bytes.resize(information.nFileSizeLow);
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), information.nFileSizeLow, &read, nullptr) ||
                           read != information.nFileSizeLow)) {
        error = L"it cannot be read (error " + std::to_wstring(::GetLastError()) + L")";
        return false;
    }
    return true;
}

} // namespace Velmora
