#include "bench/bench_logic.h"

#include "system/registry_spec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace Velmora::Bench {
namespace {

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string PadRight(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

// Little-endian reads that fail instead of reading past the bytes.
std::optional<std::uint32_t> ReadU32(std::string_view bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(offset) + i]);
    }
    return value;
}

std::optional<std::uint16_t> ReadU16(std::string_view bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 2) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(
        static_cast<unsigned char>(bytes[static_cast<std::size_t>(offset)]) |
        (static_cast<unsigned char>(bytes[static_cast<std::size_t>(offset) + 1]) << 8));
}

struct PeSection {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

// Where in the file the byte at a relative virtual address lies.
std::optional<std::uint64_t> FileOffsetOf(const std::vector<PeSection>& sections, std::uint32_t rva) {
    for (const PeSection& section : sections) {
        const std::uint64_t start = section.virtualAddress;
        if (rva >= start && rva - start < section.rawSize) {
            return std::uint64_t{section.rawOffset} + (rva - start);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::vector<std::string>> ImportedDllNames(std::string_view image) {
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') {
        return std::nullopt;
    }
    const auto peOffset = ReadU32(image, 0x3C);
    if (!peOffset || ReadU32(image, *peOffset) != 0x00004550u) { // "PE\0\0"
        return std::nullopt;
    }
    const std::uint64_t fileHeader = std::uint64_t{*peOffset} + 4;
    const auto sectionCount = ReadU16(image, fileHeader + 2);
    const auto optionalSize = ReadU16(image, fileHeader + 16);
    const std::uint64_t optional = fileHeader + 20;
    const auto magic = ReadU16(image, optional);
    if (!sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) {
        return std::nullopt;
    }
    const bool pe32Plus = *magic == 0x20B;
    const auto directoryCount = ReadU32(image, optional + (pe32Plus ? 108 : 92));
    const std::uint64_t importEntry = optional + (pe32Plus ? 112 : 96) + 8; // data directory 1
    if (!directoryCount || *directoryCount < 2 || importEntry + 8 > optional + *optionalSize) {
        return std::nullopt;
    }
    const auto importRva = ReadU32(image, importEntry);
    std::vector<PeSection> sections;
    const std::uint64_t table = optional + *optionalSize;
    for (std::uint16_t i = 0; i < *sectionCount; ++i) {
        const std::uint64_t entry = table + std::uint64_t{i} * 40;
        const auto virtualSize = ReadU32(image, entry + 8);
        const auto virtualAddress = ReadU32(image, entry + 12);
        const auto rawSize = ReadU32(image, entry + 16);
        const auto rawOffset = ReadU32(image, entry + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) {
            return std::nullopt;
        }
        sections.push_back({*virtualAddress, *virtualSize, *rawSize, *rawOffset});
    }
    std::vector<std::string> names;
    if (!importRva || *importRva == 0) {
        return names; // imports nothing
    }
    const auto descriptors = FileOffsetOf(sections, *importRva);
    if (!descriptors) {
        return std::nullopt;
    }
    // 20-byte descriptors up to the one that is all zero; the name's address is at offset 12.
    for (std::uint64_t descriptor = *descriptors;; descriptor += 20) {
        const auto lookup = ReadU32(image, descriptor);
        const auto nameRva = ReadU32(image, descriptor + 12);
        const auto addresses = ReadU32(image, descriptor + 16);
        if (!lookup || !nameRva || !addresses) {
            return std::nullopt;
        }
        if (*lookup == 0 && *nameRva == 0 && *addresses == 0) {
            return names;
        }
        const auto nameOffset = FileOffsetOf(sections, *nameRva);
        if (!nameOffset || *nameOffset >= image.size()) {
            return std::nullopt;
        }
        const std::size_t end = image.find('\0', static_cast<std::size_t>(*nameOffset));
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        names.emplace_back(image.substr(static_cast<std::size_t>(*nameOffset), end - *nameOffset));
    }
}

std::optional<double> Median(std::vector<double> samples) {
    if (samples.empty()) {
        return std::nullopt;
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    if (samples.size() % 2 == 1) {
        return samples[middle];
    }
    return (samples[middle - 1] + samples[middle]) / 2.0;
}

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Backslashes before a quote are escaped, and so is the quote.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // Backslashes before the closing quote would escape it.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::optional<std::wstring> BuildRegAddCommandLine(const RegistryDwordSetting& row) {
    const std::wstring_view root = RegistryRootName(row.root);
    const std::optional<RegistryTarget> target = SplitSpecForDword(row.spec);
    if (root.empty() || !target) {
        return std::nullopt;
    }
    return L"reg.exe add " + QuoteArgument(std::wstring(root) + L"\\" + target->keyPath) + L" /v " +
           QuoteArgument(target->valueName) + L" /t REG_DWORD /d " + std::to_wstring(row.data) + L" /f";
}

ResponsivenessSummary SummarizeProbes(const std::vector<ProbeSample>& samples, double endMs, double limitMs) {
    ResponsivenessSummary summary;
    std::vector<double> delays;
    delays.reserve(samples.size());
    for (const ProbeSample& sample : samples) {
        if (!sample.handledMs) {
            ++summary.unanswered;
        }
        const double delay = std::max(0.0, sample.handledMs.value_or(endMs) - sample.postedMs);
        delays.push_back(delay);
        if (delay > summary.worstDelayMs) {
            summary.worstDelayMs = delay;
            summary.worstPostedMs = sample.postedMs;
        }
        if (delay > limitMs) {
            ++summary.overLimit;
        }
    }
    summary.probes = samples.size();
    summary.medianDelayMs = Median(std::move(delays)).value_or(0.0);
    return summary;
}

std::optional<bool> IsMet(const Target& target, std::optional<double> measured) {
    if (!measured) {
        return std::nullopt;
    }
    switch (target.goal) {
    case Goal::AtLeast:
        return *measured >= target.limit;
    case Goal::AtMost:
        return *measured <= target.limit;
    case Goal::Below:
        break;
    }
    return *measured < target.limit;
}

std::string FormatMilliseconds(std::optional<double> milliseconds) {
    if (!milliseconds) {
        return "-";
    }
    if (*milliseconds >= 1000.0) {
        return Printf(*milliseconds >= 10000.0 ? "%.1f s" : "%.2f s", *milliseconds / 1000.0);
    }
    return Printf(*milliseconds >= 100.0 ? "%.0f ms" : "%.1f ms", *milliseconds);
}

std::string FormatBytes(std::optional<double> bytes) {
    if (!bytes) {
        return "-";
    }
    return Printf("%.2f MB", *bytes / (1024.0 * 1024.0));
}

std::string FormatRatio(std::optional<double> ratio) {
    if (!ratio) {
        return "-";
    }
    return Printf(*ratio < 10.0 ? "%.2fx" : "%.0fx",
                  *ratio); // 1.85x beside the empty window, 1117x for speed-ups
}

std::string FormatTarget(const Target& target, std::string_view unit) {
    const std::string limit = unit == "x"    ? Printf("%gx", target.limit)
                              : unit == "MB" ? Printf("%g MB", target.limit)
                                             : FormatMilliseconds(target.limit);
    return (target.goal == Goal::AtLeast ? ">= " : target.goal == Goal::AtMost ? "<= " : "< ") + limit;
}

void ReportTable::Section(std::string title) {
    lines_.push_back({true, std::move(title), {}, {}, {}, {}});
}

void ReportTable::Row(std::string item, std::string measured, std::string note) {
    lines_.push_back({false, std::move(item), std::move(measured), {}, {}, std::move(note)});
}

void ReportTable::TargetRow(std::string item, std::string measured, const Target& target,
                            std::string_view unit, std::optional<double> value, std::string note) {
    const std::optional<bool> met = IsMet(target, value);
    if (met == false) {
        ++missed_;
    }
    lines_.push_back({false, std::move(item), std::move(measured), FormatTarget(target, unit),
                      !met   ? "not measured"
                      : *met ? "met"
                             : "MISSED",
                      std::move(note)});
}

std::string ReportTable::Render() const {
    std::size_t itemWidth = 4;
    std::size_t measuredWidth = 8;
    std::size_t targetWidth = 6;
    std::size_t verdictWidth = 6;
    for (const Line& line : lines_) {
        if (!line.isSection) {
            itemWidth = std::max(itemWidth, line.item.size());
            measuredWidth = std::max(measuredWidth, line.measured.size());
            targetWidth = std::max(targetWidth, line.target.size());
            verdictWidth = std::max(verdictWidth, line.verdict.size());
        }
    }
    const auto row = [&](const std::string& item, const std::string& measured, const std::string& target,
                         const std::string& verdict, const std::string& note) {
        std::string text = "  " + PadRight(item, itemWidth) + "  " +
                           std::string(measuredWidth - std::min(measuredWidth, measured.size()), ' ') +
                           measured + "  " + PadRight(target, targetWidth) + "  " +
                           PadRight(verdict, verdictWidth);
        if (!note.empty()) {
            text += "  " + note;
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        return text + "\n";
    };
    std::string out = row("item", "measured", "target", "result", "note");
    for (const Line& line : lines_) {
        if (line.isSection) {
            out += line.item + "\n";
        } else {
            out += row(line.item, line.measured, line.target, line.verdict, line.note);
        }
    }
    return out;
}

} // namespace Velmora::Bench
