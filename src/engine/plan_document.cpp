#include "engine/plan_document.h"

#include "common/text_encoding.h"
#include "engine/engine.h"
#include "engine/journal.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>

namespace Velmora {
namespace {

using OrderedJson = nlohmann::ordered_json;

constexpr std::array<std::wstring_view, 4> kRootNames = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER",
                                                         L"HKEY_LOCAL_MACHINE", L"HKEY_USERS"};

std::wstring KeyName(RegistryRoot root, const std::wstring& hiveSid, const std::wstring& keyPath) {
    if (root == 1 && !hiveSid.empty()) {
        return L"HKEY_USERS\\" + hiveSid + L"\\" + keyPath;
    }
    return std::wstring(root < kRootNames.size() ? kRootNames[root] : L"?") + L"\\" + keyPath;
}

std::wstring Quoted(const std::wstring& text) {
    std::wstring quoted = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            quoted += L'\\';
        }
        quoted += c;
    }
    return quoted + L"\"";
}

std::wstring HexBytes(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    wchar_t prefix[16];
    std::swprintf(prefix, 16, type == kRegBinary ? L"hex:" : L"hex(%x):", static_cast<unsigned>(type));
    std::wstring text = prefix;
    for (std::size_t i = 0; i < data.size(); ++i) {
        wchar_t byte[4];
        std::swprintf(byte, 4, L"%02x", static_cast<unsigned>(data[i]));
        text += (i == 0 ? L"" : L",") + std::wstring(byte);
    }
    return text;
}

// A REG_SZ written as text: its bytes are UTF-16 LE ending in one null, with no null inside.
std::optional<std::wstring> PlainString(const RegistryValueState& value) {
    if (value.type != kRegSz || value.data.size() < 2 || value.data.size() % 2 != 0) {
        return std::nullopt;
    }
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        text += static_cast<wchar_t>(value.data[i] | (value.data[i + 1] << 8));
    }
    if (text.back() != L'\0') {
        return std::nullopt;
    }
    text.pop_back();
    return text.find(L'\0') == std::wstring::npos ? std::optional(text) : std::nullopt;
}

std::wstring ValueData(const RegistryValueState& value) {
    if (value.presence == Presence::Absent) {
        return L"-";
    }
    if (const auto dword = DwordOf(value)) {
        wchar_t text[20];
        std::swprintf(text, 20, L"dword:%08x", static_cast<unsigned>(*dword));
        return text;
    }
    if (const auto text = PlainString(value)) {
        return Quoted(*text);
    }
    return HexBytes(value.type, value.data);
}

} // namespace

std::string PlanJsonDocument(const ProfilePlan& plan) {
    const PlanCounts counts = CountPlan(plan);
    OrderedJson entries = OrderedJson::array();
    for (const PlanEntry& entry : plan.entries) {
        OrderedJson json{{"step", StepName(entry.step)},
                         {"description", ToUtf8(entry.description)},
                         {"item", OrderedJson::parse(ItemJsonText(entry.target))}};
        if (entry.isAction) {
            json["action"] = true;
        } else {
            json["now"] = OrderedJson::parse(StateJsonText(entry.current));
            json["after"] = OrderedJson::parse(StateJsonText(entry.after));
            json["inEffect"] = entry.inEffect;
            json["readable"] = entry.readable;
        }
        entries.push_back(std::move(json));
    }
    OrderedJson document{{"format", kPlanFormat},
                         {"schemaVersion", kPlanSchemaVersion},
                         {"profile", ToUtf8(ProfileName(plan.profile))}};
    if (!plan.targetAccount.empty()) {
        document["targetAccount"] = ToUtf8(plan.targetAccount);
    }
    document["counts"] = {{"changes", counts.changes},
                          {"inEffect", counts.inEffect},
                          {"unreadable", counts.unreadable},
                          {"actions", counts.actions}};
    document["entries"] = std::move(entries);
    return document.dump(1) + "\n";
}

std::wstring PlanRegistryFile(const ProfilePlan& plan) {
    std::wstring text = L"Windows Registry Editor Version 5.00\n";
    std::wstring section;
    const auto open = [&](const std::wstring& key) {
        if (key != section) {
            section = key;
            text += L"\n[" + key + L"]\n";
        }
    };
    for (const PlanEntry& entry : plan.entries) {
        if (const auto* value = std::get_if<RegistryValueTarget>(&entry.target)) {
            const auto* after = std::get_if<RegistryValueState>(&entry.after);
            if (after == nullptr || after->presence == Presence::Unreadable) {
                continue;
            }
            open(KeyName(value->root, value->hiveSid, value->keyPath));
            text += (value->valueName.empty() ? L"@" : Quoted(value->valueName)) + L"=" + ValueData(*after) +
                    L"\n";
        } else if (const auto* key = std::get_if<RegistryKeyTarget>(&entry.target)) {
            const auto* after = std::get_if<RegistryKeyState>(&entry.after);
            if (after != nullptr && after->presence == Presence::Absent) {
                section.clear();
                text += L"\n; The run deletes the key " + KeyName(key->root, key->hiveSid, key->keyPath) +
                        (key->wholeTree ? L" with everything below it.\n" : L" (it has no subkeys).\n");
            }
        }
    }
    return text;
}

std::string Utf16RegistryFileBytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    const auto unit = [&bytes](std::uint32_t c) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    };
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (c == L'\n') {
            unit(L'\r');
        }
        if (code > 0xFFFF) { // a wide character of 32 bits (not on Windows): two UTF-16 units
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return bytes;
}

} // namespace Velmora
