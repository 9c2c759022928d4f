#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// Where every primitive sends the status line it composes for an outcome. The program's
// behaviour never depends on the sink; it only records what happened, for the user or a bug report.
class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    virtual void Write(std::wstring_view line) = 0;
};

// Appends lines as UTF-8 to one file, opened on the first line so that a run that has nothing
// to say leaves no file. Safe to use from several threads.
class FileDiagnosticSink final : public DiagnosticSink {
public:
    explicit FileDiagnosticSink(std::filesystem::path path);
    void Write(std::wstring_view line) override;
    [[nodiscard]] const std::filesystem::path& Path() const noexcept { return path_; }

private:
    std::mutex mutex_;
    std::filesystem::path path_;
    std::ofstream stream_;
    bool openFailed_ = false;
};

// Keeps the lines in memory; tests read them back.
class MemoryDiagnosticSink final : public DiagnosticSink {
public:
    void Write(std::wstring_view line) override;
    [[nodiscard]] std::vector<std::wstring> Lines() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

// Sends one line to the current sink. Never throws: a diagnostic must not change what the caller does.
void Diagnose(std::wstring_view line) noexcept;

// Replaces the current sink (nullptr: back to the default). Returns the previous one.
std::shared_ptr<DiagnosticSink> SetDiagnosticSink(std::shared_ptr<DiagnosticSink> sink);

// The per-run log file the default sink writes to: "<folder>/Velmora-<yyyymmdd-hhmmss>-<pid>.log".
[[nodiscard]] std::filesystem::path DefaultDiagnosticLogPath(const std::filesystem::path& folder);

#ifdef _WIN32
// The system's own text for a Win32 error code, in the user's language, without the line end; "error
// N" when the system has none. `language` 0 lets the system choose.
[[nodiscard]] std::wstring SystemErrorText(unsigned long error, unsigned short language = 0);
#endif

// The folder for run logs: the user's local application data folder, "Velmora\Logs".
// Empty when the folder cannot be found; then the default sink drops the lines.
[[nodiscard]] std::filesystem::path DiagnosticLogFolder();

} // namespace Velmora
