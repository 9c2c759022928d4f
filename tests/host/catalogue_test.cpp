// The published catalogue must be exactly what the program generates from its tables, so the
// documentation users read can never drift from what Velmora does.

#include "catalogue.h"

#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string ReadDoc(const char* name) {
    std::ifstream stream(std::string(VELMORA_DOCS_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

TEST(PublishedCatalogue, DocsMatchWhatTheProgramGenerates) {
    const Velmora::RunController controller;
    EXPECT_TRUE(ReadDoc("catalogue.json") == Velmora::CatalogueJson(controller))
        << "docs/catalogue.json is out of date: run scripts/catalogue";
    EXPECT_TRUE(ReadDoc("profiles.md") == Velmora::ProfilesMarkdown(controller))
        << "docs/profiles.md is out of date: run scripts/catalogue";
}

TEST(PublishedCatalogue, JsonEscapesBackslashesAndQuotesOfTheRows) {
    const std::string json = Velmora::CatalogueJson(Velmora::RunController());
    EXPECT_NE(
        json.find(R"({"root": 3, "spec": "\\Control Panel\\Keyboard:InitialKeyboardIndicators", "data": 2})"),
        std::string::npos);
    EXPECT_NE(
        json.find(R"("w32tm /config /manualpeerlist:\"time.windows.com\" /syncfromflags:manual /update")"),
        std::string::npos);
}

TEST(PublishedCatalogue, EachProfileListsItsOwnTablesOnly) {
    const std::string text = Velmora::ProfilesMarkdown(Velmora::RunController());
    const size_t essential = text.find("## Essential");
    const size_t standard = text.find("## Standard");
    const size_t maximum = text.find("## Maximum");
    const size_t apps = text.find("## Preinstalled apps");
    ASSERT_TRUE(essential < standard && standard < maximum && maximum < apps);
    const std::string maximumOnly = "| set | HKLM | `SYSTEM\\CurrentControlSet\\Control\\FeatureManagement";
    EXPECT_EQ(text.find(maximumOnly), text.find(maximumOnly, maximum))
        << "only Maximum sets the feature override";
    const std::string ipv6Off = "netsh interface ipv6 set interface \"Ethernet\" admin=disable";
    EXPECT_GT(text.find(ipv6Off), maximum);
    EXPECT_EQ(text.find("Microsoft.BingNews"), text.find("Microsoft.BingNews", apps));
}

} // namespace
