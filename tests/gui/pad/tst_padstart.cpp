// The controllers' start where the session bus takes a connection and never answers it (SDL
// asks that bus while it starts): the program must close all the same, at once.

#include "gui/pad/SdlGamepads.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class PadStartTest : public QObject
{
    Q_OBJECT

private slots:
    void closingDoesNotWaitForAStartThatHangs();
};

void PadStartTest::closingDoesNotWaitForAStartThatHangs()
{
    QTemporaryDir dir;
    // A socket that listens and never reads: every connection to it waits for an answer.
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("bus")));
    const int bus = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    QVERIFY(::bind(bus, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
    QVERIFY(::listen(bus, 8) == 0);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(dir.filePath(QStringLiteral("bus"))));
    QElapsedTimer clock;
    clock.start();
    {
        SdlGamepads pads(QFile::encodeName(dir.path()).toStdString() + "/");
        QTest::qWait(200);
    }
    QVERIFY2(clock.elapsed() < SdlGamepads::kStartWait.count() + 3000, qPrintable(QString::number(clock.elapsed())));
    ::close(bus);
}

QTEST_GUILESS_MAIN(PadStartTest)
#include "tst_padstart.moc"
