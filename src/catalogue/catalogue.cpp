#include "catalogue.h"

#include "cp1251.h"
#include "file_paths.h"

#include <algorithm>

namespace vexa {

void SelectorLines::reset(std::string first) {
    lines_.clear();
    upper_.clear();
    lines_.push_back(std::move(first));
}

void SelectorLines::add(const std::string& line) {
    lines_.push_back(line);
    upper_.insert(cp1251::toUpper(line));
}

void SelectorLines::addUnique(const std::string& line) {
    if (!containsNoCase(line))
        add(line);
}

bool SelectorLines::containsNoCase(const std::string& line) const {
    if (upper_.count(cp1251::toUpper(line)))
        return true;
    // The first line is not in the set (it is set up with the window, not loaded).
    return !lines_.empty() && cp1251::equalsNoCase(lines_.front(), line);
}

Catalogue::Catalogue(std::filesystem::path dataDir)
    : ProviderSelector(cp(" Все")), CategorySelector(cp(" Все")), GenreSelector(cp(" Все")),
      ModelSelector(cp(" Выберите модель вашего телефона")), OperatorSelector(cp(" Все")),
      dataDir_(std::move(dataDir)) {}

void Catalogue::fail(const char* utf8Message) {
    throw DataFileError(cp(utf8Message));
}

std::int32_t Catalogue::nodeOf(std::int32_t softId) const {
    if (softId < 0 || static_cast<std::size_t>(softId) >= nodeBySoftId_.size())
        return -1;
    return nodeBySoftId_[softId];
}

bool Catalogue::isLiveItem(std::int32_t softId) const {
    if (softId < 0 || static_cast<std::size_t>(softId) >= Content.size())
        return false;
    const TSoftRecord& r = Content[softId];
    return r.Level == LevelItem && !r.Rejected;
}

std::optional<std::filesystem::path> Catalogue::resolveFile(const std::string& folder,
                                                            const std::string& name) const {
    if (name.empty())
        return std::nullopt;
    std::string full = (name[0] == '\\' || name[0] == '.') ? name : folder + name;
    std::filesystem::path p = catalogueNameToPath(full);
    if (p.is_relative())
        p = dataDir_ / p;
    return resolvePathNoCase(p);
}

// Soft.dat must run depth first: every record's parent is the nearest sound record one
// level up, and a genre's items follow it with nothing between them. A record that breaks
// this, or has no known level, is kept in place (SoftIDs are positions) but marked.
bool Catalogue::checkSoftOrder(TSoftRecord& rec) {
    std::int32_t id = CurrentSoftID;
    switch (rec.Level) {
    case LevelProvider:
        orderProvider_ = id;
        orderCategory_ = -1;
        orderGenre_ = -1;
        return true;
    case LevelCategory:
        orderGenre_ = -1;
        if (orderProvider_ >= 0 && rec.ParentID == orderProvider_) {
            orderCategory_ = id;
            return true;
        }
        orderCategory_ = -1;
        return false;
    case LevelGenre:
        if (orderCategory_ >= 0 && rec.ParentID == orderCategory_) {
            orderGenre_ = id;
            return true;
        }
        orderGenre_ = -1;
        return false;
    case LevelItem:
        if (orderGenre_ >= 0 && rec.ParentID == orderGenre_)
            return true;
        orderGenre_ = -1;
        return false;
    default:
        orderGenre_ = -1;
        return false;
    }
}

int Catalogue::LoadSoftRecord() {
    int bytes = 0;
    TSoftRecord* rec = nullptr;
    if (!RebuildMode) {
        if (!softStarted_) {
            softStarted_ = true;
            if (!softFile_.open(dataDir_ / kSoftFile))
                fail("Ошибка открытия файла программ");
            CurrentSoftID = -1;
        }
        if (!softFile_.isOpen())
            return 0;
        TSoftRecord fresh;
        bytes = readSoftRecord(softFile_, fresh);
        if (bytes == 0) {
            softFile_.close();
            FlushPendingCount();
            return 0;
        }
        Content.push_back(std::move(fresh));
        nodeBySoftId_.push_back(-1);
        ++CurrentSoftID;
        rec = &Content.back();
        if (!checkSoftOrder(*rec)) {
            rec->Rejected = true;
            ++badSoft_;
            return bytes;
        }
    } else {
        if (CurrentSoftID < 0 || static_cast<std::size_t>(CurrentSoftID) >= Content.size())
            return 0;
        rec = &Content[CurrentSoftID];
        if (rec->Rejected)
            return 0;
    }
    currentRecord_ = rec;

    switch (rec->Level) {
    case LevelProvider:
        if (!RebuildMode) {
            Providers.push_back({CurrentSoftID, rec->Brief, rec->Image4});
            CurrentProvider = static_cast<std::int32_t>(Providers.size()) - 1;
            ProviderSelector.add(rec->Brief);
        }
        CurrentSection = 0;
        EnterNode();
        break;
    case LevelCategory:
        CurrentSection = sectionKindOf(rec->Image4);
        EnterNode();
        CategorySelector.addUnique(rec->Brief);
        break;
    case LevelGenre:
        EnterNode();
        GenreSelector.addUnique(rec->Brief);
        break;
    default: {
        bool counted = true;
        if (SelectedModel >= 0 && (CurrentNode < 0 || Nodes[CurrentNode].Section != SectionPictures)) {
            auto id = static_cast<std::size_t>(CurrentSoftID);
            counted = id < modelHas_.size() && modelHas_[id];
        }
        if (counted) {
            ++PendingCount;
            ++TotalCount;
        }
        break;
    }
    }
    currentRecord_ = nullptr;
    return bytes;
}

void Catalogue::FlushPendingCount() {
    if (CurrentNode >= 0)
        Nodes[CurrentNode].ItemCount += PendingCount;
    PendingCount = 0;
}

void Catalogue::EnterNode() {
    if (CurrentNode >= 0) {
        Nodes[CurrentNode].ItemCount += PendingCount;
        PendingCount = 0;
    }
    std::int32_t found = nodeOf(CurrentSoftID);
    if (found >= 0) {
        CurrentNode = found;
    } else {
        const TSoftRecord& rec = *currentRecord_;
        TNodeRecord node;
        node.SoftID = CurrentSoftID;
        node.ContentID = CurrentProvider >= 0 ? Providers[CurrentProvider].ContentID : -1;
        node.ItemCount = 0;
        node.Level = rec.Level;
        node.Brief = rec.Brief;
        node.Folder = rec.Level == LevelGenre ? rec.Image4 : std::string();
        node.ImageIndex = LoadNodeIcon(rec.Image1);
        if (node.ImageIndex == -1) {
            node.ImageIndex = 0;
            node.SelectedIndex = 1;
        } else {
            node.SelectedIndex = LoadNodeIcon(rec.Image2);
            if (node.SelectedIndex == -1)
                node.SelectedIndex = node.ImageIndex;
        }
        node.Section = CurrentSection;
        node.Next = -1;
        Nodes.push_back(std::move(node));
        CurrentNode = static_cast<std::int32_t>(Nodes.size()) - 1;
        nodeBySoftId_[CurrentSoftID] = CurrentNode;
        PendingCount = 0;
    }
    PlaceNodeInTree();
}

void Catalogue::PlaceNodeInTree() {
    TNodeRecord& node = Nodes[CurrentNode];
    if (node.Level == LevelCategory) {
        auto it = categoryByText_.find(node.Brief);
        if (it != categoryByText_.end()) {
            CategoryCursor = it->second;
            return;
        }
        TreeNode t;
        t.Text = node.Brief;
        t.Node = CurrentNode;
        t.ImageIndex = t.SelectedIndex = node.ImageIndex;
        Tree.push_back(std::move(t));
        CategoryCursor = static_cast<std::int32_t>(Tree.size()) - 1;
        categoryByText_.emplace(node.Brief, CategoryCursor);
        genreByText_.emplace_back();
    } else if (node.Level == LevelGenre) {
        if (CategoryCursor < 0)
            return;
        TreeNode& category = Tree[CategoryCursor];
        auto& genres = genreByText_[CategoryCursor];
        auto it = genres.find(node.Brief);
        if (it != genres.end()) {
            std::int32_t carried = category.Children[it->second].Node;
            Nodes[carried].Next = CurrentNode;
            CurrentNode = carried;
            return;
        }
        TreeNode t;
        t.Text = node.Brief;
        t.Node = CurrentNode;
        t.ImageIndex = t.SelectedIndex = node.ImageIndex;
        category.Children.push_back(std::move(t));
        genres.emplace(node.Brief, static_cast<std::int32_t>(category.Children.size()) - 1);
    }
}

int Catalogue::LoadNodeIcon(const std::string& name) {
    if (name.size() < 4 || cp1251::toUpper(name.substr(name.size() - 4)) != ".ICO")
        return -1;
    std::string folder = CurrentProvider >= 0 ? Providers[CurrentProvider].Folder : std::string();
    auto path = resolveFile(folder, name);
    std::error_code ec;
    if (!path || !std::filesystem::is_regular_file(*path, ec) || !iconLoader_)
        return -1;
    return iconLoader_(*path);
}

void Catalogue::SumTreeCounts() {
    auto label = [](std::string& text, std::int32_t n) { text += " [" + std::to_string(n) + "]"; };
    std::vector<TreeNode> kept;
    kept.reserve(Tree.size());
    for (TreeNode& category : Tree) {
        std::int64_t sum = 0;
        std::vector<TreeNode> genres;
        genres.reserve(category.Children.size());
        for (TreeNode& genre : category.Children) {
            std::int32_t n = Nodes[genre.Node].ItemCount;
            if (n <= 0)
                continue;
            label(genre.Text, n);
            sum += n;
            genres.push_back(std::move(genre));
        }
        if (sum <= 0)
            continue;
        category.Children = std::move(genres);
        label(category.Text, static_cast<std::int32_t>(sum));
        kept.push_back(std::move(category));
    }
    Tree = std::move(kept);
    // The labels now carry counts; the lookups by bare name no longer apply.
    categoryByText_.clear();
    genreByText_.clear();
    CategoryCursor = -1;
}

int Catalogue::LoadModelRecord() {
    if (!modelsStarted_) {
        modelsStarted_ = true;
        if (!modelsFile_.open(dataDir_ / kModelsFile))
            fail("Ошибка открытия файла моделей");
    }
    if (!modelsFile_.isOpen())
        return 0;
    TModelRecord model;
    int bytes = readModelRecord(modelsFile_, model);
    if (bytes == 0) {
        modelsFile_.close();
        return 0;
    }
    // A model keeps its place (codes name models by position); links to anything but a
    // sound item are dropped.
    auto bad = std::remove_if(model.SoftIDs.begin(), model.SoftIDs.end(),
                              [this](std::int32_t id) { return !isLiveItem(id); });
    if (bad != model.SoftIDs.end()) {
        model.SoftIDs.erase(bad, model.SoftIDs.end());
        ++badModels_;
    }
    ModelSelector.add(model.Model);
    Models.push_back(std::move(model));
    return bytes;
}

int Catalogue::LoadCodeRecord() {
    if (!codesStarted_) {
        codesStarted_ = true;
        if (!codesFile_.open(dataDir_ / kCodesFile))
            fail("Ошибка открытия файла кодов");
    }
    if (!codesFile_.isOpen())
        return 0;
    TSoftCodeRecord code;
    int bytes = readCodeRecord(codesFile_, code);
    if (bytes == 0) {
        codesFile_.close();
        return 0;
    }
    bool sound = code.Code.size() <= static_cast<std::size_t>(kMaxCodeLength) && isLiveItem(code.SoftID);
    for (std::int32_t m : code.ModelIndexes)
        if (m < 0 || static_cast<std::size_t>(m) >= Models.size())
            sound = false;
    if (!sound) {
        ++badCodes_;
        return bytes;
    }
    auto index = static_cast<std::int32_t>(Codes.size());
    auto& slots = Content[code.SoftID].CodeSlots;
    Codes.push_back(std::move(code));
    for (auto& slot : slots) {
        if (slot < 0) {
            slot = index;
            break;
        }
    }
    return bytes;
}

void Catalogue::LoadOperators() {
    RecordReader file;
    if (!file.open(dataDir_ / kContentFile))
        fail("Ошибка открытия файла операторов");
    std::string previous;
    for (;;) {
        TOperatorRecord op;
        if (readOperatorRecord(file, op) == 0)
            break;
        std::int32_t id = op.ContentID;
        bool sound = id >= 0 && static_cast<std::size_t>(id) < Content.size() &&
                     Content[id].Level == LevelProvider && !Content[id].Rejected;
        if (!sound) {
            ++badOperators_;
            continue;
        }
        if (!cp1251::equalsNoCase(op.Operator, previous))
            OperatorSelector.add(op.Operator);
        previous = op.Operator;
        Operators.push_back(std::move(op));
    }
}

void Catalogue::RebuildTree(int position, const std::function<void()>& step) {
    Tree.clear();
    categoryByText_.clear();
    genreByText_.clear();
    CategoryCursor = -1;
    for (TNodeRecord& n : Nodes)
        n.ItemCount = 0;

    int i = position - 1;
    SelectedModel = (i >= 0 && static_cast<std::size_t>(i) < Models.size()) ? i : -1;
    modelHas_.assign(SelectedModel >= 0 ? Content.size() : 0, 0);
    if (SelectedModel >= 0)
        for (std::int32_t id : Models[SelectedModel].SoftIDs)
            if (id >= 0 && static_cast<std::size_t>(id) < modelHas_.size())
                modelHas_[id] = 1;

    TotalCount = 0;
    CurrentNode = -1;
    PendingCount = 0;
    RebuildMode = true;
    if (SelectedModel < 0) {
        for (std::size_t k = 0; k < Content.size(); ++k) {
            CurrentSoftID = static_cast<std::int32_t>(k);
            LoadSoftRecord();
            if (step)
                step();
        }
    } else {
        for (std::int32_t s : Models[SelectedModel].SoftIDs) {
            if (isLiveItem(s)) {
                std::int32_t g = Content[s].ParentID;
                std::int32_t c = Content[g].ParentID;
                for (std::int32_t id : {c, g, s}) {
                    CurrentSoftID = id;
                    LoadSoftRecord();
                }
            }
            if (step)
                step();
        }
    }
    RebuildMode = false;
    FlushPendingCount();
    SumTreeCounts();
}

std::string Catalogue::FoundCountText(std::int32_t n) {
    std::string digits = std::to_string(n);
    char last = digits.back();
    if (last == '1')
        return cp("НАЙДЕНА ") + digits + cp(" ПРОГРАММА");
    if (last == '2' || last == '3' || last == '4')
        return cp("НАЙДЕНО ") + digits + cp(" ПРОГРАММЫ");
    return cp("НАЙДЕНО ") + digits + cp(" ПРОГРАММ");
}

std::vector<Catalogue::Damage> Catalogue::damage() const {
    std::vector<Damage> out;
    const std::pair<const char*, int> all[] = {{kSoftFile, badSoft_},
                                               {kModelsFile, badModels_},
                                               {kCodesFile, badCodes_},
                                               {kContentFile, badOperators_}};
    for (const auto& [file, n] : all)
        if (n > 0)
            out.push_back({file, n});
    return out;
}

} // namespace vexa
