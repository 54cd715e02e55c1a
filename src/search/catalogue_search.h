#pragma once
// The search over the whole catalogue (the Find button) and the listing of one genre of the
// section tree. Both fill the three result tables through AddResultEntry and then open a
// result section. The window-facing steps (cursor, progress bar, panels, section buttons)
// go through SearchView, so the walk itself runs and is tested without a window.
#include "catalogue.h"
#include "description_layout.h"
#include "result_tables.h"

#include <QColor>

#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// One selector as the search reads it: its position (0 = " Все" or the prompt line,
// negative = nothing chosen) and its displayed text (cp1251).
struct SelectorValue {
    int position = 0;
    std::string text;
    bool chosen() const { return position > 0; }
};

struct SearchCriteria {
    std::string phrase; // the text of the phrase edit, cp1251
    SelectorValue operatorSel, providerSel, categorySel, genreSel;
    int modelPosition = 0; // the model selector's position
};

// The steps of a search or listing that belong to the window.
class SearchView {
public:
    virtual ~SearchView() = default;
    virtual void setBusy(bool on) = 0;                 // the hourglass cursor
    virtual void setNotFoundVisible(bool visible) = 0; // PanelNotFound
    virtual void hideResultArea() = 0;                 // HideResultArea
    virtual void repaintNow() = 0;
    virtual void setSearchText(const std::string& text) = 0; // the phrase edit
    virtual void progressStart(int maximum) = 0;             // ProgressSearch shown at 0
    virtual void progressStep() = 0;
    virtual void progressHide() = 0;
    // SetGamesSection, SetPicturesSection, SetSoundsSection.
    virtual void setSection(int section, bool enabled) = 0;
    virtual void setSortButtonsVisible(bool visible) = 0;
    // Opens a section as a left-button release at (0, 0) on its button does.
    virtual void openSection(int section) = 0;
    virtual void showFoundCount(std::int32_t n) = 0;
};

// A view that does nothing, for callers without a window.
class NullSearchView : public SearchView {
public:
    void setBusy(bool) override {}
    void setNotFoundVisible(bool) override {}
    void hideResultArea() override {}
    void repaintNow() override {}
    void setSearchText(const std::string&) override {}
    void progressStart(int) override {}
    void progressStep() override {}
    void progressHide() override {}
    void setSection(int, bool) override {}
    void setSortButtonsVisible(bool) override {}
    void openSection(int) override {}
    void showFoundCount(std::int32_t) override {}
};

// What a search or listing ended with.
struct SearchOutcome {
    int opened = 0; // the section opened (1 games, 2 pictures, 3 sounds), 0 for none
    bool nothingFound = false;
    int total = 0;
};

class CatalogueSearch {
public:
    CatalogueSearch(Catalogue& catalogue, ResultTables& tables, DescriptionLayout& layout, SearchView& view);

    // The colour GIF entry pictures are drawn over (the system window colour).
    void setPictureBackground(QColor c);

    // The Find button: walks the whole content list with the criteria.
    SearchOutcome ButtonFindClick(const SearchCriteria& criteria);
    // Lists the genre whose node-list record the selected tree node carries, for the model
    // at the model selector's position.
    SearchOutcome ShowTreeSection(std::int32_t selectedNode, int modelPosition);

    // The phrase as the search compares it: upper-cased, or empty when it places no
    // condition.
    static std::string phraseCondition(const std::string& text);

private:
    enum class Mode { Search, Listing };
    void AddResultEntry(Mode mode, std::int32_t listedNode);
    bool modelAllows(Mode mode, std::int32_t softId, const TNodeRecord& node) const;
    std::int32_t providerOf(std::int32_t contentId) const;
    bool plainHolds(const std::string& markup);
    void installProducers();

    Catalogue& cat_;
    ResultTables& tables_;
    DescriptionLayout& layout_;
    SearchView& view_;
    QColor pictureBackground_ = Qt::white;

    // State of one walk.
    std::string phrase_;
    std::string plainBuffer_;
    int modelPosition_ = 0;
    std::vector<std::uint8_t> modelListed_; // listing: SoftIDs of the chosen model
};

} // namespace vexa
