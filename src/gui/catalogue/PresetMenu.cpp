#include "gui/catalogue/PresetMenu.h"

#include "core/catalogue/CategoryTable.h"
#include "gui/text/BoundedText.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

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

PresetMenu::PresetMenu(QWidget *parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("presetMenu"));
    setToolTipsVisible(true);
    // However many emulators the table knows, the menu fits the screen and scrolls: the style's
    // default lays a long menu out in columns, off the screen's side. Its submenus inherit it.
    setStyleSheet(QStringLiteral("QMenu { menu-scrollable: 1; }"));
    rebuild();
    connect(this, &QMenu::aboutToShow, this, [this] {
        if (outdated)
            rebuild();
    });
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
    clear();
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

    bool sectionShown = false;
    for (const Emulator &emulator : emulators) {
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
        } else if (emulator.systems.size() == 1) {
            addSystem(this, *emulator.systems.front(), true);
        } else {
            QMenu *submenu = addMenu(shown(emulator.name));
            submenu->setToolTipsVisible(true);
            for (const SystemPreset *system : emulator.systems)
                addSystem(submenu, *system, false);
        }
    }
    if (searching)
        addAction(tr("Looking for the installed emulators..."))->setEnabled(false);
}

// Compiled here so that programs using other widgets do not pull in the menu.
#include "moc_PresetMenu.cpp"
