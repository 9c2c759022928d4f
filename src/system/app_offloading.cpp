#include "system/app_offloading.h"

namespace Velmora {

RegistryDwordSetting AppOffloadingRecord(const std::wstring& userSid) {
    return {2,
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\InstallService\\Stubification\\" + userSid +
                L":EnableAppOffloading",
            0};
}

} // namespace Velmora
