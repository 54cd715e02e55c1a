#pragma once
// The three result tables of a search or listing: games, pictures and sounds.
#include "result_table.h"

namespace vexa {

struct ResultTables {
    ResultTables();
    // Games, ordered by name; index ResultGamesIndex1.
    ResultTable ResultGames;
    // Pictures, in the order they were added.
    ResultTable ResultImage;
    // Sounds, in one of the orders NaimenUp, NaimenDn, DescriptUp, DescriptDn (title or
    // performer, ascending or descending).
    ResultTable ResultSound;

    void EmptyAll();
    int totalCount() const;
    // The table of a section kind: pictures 2, sounds 3, anything else games.
    ResultTable& forSection(int section);
};

} // namespace vexa
