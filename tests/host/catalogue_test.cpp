// The published catalogue is what the program generates by running its real pipeline over every
// profile: every table row, every step and their order are pinned here.

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

} // namespace
