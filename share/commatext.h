#pragma once

#include <string>
#include <vector>

#include "vlshare_export.h"

// Lists are stored as comma text: the entries separated by commas, an entry that holds a
// blank, a control character, a comma or a double quote enclosed in double quotes (inner
// quotes doubled). A list whose only entry is empty is "", the empty list the empty text.
VLSHARE_EXPORT std::string ToCommaText(const std::vector<std::string>& list);

// Reads comma text. Blanks and control characters before an entry are skipped; a quoted
// entry runs to its closing quote (to the end of the text when there is none); any other
// entry runs to the next comma, blank or control character, so unquoted blanks separate
// entries as commas do. Every comma introduces one more entry, also at the end of the text:
// "a," reads as a and an empty entry, which is what ToCommaText writes for that list.
VLSHARE_EXPORT std::vector<std::string> FromCommaText(const std::string& text);
