// The Win32 tests change the PC they run on as a whole (nearly every fixture writes the machine's
// registry, services or tasks), so the executable refuses to run any of them where the PC is not
// meant to be thrown away afterwards. Listing them changes nothing.

#include "support/this_pc.h"

#include <gmock/gmock.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    if (!GTEST_FLAG_GET(list_tests)) {
        const std::wstring why = Velmora::Testing::WhyThisPcMayBeChanged();
        if (why.empty()) {
            std::fputs(
                "velmora_wine_tests changes this PC (registry, services, scheduled tasks, System Restore, "
                "apps) and runs only under Wine, in Windows Sandbox or on a GitHub-hosted runner.\n"
                "On a virtual machine of your own, set VELMORA_TESTS_MAY_CHANGE_THIS_PC=1.\n",
                stderr);
            return 2;
        }
        std::fprintf(stderr, "velmora_wine_tests may change this PC: %ls\n", why.c_str());
    }
    return RUN_ALL_TESTS();
}
