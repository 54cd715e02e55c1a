#pragma once
// Generated catalogues of realistic shape and size for the benchmarks.
#include <filesystem>
#include <string>

namespace vexa::bench {

struct CatalogueShape {
    int items;         // level-4 records
    int genres;        // level-3 records, spread over providers and categories
    int models;        // phone models
    int itemsPerModel; // SoftIDs listed by every model
    int codes;         // Codes.dat records
    int operatorRows;  // Content.dat records
};

// 20,000 items in 400 genres, 300 models listing 5,000 items each, 40,000 codes, 60 operator rows.
CatalogueShape realisticShape();
// 65,000 items, 500 models listing 20,000 items each, 200,000 codes.
CatalogueShape stressShape();

// Writes the four data files into dir (created when missing). The same shape always gives
// the same bytes.
void generateCatalogue(const std::filesystem::path& dir, const CatalogueShape& shape);

// A folder under the system's temporary folder that holds the generated catalogue of the
// shape, made once per process and name.
std::filesystem::path generatedCatalogue(const std::string& name, const CatalogueShape& shape);

} // namespace vexa::bench
