// The simulated camera's firmware images, and the two samples shipped with
// the demo: one newer than the demo camera's firmware, one the same.
#include "platform/sim/demo_world.h"
#include "platform/sim/sim_firmware.h"

#include <QtTest>

class SimFirmware : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("isImage");

        sim::FirmwareVersion v;
        v.major = 2; v.minor = 1; v.patch = 15; v.year = 2021; v.month = 7; v.day = 5;
        const QByteArray good = sim::firmwareImage(v, "payload");
        QTest::newRow("image") << good << true;
        QTest::newRow("image without payload") << good.left(51) << true;
        QTest::newRow("block cut short") << good.left(50) << false;
        QTest::newRow("other magic") << QByteArray("TARNFW2").append('\0') + good.mid(8)
                                     << false;
        QTest::newRow("plain file") << QByteArray(200, 'x') << false;
        QTest::newRow("empty file") << QByteArray() << false;
    }

    void parse()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, isImage);
        QByteArray block("untouched");
        QCOMPARE(sim::parseFirmwareImage(image, &block), isImage);
        if (!isImage) {
            QCOMPARE(block, QByteArray("untouched"));
            return;
        }
        QCOMPARE(block.size(), 43);
        // Version 2.1.15 of 2021-07-05, the year big-endian.
        QCOMPARE(block.left(7), QByteArray("\x02\x01\x0f\x07\xe5\x07\x05", 7));
    }

    void samples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("newer");
        QTest::newRow("newer") << "ostrel-2.2.0.bin" << true;
        QTest::newRow("same") << "ostrel-2.1.15.bin" << false;
    }

    void samples()
    {
        QFETCH(QString, file);
        QFETCH(bool, newer);
        const QString path = QFINDTESTDATA("../samples/" + file);
        QFile f(path);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray image = f.readAll();
        // Large enough for the copy to run in 50 chunks.
        QVERIFY(image.size() >= 2500);
        QByteArray block;
        QVERIFY(sim::parseFirmwareImage(image, &block));
        const QByteArray demo = sim::versionBlock(sim::demoCameraFirmware());
        QCOMPARE(block == demo, !newer);
        if (newer)
            QVERIFY(block.left(7) > demo.left(7));
    }
};

QTEST_MAIN(SimFirmware)
#include "tst_update_sim_firmware.moc"
