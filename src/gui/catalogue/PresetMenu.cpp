#include "gui/catalogue/PresetMenu.h"

#include "core/catalogue/CategoryTable.h"
#include "gui/text/BoundedText.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidgetAction>

#include <algorithm>

using marlit::SystemPreset;

namespace {

constexpr qsizetype kLongestHint = 60; // characters of an install hint shown in the menu

QString fromBytes(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

// A name or folder as the menu shows it: no control character breaks or turns its line.
QString shown(const std::string &text)
{
    return neutralised(fromBytes(text));
}

QString systemText(const SystemPreset &system)
{
    return system.description.empty() ? shown(system.name)
                                      : shown(system.name) + QStringLiteral(" \u2014 ") + shown(system.description);
}

// What the user needs besides the values: where the system belongs and what its ROM files are.
QString helpText(const SystemPreset &system)
{
    QStringList extensions;
    for (const std::string &extension : system.extensions)
        extensions << QStringLiteral(".") + QString::fromStdString(extension);
    QString help = QObject::tr("%1 tab").arg(QString::fromLatin1(marlit::CategoryTable::tabText(system.category)));
    if (!extensions.isEmpty())
        help += QObject::tr("; ROM files: %1").arg(extensions.join(QStringLiteral(" ")));
    return help;
}

} // namespace

PresetMenu::PresetMenu(QWidget *parent)
    : QMenu(parent), filter(new QLineEdit(this)), filterAction(new QWidgetAction(this))
{
    setObjectName(QStringLiteral("presetMenu"));
    setToolTipsVisible(true);
    // However many emulators the table knows, the menu fits the screen and scrolls: the style's
    // default lays a long menu out in columns, off the screen's side. Its submenus inherit it.
    setStyleSheet(QStringLiteral("QMenu { menu-scrollable: 1; }"));
    filter->setObjectName(QStringLiteral("presetFilter"));
    filter->setPlaceholderText(tr("Type to find an emulator or system"));
    filter->setClearButtonEnabled(true);
    filter->installEventFilter(this);
    filterAction->setDefaultWidget(filter);
    addAction(filterAction);
    rebuild();
    connect(filter, &QLineEdit::textChanged, this, &PresetMenu::rebuild);
    connect(this, &QMenu::aboutToShow, this, [this] {
        if (outdated)
            rebuild();
        setActiveAction(filterAction);
        filter->setFocus(Qt::PopupFocusReason);
    });
}

QList<QAction *> PresetMenu::items() const
{
    QList<QAction *> all = actions();
    all.removeOne(filterAction);
    return all;
}

bool PresetMenu::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the field chooses the first item left; the menu takes Down and Up as in any menu.
    if (watched == filter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const QList<QAction *> left = items();
            const auto first = std::find_if(left.begin(), left.end(), [](QAction *action) {
                return action->isEnabled() && !action->isSeparator() && !action->menu();
            });
            if (!filter->text().isEmpty() && first != left.end()) {
                QAction *chosenAction = *first;
                close();
                chosenAction->trigger();
            }
            return true;
        }
    }
    return QMenu::eventFilter(watched, event);
}

bool PresetMenu::passes(const std::string &emulator, const SystemPreset *system) const
{
    const QString text = filter->text().trimmed();
    if (text.isEmpty())
        return true;
    QString haystack = fromBytes(emulator);
    if (system)
        haystack += QLatin1Char(' ') + systemText(*system) + QLatin1Char(' ') + fromBytes(system->install);
    return haystack.contains(text, Qt::CaseInsensitive);
}

void PresetMenu::setSystems(std::vector<SystemPreset> systems, bool stillSearching,
                            std::vector<std::string> unansweredFolders)
{
    known = std::move(systems);
    unanswered = std::move(unansweredFolders);
    searching = stillSearching;
    // An open menu is not rebuilt under the pointer; it is the next time it opens.
    outdated = isVisible();
    if (!outdated)
        rebuild();
}

