#include "import_passes.h"

#include "cp1251.h"
#include "file_lookup.h"
#include "markup.h"
#include "prefault.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vexa {

namespace {

const char* const kModelSheet = "Model";
const char* const kSoftSheet = "Soft";
const char* const kOperatorSheet = "Operator";

constexpr std::uint32_t kRed = 0x0000FF;  // RGB 255, 0, 0 as 0x00BBGGRR
constexpr std::uint32_t kTeal = 0x808000; // RGB 0, 128, 128

std::string cut255(std::string s) {
    if (s.size() > kShortTextLimit)
        s.resize(kShortTextLimit);
    return s;
}

std::string_view trimView(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && text[begin] == ' ')
        ++begin;
    std::size_t end = text.size();
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\n'))
        --end;
    return text.substr(begin, end - begin);
}

void trimInPlace(std::string& s) {
    std::string_view t = trimView(s);
    std::size_t begin = static_cast<std::size_t>(t.data() - s.data());
    s.resize(begin + t.size());
    s.erase(0, begin);
}

void upperInPlace(std::string& s) {
    for (char& c : s)
        c = static_cast<char>(cp1251::toUpper(static_cast<unsigned char>(c)));
}

// Columns 1..N of a row, each trimmed; the texts stay in the workbook.
template <std::size_t N> std::array<std::string_view, N + 1> readRow(const Workbook& book, int row) {
    std::array<std::string_view, N + 1> cells{}; // cells[0] unused: columns count from 1
    for (std::size_t c = 1; c <= N; ++c)
        cells[c] = trimView(book.cellText(row, static_cast<int>(c)));
    return cells;
}

// Selects a sheet and gives its last used row; sets up the progress line when asked.
int openSheet(Workbook& book, const char* sheet) {
    book.selectSheet(sheet);
    return book.lastUsedRow();
}

void startProgress(ImportHost& host, std::uint32_t color, int max) {
    if (!host.progress)
        return;
    host.progress->SetColor(color);
    host.progress->setPosition(0);
    host.progress->setMax(max);
}

void step(ImportHost& host) {
    if (host.progress)
        host.progress->Step();
}

// A text too long for its length field is cut at the limit, and the protocol says where.
struct LengthGuard {
    ImportState& state;
    const char* sheet;
    int row;
    std::vector<int> cutColumns;

    void cut(std::string& text, std::size_t limit, int column) {
        if (text.size() <= limit)
            return;
        text.resize(limit);
        cutColumns.push_back(column);
    }
    void report() {
        for (int column : cutColumns)
            state.problem(cp("Предупреждение: слишком длинный текст обрезан. Лист ") + sheet +
                          cp(", строка ") + std::to_string(row) + cp(", столбец ") + std::to_string(column));
        cutColumns.clear();
    }
};

// The item key of a row of sheet "Model": plain, upper-cased, trimmed.
void makeItemKey(std::string_view column2, std::string& key) {
    MarkupToPlain(column2, key);
    upperInPlace(key);
    trimInPlace(key);
}

// Reads a row of sheet "Model" as the first and the third pass use it.
void readModelRow(const Workbook& book, int row, ImportState::ModelSheetRow& r) {
    auto cells = readRow<4>(book, row);
    makeItemKey(cells[2], r.itemKey);
    if (r.itemKey.empty())
        return;
    r.provider = cells[1];
    r.code = cells[3];
    r.models = SplitModelList(cells[4]);
}

// The key of the name lookup, into a buffer the caller reuses.
void makeNameLookupKey(std::string_view nameKey, std::string_view providerKey, std::string& k) {
    // The name's length in front keeps every pair of texts apart.
    char digits[24];
    int n = std::snprintf(digits, sizeof digits, "%zu:", nameKey.size());
    k.assign(digits, static_cast<std::size_t>(n));
    k += nameKey;
    k += providerKey;
}

// A description cell as stored, appended to out (see ConvertDescription). "<bq>" holds no
// "#" or space, so its replacement can be done in the same pass.
void appendDescription(std::string_view cell, std::string& out) {
    out.reserve(out.size() + cell.size() + 8);
    for (std::size_t i = 0; i < cell.size();) {
        if (cell.compare(i, 4, "<bq>") == 0) {
            out += '\t';
            i += 4;
            continue;
        }
        char c = cell[i] == '\n' ? '#' : cell[i];
        out += c;
        // A line feed after the "#" becomes a "#" itself, not a space.
        if (c == '#' && (i + 1 >= cell.size() || cell[i + 1] != ' '))
            out += ' ';
        ++i;
    }
}

} // namespace

std::string nameLookupKey(const std::string& nameKey, const std::string& providerKey) {
    std::string k;
    makeNameLookupKey(nameKey, providerKey, k);
    return k;
}

