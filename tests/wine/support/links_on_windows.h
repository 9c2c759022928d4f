// The links of the wine.links.setup fixture, which makes them from the Unix side under Wine (Wine has no
// call that makes one), made on Windows with the call Windows has, and taken away again as links. The
// targets hold what the fixture writes into them.
#pragma once

#include "this_pc.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace Velmora::Testing {

inline std::wstring SystemTempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    return std::wstring(buffer, ::GetSystemWindowsDirectoryW(buffer, MAX_PATH)) + L"\\Temp";
}

inline const std::wstring kLinkTargets = L"C:\\velmora-link-targets";
inline const std::wstring kLinkNest = SystemTempFolder() + L"\\velmora-link-nest";
inline const std::wstring kLinkedTemp = L"C:\\velmora-linked-temp";
inline const std::pair<std::wstring, std::wstring> kLinks[] = {
    {SystemTempFolder() + L"\\velmora-link-folder", kLinkTargets + L"\\folder"},
    {SystemTempFolder() + L"\\velmora-link-empty", kLinkTargets + L"\\empty"},
    {SystemTempFolder() + L"\\velmora-link-file", kLinkTargets + L"\\file.txt"},
    {kLinkNest + L"\\sub\\velmora-link-folder", kLinkTargets + L"\\folder"},
    {kLinkedTemp + L"\\Temp", kLinkTargets + L"\\folder"},
};

class LinksOnWindows {
public:
    LinksOnWindows() {
        if (UnderWine()) {
            return;
        }
        std::error_code ignored;
        for (const std::wstring& folder : {kLinkTargets + L"\\folder\\inner", kLinkTargets + L"\\empty",
                                           kLinkNest + L"\\sub", kLinkedTemp}) {
            std::filesystem::create_directories(folder, ignored);
        }
        for (const auto& [file, text] :
             {std::pair{L"\\folder\\keep.txt", "keep\n"}, std::pair{L"\\folder\\inner\\deep.txt", "deep\n"},
              std::pair{L"\\file.txt", "file\n"}}) {
            std::ofstream(std::filesystem::path(kLinkTargets + file), std::ios::binary) << text;
        }
        for (const auto& [link, target] : kLinks) {
            const DWORD flags = target.ends_with(L".txt") ? 0 : SYMBOLIC_LINK_FLAG_DIRECTORY;
            EXPECT_TRUE(::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) << ::GetLastError();
        }
    }
    ~LinksOnWindows() {
        if (UnderWine()) {
            return;
        }
        // The links first, as links; then the folders, which hold no link any more.
        for (const auto& [link, target] : kLinks) {
            static_cast<void>(target.ends_with(L".txt") ? ::DeleteFileW(link.c_str())
                                                        : ::RemoveDirectoryW(link.c_str()));
        }
        std::error_code ignored;
        for (const std::wstring& folder : {kLinkTargets, kLinkNest, kLinkedTemp}) {
            std::filesystem::remove_all(folder, ignored);
        }
    }
    LinksOnWindows(const LinksOnWindows&) = delete;
    LinksOnWindows& operator=(const LinksOnWindows&) = delete;
};

} // namespace Velmora::Testing
