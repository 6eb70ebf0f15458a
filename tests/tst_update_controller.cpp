// The window's side of an update on its own: the clicks' stops and the
// reactions to each worker code, without a camera going through an update.
#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool buttonsEnabled(const Tarnholm &w)
{
    return w.ui.BtnLoadFw->isEnabled() && w.ui.BtnFwFile->isEnabled()
        && w.ui.pBtnDeviceInfo->isEnabled();
}

void setButtons(Tarnholm &w, bool enabled)
{
    w.ui.BtnLoadFw->setEnabled(enabled);
    w.ui.BtnFwFile->setEnabled(enabled);
    w.ui.pBtnDeviceInfo->setEnabled(enabled);
}

// Answers the next file dialog: picks `path`, or cancels when it is empty.
// Records what the dialog was opened with.
struct DialogAnswer {
    QStringList filters;
    QWidget *parent = nullptr;
    QString title;
    bool seen = false;

    void arm(const QString &path)
    {
        QTimer *timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [this, timer, path]() {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            seen = true;
            filters = dialog->nameFilters();
            parent = dialog->parentWidget();
            title = dialog->windowTitle();
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(path);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        timer->start();
    }
};

} // namespace

class UpdateController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void init() { g_upgradeStage = 0; }
    void cleanup() { g_upgradeStage = 0; }

    void clickStops_data()
    {
        QTest::addColumn<bool>("hasItem");
        QTest::addColumn<QVariant>("itemData");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("namesSaved");

        const QVariant number = QVariant(qlonglong(0x1000));
        QTest::newRow("empty camera list") << false << QVariant() << "fw.bin" << 0
                                           << "Can't find device.\n" << false;
        QTest::newRow("item data not a number") << true << QVariant(QStringLiteral("x"))
                                                << "fw.bin" << 0 << "Can't find device.\n"
                                                << true;
        QTest::newRow("empty path") << true << number << "" << 0 << "" << true;
        QTest::newRow("last update running") << true << number << "fw.bin" << 3
                                             << "Last Upgrade is not Complete." << true;
        QTest::newRow("empty path wins over running update")
            << true << number << "" << 2 << "" << true;
    }

    void clickStops()
    {
        QFETCH(bool, hasItem);
        QFETCH(QVariant, itemData);
        QFETCH(QString, path);
        QFETCH(int, stage);
        QFETCH(QString, log);
        QFETCH(bool, namesSaved);

        SimFixture sim;
        Tarnholm w;
        BoxCloser boxes;
        if (hasItem) {
            // No information query: the item's data is no camera of the world.
            QSignalBlocker block(w.ui.DeviceList);
            w.ui.DeviceList->addItem(QStringLiteral("Ostrel Camera    "), itemData);
            w.ui.DeviceList->setCurrentIndex(0);
        }
        w.ui.EditFwFile->setText(path);
        w.ui.EditInfo->setPlainText(QStringLiteral("earlier text"));
        w.ui.progressBar->setValue(37);
        w.currentVersion = QStringLiteral("1.4.2");
        w.currentDate = QStringLiteral("2024-03-18");
        g_upgradeStage = stage;
        w.updateStage = stage ? 2 : 0;
        setButtons(w, stage == 0);

        w.ui.BtnLoadFw->setEnabled(true);
        w.ui.BtnLoadFw->click();

        QCOMPARE(w.ui.EditInfo->toPlainText(), log);
        QCOMPARE(w.ui.progressBar->value(), 0);
        QCOMPARE(int(g_upgradeStage), stage);
        QCOMPARE(w.updateStage, stage ? 2 : 0);
        QCOMPARE(w.ui.DeviceList->count(), hasItem ? 1 : 0);
        QCOMPARE(w.ui.pBtnDeviceInfo->isEnabled(), stage == 0);
        QCOMPARE(w.ui.BtnFwFile->isEnabled(), stage == 0);
        QCOMPARE(w.savedVersion, namesSaved ? w.currentVersion : QString());
        QCOMPARE(w.savedDate, namesSaved ? w.currentDate : QString());
        QCOMPARE(w.updateDeviceName,
                 namesSaved ? QStringLiteral("Ostrel Camera    ") : QString());
        QVERIFY(boxes.boxes.isEmpty());
    }

    void workerCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("stageBefore");
        QTest::addColumn<QString>("debugLine");
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<QString>("logPattern");
        QTest::addColumn<int>("progress");
        QTest::addColumn<bool>("idleAfter");

        const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");
        QTest::newRow("-1 unusable file")
            << -1 << 2 << "Get Firmware Error" << "Error" << "Get Firmware File Error"
            << "" << 20 << true;
        QTest::newRow("-2 unusable drive")
            << -2 << 1 << "Transmit Firmware to Device Error." << "Error"
            << "Write Firmware File Error" << "" << 20 << true;
        QTest::newRow("-3 time limit") << -3 << 4 << "Timeout" << "Error" << "Time Out"
                                       << "" << 20 << true;
        QTest::newRow("1 first chunk") << 1 << 2 << "" << "" << "" << "" << 1 << false;
        QTest::newRow("50 flash line")
            << 50 << 2 << "" << "" << ""
            << "Write firmware to flash\\." + time + "\nWaiting\\.\\.\\." << 50 << false;
        QTest::newRow("95 reboot line") << 95 << 4 << "" << "" << ""
                                        << "Reboot\\.\\.\\. " + time << 95 << false;
        QTest::newRow("99 camera wait") << 99 << 4 << "" << "" << "" << "" << 99 << false;
        // No camera in the list answers: the check cannot see a new version.
        QTest::newRow("100 done") << 100 << 5 << "" << "Info"
                                  << "Firmware Version Unchanged" << "Success " + time
                                  << 100 << true;
        QTest::newRow("progress while idle enables the buttons")
            << 40 << 0 << "" << "" << "" << "" << 40 << true;
    }

    void workerCode()
    {
        QFETCH(int, code);
        QFETCH(int, stageBefore);
        QFETCH(QString, debugLine);
        QFETCH(QString, boxTitle);
        QFETCH(QString, boxText);
        QFETCH(QString, logPattern);
        QFETCH(int, progress);
        QFETCH(bool, idleAfter);

        SimFixture sim;
        Tarnholm w;
        BoxCloser boxes;
        int stageDuringBox = -1;
        bool buttonsDuringBox = true;
        boxes.onBox = [&](const SeenBox &) {
            stageDuringBox = g_upgradeStage;
            buttonsDuringBox = buttonsEnabled(w);
        };
        DebugCapture debug;
        g_upgradeStage = stageBefore;
        w.updateStage = stageBefore ? 2 : 0;
        setButtons(w, false);
        w.ui.progressBar->setValue(20);
        w.ui.EditInfo->clear();

        w.HandleWorkerTheardState(code);

        QCOMPARE(w.ui.progressBar->value(), progress);
        const QString log = w.ui.EditInfo->toPlainText();
        if (logPattern.isEmpty())
            QCOMPARE(log, QString());
        else
            QVERIFY2(QRegularExpression("^" + logPattern + "$").match(log).hasMatch(),
                     qPrintable(log));
        if (debugLine.isEmpty())
            QVERIFY(!debug.lines().contains(QStringLiteral("Timeout")));
        else
            QVERIFY2(debug.lines().contains(debugLine), qPrintable(debug.lines().join('|')));

        if (boxTitle.isEmpty()) {
            QVERIFY(boxes.boxes.isEmpty());
        } else {
            QCOMPARE(boxes.boxes.size(), 1);
            const SeenBox &box = boxes.boxes.first();
            QCOMPARE(box.title, boxTitle);
            QCOMPARE(box.text, boxText);
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, int(QMessageBox::Ok));
            QVERIFY(!box.hasDefault);
            QCOMPARE(box.parentName, w.objectName());
            if (code > 0) {
                // The result box comes before the window turns idle.
                QCOMPARE(stageDuringBox, stageBefore);
                QVERIFY(!buttonsDuringBox);
            }
        }

        QCOMPARE(buttonsEnabled(w), idleAfter);
        QCOMPARE(int(g_upgradeStage), idleAfter ? 0 : stageBefore);
        QCOMPARE(w.updateStage, idleAfter ? 0 : 2);
    }

    void fileDialog_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("file chosen") << true;
        QTest::newRow("dialog cancelled") << false;
    }

    void fileDialog()
    {
        QFETCH(bool, choose);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("new firmware.bin"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        SimFixture sim;
        Tarnholm w;
        const QString before = QStringLiteral("keep me.bin");
        w.ui.EditFwFile->setText(before);
        DialogAnswer answer;
        answer.arm(choose ? file : QString());
        w.ui.BtnFwFile->click();

        QVERIFY(answer.seen);
        QCOMPARE(answer.parent, static_cast<QWidget *>(&w));
        QCOMPARE(answer.filters, QStringList({QStringLiteral("*.hex *.bin"),
                                              QStringLiteral("*.*")}));
        const QString shown = w.ui.EditFwFile->text();
        QCOMPARE(shown, choose ? QDir::toNativeSeparators(file) : before);
        if (choose)
            QVERIFY(QFileInfo(shown).isFile());
    }
};

QTEST_MAIN(UpdateController)
#include "tst_update_controller.moc"
