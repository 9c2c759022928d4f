#include "cli/item_text.h"

#include <cstdio>

namespace Velmora::Cli {
namespace {

std::wstring Unreadable(std::uint32_t error) {
    return error == 0 ? L"unreadable" : L"unreadable (error " + std::to_wstring(error) + L")";
}

std::wstring Quoted(const std::wstring& text) {
    constexpr std::size_t kShown = 60;
    return L"\"" + (text.size() > kShown ? text.substr(0, kShown) + L"..." : text) + L"\"";
}

std::wstring ValueText(const RegistryValueState& value) {
    if (value.presence == Presence::Absent) {
        return L"absent";
    }
    if (value.presence == Presence::Unreadable) {
        return Unreadable(value.error);
    }
    if (const auto dword = DwordOf(value)) {
        return std::to_wstring(*dword);
    }
    if (const auto text = TextOf(value)) {
        if (value.type != kRegMultiSz) {
            return Quoted(*text);
        }
        std::wstring joined;
        for (std::size_t start = 0; start <= text->size();) {
            const std::size_t end = std::min(text->find(L'\0', start), text->size());
            joined += (joined.empty() ? L"" : L", ") + Quoted(text->substr(start, end - start));
            start = end + 1;
        }
        return joined;
    }
    if (value.type == kRegQword && value.data.size() == 8) {
        std::uint64_t number = 0;
        for (std::size_t i = 8; i-- > 0;) {
            number = (number << 8) | value.data[i];
        }
        return std::to_wstring(number) + L" (QWORD)";
    }
    return L"type " + std::to_wstring(value.type) + L", " + std::to_wstring(value.data.size()) + L" bytes";
}

std::wstring StartTypeText(std::uint32_t type, bool delayed) {
    switch (type) {
    case 0:
        return L"boot";
    case 1:
        return L"system";
    case 2:
        return delayed ? L"automatic (delayed)" : L"automatic";
    case 3:
        return L"manual";
    case 4:
        return L"disabled";
    default:
        return L"start type " + std::to_wstring(type);
    }
}

std::wstring ServiceText(const ServiceState& service) {
    if (service.manager == Presence::Absent && service.key == Presence::Absent) {
        return L"not installed";
    }
    if (service.managerStartType) {
        return StartTypeText(*service.managerStartType, service.managerDelayed.value_or(false));
    }
    if (const auto start = DwordOf(service.start)) {
        return StartTypeText(*start, DwordOf(service.delayedAutoStart).value_or(0) == 1);
    }
    return service.key == Presence::Unreadable || service.start.presence == Presence::Unreadable
               ? Unreadable(service.managerError)
               : L"no start type";
}

std::wstring Percent(const std::optional<std::uint32_t>& value) {
    return value ? std::to_wstring(*value) + L" %" : L"unreadable";
}

struct Describe {
    std::wstring operator()(const NoState&) const { return {}; }
    std::wstring operator()(const RegistryValueState& s) const { return ValueText(s); }
    std::wstring operator()(const RegistryKeyState& s) const {
        if (s.presence == Presence::Present) {
            return L"present, " + std::to_wstring(s.values.size()) + L" values";
        }
        return s.presence == Presence::Absent ? L"absent" : Unreadable(s.error);
    }
    std::wstring operator()(const ServiceState& s) const { return ServiceText(s); }
    std::wstring operator()(const TaskState& s) const {
        if (s.presence == Presence::Present) {
            return s.enabled ? L"enabled" : L"disabled";
        }
        return s.presence == Presence::Absent ? L"not registered" : Unreadable(s.error);
    }
    std::wstring operator()(const ProcessorMaximumState& s) const {
        return L"AC " + Percent(s.ac) + L", DC " + Percent(s.dc);
    }
    std::wstring operator()(const SettingState& s) const {
        if (!s) {
            return L"absent";
        }
        if (const auto* number = std::get_if<std::int32_t>(&*s)) {
            return std::to_wstring(*number);
        }
        if (const auto* flag = std::get_if<bool>(&*s)) {
            return *flag ? L"true" : L"false";
        }
        return Quoted(std::get<std::wstring>(*s));
    }
};

} // namespace

std::wstring DescribeState(const ItemState& state) {
    return std::visit(Describe{}, state);
}

std::wstring DescribeBytes(std::uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_wstring(bytes) + L" bytes";
    }
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double size = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (size >= 1024.0 && unit + 1 < std::size(units)) {
        size /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", size, units[unit]);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::wstring DescribeFacts(const ActionFacts& facts) {
    std::wstring text;
    if (facts.contents) {
        text = facts.contents->readable ? std::to_wstring(facts.contents->files) + L" files, " +
                                              DescribeBytes(facts.contents->bytes)
                                        : L"contents unreadable";
        if (facts.folders.size() > 1) {
            text += L" in " + std::to_wstring(facts.folders.size()) + L" folders";
        }
    }
    if (facts.packages) {
        text += (text.empty() ? L"" : L"; ") + std::to_wstring(facts.packages->size()) + L" matching apps";
    }
    return text;
}

} // namespace Velmora::Cli
