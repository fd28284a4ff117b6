// Text from files and command lines made safe to show on a terminal.
#pragma once

#include <string>
#include <string_view>

// text with every control character written as a \xHH escape: C0 (below 0x20), DEL, and C1 (U+0080 to
// U+009F, in UTF-8 or as a lone byte), so that a name or a message taken from a file cannot move the
// cursor, recolour the terminal or end the line. Other valid UTF-8 is kept; a byte that starts no valid
// sequence is escaped too.
std::string printable(std::string_view text);
