#pragma once
// The description mark-up of item names and descriptions: "# " line breaks, tabs, and the
// tags <b>, <i>, <c=name>, <hN> with their closing forms. These are the readers that need
// no layout engine; the layout and shortening live with the search.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexa {

// The plain text: tags removed, each "# " replaced in place by CR LF.
std::string MarkupToPlain(std::string_view text);
// The same into a buffer the caller reuses (its old content is replaced).
void MarkupToPlain(std::string_view text, std::string& result);

// The colour (0xRRGGBB) named by a colour tag's argument, or nothing when the name is not
// in the table, which means the main text colour.
std::optional<std::uint32_t> ColorByName(std::string_view argument);

// The point size of a heading tag's argument.
std::uint8_t HeadingSize(std::string_view argument);

} // namespace vexa
