#pragma once

// A plan as a file a person or a tool keeps: a JSON document (with a schema version), or a registry
// file that sets every registry value of the plan to its state after the run.

#include "engine/plan.h"

#include <string>

namespace Velmora {

inline constexpr int kPlanSchemaVersion = 1;
inline constexpr std::string_view kPlanFormat = "velmora-plan";

// UTF-8 JSON: {"format":"velmora-plan","schemaVersion":1,"profile":...,"counts":...,"entries":[...]};
// items and states are written as in the journal.
[[nodiscard]] std::string PlanJsonDocument(const ProfilePlan& plan);

// "Windows Registry Editor Version 5.00" and one section per key, in plan order: each registry value
// with its state after the run ("name"=- where the run deletes it). A key the run deletes is named in a
// comment only: "[-key]" would delete everything below it, which no run does. Per-user values of a
// named hive go under HKEY_USERS\<SID>. The text without its byte order mark.
[[nodiscard]] std::wstring PlanRegistryFile(const ProfilePlan& plan);

// The registry file as Regedit reads it: UTF-16 LE with a byte order mark, lines ending in CR LF.
[[nodiscard]] std::string Utf16RegistryFileBytes(const std::wstring& text);

} // namespace Velmora
