// The Windows Runtime side of app removal: ApiInformation and the PackageManager through their ABI
// interfaces. The SDK headers for Windows.Management.Deployment and Windows.Foundation.Metadata are
// not available with every toolchain, so the few interfaces used are declared here, each with its
// methods in vtable order up to the last one called.

#include "system/packages.h"

#include "common/com_object.h"
#include "common/win32_handles.h"
#include "system/registry.h"
#include "system/winrt_functions.h"

#include <inspectable.h>

#include <atomic>
#include <optional>

namespace Velmora {

// The generic instances below carry the GUIDs that the WinRT parameterized-interface algorithm
// gives (SHA-1 over the namespace 11f47ad5-7b73-42c0-abae-878b1e16adee and the UTF-8 type signature,
// version 5); they are also the GUIDs the Windows SDK headers list for them.

// COM objects are destroyed through Release, never through a base pointer, so their interfaces
// have no virtual destructor.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// A named namespace, not an anonymous one: with internal linkage the compiler may conclude that no
// object implements these interfaces and turn every call through them into a pure-virtual trap.
namespace WinRtAbi {

// Windows.Foundation.Metadata.IApiInformationStatics
struct IApiInformationStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE IsTypePresent(HSTRING typeName, boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsMethodPresent(HSTRING typeName, HSTRING methodName,
                                                      boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsMethodPresentWithArity(HSTRING typeName, HSTRING methodName,
                                                               UINT32 inputParameterCount,
                                                               boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEventPresent(HSTRING typeName, HSTRING eventName,
                                                     boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPropertyPresent(HSTRING typeName, HSTRING propertyName,
                                                        boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsReadOnlyPropertyPresent(HSTRING typeName, HSTRING propertyName,
                                                                boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsWriteablePropertyPresent(HSTRING typeName, HSTRING propertyName,
                                                                 boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsEnumNamedValuePresent(HSTRING enumTypeName, HSTRING valueName,
                                                              boolean* present) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajor(HSTRING contractName, UINT16 majorVersion,
                                                                  boolean* present) = 0;
};

// Windows.ApplicationModel.IPackageId
struct IPackageId : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Version(void* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Architecture(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResourceId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Publisher(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PublisherId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FullName(HSTRING* value) = 0;
};

// Windows.ApplicationModel.IPackage, the default interface of Package
struct IPackage : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(IPackageId** value) = 0;
};

// IIterator<Package>, {0217f069-025c-5ee6-a87f-e782e3b623ae}
struct IPackageIterator : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Current(IPackage** current) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* hasCurrent) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext(boolean* hasCurrent) = 0;
};

// IIterable<Package>, {69ad6aa7-0c49-5f27-a5eb-ef4d59467b6d}
struct IPackageIterable : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE First(IPackageIterator** first) = 0;
};

// Windows.Management.Deployment.IDeploymentResult
struct IDeploymentResult : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_ErrorText(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ActivityId(GUID* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExtendedErrorCode(HRESULT* value) = 0;
};

struct IDeploymentOperation;

// AsyncOperationWithProgressCompletedHandler<DeploymentResult, DeploymentProgress>,
// {6e1c7129-61e0-5d88-9fd4-f3ce65a05719}
struct IDeploymentCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation* operation, std::int32_t status) = 0;
};

// IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>, {5a97aab7-b6ea-55ac-a5dc-d5b164d94e94}
struct IDeploymentOperation : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Progress(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Progress(IUnknown** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IDeploymentCompletedHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IDeploymentCompletedHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(IDeploymentResult** results) = 0;
};

// Windows.Management.Deployment.IPackageManager
struct IPackageManager : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE AddPackageAsync(IUnknown* packageUri, IUnknown* dependencyPackageUris,
                                                      UINT32 deploymentOptions,
                                                      IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdatePackageAsync(IUnknown* packageUri,
                                                         IUnknown* dependencyPackageUris,
                                                         UINT32 deploymentOptions,
                                                         IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING packageFullName,
                                                         IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE StagePackageAsync(IUnknown* packageUri, IUnknown* dependencyPackageUris,
                                                        IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPackageAsync(IUnknown* manifestUri,
                                                           IUnknown* dependencyPackageUris,
                                                           UINT32 deploymentOptions,
                                                           IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackages(IPackageIterable** packages) = 0;
    // FindPackagesForUser
    virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING userSecurityId,
                                                                   IPackageIterable** packages) = 0;
};

// Windows.Management.Deployment.IPackageManager2
struct IPackageManager2 : IInspectable {
    // RemovePackageAsync(String, RemovalOptions)
    virtual HRESULT STDMETHODCALLTYPE RemovePackageWithOptionsAsync(HSTRING packageFullName,
                                                                    UINT32 removalOptions,
                                                                    IDeploymentOperation** operation) = 0;
};

} // namespace WinRtAbi

namespace {

using namespace WinRtAbi;

// Interface identifiers of the non-generic interfaces, as published in the Windows metadata.
constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidApiInformationStatics = {
    0x997439fe, 0xf681, 0x4a11, {0xb4, 0x16, 0xc1, 0x3a, 0x47, 0xe8, 0xba, 0x36}};
constexpr GUID kIidPackageManager = {
    0x9a7d4b65, 0x5e8f, 0x4fc7, {0xa2, 0xe5, 0x7f, 0x69, 0x25, 0xcb, 0x8b, 0x53}};
constexpr GUID kIidPackageManager2 = {
    0xf7aad08d, 0x0840, 0x46f2, {0xb5, 0xd8, 0xca, 0xd4, 0x76, 0x93, 0xa0, 0x95}};
constexpr GUID kIidAgileObject = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

// AsyncOperationWithProgressCompletedHandler<DeploymentResult, DeploymentProgress>, see its declaration.
constexpr GUID kIidDeploymentCompletedHandler = {
    0x6e1c7129, 0x61e0, 0x5d88, {0x9f, 0xd4, 0xf3, 0xce, 0x65, 0xa0, 0x57, 0x19}};

// Windows.Foundation.AsyncStatus
constexpr std::int32_t kAsyncStatusCompleted = 1;
// Windows.Management.Deployment.RemovalOptions.None
constexpr UINT32 kRemovalOptionsNone = 0;

constexpr wchar_t kApiInformationClass[] = L"Windows.Foundation.Metadata.ApiInformation";
constexpr wchar_t kPackageManagerClass[] = L"Windows.Management.Deployment.PackageManager";

// Empty when the runtime is not there: every use below then fails as "no such class".
UniqueHString MakeHString(std::wstring_view text) {
    UniqueHString result;
    if (!WinRt().Complete() ||
        FAILED(WinRt().createString(text.data(), static_cast<UINT32>(text.size()), result.Put()))) {
        result.Reset();
    }
    return result;
}

std::wstring ToWString(HSTRING text) {
    UINT32 length = 0;
    const wchar_t* buffer =
        WinRt().stringRawBuffer == nullptr ? nullptr : WinRt().stringRawBuffer(text, &length);
    return buffer == nullptr ? std::wstring() : std::wstring(buffer, length);
}

template <typename Interface>
UniqueComPointer<Interface> QueryFor(IUnknown* object, const GUID& iid) {
    UniqueComPointer<Interface> result;
    if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(result.Put())))) {
        result.Reset();
    }
    return result;
}

// Signals an event when the removal has finished, however it finished. The completion can come on
// any thread, so the handler is agile and its state atomic.
class RemovalCompletedHandler final : public ComObject<IDeploymentCompletedHandler> {
public:
    // nullptr when no event could be created.
    static UniqueComPointer<RemovalCompletedHandler> Create() {
        UniqueKernelHandle finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!finished) {
            return {};
        }
        return UniqueComPointer<RemovalCompletedHandler>(new RemovalCompletedHandler(std::move(finished)));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == kIidUnknown || iid == kIidDeploymentCompletedHandler || iid == kIidAgileObject) {
            AddRef();
            *object = static_cast<IDeploymentCompletedHandler*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation*, std::int32_t status) override {
        status_ = status;
        ::SetEvent(finished_.Get());
        return S_OK;
    }

    // Blocks until the operation has finished and gives its AsyncStatus; nullopt when it has not
    // finished within the bound (the handler stays alive for a late completion: the operation holds it).
    std::optional<std::int32_t> WaitForCompletion(std::chrono::milliseconds bound) {
        if (::WaitForSingleObject(finished_.Get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        return status_.load();
    }

private:
    explicit RemovalCompletedHandler(UniqueKernelHandle finished) : finished_(std::move(finished)) {}
    ~RemovalCompletedHandler() override = default;

    std::atomic<std::int32_t> status_{0};
    UniqueKernelHandle finished_;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

class WindowsPackageWalk final : public PackageWalk {
public:
    WindowsPackageWalk(IPackageManager2* manager, UniqueComPointer<IPackageIterator> iterator)
        : manager_(manager), iterator_(std::move(iterator)) {}

    PackageWalkStep Next(std::wstring& name) override {
        current_.Reset();
        boolean hasCurrent = 0;
        const HRESULT moved =
            started_ ? iterator_->MoveNext(&hasCurrent) : iterator_->get_HasCurrent(&hasCurrent);
        started_ = true;
        if (FAILED(moved)) {
            return PackageWalkStep::Failed;
        }
        if (hasCurrent == 0) {
            return PackageWalkStep::End;
        }
        UniqueComPointer<IPackage> package;
        if (FAILED(iterator_->get_Current(package.Put())) || !package) {
            return PackageWalkStep::Failed;
        }
        UniqueComPointer<IPackageId> id;
        UniqueHString text;
        if (FAILED(package->get_Id(id.Put())) || !id || FAILED(id->get_Name(text.Put()))) {
            return PackageWalkStep::Failed;
        }
        name = ToWString(text.Get());
        current_ = std::move(id);
        return PackageWalkStep::Package;
    }

    PackageRemoval RemoveCurrent() override {
        if (!current_) {
            return PackageRemoval::Failed;
        }
        UniqueHString fullName;
        if (FAILED(current_->get_FullName(fullName.Put()))) {
            return PackageRemoval::Failed;
        }
        UniqueComPointer<IDeploymentOperation> operation;
        if (FAILED(manager_->RemovePackageWithOptionsAsync(fullName.Get(), kRemovalOptionsNone,
                                                           operation.Put())) ||
            !operation) {
            return PackageRemoval::Failed;
        }
        const UniqueComPointer<RemovalCompletedHandler> handler = RemovalCompletedHandler::Create();
        if (!handler || FAILED(operation->put_Completed(handler.Get()))) {
            return PackageRemoval::Failed;
        }
        const std::optional<std::int32_t> status = handler->WaitForCompletion(kPackageRemovalWaitBound);
        if (!status) {
            return PackageRemoval::StillRunning;
        }
        if (*status != kAsyncStatusCompleted) {
            return PackageRemoval::Failed;
        }
        UniqueComPointer<IDeploymentResult> result;
        if (FAILED(operation->GetResults(result.Put())) || !result) {
            return PackageRemoval::Failed;
        }
        HRESULT extendedError = S_OK;
        // Read as the platform reports it; a completed removal has succeeded whatever it says.
        static_cast<void>(result->get_ExtendedErrorCode(&extendedError));
        return PackageRemoval::Removed;
    }

private:
    IPackageManager2* manager_; // not owned: the catalogue outlives its walks
    UniqueComPointer<IPackageIterator> iterator_;
    UniqueComPointer<IPackageId> current_;
    bool started_ = false;
};

class WindowsPackageCatalogue final : public PackageCatalogue {
public:
    WindowsPackageCatalogue(UniqueComPointer<IPackageManager2> manager,
                            UniqueComPointer<IPackageIterable> packages)
        : manager_(std::move(manager)), packages_(std::move(packages)) {}

    std::unique_ptr<PackageWalk> Walk() override {
        UniqueComPointer<IPackageIterator> iterator;
        if (FAILED(packages_->First(iterator.Put())) || !iterator) {
            return nullptr;
        }
        return std::make_unique<WindowsPackageWalk>(manager_.Get(), std::move(iterator));
    }

private:
    UniqueComPointer<IPackageManager2> manager_;
    UniqueComPointer<IPackageIterable> packages_;
};

class WindowsPackageRemovalPlatform final : public PackageRemovalPlatform {
public:
    bool IsApiContractPresent(std::wstring_view contract, std::uint16_t major) override {
        const UniqueHString className = MakeHString(kApiInformationClass);
        UniqueComPointer<IApiInformationStatics> statics;
        if (!className ||
            FAILED(WinRt().getActivationFactory(className.Get(), kIidApiInformationStatics,
                                                reinterpret_cast<void**>(statics.Put()))) ||
            !statics) {
            return false;
        }
        const UniqueHString name = MakeHString(contract);
        boolean present = 0;
        return name && SUCCEEDED(statics->IsApiContractPresentByMajor(name.Get(), major, &present)) &&
               present != 0;
    }

    bool DeleteRegistryTree(RegistryDwordSetting key) override {
        return Velmora::DeleteRegistryTree(std::move(key));
    }

    std::unique_ptr<PackageCatalogue> OpenCatalogue() override {
        const UniqueHString className = MakeHString(kPackageManagerClass);
        UniqueComPointer<IInspectable> instance;
        if (!className || FAILED(WinRt().activateInstance(className.Get(), instance.Put())) || !instance) {
            return nullptr;
        }
        const auto manager = QueryFor<IPackageManager>(instance.Get(), kIidPackageManager);
        auto manager2 = QueryFor<IPackageManager2>(instance.Get(), kIidPackageManager2);
        if (!manager || !manager2) {
            return nullptr;
        }
        // The empty security identifier (the null HSTRING) means the current user.
        UniqueComPointer<IPackageIterable> packages;
        if (FAILED(manager->FindPackagesByUserSecurityId(nullptr, packages.Put())) || !packages) {
            return nullptr;
        }
        return std::make_unique<WindowsPackageCatalogue>(std::move(manager2), std::move(packages));
    }
};

} // namespace

std::unique_ptr<PackageRemovalPlatform> CreateWindowsPackageRemovalPlatform() {
    return std::make_unique<WindowsPackageRemovalPlatform>();
}

void AppRemovalThread(std::vector<std::wstring> packageNames) noexcept {
    try {
        // Declared first so that every Windows Runtime object is released before COM is left.
        const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
        if (FAILED(apartment.result)) {
            return;
        }
        const std::unique_ptr<PackageRemovalPlatform> platform = CreateWindowsPackageRemovalPlatform();
        RemovePreinstalledApps(std::move(packageNames), *platform);
    } catch (...) {
        // Nothing leaves the thread; the run's outcome is not reported to anyone.
    }
}

bool StartAppRemovalThread(std::vector<std::wstring> packageNames) {
    return StartExclusiveAppRemoval(
        [names = std::move(packageNames)]() mutable { AppRemovalThread(std::move(names)); });
}

std::optional<std::vector<std::wstring>>
MatchingInstalledPackages(const std::vector<std::wstring>& fragments) noexcept {
    try {
        const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
        if (FAILED(apartment.result) && apartment.result != RPC_E_CHANGED_MODE) {
            return std::nullopt;
        }
        const std::unique_ptr<PackageRemovalPlatform> platform = CreateWindowsPackageRemovalPlatform();
        const std::unique_ptr<PackageCatalogue> catalogue = platform ? platform->OpenCatalogue() : nullptr;
        return catalogue ? MatchingPackageNames(fragments, *catalogue) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace Velmora