void ImportState::problem(std::string line) {
    ProblemsFound = true;
    protocol.push_back(std::move(line));
}

void ImportState::releaseIndexes() {
    nameIndex.clear();
    nameIndex.shrink_to_fit();
    ProviderIndexList.clear();
    ProviderIndexList.shrink_to_fit();
    providerKeys.clear();
    providerKeys.shrink_to_fit();
    nameLookup.clear();
    modelByKey.clear();
    codesOfSoft.clear();
    codesOfSoft.shrink_to_fit();
    modelRows.clear();
    modelRows.shrink_to_fit();
}

std::string TrimCell(std::string_view text) {
    return std::string(trimView(text));
}

std::vector<std::pair<std::string, std::string>> SplitModelList(std::string_view cell) {
    std::string text(cell);
    for (char& c : text) {
        if (c == '#' || c == '\r')
            c = ' ';
        else if (c == '\n')
            c = ',';
    }
    std::vector<std::pair<std::string, std::string>> result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t comma = text.find(',', pos);
        std::size_t end = comma == std::string::npos ? text.size() : comma;
        std::string part = TrimCell(std::string_view(text).substr(pos, end - pos));
        pos = comma == std::string::npos ? text.size() : comma + 1;
        if (part.empty() || static_cast<unsigned char>(part[0]) < 32)
            continue;
        std::string key = cp1251::toUpper(part);
        key.erase(std::remove(key.begin(), key.end(), ' '), key.end());
        result.emplace_back(std::move(part), std::move(key));
    }
    return result;
}

std::string ConvertDescription(std::string_view cell) {
    std::string out;
    appendDescription(cell, out);
    return out;
}

int CompareModelNames(const TModelRecord& a, const TModelRecord& b) {
    return cp1251::compareLatinNoCase(a.Model, b.Model);
}

int CompareOperatorNames(const TOperatorRecord& a, const TOperatorRecord& b) {
    return cp1251::compareLatinNoCase(a.Operator, b.Operator);
}

void ReadModelSheet(Workbook& book, ImportState& state, ImportHost& host) {
    int last = openSheet(book, kModelSheet);
    state.modelLastRow = last;
    startProgress(host, kRed, last);
    std::unordered_map<std::string, bool> known;
    state.modelRows.clear();
    state.modelRows.reserve(static_cast<std::size_t>(std::clamp(last - 1, 0, 65536)));
    prefaultCapacity(state.modelRows);
    for (int row = 2; row <= last; ++row) {
        step(host);
        ImportState::ModelSheetRow& r = state.modelRows.emplace_back();
        readModelRow(book, row, r);
        if (r.itemKey.empty())
            continue;
        LengthGuard guard{state, kModelSheet, row, {}};
        for (auto& [name, key] : r.models) {
            if (known.count(key))
                continue;
            TModelRecord m;
            m.Model = name;
            guard.cut(m.Model, kShortTextLimit, 4);
            m.MatchKey = cut255(key);
            known.emplace(m.MatchKey, true);
            state.models.push_back(std::move(m));
        }
        guard.report();
    }
    std::stable_sort(
        state.models.begin(), state.models.end(),
        [](const TModelRecord& a, const TModelRecord& b) { return CompareModelNames(a, b) < 0; });
    state.modelByKey.clear();
    for (std::size_t i = 0; i < state.models.size(); ++i)
        state.modelByKey.emplace(state.models[i].MatchKey, static_cast<std::int32_t>(i));
}

