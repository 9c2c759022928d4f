#pragma once

// A fake of the Windows package manager, ApiInformation and registry, which the host does not have.
// It keeps a list of installed packages and logs the platform calls and removal attempts.

#include "system/packages.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace Velmora::Testing {

class FakePackagePlatform final : public PackageRemovalPlatform {
public:
    enum class Behaviour { Works, RemovalFails, RemovalHangs, ReadFails, ReadThrows };
    struct Package {
        std::wstring name;
        Behaviour behaviour = Behaviour::Works;
        [[nodiscard]] std::wstring FullName() const { return name + L"_1.0.0.0_x64__8wekyb3d8bbwe"; }
    };

    explicit FakePackagePlatform(std::vector<Package> packages, bool contractPresent = false)
        : installed(std::move(packages)), contractPresent_(contractPresent) {}

    bool IsApiContractPresent(std::wstring_view contract, std::uint16_t major) override {
        calls.push_back(std::wstring(contract) + L" " + std::to_wstring(major));
        return contractPresent_;
    }
    bool DeleteRegistryTree(RegistryDwordSetting key) override {
        calls.push_back(std::to_wstring(key.root) + L" " + key.spec);
        return false; // its failure is ignored
    }
    std::unique_ptr<PackageCatalogue> OpenCatalogue() override {
        calls.push_back(L"OpenCatalogue");
        return catalogueAvailable ? std::make_unique<Catalogue>(*this) : nullptr;
    }
    [[nodiscard]] std::vector<std::wstring> InstalledNames() const {
        std::vector<std::wstring> names;
        for (const Package& package : installed) {
            names.push_back(package.name);
        }
        return names;
    }

    bool catalogueAvailable = true;
    int walksThatCannotStart = 0; // the first walks of a run that cannot start
    std::vector<Package> installed;
    std::vector<std::wstring> calls;
    std::vector<std::wstring> attempts; // full names, in the order their removal was asked for
    int walks = 0;

private:
    // Each walk sees the packages installed when it starts, as a fresh enumeration does.
    class Walker final : public PackageWalk {
    public:
        Walker(FakePackagePlatform& owner, std::vector<Package> snapshot)
            : owner_(owner), snapshot_(std::move(snapshot)) {}
        PackageWalkStep Next(std::wstring& name) override {
            if (++position_ >= snapshot_.size()) {
                return PackageWalkStep::End;
            }
            name = snapshot_[position_].name;
            if (snapshot_[position_].behaviour == Behaviour::ReadThrows) {
                throw std::runtime_error("package cannot be read");
            }
            return snapshot_[position_].behaviour == Behaviour::ReadFails ? PackageWalkStep::Failed
                                                                          : PackageWalkStep::Package;
        }
        PackageRemoval RemoveCurrent() override {
            const Package& package = snapshot_.at(position_);
            owner_.attempts.push_back(package.FullName());
            if (package.behaviour == Behaviour::RemovalFails ||
                package.behaviour == Behaviour::RemovalHangs) {
                return package.behaviour == Behaviour::RemovalFails ? PackageRemoval::Failed
                                                                    : PackageRemoval::StillRunning;
            }
            std::erase_if(owner_.installed, [&](const Package& p) { return p.name == package.name; });
            return PackageRemoval::Removed;
        }

    private:
        FakePackagePlatform& owner_;
        std::vector<Package> snapshot_;
        std::size_t position_ = static_cast<std::size_t>(-1);
    };

    class Catalogue final : public PackageCatalogue {
    public:
        explicit Catalogue(FakePackagePlatform& owner) : owner_(owner) {}
        std::unique_ptr<PackageWalk> Walk() override {
            return ++owner_.walks <= owner_.walksThatCannotStart
                       ? nullptr
                       : std::make_unique<Walker>(owner_, owner_.installed);
        }

    private:
        FakePackagePlatform& owner_;
    };

    const bool contractPresent_;
};

} // namespace Velmora::Testing
