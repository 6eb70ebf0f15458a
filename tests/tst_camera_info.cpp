#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QtTest>

namespace {

// A version block: firmware bytes 0-6, MCU bytes 40-42, `length` bytes long
// (more than 43 imitates a library claiming more than the buffer holds).
QByteArray makeBlock(int length, QVector<int> head = {2, 1, 15, 0x07, 0xE5, 7, 5},
                     QVector<int> mcu = {1, 0, 3})
{
    QByteArray block(qMax(length, 43), '\0');
    for (int i = 0; i < head.size(); ++i)
        block[i] = static_cast<char>(head[i]);
    for (int i = 0; i < mcu.size(); ++i)
        block[40 + i] = static_cast<char>(mcu[i]);
    return block.left(length);
}

sim::SimDeviceSpec camera(const QByteArray &block)
{
    sim::SimDeviceSpec spec;
    spec.friendlyName = QStringLiteral("Ostrel Camera");
    spec.versionBlock = block;
    return spec;
}

QStringList lines(QTextEdit *edit)
{
    const QString text = edit->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// Leaves traces of an earlier query that a new one must not keep.
void dirty(Tarnholm &w)
{
    w.ui.EditInfo->setPlainText(QStringLiteral("old log"));
    w.ui.DeviceInfo->setPlainText(QStringLiteral("old info"));
    w.currentVersion = QStringLiteral("9.9.9");
    w.currentDate = QStringLiteral("1999-09-09");
}

const QString v1 = QStringLiteral("Version : 2.1.15");
const QString d1 = QStringLiteral("Date : 2021-07-05");
const QString m1 = QStringLiteral("MCU Version: 1.0.3");

} // namespace

class CameraInfo : public QObject {
    Q_OBJECT
private slots:
    void shown_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("empty") << makeBlock(0) << QStringList();
        QTest::newRow("38") << makeBlock(38) << QStringList();
        QTest::newRow("39") << makeBlock(39) << QStringList{v1, d1};
        QTest::newRow("42") << makeBlock(42) << QStringList{v1, d1};
        QTest::newRow("43") << makeBlock(43) << QStringList{v1, d1, m1};
        QTest::newRow("claims 60") << makeBlock(60) << QStringList{v1, d1, m1};
        QTest::newRow("zero-filled date") << makeBlock(43, {0, 0, 0, 0x00, 0x63, 1, 9}, {0, 0, 0})
            << QStringList{"Version : 0.0.0", "Date : 0099-01-09", "MCU Version: 0.0.0"};
        QTest::newRow("high bytes")
            << makeBlock(43, {0xFF, 0x80, 0x7F, 0xFF, 0xFF, 12, 31}, {0xFF, 0x80, 0x7F})
            << QStringList{"Version : 255.128.127", "Date : 65535-12-31", "MCU Version: -1.-128.127"};
    }
    void shown()
    {
        QFETCH(QByteArray, block);
        QFETCH(QStringList, shown);
        SimFixture sim;
        sim.world.capture.attach(camera(block));
        Tarnholm w;
        // The fill has selected the camera and shown it already.
        QCOMPARE(lines(w.ui.DeviceInfo), shown);
        dirty(w);

        w.ui.pBtnDeviceInfo->click();

        QCOMPARE(lines(w.ui.DeviceInfo), shown);
        QCOMPARE(w.ui.EditInfo->toPlainText(), QString());
        const bool full = !shown.isEmpty();
        QCOMPARE(w.currentVersion, full ? shown[0].mid(10) : QStringLiteral("9.9.9"));
        QCOMPARE(w.currentDate, full ? shown[1].mid(7) : QStringLiteral("1999-09-09"));
    }