void ReadSoftSheet(Workbook& book, ImportState& state, ImportHost& host) {
    int last = openSheet(book, kSoftSheet);
    startProgress(host, kTeal, last);
    state.content.clear();
    state.content.reserve(static_cast<std::size_t>(std::clamp(last, 0, 65536)));
    prefaultCapacity(state.content);
    state.nameLookup.reserve(state.content.capacity());
    state.ProviderIndexList.clear();
    state.providerKeys.clear();

    std::array<std::int32_t, 5> slots; // slots[2..4]: parent SoftID for that level, -1 none
    slots.fill(-1);
    std::string providerFolder, genreFolder, currentProviderKey, defaultFolder;
    std::string key, lookupKey, path; // reused from row to row
    FileLookup files;
    auto fileExists = [&](const std::string& path) {
        return host.fileExists ? host.fileExists(path) : files.exists(path);
    };
    std::uint8_t providerCount = 0;

    for (int row = 1; row <= last; ++row) {
        step(host);
        auto cells = readRow<9>(book, row);
        int level = 0;
        for (int c = 1; c <= 4 && level == 0; ++c)
            if (!cells[c].empty())
                level = c;
        if (level == 0)
            continue;

        // The row's texts are used whole: for the keys, the messages and the file checks.
        // Only the record's fields are cut to what the data file can hold, when it is kept.
        const std::string_view name = cells[level];
        switch (level) {
        case LevelProvider:
            providerCount = static_cast<std::uint8_t>(providerCount + 1);
            currentProviderKey = cut255(cp1251::toUpper(name));
            if (cells[8].empty()) {
                defaultFolder = "CONTENT" + std::to_string(providerCount) + "\\";
                cells[8] = defaultFolder;
            }
            providerFolder = cells[8].substr(0, kShortTextLimit);
            break;
        case LevelGenre:
            genreFolder = cells[8].substr(0, kShortTextLimit);
            break;
        default:
            break;
        }

        std::int32_t parent = 0;
        if (level != LevelProvider) {
            if (slots[level] < 0) {
                std::string text = cp("Ошибка в структуре. Нет родителя для ");
                text += name;
                if (host.message)
                    host.message(cp("Проблем-с"), text);
                state.problem(std::move(text));
                continue;
            }
            parent = slots[level];
        }

        // The record is built in its place in the list: it is large, and moving it in would
        // copy it.
        auto id = static_cast<std::int32_t>(state.content.size());
        TSoftRecord& rec = state.content.emplace_back();
        rec.Level = static_cast<std::uint8_t>(level);
        rec.ParentID = parent;
        LengthGuard guard{state, kSoftSheet, row, {}};
        auto takeShort = [&](std::string& field, int column) {
            std::string_view text = cells[column];
            field.assign(text.substr(0, kShortTextLimit));
            if (text.size() > kShortTextLimit)
                guard.cutColumns.push_back(column);
        };
        auto takeDescript = [&] {
            appendDescription(cells[9], rec.Descript);
            guard.cut(rec.Descript, kLongTextLimit, 9);
        };
        takeShort(rec.Brief, level);
        switch (level) {
        case LevelProvider:
            takeShort(rec.Image4, 8);
            break;
        case LevelCategory:
            takeShort(rec.Image1, 5);
            takeShort(rec.Image2, 6);
            takeShort(rec.Image4, 8);
            takeDescript();
            break;
        case LevelGenre:
            takeShort(rec.Image1, 5);
            takeShort(rec.Image2, 6);
            takeShort(rec.Image4, 8);
            break;
        default:
            takeShort(rec.Image1, 5);
            takeShort(rec.Image2, 6);
            takeShort(rec.Image3, 7);
            takeShort(rec.Image4, 8);
            takeDescript();
            break;
        }
        guard.report();

        if (level == LevelProvider) {
            state.ProviderIndexList.push_back(id);
            state.providerKeys.push_back(cp1251::toUpper(name));
        }
        if (level < LevelItem) {
            slots[level + 1] = id;
            for (int deeper = level + 2; deeper <= 4; ++deeper)
                slots[deeper] = -1;
        }

        if (level == LevelItem) {
            MarkupToPlain(name, key);
            upperInPlace(key);
            // Stored keys hold at most 255 characters, so a longer key never finds one.
            makeNameLookupKey(key, currentProviderKey, lookupKey);
            auto found = state.nameLookup.find(lookupKey);
            if (found == state.nameLookup.end()) {
                TSoftNameEntry entry{cut255(key), currentProviderKey, id};
                if (key.size() > kShortTextLimit)
                    makeNameLookupKey(entry.NameKey, entry.ProviderKey, lookupKey);
                state.nameLookup.emplace(lookupKey, state.nameIndex.size());
                state.nameIndex.push_back(std::move(entry));
            } else if (!state.NoDuplicateWarnings) {
                static const std::string duplicate = cp("Внимание, дубликаты названия: ");
                state.problem(duplicate + key);
            } else {
                state.ProblemsFound = true;
            }
        }

        if (!state.NoFileChecks) {
            auto check = [&](std::string_view file) {
                if (file.size() <= 4)
                    return;
                if (file[0] == '\\' || file[0] == '.') {
                    path.assign(file);
                } else {
                    path = providerFolder;
                    if (level == LevelItem)
                        path += genreFolder;
                    path += file;
                }
                if (!fileExists(path)) {
                    static const std::string missing = cp("Предупреждение: Не найден файл ");
                    state.problem(missing + path);
                }
            };
            if (level != LevelProvider) {
                check(cells[5]);
                check(cells[6]);
            }
            if (level == LevelItem) {
                check(cells[7]);
                check(cells[8]);
            }
        }
    }
}

