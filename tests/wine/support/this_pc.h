#pragma once

// Test support: where the Win32 tests run (under Wine, or on Windows itself, where some expectations
// differ), and whether they may change the PC they run on.

#include <windows.h>

#include <string>

namespace Velmora::Testing {

// Wine's ntdll exports wine_get_version; Windows' never does.
inline bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline std::wstring Variable(const wchar_t* name) {
    wchar_t buffer[256] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 256);
    return length < 256 ? std::wstring(buffer, length) : std::wstring();
}

// Why this PC may be changed by the tests, or empty when nothing says so. These tests write the
// machine's registry, services, scheduled tasks, System Restore and apps: they run only where the
// machine is thrown away afterwards. Guessing at a virtual machine from the processor proves nothing
// (Windows with virtualization-based security runs under a hypervisor too), so only these count:
// - Wine: the test build runs it only in the throwaway prefix of scripts/sandbox;
// - Windows Sandbox, whose one account is WDAGUtilityAccount;
// - a GitHub-hosted runner (GITHUB_ACTIONS=true and RUNNER_ENVIRONMENT=github-hosted, as GitHub sets
//   them: https://docs.github.com/en/actions/reference/variables-reference);
// - VELMORA_TESTS_MAY_CHANGE_THIS_PC=1, set by a person for a virtual machine of their own.
inline std::wstring WhyThisPcMayBeChanged() {
    if (UnderWine()) {
        return L"Wine";
    }
    if (_wcsicmp(Variable(L"USERNAME").c_str(), L"WDAGUtilityAccount") == 0) {
        return L"Windows Sandbox";
    }
    if (Variable(L"GITHUB_ACTIONS") == L"true" && Variable(L"RUNNER_ENVIRONMENT") == L"github-hosted") {
        return L"a GitHub-hosted runner";
    }
    if (Variable(L"VELMORA_TESTS_MAY_CHANGE_THIS_PC") == L"1") {
        return L"VELMORA_TESTS_MAY_CHANGE_THIS_PC=1";
    }
    return {};
}

} // namespace Velmora::Testing
