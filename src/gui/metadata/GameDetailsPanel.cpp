#include "gui/metadata/GameDetailsPanel.h"

#include "core/metadata/GameDescription.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

namespace {

QString text(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QLabel *makeLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText); // a game list's "<b>" is shown, never obeyed
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

GameDetailsPanel::GameDetailsPanel(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    m_title = makeLabel(this, "gameTitle");
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_title->setFont(bold);
    m_facts = makeLabel(this, "gameFacts");
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("gameDescription"));
    m_description->setReadOnly(true);
    m_description->setFrameShape(QFrame::NoFrame);
    m_description->setFocusPolicy(Qt::NoFocus); // the keys stay with the ROM list
    m_description->viewport()->setAutoFillBackground(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(m_title);
    layout->addWidget(m_facts);
    layout->addWidget(m_description, 1);
}

QString GameDetailsPanel::ratingStars(int percent)
{
    if (percent < 0)
        return {};
    const int stars = (std::min(percent, 100) + 10) / 20;
    return QString(stars, QChar(0x2605)) + QString(5 - stars, QChar(0x2606));
}

void GameDetailsPanel::showGame(const marlit::GameDescription *game, const QString &fileName)
{
    if (!game) {
        m_title->setText(fileName);
        m_facts->setText(tr("No description"));
        m_description->clear();
        return;
    }
    m_title->setText(game->title.empty() ? fileName : text(game->title));
    QStringList lines;
    QStringList first;
    if (!game->releaseDate.empty())
        first << text(game->releaseDate);
    if (!game->genre.empty())
        first << text(game->genre);
    if (!first.isEmpty())
        lines << first.join(QStringLiteral(" · "));
    if (!game->developer.empty())
        lines << tr("Developer: %1").arg(text(game->developer));
    if (!game->publisher.empty() && game->publisher != game->developer)
        lines << tr("Publisher: %1").arg(text(game->publisher));
    if (!game->players.empty())
        lines << tr("Players: %1").arg(text(game->players));
    if (game->ratingPercent >= 0)
        lines << tr("Rating: %1").arg(ratingStars(game->ratingPercent));
    QStringList theirs;
    if (game->favourite)
        theirs << tr("a favourite");
    if (game->playCount > 0)
        theirs << (game->playCount == 1 ? tr("played once") : tr("played %1 times").arg(game->playCount));
    if (!theirs.isEmpty())
        lines << tr("In the game list: %1").arg(theirs.join(QStringLiteral(", ")));
    m_facts->setText(lines.join(QLatin1Char('\n')));
    m_description->setPlainText(text(game->description));
}

void GameDetailsPanel::clear()
{
    m_title->clear();
    m_facts->clear();
    m_description->clear();
}

QString GameDetailsPanel::title() const
{
    return m_title->text();
}

QString GameDetailsPanel::facts() const
{
    return m_facts->text();
}

QString GameDetailsPanel::description() const
{
    return m_description->toPlainText();
}
