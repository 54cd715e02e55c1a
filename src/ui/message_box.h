#pragma once
// Modal message boxes with one OK button. In unattended mode (VEXA_UNATTENDED set) the
// box is not shown: "title: text" goes to standard error and the box counts as answered.
#include <string>

namespace vexa {

bool isUnattended();

// Title and text in cp1251.
void MessageBox(const std::string& title, const std::string& text);

} // namespace vexa
