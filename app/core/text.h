// Small text rules shared by the data files and the windows.
#pragma once

#include <QString>

// The text up to, not including, its first character whose code is below 33 (a blank or a
// control character); a text without one is returned whole. The ideographic space U+3000 is
// not a blank here. Used on every text read from or written to the program's data files.
QString CutAtBlank(const QString &text);

// 1 when the text holds a character whose code is above 255 (a UTF-16 unit with a non-zero
// high byte), else 0.
int WideWord(const QString &text);
