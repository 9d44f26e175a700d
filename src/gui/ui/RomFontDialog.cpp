#include "gui/ui/RomFontDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

RomFontDialog::RomFontDialog(const RomListFont &initial, QWidget *parent)
    : QDialog(parent), initialFace(initial.face), color(initial.color)
{
    setWindowTitle(QStringLiteral("Font"));

    faceBox = new QFontComboBox(this);
    faceBox->setObjectName(QStringLiteral("faceBox"));
    faceBox->setCurrentFont(QFont(initial.face));

    sizeBox = new QDoubleSpinBox(this);
    sizeBox->setObjectName(QStringLiteral("sizeBox"));
    sizeBox->setDecimals(1);
    sizeBox->setRange(kMinimumTenths / 10.0, kMaximumTenths / 10.0);
    sizeBox->setSingleStep(1.0);
    sizeBox->setSuffix(QStringLiteral(" pt"));
    sizeBox->setValue(std::clamp(initial.pointSizeTenths, kMinimumTenths, kMaximumTenths) / 10.0);

    colorButton = new QPushButton(QStringLiteral("Choose..."), this);
    colorButton->setObjectName(QStringLiteral("colorButton"));

    sample = new QLabel(QStringLiteral("AaBbYyZz"), this);
    sample->setObjectName(QStringLiteral("sample"));
    sample->setAlignment(Qt::AlignCenter);
    sample->setMinimumSize(240, 60);
    sample->setFrameShape(QFrame::StyledPanel);
    sample->setAutoFillBackground(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Font:"), faceBox);
    form->addRow(QStringLiteral("Size:"), sizeBox);
    form->addRow(QStringLiteral("Color:"), colorButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(sample, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(colorButton, &QPushButton::clicked, this, &RomFontDialog::pickColor);
    connect(faceBox, &QFontComboBox::currentFontChanged, this, [this] {
        faceChosen = true;
        showChoice();
    });
    connect(sizeBox, &QDoubleSpinBox::valueChanged, this, &RomFontDialog::showChoice);
    showChoice();
}

RomFontDialog::~RomFontDialog() = default;

RomListFont RomFontDialog::chosen() const
{
    // The box shows the family a missing face is drawn with; the face stays the stored one until
    // the user picks another.
    const QString face = faceChosen ? faceBox->currentFont().family() : initialFace;
    return RomListFont{face, static_cast<int>(std::lround(sizeBox->value() * 10)), color};
}

void RomFontDialog::pickColor()
{
    QColorDialog picker(color, this);
    picker.setObjectName(QStringLiteral("colorPicker"));
    picker.setWindowTitle(QStringLiteral("Text Color"));
    picker.setOption(QColorDialog::DontUseNativeDialog);
    if (picker.exec() != QDialog::Accepted)
        return;
    color = picker.selectedColor();
    showChoice();
}

void RomFontDialog::showChoice()
{
    const RomListFont font = chosen();
    QFont shown(font.face);
    shown.setPointSizeF(font.pointSizeTenths / 10.0);
    sample->setFont(shown);
    QPalette palette = sample->palette();
    palette.setColor(QPalette::WindowText, font.color);
    palette.setColor(QPalette::Window, Qt::white);
    sample->setPalette(palette);

    QPixmap swatch(16, 16);
    swatch.fill(font.color);
    colorButton->setIcon(QIcon(swatch));
}
