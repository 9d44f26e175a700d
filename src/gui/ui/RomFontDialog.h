#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

class QDoubleSpinBox;
class QFontComboBox;
class QLabel;
class QPushButton;

// The ROM list's font: a face, its size in tenths of a point and the text colour.
struct RomListFont
{
    QString face;
    int pointSizeTenths = 120;
    QColor color = Qt::black;

    bool operator==(const RomListFont &) const = default;
};

// "Font": picks the ROM list's face, size and text colour together, with a sample line. Only the
// family is chosen: the list always uses its regular face.
class RomFontDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMinimumTenths = 10;
    static constexpr int kMaximumTenths = 999; // what the settings file holds

    explicit RomFontDialog(const RomListFont &initial, QWidget *parent = nullptr);
    ~RomFontDialog() override;

    RomListFont chosen() const;

private:
    void pickColor();
    void showChoice();

    QFontComboBox *faceBox = nullptr;
    QDoubleSpinBox *sizeBox = nullptr;
    QPushButton *colorButton = nullptr;
    QLabel *sample = nullptr;
    QString initialFace;
    bool faceChosen = false;
    QColor color;
};