    void queryFailure_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        const QString notFound = QStringLiteral("Can't find device.\n");
        QTest::newRow("no current item") << "no item" << notFound;
        QTest::newRow("data not a number") << "bad data" << notFound;
        QTest::newRow("null filter") << "null data" << "Initialize Device Error.";
        QTest::newRow("init fails") << "init" << "Initialize Device Error.";
        QTest::newRow("camera gone") << "detached" << "Initialize Device Error.";
        QTest::newRow("version read fails") << "get" << "Get Version Failed";
    }
    void queryFailure()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        SimFixture sim;
        const int id = sim.world.capture.attach(camera(makeBlock(43)));
        Tarnholm w;
        QComboBox *list = w.ui.DeviceList;
        if (fault == "no item")
            list->clear();
        else if (fault == "bad data")
            list->setItemData(0, QStringLiteral("camera"), Qt::UserRole);
        else if (fault == "null data")
            list->setItemData(0, QVariant(qlonglong(0)), Qt::UserRole);
        else if (fault == "init")
            sim.world.capture.device(id)->faults.deviceInit = 4;
        else if (fault == "detached")
            sim.world.capture.detach(id);
        else if (fault == "get")
            sim.world.capture.device(id)->faults.versionGet = 5;
        dirty(w);

        w.ui.pBtnDeviceInfo->click();

        QCOMPARE(w.ui.EditInfo->toPlainText(), message);
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), QString());
        QCOMPARE(w.currentVersion, QStringLiteral("9.9.9"));
        QCOMPARE(w.currentDate, QStringLiteral("1999-09-09"));
    }

    void postUpdateCheck_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");   // empty: no second camera
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("message");
        const QByteArray same = makeBlock(43);
        const QByteArray otherDate = makeBlock(43, {2, 1, 15, 0x07, 0xE5, 7, 6});
        const QByteArray otherVersion = makeBlock(39, {2, 1, 16, 0x07, 0xE5, 7, 5});
        const QString listed = QStringLiteral("Ostrel Camera    ");
        QTest::newRow("unchanged") << same << QByteArray() << listed << "" << false << "";
        QTest::newRow("other date") << otherDate << QByteArray() << listed << "" << true << "";
        QTest::newRow("other version") << otherVersion << QByteArray() << listed << "" << true << "";
        QTest::newRow("not back under that text") << otherDate << QByteArray()
            << "Ostrel Camera" << "" << false << "";
        QTest::newRow("short answer, second changed") << makeBlock(30) << otherDate
            << listed << "" << true << "";
        QTest::newRow("short answer, second same") << makeBlock(30) << same
            << listed << "" << false << "";
        QTest::newRow("data not a number") << otherDate << QByteArray() << listed << "bad data"
            << false << "Can't find device.\n";
        QTest::newRow("init fails") << otherDate << QByteArray() << listed << "init"
            << false << "Initialize Device Error.";
        QTest::newRow("version read fails") << otherDate << QByteArray() << listed << "get"
            << false << "Get Version Failed";
    }
    void postUpdateCheck()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, name);
        QFETCH(QString, fault);
        QFETCH(bool, changed);
        QFETCH(QString, message);
        SimFixture sim;
        const int id = sim.world.capture.attach(camera(first));
        if (!second.isEmpty())
            sim.world.capture.attach(camera(second));
        Tarnholm w;
        if (fault == "bad data")
            w.ui.DeviceList->setItemData(0, QStringLiteral("camera"), Qt::UserRole);
        else if (fault == "init")
            sim.world.capture.device(id)->faults.deviceInit = 4;
        else if (fault == "get")
            sim.world.capture.device(id)->faults.versionGet = 5;
        w.updateDeviceName = name;
        w.savedVersion = QStringLiteral("2.1.15");
        w.savedDate = QStringLiteral("2021-07-05");
        dirty(w);

        QCOMPARE(w.CheckFwVersionChanged(), changed);

        // The check only ever adds its message below the log already there.
        QString log = QStringLiteral("old log");
        if (!message.isEmpty())
            log += QLatin1Char('\n') + message;
        QCOMPARE(w.ui.EditInfo->toPlainText(), log);
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), QStringLiteral("old info"));
        QCOMPARE(w.currentVersion, QStringLiteral("9.9.9"));
    }
};

QTEST_MAIN(CameraInfo)
#include "tst_camera_info.moc"
