#include "gui/text/BoundedText.h"

#include <algorithm>

QString neutralised(QString text)
{
    for (QChar &character : text) {
        const char16_t code = character.unicode();
        if (code < 0x20)
            character = QChar(0x2400 + code); // the Control Pictures block, in code order
        else if (code == 0x7F)
            character = QChar(0x2421);
        else if ((code >= 0x80 && code < 0xA0) || code == 0x061C || code == 0x200E || code == 0x200F ||
                 (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069))
            character = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

QString boundedText(std::string_view bytes, qsizetype maxCharacters)
{
    // No character takes more than four bytes, so these always give maxCharacters whole ones,
    // if the value has them; a character cut at the end of the bytes is dropped with the rest.
    const std::size_t taken = std::min(bytes.size(), static_cast<std::size_t>(maxCharacters) * 4 + 4);
    QString text = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(taken));
    if (taken == bytes.size() && text.size() <= maxCharacters)
        return text;
    qsizetype keep = maxCharacters;
    // A character outside the basic plane is two UTF-16 units; never keep half of it.
    if (keep > 0 && keep <= text.size() && text.at(keep - 1).isHighSurrogate())
        --keep;
    text.truncate(keep);
    text += QChar(0x2026);
    return text;
}

QString plainToolTip(const QStringList &lines)
{
    QStringList escaped;
    for (const QString &line : lines)
        escaped << line.toHtmlEscaped();
    return QStringLiteral("<qt>") + escaped.join(QStringLiteral("<br>")) + QStringLiteral("</qt>");
}
