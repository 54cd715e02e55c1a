// vexa-inspect: looks into a catalogue folder the way the program loads it, for
// maintainers and tests. Prints JSON (UTF-8).
//   vexa-inspect load DATADIR [--model K]
//   vexa-inspect dump DATADIR
#include "catalogue.h"
#include "cp1251.h"
#include "data_files.h"

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
               "       vexa-inspect dump DATADIR\n",
               stderr);
    return 2;
}

int load(const std::string& dir, int model) {
    Catalogue cat(dir);
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
        return 1;
    }
    if (model != 0)
        cat.RebuildTree(model);

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    std::string cmd = argv[1], dir = argv[2];
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
