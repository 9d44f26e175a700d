#include "gui/catalogue/FirstStartOffer.h"

#include "core/catalogue/CategoryTable.h"
#include "core/fs/Paths.h"
#include "gui/catalogue/FolderBrowser.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using marlit::SystemPreset;

namespace {

enum Column { SystemColumn, TabColumn, FolderColumn };

constexpr int kFolderColumnWidth = 200;

QString fromBytes(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

QString extensionsText(const SystemPreset &system)
{
    QStringList extensions;
    for (const std::string &extension : system.extensions)
        extensions << QStringLiteral(".") + QString::fromStdString(extension);
    return extensions.isEmpty() ? QString()
                                : QObject::tr("Its ROM files: %1").arg(extensions.join(QStringLiteral(" ")));
}

// The system tree, counting its layouts: a long offer must be laid out once, not once a line.
class OfferTree : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;
    void doItemsLayout() override
    {
        ++layouts;
        QTreeWidget::doItemsLayout();
    }
    int layouts = 0;
};

} // namespace

FirstStartOffer::FirstStartOffer(const std::vector<SystemPreset> &systems, std::string startFolder, QWidget *parent)
    : QDialog(parent), nextStartFolder(std::move(startFolder))
{
    setObjectName(QStringLiteral("firstStartOffer"));
    setWindowTitle(tr("Add Your Emulators"));
    setModal(false);
    std::vector<SystemPreset> installed;
    for (const SystemPreset &system : systems)
        if (system.installed)
            installed.push_back(system);
    if (installed.empty())
        sayHowToInstall();
    else
        offer(installed);
}

FirstStartOffer::~FirstStartOffer() = default;

void FirstStartOffer::offer(const std::vector<SystemPreset> &systems)
{
    auto *intro = new QLabel(tr("Marlit found these emulators on this computer. Choose the ROM folder of each system "
                                "you want (that ticks it), then click \"Add\"."),
                             this);
    intro->setWordWrap(true);

    systemTree = new OfferTree(this);
    systemTree->setObjectName(QStringLiteral("systemTree"));
    systemTree->setColumnCount(3);
    systemTree->setHeaderLabels({tr("System"), tr("Tab"), tr("ROM folder")});
    systemTree->setRootIsDecorated(true);
    systemTree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Enter or a double click on a line picks its folder, as its button does.
    systemTree->installEventFilter(this);
    connect(systemTree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { chooseFolderOf(item); });
    systemTree->setUniformRowHeights(true);
    systemTree->header()->setStretchLastSection(true);

    // An emulator that serves several systems holds them as its lines; one that serves a single
    // system is a line of its own. The tree is given every line at once and laid out once: a
    // line added to a shown tree lays it out again, which for thousands of lines takes minutes.
    QList<QTreeWidgetItem *> topLevel;
    for (std::size_t first = 0; first < systems.size();) {
        std::size_t end = first + 1;
        while (end < systems.size() && systems[end].emulator == systems[first].emulator)
            ++end;
        if (end - first == 1) {
            topLevel << addLine(nullptr, systems[first], true);
        } else {
            auto *group = new QTreeWidgetItem({fromBytes(systems[first].emulator)});
            group->setFlags(Qt::ItemIsEnabled);
            for (std::size_t index = first; index < end; ++index)
                addLine(group, systems[index], false);
            topLevel << group;
        }
        first = end;
    }
    systemTree->addTopLevelItems(topLevel);
    systemTree->expandAll();
    for (std::size_t line = 0; line < lineItems.size(); ++line)
        addFolderButton(static_cast<int>(line));
    fitColumns();
    connect(systemTree, &QTreeWidget::itemChanged, this, &FirstStartOffer::updateAddButton);

    auto *buttons = new QDialogButtonBox(this);
    addButton = buttons->addButton(tr("&Add"), QDialogButtonBox::AcceptRole);
    addButton->setObjectName(QStringLiteral("addButton"));
    addButton->setDefault(true);
    addOtherSystemButton(buttons);
    QPushButton *notNow = buttons->addButton(tr("&Not now"), QDialogButtonBox::RejectRole);
    notNow->setObjectName(QStringLiteral("notNowButton"));
    connect(addButton, &QPushButton::clicked, this, &FirstStartOffer::add);
    connect(notNow, &QPushButton::clicked, this, &QDialog::reject);
    updateAddButton();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(systemTree, 1);
    layout->addWidget(buttons);
    resize(wantedWidth(), 380);
    // The keys move between the lines: Enter picks a line's folder, Space ticks it.
    systemTree->setCurrentItem(lineItems.front());
    systemTree->setFocus(Qt::OtherFocusReason);
}

