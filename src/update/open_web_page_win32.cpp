#include "update/open_web_page.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "update/web_address.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>

namespace Velmora {
namespace {

// The Shell.Application object of the desktop's own Explorer: what it starts runs as the user who
// is logged on, not with this process's elevated token.
UniqueComPointer<IShellDispatch2> DesktopShell() {
    UniqueComPointer<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                  IID_PPV_ARGS(windows.Put())))) {
        return {};
    }
    VARIANT none{};
    long window = 0;
    UniqueComPointer<IDispatch> desktop;
    if (windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Put()) != S_OK ||
        !desktop) {
        return {};
    }
    UniqueComPointer<IServiceProvider> services;
    UniqueComPointer<IShellBrowser> browser;
    UniqueComPointer<IShellView> view;
    UniqueComPointer<IDispatch> background;
    UniqueComPointer<IShellFolderViewDual> folderView;
    UniqueComPointer<IDispatch> application;
    UniqueComPointer<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_PPV_ARGS(services.Put()))) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.Put()))) ||
        FAILED(browser->QueryActiveShellView(view.Put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(background.Put()))) ||
        FAILED(background->QueryInterface(IID_PPV_ARGS(folderView.Put()))) ||
        FAILED(folderView->get_Application(application.Put())) ||
        FAILED(application->QueryInterface(IID_PPV_ARGS(shell.Put())))) {
        return {};
    }
    return shell;
}

bool OpenThroughDesktopShell(const std::wstring& url, const wchar_t* action = L"open") {
    const UniqueComPointer<IShellDispatch2> shell = DesktopShell();
    const UniqueBstr file(::SysAllocString(url.c_str()));
    const UniqueBstr verb(::SysAllocString(action));
    if (!shell || !file || !verb) {
        return false;
    }
    VARIANT none{};
    VARIANT operation{};
    operation.vt = VT_BSTR;
    operation.bstrVal = verb.Get(); // still owned by `verb`
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.Get(), none, none, operation, show));
}

// The fallback when no desktop shell answered: this process's own shell, elevated like it; a failure is
// logged after `failure`.
bool ShellExecuteDirectly(const wchar_t* verb, const std::wstring& target, const std::wstring& failure) {
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, verb, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        Diagnose(failure + std::to_wstring(result));
        return false;
    }
    return true;
}

} // namespace

bool OpenWebPage(std::wstring_view httpsUrl) {
    const std::wstring url(httpsUrl);
    if (!IsHttpsWebAddress(url)) {
        Diagnose(L"Update notice: a download address that is not https was not opened");
        return false;
    }
    if (OpenThroughDesktopShell(url)) {
        return true;
    }
    Diagnose(L"Update notice: no desktop shell answered; the download page is opened directly");
    return ShellExecuteDirectly(L"open", url, L"Update notice: the download page could not be opened: ");
}

bool OpenFolderInExplorer(const std::wstring& folder) {
    if (OpenThroughDesktopShell(folder, L"explore")) {
        return true;
    }
    return ShellExecuteDirectly(L"explore", folder, L"The folder could not be shown: ");
}

} // namespace Velmora
