#include "result_tables.h"

namespace vexa {

namespace {
FieldDef text(const char* name, int width) {
    return {name, FieldType::Text, width};
}
FieldDef int32(const char* name) {
    return {name, FieldType::Int32, 0};
}
FieldDef picture(const char* name) {
    return {name, FieldType::Picture, 0};
}
} // namespace

ResultTables::ResultTables()
    : ResultGames("ResultGames",
                  {text("Naimen", 100), text("Genre", 20), text("Descript", 500), picture("Image1"),
                   text("GenreDir", 40), int32("SoftID"), int32("ContentID")},
                  {{"ResultGamesIndex1", "Naimen", false}}, "ResultGamesIndex1"),
      ResultImage("ResultImage", {int32("SoftID"), text("Genre", 20), text("Descript", 500),
                                  picture("Image1"), text("GenreDir", 40), int32("ContentID")}),
      ResultSound("ResultSound",
                  {int32("SoftID"), text("Naimen", 100), text("Genre", 20), text("Descript", 500),
                   int32("ContentID")},
                  {{"NaimenUp", "Naimen", false},
                   {"NaimenDn", "Naimen", true},
                   {"DescriptUp", "Descript", false},
                   {"DescriptDn", "Descript", true}},
                  "DescriptDn") {}

void ResultTables::EmptyAll() {
    ResultGames.Empty();
    ResultImage.Empty();
    ResultSound.Empty();
}

int ResultTables::totalCount() const {
    return ResultGames.RecordCount() + ResultImage.RecordCount() + ResultSound.RecordCount();
}

ResultTable& ResultTables::forSection(int section) {
    if (section == 2)
        return ResultImage;
    if (section == 3)
        return ResultSound;
    return ResultGames;
}

} // namespace vexa
