#include "catalogue_gen.h"

#include "cp1251.h"
#include "data_files.h"
#include "records.h"

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace vexa::bench {

CatalogueShape realisticShape() {
    return {20000, 400, 300, 5000, 40000, 60};
}
CatalogueShape stressShape() {
    return {65000, 1300, 500, 20000, 200000, 60};
}

void generateCatalogue(const fs::path& dir, const CatalogueShape& s) {
    std::mt19937 rng(42);
    const char* words[] = {"Космический", "Быстрый",  "Весёлый",  "Ночной", "Звёздный", "Лесной",
                           "Морской",     "Огненный", "Северный", "Тайный", "Золотой",  "Стальной"};
    const char* nouns[] = {"рейд",  "гонщик", "лабиринт", "герой",    "замок", "дракон",
                           "пират", "город",  "остров",   "кристалл", "воин",  "корабль"};
    const std::string blurb = cp("<b>Хит сезона!</b># Захватывающая игра с простым управлением и "
                                 "красочной графикой.# Десятки уровней, <c=blue>секретные бонусы</c> и "
                                 "таблица рекордов. Подходит для всех возрастов.");
    const int providers = 4, categoriesPerProvider = 10;
    const int genresPerCategory = std::max(1, s.genres / (providers * categoriesPerProvider));
    const int totalGenres = providers * categoriesPerProvider * genresPerCategory;

    std::vector<TSoftRecord> soft;
    soft.reserve(static_cast<size_t>(s.items + totalGenres + providers * (categoriesPerProvider + 1)));
    std::vector<int> items, pictureFlags;
    int genreIndex = 0;
    for (int p = 0; p < providers; ++p) {
        TSoftRecord pr;
        pr.Level = 1;
        pr.Brief = cp("Провайдер ") + std::to_string(p + 1);
        pr.Image4 = std::string("CONTENT").append(std::to_string(p + 1)).append("\\");
        int pid = static_cast<int>(soft.size());
        soft.push_back(pr);
        for (int c = 0; c < categoriesPerProvider; ++c) {
            TSoftRecord cat;
            cat.Level = 2;
            cat.ParentID = pid;
            cat.Brief = cp("Категория ") + std::to_string(c + 1); // shared across providers
            cat.Image4 = std::to_string(c % 3 + 1);
            cat.Descript = blurb;
            int cid = static_cast<int>(soft.size());
            soft.push_back(cat);
            for (int g = 0; g < genresPerCategory; ++g, ++genreIndex) {
                TSoftRecord gen;
                gen.Level = 3;
                gen.ParentID = cid;
                gen.Brief = cp("Жанр ") + std::to_string(g + 1);
                gen.Image4 = std::string("G").append(std::to_string(genreIndex)).append("\\");
                int gid = static_cast<int>(soft.size());
                soft.push_back(gen);
                int count = s.items / totalGenres + (genreIndex < s.items % totalGenres ? 1 : 0);
                for (int k = 0; k < count; ++k) {
                    TSoftRecord it;
                    it.Level = 4;
                    it.ParentID = gid;
                    it.Brief = cp(words[rng() % 12]) + " " + cp(nouns[rng() % 12]) + " " + std::to_string(k);
                    it.Image1 = std::string("p").append(std::to_string(soft.size())).append(".jpg");
                    it.Image2 = std::string("q").append(std::to_string(soft.size())).append(".gif");
                    it.Descript = blurb;
                    items.push_back(static_cast<int>(soft.size()));
                    soft.push_back(std::move(it));
                }
            }
        }
    }

    std::vector<TModelRecord> models(static_cast<size_t>(s.models));
    int perModel = std::min<int>(s.itemsPerModel, static_cast<int>(items.size()));
    for (int m = 0; m < s.models; ++m) {
        models[m].Model = "Model " + std::to_string(1000 + m);
        // A contiguous window of the items, starting at a different place for every model.
        int start =
            static_cast<int>((static_cast<long long>(m) * 7919) % static_cast<long long>(items.size()));
        models[m].SoftIDs.reserve(static_cast<size_t>(perModel));
        for (int k = 0; k < perModel; ++k)
            models[m].SoftIDs.push_back(
                items[static_cast<size_t>((start + k) % static_cast<int>(items.size()))]);
    }

    std::vector<TSoftCodeRecord> codes;
    codes.reserve(static_cast<size_t>(s.codes));
    for (int k = 0; k < s.codes; ++k) {
        TSoftCodeRecord c;
        c.SoftID = items[static_cast<size_t>(k) % items.size()];
        c.Code = std::to_string(100000 + k);
        int n = 1 + static_cast<int>(rng() % 8);
        for (int j = 0; j < n; ++j)
            c.ModelIndexes.push_back(static_cast<int>(rng() % static_cast<unsigned>(s.models)));
        codes.push_back(std::move(c));
    }

    std::vector<TOperatorRecord> ops;
    for (int k = 0; k < s.operatorRows; ++k) {
        int providerSoftId = 0, seen = 0;
        for (size_t i = 0; i < soft.size(); ++i)
            if (soft[i].Level == 1 && seen++ == k % providers)
                providerSoftId = static_cast<int>(i);
        ops.push_back({cp("Оператор ") + std::to_string(k / providers), providerSoftId,
                       cp("Все регионы: SMS на короткий номер.")});
    }

    fs::create_directories(dir);
    bool ok = writeWholeFile(dir / kModelsFile, encodeModelsFile(models)) &&
              writeWholeFile(dir / kSoftFile, encodeSoftFile(soft)) &&
              writeWholeFile(dir / kCodesFile, encodeCodesFile(codes)) &&
              writeWholeFile(dir / kContentFile, encodeContentFile(ops));
    if (!ok)
        throw std::runtime_error("cannot write the generated catalogue");
}

fs::path generatedCatalogue(const std::string& name, const CatalogueShape& shape) {
    static std::map<std::string, fs::path> made;
    auto it = made.find(name);
    if (it != made.end())
        return it->second;
    fs::path dir = fs::temp_directory_path() / ("vexa-bench-" + name);
    generateCatalogue(dir, shape);
    made[name] = dir;
    return dir;
}

} // namespace vexa::bench
