#include "catalogue_search.h"

#include "cp1251.h"
#include "markup.h"
#include "picture_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_set>

namespace vexa {

CatalogueSearch::CatalogueSearch(Catalogue& catalogue, ResultTables& tables, DescriptionLayout& layout,
                                 SearchView& view)
    : cat_(catalogue), tables_(tables), layout_(layout), view_(view) {
    installProducers();
}

// An entry keeps only what its picture and shortened description are made from; they are
// made when the entry is first shown.
void CatalogueSearch::installProducers() {
    // The producers hold the catalogue and the layout, which outlive the tables' entries
    // (the main window owns all three), not this object.
    Catalogue* cat = &cat_;
    DescriptionLayout* layout = &layout_;
    auto descript = [cat, layout](const std::string& key) -> std::string {
        std::int32_t id = -1;
        std::from_chars(key.data(), key.data() + key.size(), id);
        if (id < 0 || static_cast<std::size_t>(id) >= cat->Content.size())
            return {};
        return layout->ShortenDescription(cat->Content[static_cast<std::size_t>(id)].Descript);
    };
    auto picture = [cat, background = pictureBackground_](const std::string& path) -> QImage {
        PictureKind kind = pictureKindOfName(path);
        if (kind == PictureKind::None)
            return {};
        // Joined names are taken as they stand: from the root after a leading '\',
        // otherwise from the catalogue's folder.
        auto file = cat->resolveFile(std::string(), path);
        std::error_code ec;
        if (!file || !std::filesystem::is_regular_file(*file, ec))
            return {};
        return entryPicture(*file, kind, background);
    };
    for (ResultTable* t : {&tables_.ResultGames, &tables_.ResultImage, &tables_.ResultSound})
        t->setTextProducer("Descript", descript);
    tables_.ResultGames.setPictureProducer("Image1", picture);
    tables_.ResultImage.setPictureProducer("Image1", picture);
}

void CatalogueSearch::setPictureBackground(QColor c) {
    pictureBackground_ = c;
    installProducers();
}

std::string CatalogueSearch::phraseCondition(const std::string& text) {
    std::string upper = cp1251::toUpper(text);
    // Empty, or sorting at or below a single blank in byte order: no condition.
    if (upper.compare(" ") <= 0)
        return {};
    return upper;
}

std::int32_t CatalogueSearch::providerOf(std::int32_t contentId) const {
    for (std::size_t i = 0; i < cat_.Providers.size(); ++i)
        if (cat_.Providers[i].ContentID == contentId)
            return static_cast<std::int32_t>(i);
    return -1;
}

// Whether the upper-cased plain text of a marked-up text holds the phrase.
bool CatalogueSearch::plainHolds(const std::string& markup) {
    static const auto upper = [] {
        std::array<char, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] =
                static_cast<char>(cp1251::toUpper(static_cast<unsigned char>(b)));
        return t;
    }();
    MarkupToPlain(markup, plainBuffer_);
    for (char& c : plainBuffer_)
        c = upper[static_cast<unsigned char>(c)];
    return plainBuffer_.find(phrase_) != std::string::npos;
}

bool CatalogueSearch::modelAllows(Mode mode, std::int32_t softId, const TNodeRecord& node) const {
    if (modelPosition_ <= 0 || node.Section == SectionPictures)
        return true;
    if (mode == Mode::Listing) {
        auto id = static_cast<std::size_t>(softId);
        return id < modelListed_.size() && modelListed_[id];
    }
    std::int32_t model = modelPosition_ - 1;
    const TSoftRecord& item = cat_.Content[static_cast<std::size_t>(softId)];
    for (std::int32_t slot : item.CodeSlots) {
        if (slot < 0 || static_cast<std::size_t>(slot) >= cat_.Codes.size())
            continue;
        const auto& models = cat_.Codes[static_cast<std::size_t>(slot)].ModelIndexes;
        if (std::find(models.begin(), models.end(), model) != models.end())
            return true;
    }
    return false;
}

