// The window started on settings and catalogues that no longer fit, or never did: a remembered
// size larger than the screen, at one pixel density or two.

#include "SettingsBytes.h"
#include "TempDir.h"

#include "gui/ui/MainFrame.h"

#include <QScreen>
#include <QtTest>

#include <memory>
#include <string>

using marlit::test::TempDir;

namespace {

std::string settingsBytes(bool rememberSize, int width, int height)
{
    return marlit::test::SettingsBytes{rememberSize, true, 0, width, height}.bytes();
}

int storedWidth(const std::string &bytes)
{
    return static_cast<unsigned char>(bytes[3]) << 8 | static_cast<unsigned char>(bytes[4]);
}

int storedHeight(const std::string &bytes)
{
    return static_cast<unsigned char>(bytes[5]) << 8 | static_cast<unsigned char>(bytes[6]);
}

} // namespace

class HostileSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    // 65535 x 65535 remembered: the window opens inside the screen's room, with a frame's
    // allowance, and closing keeps the size it showed, not the one it was given.
    void rememberedSizeBeyondTheScreenIsFittedAndKept()
    {
        TempDir dir;
        dir.write("marlit.cfg", settingsBytes(true, 65535, 65535));
        auto frame = std::make_unique<MainFrame>(dir.path());
        const QRect available = frame->screen()->availableGeometry();
        QCOMPARE(frame->size(), available.size() - QSize(16, 48));
        frame->close();
        const std::string bytes = dir.read("marlit.cfg");
        QCOMPARE(storedWidth(bytes), available.width() - 16);
        QCOMPARE(storedHeight(bytes), available.height() - 48);

        // A size that fits is kept as it is.
        dir.write("marlit.cfg", settingsBytes(true, 900, 700));
        frame = std::make_unique<MainFrame>(dir.path());
        QCOMPARE(frame->size(), QSize(900, 700));
    }

    // A font face whose bytes are not UTF-8 (written by another locale) is written back byte for
    // byte, not as U+FFFD, when the user did not choose another font.
    void fontFaceBytesOutsideUtf8AreWrittenBackWhole()
    {
        TempDir dir;
        std::string bytes = settingsBytes(false, 640, 480);
        bytes.replace(20, 8,
                      std::string("Fa\xe7"
                                  "ade\xff") +
                          '\0');
        dir.write("marlit.cfg", bytes);
        auto frame = std::make_unique<MainFrame>(dir.path());
        frame->close();
        QCOMPARE(dir.read("marlit.cfg").substr(20, 8), bytes.substr(20, 8));
    }
};

QTEST_MAIN(HostileSettingsTest)
#include "tst_hostilesettings.moc"
