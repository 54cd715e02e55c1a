#pragma once
// The four catalogue record types, exactly as the data files hold them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// Number of order-code links an item can hold in memory.
inline constexpr int kCodeSlotCount = 51;
// Longest order code the data files may hold.
inline constexpr int kMaxCodeLength = 15;

enum SectionKind : int { SectionGames = 1, SectionPictures = 2, SectionSounds = 3 };

enum SoftLevel : int { LevelProvider = 1, LevelCategory = 2, LevelGenre = 3, LevelItem = 4 };

// One record of Soft.dat. Its SoftID is its position in the file and in the content list.
struct TSoftRecord {
    std::uint8_t Level = 0;
    std::int32_t ParentID = 0;
    std::string Brief;
    std::string Image1;
    std::string Image2;
    std::string Image3;
    std::string Image4;
    std::string Descript;
    // Memory only: code-list indexes of this item's order codes, -1 = free slot.
    std::array<std::int32_t, kCodeSlotCount> CodeSlots;
    // Memory only: the loader found the record out of place or broken. It keeps its
    // position (so that later SoftIDs stay right) but takes no part in the tree or searches.
    bool Rejected = false;

    TSoftRecord() { CodeSlots.fill(-1); }
};

// One phone model of Models.dat. Its model index is its position in the file.
struct TModelRecord {
    std::string Model;
    std::string MatchKey; // import only, never stored
    std::vector<std::int32_t> SoftIDs;
};

// One order code of one item for a set of models (Codes.dat).
struct TSoftCodeRecord {
    std::int32_t SoftID = 0;
    std::string Code;
    std::vector<std::int32_t> ModelIndexes;
};

// One pairing of an operator with a content provider (Content.dat).
struct TOperatorRecord {
    std::string Operator;
    std::int32_t ContentID = 0;
    std::string Regions;
};

// Section kind of a category record: its Image4 read as a decimal number, 0 when it is
// not one, kept in 8 bits.
std::uint8_t sectionKindOf(const std::string& image4);

} // namespace vexa