void CatalogueSearch::AddResultEntry(Mode mode, std::int32_t listedNode) {
    const std::int32_t softId = cat_.CurrentSoftID;
    const TSoftRecord& item = cat_.Content[static_cast<std::size_t>(softId)];

    if (!phrase_.empty() && !plainHolds(item.Brief) && !plainHolds(item.Descript))
        return;

    std::int32_t nodeIndex = mode == Mode::Listing ? listedNode : cat_.nodeOf(item.ParentID);
    if (nodeIndex < 0 || static_cast<std::size_t>(nodeIndex) >= cat_.Nodes.size())
        return;
    const TNodeRecord& node = cat_.Nodes[static_cast<std::size_t>(nodeIndex)];
    if (!modelAllows(mode, softId, node))
        return;
    if (mode == Mode::Listing)
        cat_.CurrentProvider = providerOf(cat_.Nodes[static_cast<std::size_t>(cat_.CurrentNode)].ContentID);
    const TProviderRecord* provider =
        cat_.CurrentProvider >= 0 && static_cast<std::size_t>(cat_.CurrentProvider) < cat_.Providers.size()
            ? &cat_.Providers[static_cast<std::size_t>(cat_.CurrentProvider)]
            : nullptr;

    ResultTable& table = tables_.forSection(node.Section);
    table.Insert();
    if (&table == &tables_.ResultSound || (&table == &tables_.ResultGames && node.Section == SectionGames))
        table.SetText("Naimen", item.Brief);
    table.SetInt("SoftID", softId);
    table.SetInt("ContentID", provider ? provider->ContentID : -1);
    table.SetText("Genre", "[" + node.Brief + "]");
    if (node.Section != SectionSounds) {
        std::string path = (provider ? provider->Folder : std::string()) + node.Folder + item.Image1;
        if (pictureKindOfName(path) != PictureKind::None)
            table.SetDeferredPicture("Image1", std::move(path));
        table.SetText("GenreDir", node.Folder);
    }
    table.SetDeferredText("Descript", std::to_string(softId));
    table.Post();
}

SearchOutcome CatalogueSearch::ButtonFindClick(const SearchCriteria& c) {
    view_.setBusy(true);
    view_.setNotFoundVisible(false);
    view_.hideResultArea();
    view_.repaintNow();

    std::string text = c.phrase;
    text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
    view_.setSearchText(text);
    phrase_ = phraseCondition(text);
    modelPosition_ = c.modelPosition;
    modelListed_.clear();

    tables_.EmptyAll();
    view_.progressStart(static_cast<int>(cat_.Content.size()));
    bool providerExcluded = false, categoryExcluded = false, genreExcluded = false;

    for (std::size_t id = 0; id < cat_.Content.size(); ++id) {
        cat_.CurrentSoftID = static_cast<std::int32_t>(id);
        const TSoftRecord& rec = cat_.Content[id];
        if (!rec.Rejected) {
            switch (rec.Level) {
            case LevelProvider:
                if (c.providerSel.chosen()) {
                    providerExcluded = c.providerSel.text != rec.Brief;
                } else if (c.operatorSel.chosen()) {
                    providerExcluded = true;
                    for (const TOperatorRecord& op : cat_.Operators)
                        if (op.Operator == c.operatorSel.text && op.ContentID == cat_.CurrentSoftID) {
                            providerExcluded = false;
                            break;
                        }
                } else {
                    providerExcluded = false;
                }
                if (!providerExcluded) {
                    cat_.CurrentProvider = providerOf(cat_.CurrentSoftID);
                    categoryExcluded = false;
                }
                break;
            case LevelCategory:
                categoryExcluded =
                    providerExcluded || (c.categorySel.chosen() && c.categorySel.text != rec.Brief);
                break;
            case LevelGenre:
                genreExcluded = categoryExcluded || (c.genreSel.chosen() && c.genreSel.text != rec.Brief);
                break;
            case LevelItem:
                if (!genreExcluded)
                    AddResultEntry(Mode::Search, -1);
                break;
            default:
                break;
            }
        }
        view_.progressStep();
    }

    SearchOutcome out;
    const int games = tables_.ResultGames.RecordCount(), pictures = tables_.ResultImage.RecordCount(),
              sounds = tables_.ResultSound.RecordCount();
    view_.setSection(SectionGames, games > 0);
    view_.setSection(SectionPictures, pictures > 0);
    view_.setSection(SectionSounds, sounds > 0);
    if (games > 0)
        out.opened = SectionGames;
    else if (sounds > 0)
        out.opened = SectionSounds;
    else if (pictures > 0)
        out.opened = SectionPictures;
    if (out.opened) {
        view_.openSection(out.opened);
    } else {
        out.nothingFound = true;
        view_.setNotFoundVisible(true);
    }
    view_.setBusy(false);
    out.total = tables_.totalCount();
    view_.showFoundCount(out.total);
    view_.progressHide();
    return out;
}

