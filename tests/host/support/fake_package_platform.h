#pragma once

// A fake of the Windows package manager, ApiInformation and registry, which the host does not have.
// It keeps a list of installed packages, logs every platform call, and is safe to share between
// overlapping removal runs.

#include "system/packages.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace Velmora::Testing {

class FakePackagePlatform final : public PackageRemovalPlatform {
public:
    enum class Reading { Works, Fails, Throws };

    struct Package {
        std::wstring name;
        std::wstring fullName;
        bool removalFails = false;
        Reading reading = Reading::Works;
    };

    explicit FakePackagePlatform(std::vector<Package> installed, bool contractPresent = false)
        : installed_(std::move(installed)), contractPresent_(contractPresent) {}

    // Set before a run starts.
    bool catalogueAvailable = true;
    bool cacheKeyDeletionSucceeds = true;
    std::set<int> walksThatCannotStart; // 1 is the first walk

    bool IsApiContractPresent(std::wstring_view contract, std::uint16_t major) override {
        Record(L"IsApiContractPresent " + std::wstring(contract) + L" " + std::to_wstring(major));
        return contractPresent_;
    }

    bool DeleteRegistryTree(RegistryDwordSetting key) override {
        Record(L"DeleteRegistryTree " + std::to_wstring(key.root) + L" " + key.spec);
        return cacheKeyDeletionSucceeds;
    }

    std::unique_ptr<PackageCatalogue> OpenCatalogue() override {
        Record(L"OpenCatalogue");
        if (!catalogueAvailable) {
            return nullptr;
        }
        return std::make_unique<Catalogue>(*this);
    }

    [[nodiscard]] std::vector<std::wstring> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // Full names, in the order their removal was asked for.
    [[nodiscard]] std::vector<std::wstring> RemovalAttempts() const {
        std::lock_guard lock(mutex_);
        return attempts_;
    }
    [[nodiscard]] std::vector<std::wstring> InstalledNames() const {
        std::lock_guard lock(mutex_);
        std::vector<std::wstring> names;
        for (const Package& package : installed_) {
            names.push_back(package.name);
        }
        return names;
    }
    [[nodiscard]] int Walks() const {
        std::lock_guard lock(mutex_);
        return walks_;
    }

private:
    class Walker final : public PackageWalk {
    public:
        Walker(FakePackagePlatform& owner, std::vector<Package> snapshot)
            : owner_(owner), snapshot_(std::move(snapshot)) {}

        PackageWalkStep Next(std::wstring& name) override {
            ++position_;
            if (position_ >= snapshot_.size()) {
                return PackageWalkStep::End;
            }
            const Package& package = snapshot_[position_];
            if (package.reading == Reading::Fails) {
                return PackageWalkStep::Failed;
            }
            if (package.reading == Reading::Throws) {
                throw std::runtime_error("package cannot be read");
            }
            name = package.name;
            return PackageWalkStep::Package;
        }

        bool RemoveCurrent() override { return owner_.Remove(snapshot_.at(position_).fullName); }

    private:
        FakePackagePlatform& owner_;
        std::vector<Package> snapshot_;
        std::size_t position_ = static_cast<std::size_t>(-1);
    };

    class Catalogue final : public PackageCatalogue {
    public:
        explicit Catalogue(FakePackagePlatform& owner) : owner_(owner) {}
        std::unique_ptr<PackageWalk> Walk() override { return owner_.StartWalk(); }

    private:
        FakePackagePlatform& owner_;
    };

    // Each walk sees the packages installed when it starts, as a fresh enumeration does.
    std::unique_ptr<PackageWalk> StartWalk() {
        std::lock_guard lock(mutex_);
        ++walks_;
        if (walksThatCannotStart.contains(walks_)) {
            return nullptr;
        }
        return std::make_unique<Walker>(*this, installed_);
    }

    bool Remove(const std::wstring& fullName) {
        std::lock_guard lock(mutex_);
        attempts_.push_back(fullName);
        const auto found = std::find_if(installed_.begin(), installed_.end(),
                                        [&](const Package& package) { return package.fullName == fullName; });
        if (found == installed_.end() || found->removalFails) {
            return false;
        }
        installed_.erase(found);
        return true;
    }

    void Record(std::wstring call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    mutable std::mutex mutex_;
    std::vector<Package> installed_;
    const bool contractPresent_;
    std::vector<std::wstring> calls_;
    std::vector<std::wstring> attempts_;
    int walks_ = 0;
};

} // namespace Velmora::Testing
