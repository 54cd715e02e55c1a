// vexa-inspect: looks into a catalogue folder the way the program loads it, for
// maintainers and tests. Prints JSON (UTF-8).
//   vexa-inspect load DATADIR [--model K]
//   vexa-inspect search DATADIR [--model K] [--operator T] [--provider T] [--category T]
//                               [--genre T] [--phrase T]
//   vexa-inspect list DATADIR [--model K] "CATEGORY/GENRE"
//   vexa-inspect dump DATADIR
#include "catalogue.h"
#include "catalogue_search.h"
#include "cp1251.h"
#include "data_files.h"

#include <QGuiApplication>

#include <algorithm>
#include <map>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

using namespace vexa;

namespace {

std::string jsonString(const std::string& cp1251Text) {
    std::string s = cp1251::toUtf8(cp1251Text);
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string jsonLines(const SelectorLines& lines) {
    std::string out = "[";
    bool first = true;
    for (const auto& l : lines.lines()) {
        out += (first ? "" : ", ") + jsonString(l);
        first = false;
    }
    return out + "]";
}

int usage() {
    std::fputs("usage: vexa-inspect load DATADIR [--model K]\n"
               "       vexa-inspect search DATADIR [--model K] [--operator TEXT] [--provider TEXT]\n"
               "                           [--category TEXT] [--genre TEXT] [--phrase TEXT]\n"
               "       vexa-inspect list DATADIR [--model K] \"CATEGORY/GENRE\"\n"
               "       vexa-inspect dump DATADIR\n",
               stderr);
    return 2;
}

bool loadCatalogue(Catalogue& cat) {
    try {
        while (cat.LoadSoftRecord() > 0) {
        }
        while (cat.LoadModelRecord() > 0) {
        }
        while (cat.LoadCodeRecord() > 0) {
        }
        cat.SumTreeCounts();
        cat.LoadOperators();
    } catch (const DataFileError& e) {
        std::fprintf(stderr, "%s\n", cp1251::toUtf8(e.message()).c_str());
        return false;
    }
    return true;
}

// The model filter for selector position K; false when there is no such line.
bool applyModel(Catalogue& cat, int model) {
    if (model < 0 || static_cast<std::size_t>(model) > cat.Models.size()) {
        std::fprintf(stderr, "no model selector line %d\n", model);
        return false;
    }
    if (model != 0)
        cat.RebuildTree(model);
    return true;
}

int load(const std::string& dir, int model) {
    Catalogue cat(dir);
    if (!loadCatalogue(cat) || !applyModel(cat, model))
        return 1;

    std::ostringstream o;
    o << "{\n  \"model_position\": " << model << ",\n  \"selected_model\": "
      << (cat.SelectedModel >= 0 ? jsonString(cat.Models[cat.SelectedModel].Model) : "null") << ",\n";
    o << "  \"tree\": [";
    for (size_t i = 0; i < cat.Tree.size(); ++i) {
        const TreeNode& c = cat.Tree[i];
        o << (i ? ",\n    " : "\n    ") << "{\"label\": " << jsonString(c.Text) << ", \"genres\": [";
        for (size_t j = 0; j < c.Children.size(); ++j)
            o << (j ? ", " : "") << jsonString(c.Children[j].Text);
        o << "]}";
    }
    o << (cat.Tree.empty() ? "],\n" : "\n  ],\n");
    o << "  \"total_count\": " << cat.TotalCount << ",\n";
    o << "  \"count_label\": " << jsonString(Catalogue::FoundCountText(cat.TotalCount)) << ",\n";
    o << "  \"provider_selector\": " << jsonLines(cat.ProviderSelector) << ",\n";
    o << "  \"category_selector\": " << jsonLines(cat.CategorySelector) << ",\n";
    o << "  \"genre_selector\": " << jsonLines(cat.GenreSelector) << ",\n";
    o << "  \"model_selector\": " << jsonLines(cat.ModelSelector) << ",\n";
    o << "  \"operator_selector\": " << jsonLines(cat.OperatorSelector) << ",\n";
    // The code the detail window shows for an item and a model: the last linked code
    // record that lists the model.
    o << "  \"order_codes\": {";
    bool firstItem = true;
    for (size_t id = 0; id < cat.Content.size(); ++id) {
        const TSoftRecord& r = cat.Content[id];
        if (r.CodeSlots[0] < 0)
            continue;
        std::vector<std::pair<int, std::string>> byModel;
        for (int slot : r.CodeSlots) {
            if (slot < 0)
                continue;
            for (int m : cat.Codes[slot].ModelIndexes) {
                bool replaced = false;
                for (auto& [mm, code] : byModel)
                    if (mm == m) {
                        code = cat.Codes[slot].Code;
                        replaced = true;
                    }
                if (!replaced)
                    byModel.emplace_back(m, cat.Codes[slot].Code);
            }
        }
        o << (firstItem ? "\n    " : ",\n    ") << "\"" << id << "\": {";
        firstItem = false;
        for (size_t k = 0; k < byModel.size(); ++k)
            o << (k ? ", " : "") << "\"" << byModel[k].first << "\": " << jsonString(byModel[k].second);
        o << "}";
    }
    o << (firstItem ? "}\n" : "\n  }\n") << "}\n";
    std::cout << o.str();
    return 0;
}

template <typename R, typename F> void dumpFile(const std::string& path, const char* kind, F print) {
    RecordReader in;
    if (!in.open(path)) {
        std::cout << "{\"file\": " << jsonString(path) << ", \"error\": \"cannot open\"}\n";
        return;
    }
    for (int index = 0;; ++index) {
        R rec;
        size_t offset = in.position();
        int n = 0;
        if constexpr (std::is_same_v<R, TSoftRecord>)
            n = readSoftRecord(in, rec);
        else if constexpr (std::is_same_v<R, TModelRecord>)
            n = readModelRecord(in, rec);
        else if constexpr (std::is_same_v<R, TSoftCodeRecord>)
            n = readCodeRecord(in, rec);
        else
            n = readOperatorRecord(in, rec);
        if (n == 0)
            break;
        std::cout << "{\"file\": \"" << kind << "\", \"index\": " << index << ", \"offset\": " << offset
                  << ", \"bytes\": " << n << ", ";
        print(rec);
        std::cout << "}\n";
    }
}

std::string intList(const std::vector<std::int32_t>& v) {
    std::string s = "[";
    for (size_t i = 0; i < v.size(); ++i)
        s += (i ? ", " : "") + std::to_string(v[i]);
    return s + "]";
}

int dump(const std::string& dir) {
    dumpFile<TSoftRecord>(dir + "/" + kSoftFile, kSoftFile, [](const TSoftRecord& r) {
        std::cout << "\"Level\": " << int(r.Level) << ", \"ParentID\": " << r.ParentID
                  << ", \"Brief\": " << jsonString(r.Brief) << ", \"Image1\": " << jsonString(r.Image1)
                  << ", \"Image2\": " << jsonString(r.Image2) << ", \"Image3\": " << jsonString(r.Image3)
                  << ", \"Image4\": " << jsonString(r.Image4) << ", \"Descript\": " << jsonString(r.Descript);
    });
    dumpFile<TModelRecord>(dir + "/" + kModelsFile, kModelsFile, [](const TModelRecord& r) {
        std::cout << "\"Model\": " << jsonString(r.Model) << ", \"SoftIDs\": " << intList(r.SoftIDs);
    });
    dumpFile<TSoftCodeRecord>(dir + "/" + kCodesFile, kCodesFile, [](const TSoftCodeRecord& r) {
        std::cout << "\"SoftID\": " << r.SoftID << ", \"Code\": " << jsonString(r.Code)
                  << ", \"ModelIndexes\": " << intList(r.ModelIndexes);
    });
    dumpFile<TOperatorRecord>(dir + "/" + kContentFile, kContentFile, [](const TOperatorRecord& r) {
        std::cout << "\"Operator\": " << jsonString(r.Operator) << ", \"ContentID\": " << r.ContentID
                  << ", \"Regions\": " << jsonString(r.Regions);
    });
    return 0;
}

// The SoftIDs of a result table, ascending.
std::string softIds(const ResultTable& t) {
    std::vector<std::int32_t> ids;
    for (int r = 1; r <= t.RecordCount(); ++r)
        ids.push_back(t.IntAt(r, "SoftID"));
    std::sort(ids.begin(), ids.end());
    return intList(ids);
}

void printResult(const ResultTables& t, const SearchOutcome& out, const std::string& countLabel) {
    static const char* names[] = {"null", "\"games\"", "\"pictures\"", "\"sounds\""};
    std::ostringstream o;
    o << "{\n  \"games\": " << softIds(t.ResultGames) << ",\n  \"pictures\": " << softIds(t.ResultImage)
      << ",\n  \"sounds\": " << softIds(t.ResultSound)
      << ",\n  \"counts\": {\"games\": " << t.ResultGames.RecordCount()
      << ", \"pictures\": " << t.ResultImage.RecordCount() << ", \"sounds\": " << t.ResultSound.RecordCount()
      << "},\n  \"total\": " << out.total << ",\n  \"count_label\": " << jsonString(countLabel)
      << ",\n  \"opened\": " << names[out.opened >= 1 && out.opened <= 3 ? out.opened : 0]
      << ",\n  \"nothing_found\": " << (out.nothingFound ? "true" : "false") << "\n}\n";
    std::cout << o.str();
}

// The position of the selector line with this text: 0 for an empty text or " Все", -1
// when no line has it.
int positionOf(const SelectorLines& lines, const std::string& text) {
    if (text.empty() || text == cp(" Все"))
        return 0;
    const auto& all = lines.lines();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i] == text)
            return static_cast<int>(i);
    return -1;
}

