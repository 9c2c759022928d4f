#pragma once

// What the state readers beside the primitives report: the current state of one thing a run may
// change. A reader never throws; what it cannot read it reports as unreadable, with the Win32 error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

enum class Presence : std::uint8_t { Absent, Present, Unreadable };

// One registry value: its type and its exact bytes.
struct RegistryValueState {
    Presence presence = Presence::Unreadable;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    std::uint32_t error = 0; // when unreadable

    friend bool operator==(const RegistryValueState&, const RegistryValueState&) = default;
};

struct RegistryNamedValue {
    std::wstring name; // empty: the key's default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;

    friend bool operator==(const RegistryNamedValue&, const RegistryNamedValue&) = default;
};

// One registry key with its own values (not those of its subkeys).
struct RegistryKeyState {
    Presence presence = Presence::Unreadable;
    std::vector<RegistryNamedValue> values;
    std::uint32_t subkeys = 0;
    std::uint32_t error = 0;

    friend bool operator==(const RegistryKeyState&, const RegistryKeyState&) = default;
};

// A service as the service manager and its registry key report it.
struct ServiceState {
    Presence manager = Presence::Unreadable;       // known to the service manager
    std::optional<std::uint32_t> managerStartType; // nullopt: not readable
    std::optional<bool> managerDelayed;            // nullopt: not readable
    std::uint32_t managerError = 0;
    Presence key = Presence::Unreadable; // HKLM\SYSTEM\CurrentControlSet\Services\<name>
    RegistryValueState start;            // its "Start" value
    RegistryValueState delayedAutoStart; // its "DelayedAutoStart" value

    friend bool operator==(const ServiceState&, const ServiceState&) = default;
};

// A scheduled task: whether it is registered and enabled.
struct TaskState {
    Presence presence = Presence::Unreadable;
    bool enabled = false;
    std::uint32_t error = 0; // HRESULT when unreadable

    friend bool operator==(const TaskState&, const TaskState&) = default;
};

// The maximum processor state (percent) of the active power scheme; nullopt: not readable.
struct ProcessorMaximumState {
    std::optional<std::uint32_t> ac;
    std::optional<std::uint32_t> dc;
    // The power scheme the values belong to, "{GUID}"; empty when it is not known.
    std::wstring scheme = {};

    friend bool operator==(const ProcessorMaximumState&, const ProcessorMaximumState&) = default;
};

// What the contents of a folder (or of the Recycle Bin) amount to.
struct FolderContents {
    bool readable = false;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;

    friend bool operator==(const FolderContents&, const FolderContents&) = default;
};

// The registry's value types (REG_*), as numbers so that portable code can use them.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// The value a REG_DWORD write leaves: four bytes, least significant first.
[[nodiscard]] RegistryValueState DwordValue(std::uint32_t data);
// The value a REG_SZ write leaves: the text in UTF-16LE with its terminating null.
[[nodiscard]] RegistryValueState StringValue(const std::wstring& text);
[[nodiscard]] RegistryValueState AbsentValue();
// The DWORD a value holds, when it is a four-byte REG_DWORD.
[[nodiscard]] std::optional<std::uint32_t> DwordOf(const RegistryValueState& value);
// The text of a REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ value without its terminating nulls (the strings
// of a REG_MULTI_SZ stay separated by one null each); nullopt for any other value.
[[nodiscard]] std::optional<std::wstring> TextOf(const RegistryValueState& value);

} // namespace Velmora
