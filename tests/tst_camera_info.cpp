#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QtTest>

namespace {

// A version block: firmware bytes 0-6, MCU bytes 40-42, cut to `length`.
QByteArray makeBlock(int length, QVector<int> head = {2, 1, 15, 0x07, 0xE5, 7, 5},
                     QVector<int> mcu = {1, 0, 3})
{
    QByteArray block(43, '\0');
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
    void blockLength_data()
    {
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("reported");   // -1000: the block's own size
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("empty") << 0 << -1000 << QStringList();
        QTest::newRow("38") << 38 << -1000 << QStringList();
        QTest::newRow("39") << 39 << -1000 << QStringList{v1, d1};
        QTest::newRow("42") << 42 << -1000 << QStringList{v1, d1};
        QTest::newRow("43") << 43 << -1000 << QStringList{v1, d1, m1};
        QTest::newRow("claims more than the buffer") << 43 << 500 << QStringList{v1, d1, m1};
        QTest::newRow("claims a negative length") << 43 << -5 << QStringList();
    }
    void blockLength()
    {
        QFETCH(int, blockSize);
        QFETCH(int, reported);
        QFETCH(QStringList, shown);
        SimFixture sim;
        sim::SimDeviceSpec spec = camera(makeBlock(blockSize));
        if (reported != -1000)
            spec.faults.reportedLength = reported;
        sim.world.capture.attach(spec);
        Tarnholm w;
        dirty(w);

        w.ui.pBtnDeviceInfo->click();

        QCOMPARE(lines(w.ui.DeviceInfo), shown);
        QCOMPARE(w.ui.EditInfo->toPlainText(), QString());
        const bool full = !shown.isEmpty();
        QCOMPARE(w.currentVersion, full ? QStringLiteral("2.1.15") : QStringLiteral("9.9.9"));
        QCOMPARE(w.currentDate, full ? QStringLiteral("2021-07-05") : QStringLiteral("1999-09-09"));
    }

    void numbers_data()
    {
        QTest::addColumn<QVector<int>>("head");
        QTest::addColumn<QVector<int>>("mcu");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("date");
        QTest::newRow("worked example") << QVector<int>{2, 1, 15, 0x07, 0xE5, 7, 5}
            << QVector<int>{1, 0, 3} << QStringList{v1, d1, m1}
            << "2.1.15" << "2021-07-05";
        QTest::newRow("zero-filled date") << QVector<int>{0, 0, 0, 0x00, 0x63, 1, 9}
            << QVector<int>{0, 0, 0}
            << QStringList{"Version : 0.0.0", "Date : 0099-01-09", "MCU Version: 0.0.0"}
            << "0.0.0" << "0099-01-09";
        QTest::newRow("high bytes") << QVector<int>{0xFF, 0x80, 0x7F, 0xFF, 0xFF, 12, 31}
            << QVector<int>{0xFF, 0x80, 0x7F}
            << QStringList{"Version : 255.128.127", "Date : 65535-12-31",
                           "MCU Version: -1.-128.127"}
            << "255.128.127" << "65535-12-31";
    }
    void numbers()
    {
        QFETCH(QVector<int>, head);
        QFETCH(QVector<int>, mcu);
        QFETCH(QStringList, shown);
        QFETCH(QString, version);
        QFETCH(QString, date);
        SimFixture sim;
        sim.world.capture.attach(camera(makeBlock(43, head, mcu)));
        Tarnholm w;   // the fill selects the camera and shows it at once

        QCOMPARE(lines(w.ui.DeviceInfo), shown);
        QCOMPARE(w.currentVersion, version);
        QCOMPARE(w.currentDate, date);
    }

    void queryFailure_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        const QString notFound = QStringLiteral("Can't find device.\n");
        QTest::newRow("no current item") << "no item" << notFound;
        QTest::newRow("data not a number") << "bad data" << notFound;
        QTest::newRow("data missing") << "no data" << notFound;
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
        else if (fault == "no data")
            list->setItemData(0, QVariant(), Qt::UserRole);
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

    void clearedListRunsNothing()
    {
        SimFixture sim;
        const int id = sim.world.capture.attach(camera(makeBlock(43)));
        Tarnholm w;
        const int reads = sim.world.capture.counters(id).versionGetCalls;
        dirty(w);
        w.ui.DeviceList->clear();
        QVERIFY(QMetaObject::invokeMethod(&w, "on_DeviceList_currentIndexChanged", Q_ARG(int, -1)));
        QCOMPARE(w.ui.EditInfo->toPlainText(), QStringLiteral("old log"));
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), QStringLiteral("old info"));
        QCOMPARE(sim.world.capture.counters(id).versionGetCalls, reads);
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
        QTest::newRow("list empty") << otherDate << QByteArray() << listed << "empty" << false << "";
        QTest::newRow("short answer, second changed") << makeBlock(30) << otherDate
            << listed << "" << true << "";
        QTest::newRow("short answer, second same") << makeBlock(30) << same
            << listed << "" << false << "";
        QTest::newRow("only short answers") << makeBlock(38) << makeBlock(30)
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
        if (fault == "empty")
            w.ui.DeviceList->clear();
        else if (fault == "bad data")
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
