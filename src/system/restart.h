#pragma once

#include <windows.h>

namespace Velmora {

// Restart request: reboot, letting programs save or ask first; only hung ones are ended (no
// EWX_FORCE, which would end every program without letting it save). Reason: other, unplanned.
inline constexpr UINT kRestartFlags = EWX_REBOOT | EWX_FORCEIFHUNG; // 0x12
inline constexpr DWORD kRestartReason = 0;

// The platform calls the restart makes; tests replace the ones they must not really make.
struct RestartApi {
    BOOL(WINAPI* openProcessToken)(HANDLE, DWORD, PHANDLE) = &::OpenProcessToken;
    BOOL(WINAPI* exitWindowsEx)(UINT, DWORD) = &::ExitWindowsEx;
};

// Enables the shutdown privilege when the token allows, then asks Windows to restart, without
// confirmation. ERROR_SUCCESS when Windows accepted the request (the restart then goes on without this
// process); otherwise the error it was refused with, which is also logged.
DWORD RestartComputer(const RestartApi& api = RestartApi{});

} // namespace Velmora
