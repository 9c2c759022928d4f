// Writes docs/catalogue.json and docs/profiles.md from the program's own tables.
//   velmora_catalogue OUTPUT_FOLDER

#include "catalogue.h"

#include "tweaks/run_controller.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora_catalogue OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const Velmora::RunController controller;
    std::ofstream(folder / "catalogue.json", std::ios::binary) << Velmora::CatalogueJson(controller);
    std::ofstream(folder / "profiles.md", std::ios::binary) << Velmora::ProfilesMarkdown(controller);
    return 0;
}
