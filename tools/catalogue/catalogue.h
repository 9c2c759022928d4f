#pragma once

#include <string>

namespace Velmora {

class RunController;

// docs/catalogue.json: every table of the controller, one member per table, rows in table order.
[[nodiscard]] std::string CatalogueJson(const RunController& controller);

// docs/profiles.md: for each profile, every change it makes, in the order a run makes it.
[[nodiscard]] std::string ProfilesMarkdown(const RunController& controller);

} // namespace Velmora
