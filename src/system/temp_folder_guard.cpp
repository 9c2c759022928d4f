#include "system/temp_folder_guard.h"

#include <algorithm>

namespace Velmora {
namespace {

// Upper case as the file system compares names, for the scripts folder names commonly use: Latin
// (with Latin-1 and Latin Extended-A), Greek and Cyrillic.
wchar_t FoldCase(wchar_t c) {
    const auto u = static_cast<unsigned>(c);
    auto to = [](unsigned value) { return static_cast<wchar_t>(value); };
    if (u >= 'a' && u <= 'z') {
        return to(u - 0x20);
    }
    if (u < 0x80) {
        return c;
    }
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) {
        return to(u - 0x20);
    }
    if (u == 0xFF) {
        return to(0x178);
    }
    const bool evenUpper =
        (u >= 0x100 && u <= 0x12F) || (u >= 0x132 && u <= 0x137) || (u >= 0x14A && u <= 0x177);
    if (evenUpper) {
        return to(u & ~1u);
    }
    const bool oddUpper = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
    if (oddUpper) {
        return (u % 2 == 0) ? to(u - 1) : c;
    }
    if (u == 0x3C2) {
        return to(0x3A3);
    }
    if ((u >= 0x3B1 && u <= 0x3C1) || (u >= 0x3C3 && u <= 0x3CB) || (u >= 0x430 && u <= 0x44F)) {
        return to(u - 0x20);
    }
    if (u >= 0x450 && u <= 0x45F) {
        return to(u - 0x50);
    }
    switch (u) {
    case 0x3AC:
        return to(0x386);
    case 0x3AD:
    case 0x3AE:
    case 0x3AF:
        return to(u - 0x25);
    case 0x3CC:
        return to(0x38C);
    case 0x3CD:
    case 0x3CE:
        return to(u - 0x3F);
    default:
        return c;
    }
}

std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}

bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && Folded(text.substr(0, prefix.size())) == Folded(prefix);
}

struct SplitPath {
    std::wstring root; // "C:" or "\\server\share" or "\\?\Volume{...}"
    std::vector<std::wstring> names;
};

std::vector<std::wstring_view> Components(std::wstring_view text) {
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(L'\\', start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::optional<SplitPath> Split(std::wstring_view path) {
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    bool verbatim = false;
    if (StartsWithFolded(text, L"\\\\?\\UNC\\")) {
        text = L"\\\\" + text.substr(8);
    } else if (text.starts_with(L"\\\\?\\") || text.starts_with(L"\\??\\")) {
        text = text.substr(4);
        verbatim = true;
    }
    SplitPath split;
    std::wstring_view rest;
    const std::wstring_view view(text);
    const bool driveLetter = view.size() >= 2 && view[1] == L':' &&
                             ((view[0] >= L'A' && view[0] <= L'Z') || (view[0] >= L'a' && view[0] <= L'z'));
    if (driveLetter) {
        if (view.size() > 2 && view[2] != L'\\') {
            return std::nullopt; // "C:Temp" is relative to the drive's current folder
        }
        split.root = std::wstring(1, FoldCase(view[0])) + L":";
        rest = view.substr(2);
    } else if (view.starts_with(L"\\\\")) {
        const auto parts = Components(view.substr(2));
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) {
            return std::nullopt;
        }
        split.root = L"\\\\" + std::wstring(parts[0]) + L"\\" + std::wstring(parts[1]);
        rest = view.substr(std::min(view.size(), 2 + parts[0].size() + 1 + parts[1].size()));
    } else if (verbatim && !view.empty()) {
        const size_t end = std::min(view.find(L'\\'), view.size());
        split.root = L"\\\\?\\" + std::wstring(view.substr(0, end));
        rest = view.substr(end);
    } else {
        return std::nullopt;
    }
    for (std::wstring_view name : Components(rest)) {
        if (name == L"..") {
            if (!split.names.empty()) {
                split.names.pop_back();
            }
            continue;
        }
        // Windows drops trailing dots and blanks: "Documents." is "Documents".
        while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) {
            name.remove_suffix(1);
        }
        if (!name.empty()) {
            split.names.emplace_back(name);
        }
    }
    return split;
}

std::wstring Join(const SplitPath& split) {
    std::wstring path = split.root + L"\\";
    for (size_t i = 0; i < split.names.size(); ++i) {
        path += (i == 0 ? L"" : L"\\") + split.names[i];
    }
    return path;
}