void LinkModelsToSoft(Workbook& book, ImportState& state, ImportHost& host) {
    book.selectSheet(kModelSheet);
    int last = state.modelLastRow;
    startProgress(host, kRed, last);
    state.codesOfSoft.assign(state.content.size(), {});
    bool cached = state.modelRows.size() == static_cast<std::size_t>(std::max(last - 1, 0));
    ImportState::ModelSheetRow readRowCells;
    std::string providerKey, lookupKey;
    for (int row = 2; row <= last; ++row) {
        step(host);
        if (!cached)
            readModelRow(book, row, readRowCells);
        const auto& r = cached ? state.modelRows[static_cast<std::size_t>(row - 2)] : readRowCells;
        const std::string& key = r.itemKey;
        if (key.empty())
            continue;
        providerKey = r.provider;
        upperInPlace(providerKey);
        makeNameLookupKey(key, providerKey, lookupKey);
        auto found = state.nameLookup.find(lookupKey);
        if (found == state.nameLookup.end()) {
            state.problem(cp("Пропускаю неопределенную ссылку телефонов на программу ") + key +
                          cp(" контент ") + r.provider);
            continue;
        }
        std::int32_t s = state.nameIndex[found->second].SoftID;
        if (s < 0 || static_cast<std::size_t>(s) >= state.codesOfSoft.size())
            continue; // cannot happen: the index only holds items of the content list
        const std::string& code = r.code;
        for (const auto& [name, mkey] : r.models) {
            auto model = state.modelByKey.find(mkey);
            if (model == state.modelByKey.end()) {
                if (host.message)
                    host.message(cp("Стоп"), cp("Проблема в логике 1"));
                throw ImportStopped();
            }
            std::int32_t m = model->second;
            std::vector<std::int32_t>& mine = state.codesOfSoft[s];
            std::int32_t noted = -1;
            bool duplicate = false;
            for (auto it = mine.rbegin(); it != mine.rend(); ++it) {
                const TSoftCodeRecord& rec = state.codes[*it];
                if (rec.Code == code)
                    noted = *it;
                if (std::find(rec.ModelIndexes.begin(), rec.ModelIndexes.end(), m) !=
                    rec.ModelIndexes.end()) {
                    duplicate = true;
                    break;
                }
            }
            if (duplicate) {
                if (!state.NoDuplicateWarnings)
                    state.problem(cp("Дубликат софта-модели. Строка ") + std::to_string(row) +
                                  cp(" Модель ") + name);
                else
                    state.ProblemsFound = true;
                continue;
            }
            if (noted >= 0) {
                state.codes[noted].ModelIndexes.push_back(m);
            } else {
                TSoftCodeRecord rec;
                rec.SoftID = s;
                rec.Code = code.substr(0, std::min<std::size_t>(code.size(), kMaxCodeLength));
                rec.ModelIndexes.push_back(m);
                mine.push_back(static_cast<std::int32_t>(state.codes.size()));
                state.codes.push_back(std::move(rec));
            }
            state.models[m].SoftIDs.push_back(s);
        }
    }
}

void ReadOperatorSheet(Workbook& book, ImportState& state, ImportHost& host) {
    int last = openSheet(book, kOperatorSheet);
    state.operators.clear();
    // The first level-1 record of each upper-cased name (the whole name, even where the
    // record holds it cut).
    std::unordered_map<std::string, std::int32_t> providers;
    for (std::size_t i = 0; i < state.ProviderIndexList.size() && i < state.providerKeys.size(); ++i)
        providers.emplace(state.providerKeys[i], state.ProviderIndexList[i]);
    std::string upper;
    for (int row = 1; row <= last; ++row) {
        auto cells = readRow<3>(book, row);
        upper.assign(cells[2]);
        upperInPlace(upper);
        auto found = providers.find(upper);
        if (found == providers.end())
            continue;
        LengthGuard guard{state, kOperatorSheet, row, {}};
        TOperatorRecord rec;
        rec.Operator.assign(cells[1]);
        guard.cut(rec.Operator, kShortTextLimit, 1);
        rec.ContentID = found->second;
        rec.Regions.assign(cells[3]);
        guard.cut(rec.Regions, kLongTextLimit, 3);
        guard.report();
        state.operators.push_back(std::move(rec));
    }
}

void RunImportPasses(Workbook& book, ImportState& state, ImportHost& host) {
    ReadModelSheet(book, state, host);
    ReadSoftSheet(book, state, host);
    LinkModelsToSoft(book, state, host);
    ReadOperatorSheet(book, state, host);
}

void sortOperators(ImportState& state) {
    std::stable_sort(
        state.operators.begin(), state.operators.end(),
        [](const TOperatorRecord& a, const TOperatorRecord& b) { return CompareOperatorNames(a, b) < 0; });
}

} // namespace vexa
