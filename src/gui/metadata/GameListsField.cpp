#include "gui/metadata/GameListsField.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

QString fromBytes(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

std::optional<std::string> pickWithDialog(QWidget *parent, bool folder)
{
    const QString picked =
        folder ? QFileDialog::getExistingDirectory(parent, GameListsField::tr("Media Folder"), QDir::homePath())
               : QFileDialog::getOpenFileName(parent, GameListsField::tr("Game List File"), QDir::homePath(),
                                              GameListsField::tr("Game Lists (*.xml *.txt)"));
    if (picked.isEmpty())
        return std::nullopt;
    return QFile::encodeName(picked).toStdString();
}

} // namespace

GameListsField::GameListsField(QWidget *parent)
    : QWidget(parent), m_summary(new QLabel(this)), m_button(new QPushButton(tr("Choose"), this)),
      m_menu(new QMenu(this)), m_picker(pickWithDialog)
{
    m_summary->setObjectName(QStringLiteral("gameListsSummary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setFrameShape(QFrame::StyledPanel);
    m_summary->setMinimumWidth(1); // long paths are elided, never widen the dialog
    m_button->setObjectName(QStringLiteral("gameListsButton"));
    m_button->setMenu(m_menu);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_summary, 1);
    layout->addWidget(m_button);
    setFocusProxy(m_button);
    // Rebuilt as it opens, never from one of its own actions (which would delete the action).
    connect(m_menu, &QMenu::aboutToShow, this, &GameListsField::rebuildMenu);
    rebuildMenu();
    refresh();
}

void GameListsField::setChoice(const marlit::GameListChoice &choice)
{
    m_choice = choice;
    refresh();
}

void GameListsField::setFound(const QString &found)
{
    m_found = found;
    refresh();
}

QString GameListsField::shownText() const
{
    QStringList chosen;
    if (!m_choice.file.empty())
        chosen << fromBytes(m_choice.file);
    if (!m_choice.mediaFolder.empty())
        chosen << tr("pictures in %1").arg(fromBytes(m_choice.mediaFolder));
    if (!chosen.isEmpty())
        return chosen.join(QStringLiteral("; "));
    return m_found.isEmpty() ? tr("None found") : m_found;
}

void GameListsField::pick(bool folder)
{
    const std::optional<std::string> picked = m_picker ? m_picker(this, folder) : std::nullopt;
    if (!picked)
        return;
    (folder ? m_choice.mediaFolder : m_choice.file) = *picked;
    refresh();
}

void GameListsField::refresh()
{
    const QString text = shownText();
    m_summary->setToolTip(text);
    m_summary->setText(
        m_summary->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(40, m_summary->width() - 8)));
}

void GameListsField::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refresh();
}

void GameListsField::rebuildMenu()
{
    m_menu->clear();
    connect(m_menu->addAction(tr("Game List File...")), &QAction::triggered, this, [this] { pick(false); });
    connect(m_menu->addAction(tr("Media Folder...")), &QAction::triggered, this, [this] { pick(true); });
    for (int slot = 0; slot < 2; ++slot) {
        QMenu *kinds = m_menu->addMenu(slot == 0 ? tr("Snapshot A Shows") : tr("Snapshot B Shows"));
        auto *group = new QActionGroup(kinds);
        std::string &chosen = m_choice.slotKinds[static_cast<std::size_t>(slot)];
        const auto add = [&, slot](const QString &text, const std::string &kind) {
            QAction *action = kinds->addAction(text);
            action->setCheckable(true);
            action->setChecked(chosen == kind);
            group->addAction(action);
            connect(action, &QAction::triggered, this,
                    [this, slot, kind] { m_choice.slotKinds[static_cast<std::size_t>(slot)] = kind; });
        };
        add(slot == 0 ? tr("Covers (Default)") : tr("Screenshots (Default)"), std::string());
        for (const auto &[kind, name] : marlit::GameListChoice::offeredKinds())
            add(tr(name.c_str()), kind);
    }
    m_menu->addSeparator();
    QAction *found = m_menu->addAction(tr("Use What Is Found"));
    found->setEnabled(!m_choice.file.empty() || !m_choice.mediaFolder.empty());
    connect(found, &QAction::triggered, this, [this] {
        m_choice.file.clear();
        m_choice.mediaFolder.clear();
        refresh();
    });
}
