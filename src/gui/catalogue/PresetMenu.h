#pragma once

#include "core/catalogue/SystemPreset.h"

#include <QMenu>

class QLineEdit;
class QWidgetAction;

#include <vector>

// The menu of the System Configuration dialog's "Presets..." button: the known emulators that are
// installed first, each a system or a submenu of its systems, and then, greyed, the others with
// how to install them. Each item says which tab its system belongs in and which ROM files it
// takes.
//
// A filter field heads it and has the focus when it opens: typing narrows it to the items whose
// emulator, system or install command holds the text, in one flat list; Down goes into the
// list and Enter chooses (in the field: the first item left).
class PresetMenu : public QMenu
{
    Q_OBJECT

public:
    explicit PresetMenu(QWidget *parent = nullptr);

    QLineEdit *filterField() const { return filter; }
    // The items below the filter field.
    QList<QAction *> items() const;

    // systems: every known system, installed ones first; searching: a search for them is under
    // way, so an empty list is not the last word; unanswered: folders of PATH that were passed
    // over because they do not answer.
    void setSystems(std::vector<marlit::SystemPreset> systems, bool searching,
                    std::vector<std::string> unanswered = {});

signals:
    void chosen(const marlit::SystemPreset &system);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    // Whether an item of the emulator's or system's shows under the filter's text.
    bool passes(const std::string &emulator, const marlit::SystemPreset *system) const;
    QAction *addSystem(QMenu *menu, const marlit::SystemPreset &system, bool withEmulator);

    std::vector<marlit::SystemPreset> known;
    std::vector<std::string> unanswered;
    bool searching = false;
    bool outdated = false;
    QLineEdit *filter;
    QWidgetAction *filterAction;
};