SearchOutcome CatalogueSearch::ShowTreeSection(std::int32_t selectedNode, int modelPosition) {
    SearchOutcome out;
    if (selectedNode < 0 || static_cast<std::size_t>(selectedNode) >= cat_.Nodes.size())
        return out;
    view_.setBusy(true);
    cat_.CurrentNode = selectedNode;
    view_.setSearchText(std::string());
    phrase_.clear();
    modelPosition_ = modelPosition;
    modelListed_.clear();
    if (modelPosition_ > 0) {
        // The model the tree was last filtered for; the selector's own model when none is.
        std::int32_t m = cat_.SelectedModel >= 0 ? cat_.SelectedModel : modelPosition_ - 1;
        if (m >= 0 && static_cast<std::size_t>(m) < cat_.Models.size()) {
            modelListed_.assign(cat_.Content.size(), 0);
            for (std::int32_t id : cat_.Models[static_cast<std::size_t>(m)].SoftIDs)
                if (id >= 0 && static_cast<std::size_t>(id) < modelListed_.size())
                    modelListed_[static_cast<std::size_t>(id)] = 1;
        }
    }
    tables_.EmptyAll();

    // Same-named genres are chained through Next. After a model filter the links of
    // earlier rebuilds may form a loop, so a genre already walked ends the walk.
    std::unordered_set<std::int32_t> walked;
    for (;;) {
        walked.insert(cat_.CurrentNode);
        const TNodeRecord& genre = cat_.Nodes[static_cast<std::size_t>(cat_.CurrentNode)];
        for (std::int32_t id = genre.SoftID + 1;
             id >= 0 && static_cast<std::size_t>(id) < cat_.Content.size() &&
             cat_.Content[static_cast<std::size_t>(id)].ParentID == genre.SoftID;
             ++id) {
            cat_.CurrentSoftID = id;
            if (!cat_.Content[static_cast<std::size_t>(id)].Rejected)
                AddResultEntry(Mode::Listing, selectedNode);
        }
        std::int32_t next = genre.Next;
        if (next < 0 || static_cast<std::size_t>(next) >= cat_.Nodes.size() || walked.count(next))
            break;
        cat_.CurrentNode = next;
    }

    // The entries went into the table of the selected genre record's section, and that
    // section opens with its buttons. When same-named categories of different kinds were
    // merged in the tree, the last genre walked may be of another kind; choosing its
    // section would open an empty table and show the customer nothing.
    int section = cat_.Nodes[static_cast<std::size_t>(selectedNode)].Section;
    int kind = section == SectionPictures ? SectionPictures
               : section == SectionSounds ? SectionSounds
                                          : SectionGames;
    for (int s : {SectionGames, SectionPictures, SectionSounds})
        view_.setSection(s, s == kind);
    view_.setSortButtonsVisible(kind == SectionSounds);
    if (tables_.forSection(kind).RecordCount() > 0) {
        out.opened = kind;
        view_.openSection(kind);
    }
    view_.setBusy(false);
    out.total = tables_.totalCount();
    return out;
}

} // namespace vexa
