#include "system/registry_list.h"

#include <algorithm>
#include <cwctype>
#include <vector>

namespace Velmora {
namespace {

constexpr std::wstring_view kHide = L"hide:";
constexpr std::wstring_view kShowOnly = L"showonly:";

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<std::wint_t>(x)) ==
                      std::towlower(static_cast<std::wint_t>(y));
           });
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::vector<std::wstring_view> Pages(std::wstring_view list) {
    std::vector<std::wstring_view> pages;
    while (!list.empty()) {
        const std::size_t end = list.find(L';');
        pages.push_back(list.substr(0, end));
        list = end == std::wstring_view::npos ? std::wstring_view() : list.substr(end + 1);
    }
    return pages;
}

bool Holds(const std::vector<std::wstring_view>& pages, std::wstring_view entry) {
    return std::any_of(pages.begin(), pages.end(),
                       [&](std::wstring_view page) { return SameText(page, entry); });
}

} // namespace

std::optional<std::wstring> MergedListValue(const RegistryValueState& current, std::wstring_view entry) {
    if (entry.empty() || entry.find(L';') != std::wstring_view::npos) {
        return std::nullopt;
    }
    if (current.presence == Presence::Absent) {
        return std::wstring(kHide) + std::wstring(entry);
    }
    if (current.presence != Presence::Present || current.type != kRegSz) {
        return std::nullopt;
    }
    const std::optional<std::wstring> text = TextOf(current);
    if (!text) {
        return std::nullopt;
    }
    if (text->empty()) {
        return std::wstring(kHide) + std::wstring(entry);
    }
    const std::wstring_view list(*text);
    if (StartsWith(list, kHide)) {
        const std::vector<std::wstring_view> pages = Pages(list.substr(kHide.size()));
        if (Holds(pages, entry)) {
            return *text;
        }
        return *text + (pages.empty() || list.back() == L';' ? L"" : L";") + std::wstring(entry);
    }
    // A show-only list that leaves the page out hides it already; one that names it shows it on an
    // administrator's purpose, and is never narrowed.
    if (StartsWith(list, kShowOnly) && !Holds(Pages(list.substr(kShowOnly.size())), entry)) {
        return *text;
    }
    return std::nullopt;
}

} // namespace Velmora
