#pragma once

#include "core/app/SettingsFile.h"
#include "gui/ui/RomFontDialog.h"

#include <QDialog>
#include <QHash>

class QButtonGroup;

// "Marlit Configuration": the two remember options, the snapshot mode and the ROM list font. It
// changes the window's options in place at every click, so closing it in any way keeps them.
class OptionsDialog : public QDialog
{
    Q_OBJECT

public:
    // The controls' ids; each control carries its id in the "controlId" property.
    enum ControlId : int {
        IdOk = 1,
        IdRememberWindowSize = 1022,
        IdRememberLastSystem = 1023,
        IdSnapshotsGroup = 1025,
        IdSnapshotsBelow = 1026,
        IdNoSnapshots = 1027,
        IdSnapshotsRight = 1028,
        IdSetFont = 1029,
        IdLogo = 0xFFFF,
    };

    static constexpr int kWidthUnits = 256;
    static constexpr int kHeightUnits = 93;
    static constexpr const char *kLogoResource = ":/marlit/marlit-logo.svg";

    // settings: the window's options, which the dialog changes in place; romListFont: what the
    // font dialog opens with.
    OptionsDialog(marlit::AppSettings &settings, const RomListFont &romListFont, QWidget *owner = nullptr);
    ~OptionsDialog() override;

    QWidget *control(int id) const { return controls.value(id); }

signals:
    // "Set Font" closed with OK.
    void romListFontChosen(const RomListFont &font);

private:
    void createControls();
    void OnInitDialog();
    void OnSetFont();
    void updateModeTabStop();

    marlit::AppSettings *settings;
    RomListFont currentFont;
    QHash<int, QWidget *> controls;
    QButtonGroup *modeChoice = nullptr;
};