// The label without its " [count]".
std::string bareLabel(const std::string& label) {
    std::size_t open = label.rfind(" [");
    if (open != std::string::npos && !label.empty() && label.back() == ']')
        return label.substr(0, open);
    return label;
}

bool labelMatches(const std::string& label, const std::string& text) {
    return label == text || bareLabel(label) == text;
}

int search(const std::string& dir, int model, const std::map<std::string, std::string>& texts) {
    Catalogue cat(dir);
    if (!loadCatalogue(cat) || !applyModel(cat, model))
        return 1;
    SearchCriteria c;
    c.modelPosition = model;
    auto text = [&](const char* key) {
        auto it = texts.find(key);
        return it == texts.end() ? std::string() : it->second;
    };
    c.phrase = text("phrase");
    struct {
        const char* key;
        SelectorValue* value;
        const SelectorLines* lines;
    } selectors[] = {{"operator", &c.operatorSel, &cat.OperatorSelector},
                     {"provider", &c.providerSel, &cat.ProviderSelector},
                     {"category", &c.categorySel, &cat.CategorySelector},
                     {"genre", &c.genreSel, &cat.GenreSelector}};
    for (auto& s : selectors) {
        std::string t = text(s.key);
        int position = positionOf(*s.lines, t);
        if (position < 0) {
            std::fprintf(stderr, "the %s selector has no line \"%s\"\n", s.key, cp1251::toUtf8(t).c_str());
            return 2;
        }
        s.value->position = position;
        s.value->text = position > 0 ? t : s.lines->lines().front();
    }
    ResultTables tables;
    DescriptionLayout layout;
    NullSearchView view;
    CatalogueSearch finder(cat, tables, layout, view);
    SearchOutcome out = finder.ButtonFindClick(c);
    printResult(tables, out, Catalogue::FoundCountText(out.total));
    return 0;
}