// Both canonical and folded. A root ends in a backslash, every other path does not.
bool IsInside(std::wstring_view inner, std::wstring_view outer) {
    if (inner.size() <= outer.size() || !inner.starts_with(outer)) {
        return false;
    }
    return outer.ends_with(L'\\') || inner[outer.size()] == L'\\';
}

bool IsTempName(std::wstring_view name) {
    const std::wstring folded = Folded(name);
    return folded == L"TEMP" || folded == L"TMP";
}

// Terminal services give each session its own numbered folder inside the user's Temp.
bool IsSessionNumber(std::wstring_view name) {
    return !name.empty() && name.size() <= 10 &&
           std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::optional<std::wstring> FoldedCanonical(std::wstring_view path) {
    const auto canonical = CanonicalFullPath(path);
    if (!canonical) {
        return std::nullopt;
    }
    return Folded(*canonical);
}

} // namespace

std::optional<std::wstring> CanonicalFullPath(std::wstring_view path) {
    const auto split = Split(path);
    if (!split) {
        return std::nullopt;
    }
    return Join(*split);
}

TempFolderCheck CheckTempFolder(std::wstring_view folder, const ProtectedFolders& protectedFolders) {
    const auto split = Split(folder);
    if (!split) {
        return {TempFolderVerdict::NotAFullPath, {}};
    }
    const auto& names = split->names;
    if (names.empty()) {
        return {TempFolderVerdict::DriveRoot, {}};
    }
    const bool temporary = IsTempName(names.back()) || (names.size() >= 2 && IsSessionNumber(names.back()) &&
                                                        IsTempName(names[names.size() - 2]));
    if (!temporary) {
        return {TempFolderVerdict::NotNamedTemp, {}};
    }
    const std::wstring candidate = Folded(Join(*split));
    SplitPath parentSplit = *split;
    parentSplit.names.pop_back();
    const std::wstring parent = Folded(Join(parentSplit));
    for (const std::wstring& root : protectedFolders.profileRoots) {
        if (const auto profiles = FoldedCanonical(root); profiles && parent == *profiles) {
            return {TempFolderVerdict::ProfileFolder, {}};
        }
    }
    auto holds = [&](const std::wstring& guarded) {
        const auto canonical = FoldedCanonical(guarded);
        return canonical && (*canonical == candidate || IsInside(*canonical, candidate));
    };
    for (const auto* list :
         {&protectedFolders.profileRoots, &protectedFolders.structural, &protectedFolders.personal}) {
        for (const std::wstring& guarded : *list) {
            if (holds(guarded)) {
                return {TempFolderVerdict::HoldsProtected, guarded};
            }
        }
    }
    for (const std::wstring& guarded : protectedFolders.personal) {
        const auto canonical = FoldedCanonical(guarded);
        if (canonical && IsInside(candidate, *canonical)) {
            return {TempFolderVerdict::InsideProtected, guarded};
        }
    }
    return {TempFolderVerdict::Temporary, {}};
}

std::wstring TempFolderRefusalLine(std::wstring_view folder, const TempFolderCheck& check) {
    std::wstring reason;
    switch (check.verdict) {
    case TempFolderVerdict::Temporary:
        reason = L"it is a temporary folder";
        break;
    case TempFolderVerdict::NotAFullPath:
        reason = L"it is not a full path";
        break;
    case TempFolderVerdict::DriveRoot:
        reason = L"it is a drive root";
        break;
    case TempFolderVerdict::NotNamedTemp:
        reason = L"its name is not Temp or Tmp";
        break;
    case TempFolderVerdict::ProfileFolder:
        reason = L"it is a profile folder";
        break;
    case TempFolderVerdict::HoldsProtected:
        reason = L"it is or holds " + check.protectedFolder;
        break;
    case TempFolderVerdict::InsideProtected:
        reason = L"it lies inside " + check.protectedFolder;
        break;
    }
    return L"Not cleaning the user's temporary folder " + std::wstring(folder) + L": " + reason;
}

std::optional<SystemCleanupFolders> SystemCleanupFoldersOf(std::wstring_view windowsFolder) {
    const auto split = Split(windowsFolder);
    if (!split || split->root.size() != 2 || split->names.empty()) {
        return std::nullopt; // not on a drive, or a drive root
    }
    const std::wstring folder = Join(*split);
    return SystemCleanupFolders{folder + L"\\Temp", folder + L"\\Prefetch", split->root + L"\\"};
}

} // namespace Velmora
