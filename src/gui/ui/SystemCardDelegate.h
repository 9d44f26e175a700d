#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QStyledItemDelegate>

#include <string>
#include <unordered_map>

namespace marlit {
struct SystemEntry;
}

// Draws one system as a card: its icon at the left, the name in white on a band whose colour
// follows the row, and the description on a white line below. A selected card is drawn lifted
// up and to the right, inside a double black outline.
class SystemCardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kCardHeight = 38;
    static constexpr int kIconSize = 32;

    // Where the parts of a card go. Rectangles are in Qt's terms (right and bottom inclusive);
    // those that a selected card pushes past the item are clipped when drawn.
    struct CardLayout
    {
        QRect item;
        QRect icon;
        QRect band;
        QRect name;
        QRect description;
        QRect focus; // the focus frame, when the list has the keyboard focus
        bool framed = false;
        QRect outerFrame; // two 1-pixel outlines, offset so that they leave the top-left and
        QRect innerFrame; // bottom-right corner pixels of the item unpainted

        static CardLayout forItem(const QRect &item, bool selected);
    };

    // The band colour of a row: eight colours, repeating.
    static QColor bandColor(int row);

    explicit SystemCardDelegate(int logicalDpiY, QObject *parent = nullptr);

    // Forgets the decoded icons, so that changed icon files are read again.
    void clearIconCache();

    // Where "default.ico" is looked for: the folder the program works in.
    void setWorkFolder(const std::string &folder);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // The tooltip of a card whose name or description is cut short: both whole (up to the
    // bound every shown value has). A card that shows them whole has none.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    struct CardTexts
    {
        QString fullName, fullDescription; // bounded
        QString name, description;         // as drawn, cut to the card
        bool cut = false;
    };
    CardTexts cardTexts(const marlit::SystemEntry &entry, const CardLayout &layout) const;

    // The icon of a file as drawn, 32x32 card pixels at the given device pixels per card pixel; a
    // null image when the file cannot be read.
    const QImage &iconFor(const std::string &path, qreal devicePixelRatio) const;

    QFont m_nameFont;
    QFont m_descriptionFont;
    std::string m_defaultIcon = "default.ico";
    mutable std::unordered_map<std::string, QImage> m_icons;
    mutable qreal m_iconPixelRatio = 1.0; // the density m_icons were read for
};
