#include "system/power_win32.h"

#include "common/bound_function.h"

#include <objbase.h>
namespace Velmora {

// 54533251-82BE-4824-96C1-47B60B740D00
const GUID kProcessorSettingsSubgroup = {
    0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
// BC5038F7-23E0-4960-96DA-33ABAF5935EC
const GUID kMaximumProcessorStateSetting = {
    0xBC5038F7, 0x23E0, 0x4960, {0x96, 0xDA, 0x33, 0xAB, 0xAF, 0x59, 0x35, 0xEC}};

PowrProfPowerSettings::PowrProfPowerSettings() noexcept
    // Only from the system folder: a powrprof.dll planted beside the program is never loaded.
    : library_(::LoadLibraryExW(L"powrprof.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    const HMODULE library = library_.Get();
    getActiveScheme_ = BoundFunction<decltype(getActiveScheme_)>(library, "PowerGetActiveScheme");
    readAc_ = BoundFunction<decltype(readAc_)>(library, "PowerReadACValueIndex");
    readDc_ = BoundFunction<decltype(readDc_)>(library, "PowerReadDCValueIndex");
    writeAc_ = BoundFunction<decltype(writeAc_)>(library, "PowerWriteACValueIndex");
    writeDc_ = BoundFunction<decltype(writeDc_)>(library, "PowerWriteDCValueIndex");
    setActiveScheme_ = BoundFunction<decltype(setActiveScheme_)>(library, "PowerSetActiveScheme");
}

std::optional<GUID> PowrProfPowerSettings::ActiveScheme() const {
    GUID* scheme = nullptr;
    if (getActiveScheme_ == nullptr || getActiveScheme_(nullptr, &scheme) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Allocated by the power service, freed with LocalFree.
    const UniqueLocalMemory owned(scheme);
    return scheme != nullptr ? std::optional<GUID>(*scheme) : std::nullopt;
}

bool PowrProfPowerSettings::OpenActiveScheme() {
    scheme_ = ActiveScheme();
    return scheme_.has_value();
}

bool PowrProfPowerSettings::OpenScheme(const std::wstring& scheme) {
    GUID guid{};
    if (scheme.size() != 38 || FAILED(::CLSIDFromString(scheme.c_str(), &guid))) {
        return false;
    }
    scheme_ = guid;
    // A scheme that is not there has no values to read (ERROR_FILE_NOT_FOUND).
    if (!ReadAcMaximum() && !ReadDcMaximum()) {
        scheme_.reset();
    }
    return scheme_.has_value();
}

std::wstring PowrProfPowerSettings::OpenedScheme() {
    wchar_t text[40] = {};
    return scheme_ && ::StringFromGUID2(*scheme_, text, 40) == 39 ? std::wstring(text) : std::wstring();
}

std::optional<std::uint32_t> PowrProfPowerSettings::ReadAcMaximum() {
    DWORD value = 0;
    if (readAc_ == nullptr || readAc_(nullptr, Scheme(), &kProcessorSettingsSubgroup,
                                      &kMaximumProcessorStateSetting, &value) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> PowrProfPowerSettings::ReadDcMaximum() {
    DWORD value = 0;
    if (readDc_ == nullptr || readDc_(nullptr, Scheme(), &kProcessorSettingsSubgroup,
                                      &kMaximumProcessorStateSetting, &value) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

void PowrProfPowerSettings::WriteAcMaximum(std::uint32_t percent) {
    if (writeAc_ != nullptr) {
        writeAc_(nullptr, Scheme(), &kProcessorSettingsSubgroup, &kMaximumProcessorStateSetting, percent);
    }
}

void PowrProfPowerSettings::WriteDcMaximum(std::uint32_t percent) {
    if (writeDc_ != nullptr) {
        writeDc_(nullptr, Scheme(), &kProcessorSettingsSubgroup, &kMaximumProcessorStateSetting, percent);
    }
}

void PowrProfPowerSettings::ReapplyActiveScheme() {
    // Setting another scheme active would change which plan the PC runs on.
    const std::optional<GUID> active = ActiveScheme();
    if (setActiveScheme_ != nullptr && scheme_ && active && ::IsEqualGUID(*active, *scheme_)) {
        setActiveScheme_(nullptr, Scheme());
    }
}

void PowrProfPowerSettings::CloseActiveScheme() noexcept {
    scheme_.reset();
}

void TunePowerScheme() noexcept {
    PowrProfPowerSettings power;
    TunePowerScheme(power);
}

ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme) noexcept {
    PowrProfPowerSettings power;
    return ReadProcessorMaximum(power, scheme);
}

bool WriteProcessorMaximum(const ProcessorMaximumState& wanted) noexcept {
    PowrProfPowerSettings power;
    return WriteProcessorMaximum(power, wanted);
}

} // namespace Velmora
