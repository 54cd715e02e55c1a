#pragma once
// Cell values as the import's texts (see workbook.h for the rules), shared by the readers.
#include <string>

namespace vexa {

// Appends UTF-8 text as cp1251; characters cp1251 cannot hold become "?".
void appendCellTextFromUtf8(const char* utf8, std::string& out);

// A number as a cell's text: whole numbers as their digits, others with up to 15
// significant digits and "," as the decimal separator; empty for infinities and NaN.
std::string numberText(double v);

} // namespace vexa
