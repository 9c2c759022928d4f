#include "settings/local_settings.h"

#include <functional>
#include <map>
#include <mutex>

namespace Velmora {
namespace {

// The pipeline writes from its worker thread while the window reads on the UI thread.
class InMemorySettingsValues final : public LocalSettingsValues {
public:
    [[nodiscard]] bool HasKey(std::wstring_view key) const override {
        const std::lock_guard lock(mutex_);
        return values_.find(key) != values_.end();
    }

    [[nodiscard]] std::optional<SettingValue> Lookup(std::wstring_view key) const override {
        const std::lock_guard lock(mutex_);
        const auto found = values_.find(key);
        if (found == values_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    void Insert(std::wstring_view key, const SettingValue& value) override {
        const std::lock_guard lock(mutex_);
        values_.insert_or_assign(std::wstring(key), value);
    }

    void Remove(std::wstring_view key) override {
        const std::lock_guard lock(mutex_);
        if (const auto found = values_.find(key); found != values_.end()) {
            values_.erase(found);
        }
    }

private:
    mutable std::mutex mutex_;
    std::map<std::wstring, SettingValue, std::less<>> values_; // keys are case-sensitive
};

} // namespace

std::unique_ptr<LocalSettingsValues> MakeInMemorySettings() {
    return std::make_unique<InMemorySettingsValues>();
}

} // namespace Velmora