bool FirstStartOffer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == systemTree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && systemTree->currentItem()) {
            // Taken here, so that it does not also press "Add".
            chooseFolderOf(systemTree->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FirstStartOffer::chooseFolderOf(QTreeWidgetItem *item)
{
    const auto line = std::find(lineItems.begin(), lineItems.end(), item);
    if (line != lineItems.end())
        chooseFolder(static_cast<int>(line - lineItems.begin()));
}

void FirstStartOffer::sayHowToInstall()
{
    auto *text = new QLabel(tr("Marlit found none of the emulators it knows on this computer. Install one, for "
                               "example DOSBox for MS-DOS programs:\n\n    sudo apt install dosbox\n\n"
                               "then click \"Setup\" and \"Presets...\" to add it: that list names every "
                               "emulator Marlit knows, and how to install it."),
                            this);
    text->setObjectName(QStringLiteral("installHint"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    addOtherSystemButton(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

QTreeWidgetItem *FirstStartOffer::addLine(QTreeWidgetItem *parent, const SystemPreset &system, bool showEmulator)
{
    QString text = fromBytes(system.name);
    if (!system.description.empty())
        text += QStringLiteral(" \u2014 ") + fromBytes(system.description);
    if (showEmulator && system.emulator != system.name)
        text += QStringLiteral(" (%1)").arg(fromBytes(system.emulator));
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem;
    item->setText(SystemColumn, text);
    item->setText(TabColumn, QString::fromLatin1(marlit::CategoryTable::tabText(system.category)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(SystemColumn, Qt::Unchecked);
    item->setToolTip(SystemColumn, extensionsText(system));
    offered.push_back(system);
    folders.emplace_back();
    lineItems.push_back(item);
    return item;
}

int FirstStartOffer::treeLayouts() const
{
    return systemTree ? static_cast<OfferTree *>(systemTree)->layouts : 0;
}

void FirstStartOffer::addOtherSystemButton(QDialogButtonBox *buttons)
{
    // For an emulator Marlit does not know: System Configuration on a blank system.
    QPushButton *other = buttons->addButton(tr("Add &System..."), QDialogButtonBox::ActionRole);
    other->setObjectName(QStringLiteral("addSystemButton"));
    connect(other, &QPushButton::clicked, this, &FirstStartOffer::addSystemRequested);
}

void FirstStartOffer::addFolderButton(int line)
{
    auto *button = new QPushButton(tr("Choose..."));
    button->setObjectName(QStringLiteral("romFolderButton"));
    button->setToolTip(tr("Choose the folder of this system's ROM files"));
    systemTree->setItemWidget(lineItems[static_cast<std::size_t>(line)], FolderColumn, button);
    connect(button, &QPushButton::clicked, this, [this, line] { chooseFolder(line); });
}

void FirstStartOffer::fitColumns()
{
    // Whole names: the tree measures its lines with their indentation and box (the header looks
    // at a thousand of them at most), and the widest name of all, measured once here, is never
    // given less; the header's own resize mode would measure every line again at each layout.
    systemTree->resizeColumnToContents(SystemColumn);
    const QFontMetrics metrics(systemTree->font());
    int widest = 0;
    for (QTreeWidgetItem *item : lineItems)
        widest = std::max(widest, metrics.horizontalAdvance(item->text(SystemColumn)));
    const int decorations = style()->pixelMetric(QStyle::PM_IndicatorWidth) + 3 * systemTree->indentation() + 16;
    systemTree->header()->resizeSection(SystemColumn,
                                        std::max(systemTree->columnWidth(SystemColumn), widest + decorations));
    int tabWidth = metrics.horizontalAdvance(tr("Tab"));
    for (int category = 0; category < marlit::CategoryTable::kCount; ++category)
        tabWidth = std::max(tabWidth,
                            metrics.horizontalAdvance(QString::fromLatin1(marlit::CategoryTable::tabText(category))));
    systemTree->header()->resizeSection(TabColumn, tabWidth + 16);
    systemTree->header()->resizeSection(FolderColumn, kFolderColumnWidth);
}

int FirstStartOffer::wantedWidth() const
{
    if (!systemTree)
        return width();
    const QHeaderView *header = systemTree->header();
    return header->sectionSize(SystemColumn) + header->sectionSize(TabColumn) + kFolderColumnWidth +
           systemTree->verticalScrollBar()->sizeHint().width() + 4 * systemTree->frameWidth() + 24;
}

QPushButton *FirstStartOffer::folderButton(int line) const
{
    if (line < 0 || line >= static_cast<int>(lineItems.size()))
        return nullptr;
    return qobject_cast<QPushButton *>(systemTree->itemWidget(lineItems[static_cast<std::size_t>(line)], FolderColumn));
}

void FirstStartOffer::chooseFolder(int line)
{
    FolderBrowser browser(nextStartFolder, this, folders);
    if (browser.Browse() != FolderBrowser::FolderChosen)
        return;
    const std::string folder = browser.GetPath();
    folders[static_cast<std::size_t>(line)] = folder;
    // ROM folders tend to stand side by side: the next picker opens beside this one.
    nextStartFolder = marlit::splitAfterLastSeparator(folder).folder;
    QPushButton *button = folderButton(line);
    button->setText(button->fontMetrics().elidedText(fromBytes(folder), Qt::ElideLeft, button->width() - 12));
    button->setToolTip(fromBytes(folder));
    lineItems[static_cast<std::size_t>(line)]->setCheckState(SystemColumn, Qt::Checked);
}

void FirstStartOffer::updateAddButton()
{
    bool anyTicked = false;
    for (QTreeWidgetItem *item : lineItems)
        anyTicked = anyTicked || item->checkState(SystemColumn) == Qt::Checked;
    addButton->setEnabled(anyTicked);
}

void FirstStartOffer::add()
{
    std::vector<Choice> choices;
    for (std::size_t line = 0; line < lineItems.size(); ++line) {
        if (lineItems[line]->checkState(SystemColumn) != Qt::Checked)
            continue;
        Choice choice{offered[line].category, marlit::SystemEntry{}};
        offered[line].storeInto(choice.entry);
        choice.entry.romDirectory = marlit::withTrailingSeparator(folders[line]);
        choices.push_back(std::move(choice));
    }
    emit systemsChosen(choices);
    accept();
}

// Compiled here so that programs using other widgets do not pull in the dialog.
#include "moc_FirstStartOffer.cpp"
