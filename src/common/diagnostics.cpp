#include "common/diagnostics.h"

#include "common/text_encoding.h"

#include <utility>
#include <chrono>
#include <cstdio>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace Velmora {
namespace {

unsigned long CurrentProcessId() {
#ifdef _WIN32
    return ::GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

std::tm LocalTimeNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return parts;
}

class NullDiagnosticSink final : public DiagnosticSink {
public:
    void Write(std::wstring_view) override {}
};

std::shared_ptr<DiagnosticSink> MakeDefaultSink() {
    const std::filesystem::path folder = DiagnosticLogFolder();
    if (folder.empty()) {
        return std::make_shared<NullDiagnosticSink>();
    }
    return std::make_shared<FileDiagnosticSink>(DefaultDiagnosticLogPath(folder));
}

// Never destroyed: a worker thread may still write a line while the process is ending.
std::mutex& SinkMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<DiagnosticSink>& CurrentSinkSlot() {
    static auto* sink = new std::shared_ptr<DiagnosticSink>;
    return *sink;
}

std::shared_ptr<DiagnosticSink> CurrentSink() {
    std::lock_guard lock(SinkMutex());
    auto& slot = CurrentSinkSlot();
    if (!slot) {
        slot = MakeDefaultSink();
    }
    return slot;
}

} // namespace

FileDiagnosticSink::FileDiagnosticSink(std::filesystem::path path) : path_(std::move(path)) {}

void FileDiagnosticSink::Write(std::wstring_view line) {
    std::lock_guard lock(mutex_);
    if (openFailed_) {
        return;
    }
    if (!stream_.is_open()) {
        std::error_code ignored;
        std::filesystem::create_directories(path_.parent_path(), ignored);
        stream_.open(path_, std::ios::binary | std::ios::app);
        if (!stream_.is_open()) {
            openFailed_ = true;
            return;
        }
    }
    const std::tm t = LocalTimeNow();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", t.tm_hour, t.tm_min, t.tm_sec);
    // A line composed with its own line feed ends with it, not with a second, empty line.
    if (line.ends_with(L'\n')) {
        line.remove_suffix(1);
    }
    stream_ << stamp << ToUtf8(line) << '\n';
    stream_.flush();
}

void MemoryDiagnosticSink::Write(std::wstring_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::wstring> MemoryDiagnosticSink::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

void MemoryDiagnosticSink::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

void Diagnose(std::wstring_view line) noexcept {
    try {
        CurrentSink()->Write(line);
    } catch (...) {
        // Out of memory or a failing stream: the line is lost, the caller goes on.
    }
}

std::shared_ptr<DiagnosticSink> SetDiagnosticSink(std::shared_ptr<DiagnosticSink> sink) {
    std::lock_guard lock(SinkMutex());
    return std::exchange(CurrentSinkSlot(), std::move(sink));
}

std::filesystem::path DefaultDiagnosticLogPath(const std::filesystem::path& folder) {
    const std::tm t = LocalTimeNow();
    char name[64];
    std::snprintf(name, sizeof name, "Velmora-%04d%02d%02d-%02d%02d%02d-%lu.log", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, CurrentProcessId());
    return folder / name;
}

} // namespace Velmora
