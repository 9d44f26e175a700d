#pragma once

#include <QString>
#include <QStringList>

#include <string_view>

// How many characters of one value a card, a row, a tooltip or a question lays out at most. A
// catalogue may hold a value of any length; laying out a line of millions of characters costs
// seconds and gigabytes at every repaint, while no screen shows more than a few hundred.
inline constexpr qsizetype kShownCharacters = 300;

// The beginning of bytes (text in the locale's encoding), at most maxCharacters of it, ended
// with "…" when it was cut. Only the bytes that can be shown are converted.
QString boundedText(std::string_view bytes, qsizetype maxCharacters = kShownCharacters);

// A name from a file or a catalogue as the window shows it (a long one bounded first): each
// control character as its visible picture (a line break as "␊"), each character that steers the
// writing direction (a right-to-left override, an isolate) as "�", so that a name can neither
// break its line nor turn the row's text around. The bytes themselves are kept.
QString neutralised(QString text);

// A tooltip that shows lines as they are written: never read as markup, whatever they hold.
QString plainToolTip(const QStringList &lines);
