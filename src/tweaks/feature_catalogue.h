#pragma once

// The feature table resolved against the RunController's tables: which rows and built-in items each
// feature holds, which feature each row belongs to, and which profiles change it.

#include "tweaks/features.h"
#include "tweaks/profiles.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

class RunController;

struct TableRow {
    CatalogueTable table = CatalogueTable::ServiceTable;
    std::size_t index = 0;
    friend bool operator==(const TableRow&, const TableRow&) = default;
};

class FeatureCatalogue {
public:
    FeatureCatalogue(const RunController& controller, std::vector<FeatureDefinition> features);

    [[nodiscard]] const std::vector<FeatureDefinition>& Features() const { return features_; }
    [[nodiscard]] std::optional<std::size_t> Find(std::string_view id) const;

    [[nodiscard]] const std::vector<TableRow>& RowsOf(std::size_t feature) const;
    [[nodiscard]] const std::vector<BuiltInItem>& BuiltInsOf(std::size_t feature) const;
    [[nodiscard]] std::optional<std::size_t> FeatureOfRow(TableRow row) const;
    [[nodiscard]] std::optional<std::size_t> FeatureOfBuiltIn(BuiltInItem item) const;

    // The profiles whose run sets at least one of the feature's items, lowest first.
    [[nodiscard]] std::vector<SettingsProfile> ProfilesOf(std::size_t feature) const;
    // The profiles a feature's warnings are given for: those that change it, from its `warnFrom` up.
    [[nodiscard]] std::vector<SettingsProfile> WarnedProfiles(std::size_t feature) const;

    // What keeps the table from being whole: a reference to no row, a row or built-in item in two
    // features or in none, one item (the same registry value, service or task) in two features.
    [[nodiscard]] const std::vector<std::string>& Problems() const { return problems_; }

private:
    // Each table's rows by lower-cased name, made at the first reference by name into the table: the
    // features name a few hundred rows, and matching each against every row would lower-case the tables
    // hundreds of times while the window starts.
    using RowsByName =
        std::array<std::optional<std::map<std::wstring, std::vector<std::size_t>>>, kCatalogueTableCount>;

    void Resolve(std::size_t feature, const FeatureItemRef& ref, RowsByName& byName);
    void Claim(std::size_t feature, TableRow row);
    void CheckSameItemsShareFeatures();
    void CheckWarningsStartWhereTheChangeIsMade();

    const RunController& controller_;
    std::vector<FeatureDefinition> features_;
    std::vector<std::vector<TableRow>> rows_;
    std::vector<std::vector<BuiltInItem>> builtIns_;
    std::array<std::vector<std::optional<std::size_t>>, kCatalogueTableCount> rowFeature_;
    std::array<std::optional<std::size_t>, kBuiltInItemCount> builtInFeature_{};
    std::vector<std::string> problems_;
};

// The table's rows as the catalogue names them: how many, and the name of one (see NamedRows).
[[nodiscard]] std::size_t TableSize(const RunController& controller, CatalogueTable table);
[[nodiscard]] std::wstring RowName(const RunController& controller, TableRow row);

} // namespace Velmora
