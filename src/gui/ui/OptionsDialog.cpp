#include "gui/ui/OptionsDialog.h"

#include "gui/catalogue/DialogTemplate.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>

namespace {

// The program's logo, drawn from its vector source at whatever size and pixel density the
// dialog has, keeping its proportions.
class LogoPicture : public QWidget
{
public:
    explicit LogoPicture(QWidget *parent) : QWidget(parent), renderer(QString::fromLatin1(OptionsDialog::kLogoResource))
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!renderer.isValid())
            return;
        QSizeF size = renderer.viewBoxF().size();
        size.scale(QSizeF(width(), height()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, target);
    }

private:
    QSvgRenderer renderer;
};

int modeOfButton(int id)
{
    switch (id) {
    case OptionsDialog::IdSnapshotsBelow:
        return marlit::SnapshotsBelow;
    case OptionsDialog::IdSnapshotsRight:
        return marlit::SnapshotsRight;
    default:
        return marlit::NoSnapshots;
    }
}

} // namespace

OptionsDialog::OptionsDialog(marlit::AppSettings &settings, const RomListFont &romListFont, QWidget *owner)
    : QDialog(owner), settings(&settings), currentFont(romListFont)
{
    setWindowTitle(QStringLiteral("Marlit Configuration"));
    createControls();
    OnInitDialog();
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::createControls()
{
    DialogTemplate layout(*this, kWidthUnits, kHeightUnits);
    const auto add = [&](QWidget *widget, int id, const char *objectName, marlit::LayoutRect rect) {
        widget->setObjectName(QString::fromLatin1(objectName));
        widget->setProperty("controlId", id);
        layout.place(widget, rect);
        controls.insert(id, widget);
    };

    // In the template's order; the Tab key's follows below.
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    add(ok, IdOk, "okButton", {175, 69, 66, 14});
    add(new QCheckBox(QStringLiteral("Remember Window Size"), this), IdRememberWindowSize, "rememberWindowSizeCheck",
        {7, 9, 97, 10});
    add(new QCheckBox(QStringLiteral("Remember Last System Selected"), this), IdRememberLastSystem,
        "rememberLastSystemCheck", {7, 23, 121, 10});
    add(new QGroupBox(QStringLiteral("Snapshots"), this), IdSnapshotsGroup, "snapshotsGroup", {7, 42, 159, 44});
    const struct
    {
        int id;
        const char *text;
        const char *objectName;
        marlit::LayoutRect rect;
    } radios[] = {
        {IdSnapshotsBelow, "Snapshots Below", "snapshotsBelowRadio", {15, 69, 75, 10}},
        {IdNoSnapshots, "No Snapshots", "noSnapshotsRadio", {15, 54, 58, 10}},
        {IdSnapshotsRight, "Snapshots to the Right", "snapshotsRightRadio", {76, 54, 88, 10}},
    };
    modeChoice = new QButtonGroup(this);
    for (const auto &radio : radios) {
        auto *button = new QRadioButton(QString::fromLatin1(radio.text), this);
        add(button, radio.id, radio.objectName, radio.rect);
        modeChoice->addButton(button, radio.id);
    }
    add(new LogoPicture(this), IdLogo, "logo", {148, 7, 101, 34});
    add(new QPushButton(QStringLiteral("Set Font"), this), IdSetFont, "setFontButton", {175, 49, 67, 14});

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(qobject_cast<QCheckBox *>(control(IdRememberWindowSize)), &QCheckBox::toggled, this,
            [this](bool on) { settings->rememberWindowSize = on; });
    connect(qobject_cast<QCheckBox *>(control(IdRememberLastSystem)), &QCheckBox::toggled, this,
            [this](bool on) { settings->rememberLastSystem = on; });
    connect(modeChoice, &QButtonGroup::idClicked, this, [this](int id) {
        settings->snapshotMode = modeOfButton(id);
        updateModeTabStop();
    });

    // Tab goes through the options as they are read, and then to OK.
    QWidget *previous = nullptr;
    for (const int id : {IdRememberWindowSize, IdRememberLastSystem, IdNoSnapshots, IdSnapshotsRight, IdSnapshotsBelow,
                         IdSetFont, IdOk}) {
        if (previous)
            setTabOrder(previous, control(id));
        previous = control(id);
    }
    connect(qobject_cast<QPushButton *>(control(IdSetFont)), &QPushButton::clicked, this, &OptionsDialog::OnSetFont);
}

void OptionsDialog::OnInitDialog()
{
    const QSignalBlocker blockWindowSize(control(IdRememberWindowSize));
    const QSignalBlocker blockLastSystem(control(IdRememberLastSystem));
    qobject_cast<QCheckBox *>(control(IdRememberWindowSize))->setChecked(settings->rememberWindowSize);
    qobject_cast<QCheckBox *>(control(IdRememberLastSystem))->setChecked(settings->rememberLastSystem);
    // A mode the dialog does not know (from an edited settings file) checks no button.
    switch (settings->snapshotMode) {
    case marlit::NoSnapshots:
        modeChoice->button(IdNoSnapshots)->setChecked(true);
        break;
    case marlit::SnapshotsBelow:
        modeChoice->button(IdSnapshotsBelow)->setChecked(true);
        break;
    case marlit::SnapshotsRight:
        modeChoice->button(IdSnapshotsRight)->setChecked(true);
        break;
    default:
        break;
    }
    updateModeTabStop();
}

void OptionsDialog::updateModeTabStop()
{
    // As in any group of radio buttons, Tab stops at the checked one (the first, when none is);
    // the arrow keys move within the group and check the button they reach.
    const QAbstractButton *checked = modeChoice->checkedButton();
    for (const int id : {IdNoSnapshots, IdSnapshotsRight, IdSnapshotsBelow}) {
        QAbstractButton *button = modeChoice->button(id);
        const bool stop = checked ? button == checked : id == IdNoSnapshots;
        button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void OptionsDialog::OnSetFont()
{
    RomFontDialog dialog(currentFont, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    currentFont = dialog.chosen();
    emit romListFontChosen(currentFont);
}

// Compiled here so that programs using other widgets do not pull in the whole dialog.
#include "moc_OptionsDialog.cpp"
