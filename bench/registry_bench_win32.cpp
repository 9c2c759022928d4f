#include "bench/bench_parts_win32.h"

#include "bench/fixtures_win32.h"
#include "common/win32_handles.h"
#include "system/registry.h"
#include "system/registry_spec.h"
#include "tweaks/run_controller.h"

#include <cstdio>
#include <cwctype>
#include <map>

namespace Velmora::Bench {
namespace {

// Registry names compare without regard to case.
std::wstring Identity(RegistryRoot root, const RegistryTarget& target) {
    std::wstring id = std::to_wstring(root) + L"|" + target.keyPath + L"|" + target.valueName;
    for (wchar_t& c : id) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return id;
}

struct ExpectedValue {
    RegistryRoot root = 0;
    RegistryTarget target;
    std::uint32_t data = 0;
};

// Each value the rows name, with the data of the last row that names it.
std::vector<ExpectedValue> LastWrites(const std::vector<RegistryDwordSetting>& rows) {
    std::map<std::wstring, ExpectedValue> last;
    for (const auto& row : rows) {
        if (auto target = SplitSpecForDword(row.spec); target && RegistryRootKey(row.root) != nullptr) {
            last.insert_or_assign(Identity(row.root, *target), ExpectedValue{row.root, *target, row.data});
        }
    }
    std::vector<ExpectedValue> values;
    for (auto& [id, value] : last) {
        values.push_back(std::move(value));
    }
    return values;
}

// Sets every value to data it will not have after a round; keys are created where missing.
void Scramble(const std::vector<ExpectedValue>& values) {
    for (const auto& value : values) {
        const DWORD other = value.data ^ 0x5A5A5A5Au;
        ::RegSetKeyValueW(RegistryRootKey(value.root), value.target.keyPath.c_str(),
                          value.target.valueName.c_str(), REG_DWORD, &other, sizeof other);
    }
}

std::size_t CountVerified(const std::vector<ExpectedValue>& values) {
    std::size_t verified = 0;
    for (const auto& value : values) {
        DWORD data = 0;
        DWORD size = sizeof data;
        if (::RegGetValueW(RegistryRootKey(value.root), value.target.keyPath.c_str(),
                           value.target.valueName.c_str(), RRF_RT_REG_DWORD, nullptr, &data,
                           &size) == ERROR_SUCCESS &&
            data == value.data) {
            ++verified;
        }
    }
    return verified;
}

// Each round starts from a quiet system, as an Apply does after its start delay: right after a
// burst of registry changes Wine goes on working for a while, and a round started then took up to
// five times as long.
constexpr DWORD kSettleMs = 2000;

} // namespace

RegistryBenchResult BenchRegistryTables(const RunController& controller, int primitiveRounds,
                                        int regExeRounds) {
    std::vector<RegistryDwordSetting> rows = controller.commonRegistryTable;
    rows.insert(rows.end(), controller.standardRegistryTable.begin(), controller.standardRegistryTable.end());
    rows.insert(rows.end(), controller.maximumRegistryTable.begin(), controller.maximumRegistryTable.end());
    const std::vector<ExpectedValue> values = LastWrites(rows);
    const std::wstring regExe = SystemFolderPath() + L"\\reg.exe";

    RegistryBenchResult result;
    result.rows = rows.size();
    result.distinctValues = values.size();
    for (int round = 0; round < std::max(primitiveRounds, regExeRounds); ++round) {
        if (round < primitiveRounds) {
            Scramble(values);
            ::Sleep(kSettleMs);
            std::size_t written = 0;
            const double start = NowMs();
            for (const RegistryDwordSetting& row : rows) {
                if (SetRegistryDword(row)) {
                    ++written;
                }
            }
            result.primitiveMs.push_back(NowMs() - start);
            result.primitiveRowsWritten = written;
            result.primitiveValuesVerified = CountVerified(values);
        }
        if (round < regExeRounds) {
            std::fprintf(stderr, "bench: registry tables through reg.exe, round %d of %d\n", round + 1,
                         regExeRounds);
            Scramble(values);
            ::Sleep(kSettleMs);
            std::size_t written = 0;
            const double start = NowMs();
            for (const RegistryDwordSetting& row : rows) {
                if (const auto commandLine = BuildRegAddCommandLine(row);
                    commandLine && RunToExit(regExe, *commandLine) == 0u) {
                    ++written;
                }
            }
            result.regExeMs.push_back(NowMs() - start);
            result.regExeRowsWritten = written;
            result.regExeValuesVerified = CountVerified(values);
        }
    }
    return result;
}

} // namespace Velmora::Bench
