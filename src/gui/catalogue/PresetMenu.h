#pragma once

#include "core/catalogue/SystemPreset.h"

#include <QMenu>

#include <vector>

// The menu of the System Configuration dialog's "Presets..." button: the known emulators that are
// installed first, each a system or a submenu of its systems, and then, greyed, the others with
// how to install them. Each item says which tab its system belongs in and which ROM files it
// takes.
class PresetMenu : public QMenu
{
    Q_OBJECT

public:
    explicit PresetMenu(QWidget *parent = nullptr);

    // systems: every known system, installed ones first; searching: a search for them is under
    // way, so an empty list is not the last word; unanswered: folders of PATH that were passed
    // over because they do not answer.
    void setSystems(std::vector<marlit::SystemPreset> systems, bool searching,
                    std::vector<std::string> unanswered = {});

signals:
    void chosen(const marlit::SystemPreset &system);

private:
    void rebuild();
    QAction *addSystem(QMenu *menu, const marlit::SystemPreset &system, bool withEmulator);

    std::vector<marlit::SystemPreset> known;
    std::vector<std::string> unanswered;
    bool searching = false;
    bool outdated = false;
};