int list(const std::string& dir, int model, const std::string& path) {
    Catalogue cat(dir);
    if (!loadCatalogue(cat) || !applyModel(cat, model))
        return 1;
    std::int32_t node = -1;
    for (std::size_t slash = path.find('/'); slash != std::string::npos && node < 0;
         slash = path.find('/', slash + 1)) {
        std::string category = path.substr(0, slash), genre = path.substr(slash + 1);
        for (const TreeNode& c : cat.Tree) {
            if (!labelMatches(c.Text, category))
                continue;
            for (const TreeNode& g : c.Children)
                if (labelMatches(g.Text, genre)) {
                    node = g.Node;
                    break;
                }
            if (node >= 0)
                break;
        }
    }
    if (node < 0) {
        std::fprintf(stderr, "no genre \"%s\" in the section tree\n", cp1251::toUtf8(path).c_str());
        return 2;
    }
    ResultTables tables;
    DescriptionLayout layout;
    NullSearchView view;
    CatalogueSearch finder(cat, tables, layout, view);
    SearchOutcome out = finder.ShowTreeSection(node, model);
    // A listing leaves the count label as the tree set it.
    printResult(tables, out, Catalogue::FoundCountText(cat.TotalCount));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    std::string cmd = argv[1], dir = argv[2];
    if (cmd == "search" || cmd == "list") {
        // Fonts for the description layout need a GUI application, never a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        int qargc = 1;
        QGuiApplication app(qargc, argv);
        int model = 0;
        std::map<std::string, std::string> texts;
        std::vector<std::string> free;
        for (int i = 3; i < argc; ++i) {
            std::string a = argv[i];
            if (a.rfind("--", 0) == 0 && i + 1 < argc) {
                std::string key = a.substr(2);
                std::string value = argv[++i];
                if (key == "model")
                    model = std::atoi(value.c_str());
                else if (cmd == "search" && (key == "operator" || key == "provider" || key == "category" ||
                                             key == "genre" || key == "phrase"))
                    texts[key] = cp1251::fromUtf8(value);
                else
                    return usage();
            } else {
                free.push_back(a);
            }
        }
        if (cmd == "search")
            return free.empty() ? search(dir, model, texts) : usage();
        return free.size() == 1 ? list(dir, model, cp1251::fromUtf8(free[0])) : usage();
    }
    if (cmd == "load") {
        int model = 0;
        for (int i = 3; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--model" && i + 1 < argc)
                model = std::atoi(argv[++i]);
            else
                return usage();
        }
        return load(dir, model);
    }
    if (cmd == "dump" && argc == 3)
        return dump(dir);
    return usage();
}
