#pragma once

// The plain logic of the benchmark: statistics, the reg.exe command lines it compares against,
// the responsiveness summary, the targets and the printed table. Builds on every platform.

#include "system/registry_records.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora::Bench {

// The middle sample (the mean of the two middle ones for an even count); nullopt for no samples.
[[nodiscard]] std::optional<double> Median(std::vector<double> samples);

// One argument of a command line, written so that the started program's C runtime splits it back
// into exactly this text: quoted when it is empty or holds blanks, tabs or quotes, with quotes and
// the backslashes before them escaped.
[[nodiscard]] std::wstring QuoteArgument(std::wstring_view argument);

// The way many tools write one value: "reg.exe add ROOT\key /v name /t REG_DWORD /d data /f", the
// key and name split from the spec as SetRegistryDword splits it. Nullopt for a row SetRegistryDword
// refuses without touching the registry (invalid root, spec that does not split).
[[nodiscard]] std::optional<std::wstring> BuildRegAddCommandLine(const RegistryDwordSetting& row);

// The names of the DLLs a PE image (32 or 64 bit) imports, in the order of its import table;
// nullopt when the bytes are not a well-formed image. Every offset is checked against the bytes.
[[nodiscard]] std::optional<std::vector<std::string>> ImportedDllNames(std::string_view image);

// One probe message of the responsiveness measurement: when it was posted and, once the window
// procedure got it, when it was handled (milliseconds on one clock).
struct ProbeSample {
    double postedMs = 0.0;
    std::optional<double> handledMs;
};

struct ResponsivenessSummary {
    std::size_t probes = 0;
    std::size_t unanswered = 0; // never handled before the end
    double worstDelayMs = 0.0;
    double worstPostedMs = 0.0; // when the probe that waited longest was posted
    double medianDelayMs = 0.0;
    std::size_t overLimit = 0; // probes that waited longer than the limit
};

// A probe never handled counts as waiting until the end of the measurement.
[[nodiscard]] ResponsivenessSummary SummarizeProbes(const std::vector<ProbeSample>& samples, double endMs,
                                                    double limitMs);

// A number the program is held to.
enum class Goal { AtLeast, AtMost, Below };
struct Target {
    Goal goal = Goal::Below;
    double limit = 0.0;
};
// Nullopt when nothing was measured.
[[nodiscard]] std::optional<bool> IsMet(const Target& target, std::optional<double> measured);

// Figures as the table prints them.
[[nodiscard]] std::string FormatMilliseconds(std::optional<double> milliseconds);
[[nodiscard]] std::string FormatBytes(std::optional<double> bytes);
[[nodiscard]] std::string FormatRatio(std::optional<double> ratio);
[[nodiscard]] std::string FormatTarget(const Target& target, std::string_view unit);

// The one table the benchmark prints: sections of rows with a measured figure, the target (if
// any) and whether it was met.
class ReportTable {
public:
    void Section(std::string title);
    void Row(std::string item, std::string measured, std::string note = {});
    void TargetRow(std::string item, std::string measured, const Target& target, std::string_view unit,
                   std::optional<double> value, std::string note = {});
    [[nodiscard]] std::string Render() const;
    [[nodiscard]] std::size_t MissedTargets() const { return missed_; }

private:
    struct Line {
        bool isSection = false;
        std::string item;
        std::string measured;
        std::string target;
        std::string verdict;
        std::string note;
    };
    std::vector<Line> lines_;
    std::size_t missed_ = 0;
};

} // namespace Velmora::Bench