QAction *PresetMenu::addSystem(QMenu *menu, const SystemPreset &system, bool withEmulator)
{
    QString text = systemText(system);
    if (withEmulator && system.emulator != system.name)
        text = shown(system.emulator) + QStringLiteral(": ") + text;
    if (!system.installed)
        text += tr(" (not installed)");
    QAction *action = menu->addAction(text);
    action->setToolTip(helpText(system));
    action->setEnabled(system.installed);
    connect(action, &QAction::triggered, this, [this, system] { emit chosen(system); });
    return action;
}

void PresetMenu::rebuild()
{
    outdated = false;
    // The filter field stays, with its text and focus.
    for (QAction *action : items()) {
        removeAction(action);
        if (QMenu *submenu = action->menu(); submenu && submenu->parent() == this)
            submenu->deleteLater();
        else if (action->parent() == this)
            delete action;
    }
    for (const std::string &folder : unanswered)
        addAction(tr("Not looked in %1: the folder does not answer").arg(shown(folder)))->setEnabled(false);
    if (known.empty()) {
        addAction(searching ? tr("Looking for the installed emulators...")
                            : tr("No known emulators: their table could not be read"))
            ->setEnabled(false);
        return;
    }

    // The systems of each emulator, in the table's order; installed emulators first.
    struct Emulator
    {
        std::string name;
        std::vector<const SystemPreset *> systems;
        bool installed = false;
    };
    std::vector<Emulator> emulators;
    for (const SystemPreset &system : known) {
        auto it = std::find_if(emulators.begin(), emulators.end(),
                               [&](const Emulator &emulator) { return emulator.name == system.emulator; });
        if (it == emulators.end())
            it = emulators.insert(emulators.end(), Emulator{system.emulator, {}, false});
        it->systems.push_back(&system);
        it->installed = it->installed || system.installed;
    }
    std::stable_partition(emulators.begin(), emulators.end(),
                          [](const Emulator &emulator) { return emulator.installed; });

    // Filtered, the items left are one flat list, each named with its emulator.
    const bool filtered = !filter->text().trimmed().isEmpty();
    int shownItems = 0;
    bool sectionShown = false;
    for (const Emulator &emulator : emulators) {
        std::vector<const SystemPreset *> systems;
        std::copy_if(emulator.systems.begin(), emulator.systems.end(), std::back_inserter(systems),
                     [&](const SystemPreset *system) { return passes(emulator.name, system); });
        if (systems.empty())
            continue;
        ++shownItems;
        if (!emulator.installed) {
            // With what to install, which a click copies; the systems it would bring in its tip.
            if (!sectionShown)
                addSection(tr("Not installed"));
            sectionShown = true;
            // A long hint (RetroArch names a package per core) is cut in the menu, whole in the tip.
            const QString install = fromBytes(emulator.systems.front()->install);
            QStringList tip{install + tr(" (click to copy)")};
            for (const SystemPreset *system : emulator.systems)
                tip << systemText(*system);
            QAction *action = addAction(
                shown(emulator.name) + QStringLiteral(": ") +
                (install.size() > kLongestHint ? install.left(kLongestHint - 1) + QStringLiteral("\u2026") : install));
            action->setToolTip(tip.join(QStringLiteral("\n")));
            connect(action, &QAction::triggered, this, [install] { QGuiApplication::clipboard()->setText(install); });
        } else if (systems.size() == 1 || filtered) {
            for (const SystemPreset *system : systems)
                addSystem(this, *system, true);
        } else {
            QMenu *submenu = addMenu(shown(emulator.name));
            submenu->setToolTipsVisible(true);
            for (const SystemPreset *system : systems)
                addSystem(submenu, *system, false);
        }
    }
    if (shownItems == 0)
        addAction(tr("No emulator or system holds “%1”").arg(filter->text().trimmed()))->setEnabled(false);
    if (searching)
        addAction(tr("Looking for the installed emulators..."))->setEnabled(false);
}

// Compiled here so that programs using other widgets do not pull in the menu.
#include "moc_PresetMenu.cpp"
