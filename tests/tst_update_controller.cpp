// The window's side of an update on its own: where the Update click stops,
// the reactions to the worker's error and progress codes, the file dialog.
#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QFileDialog>
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
    for (QWidget *button : {static_cast<QWidget *>(w.ui.BtnLoadFw),
                            static_cast<QWidget *>(w.ui.BtnFwFile),
                            static_cast<QWidget *>(w.ui.pBtnDeviceInfo)})
        button->setEnabled(enabled);
}

} // namespace

class UpdateController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void cleanup() { g_upgradeStage = 0; }

    void clickStops_data()
    {
        QTest::addColumn<QVariant>("item");   // invalid: no camera in the list
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("log");

        const QVariant camera = QVariant(qlonglong(0x1000));
        QTest::newRow("empty camera list") << QVariant() << "fw.bin" << 0
                                           << "Can't find device.\n";
        QTest::newRow("item data not a number") << QVariant(QStringLiteral("x")) << "fw.bin"
                                                << 0 << "Can't find device.\n";
        QTest::newRow("empty path") << camera << "" << 0 << "";
        QTest::newRow("last update running") << camera << "fw.bin" << 3
                                             << "Last Upgrade is not Complete.";
        QTest::newRow("empty path, update running") << camera << "" << 2 << "";
    }

    void clickStops()
    {
        QFETCH(QVariant, item);
        QFETCH(QString, path);
        QFETCH(int, stage);
        QFETCH(QString, log);

        SimFixture sim;
        Tarnholm w;
        if (item.isValid()) {
            // No information query: the item names no camera of the world.
            QSignalBlocker block(w.ui.DeviceList);
            w.ui.DeviceList->addItem(QStringLiteral("Ostrel Camera    "), item);
        }
        w.ui.EditFwFile->setText(path);
        w.ui.EditInfo->setPlainText(QStringLiteral("earlier text"));
        w.ui.progressBar->setValue(37);
        w.currentVersion = QStringLiteral("2.1.15");
        g_upgradeStage = stage;
        w.updateStage = stage ? 2 : 0;
        setButtons(w, stage == 0);

        w.ui.BtnLoadFw->setEnabled(true);
        w.ui.BtnLoadFw->click();

        QCOMPARE(w.ui.EditInfo->toPlainText(), log);
        QCOMPARE(w.ui.progressBar->value(), 0);
        QCOMPARE(int(g_upgradeStage), stage);
        QCOMPARE(w.updateStage, stage ? 2 : 0);
        QCOMPARE(w.ui.DeviceList->count(), item.isValid() ? 1 : 0);
        QCOMPARE(w.ui.BtnFwFile->isEnabled(), stage == 0);
        // The before-values are taken once a camera item is found.
        QCOMPARE(w.savedVersion, item.isValid() ? w.currentVersion : QString());
    }

    void workerCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("debugLine");
        QTest::addColumn<QString>("boxText");   // empty: no box; else titled "Error"
        QTest::addColumn<bool>("idleAfter");

        QTest::newRow("-1") << -1 << 2 << "Get Firmware Error" << "Get Firmware File Error"
                            << true;
        QTest::newRow("-2") << -2 << 1 << "Transmit Firmware to Device Error."
                            << "Write Firmware File Error" << true;
        QTest::newRow("-3") << -3 << 4 << "Timeout" << "Time Out" << true;
        QTest::newRow("progress while updating") << 40 << 3 << "" << "" << false;
        QTest::newRow("progress while idle") << 40 << 0 << "" << "" << true;
    }

    void workerCode()
    {
        QFETCH(int, code);
        QFETCH(int, stage);
        QFETCH(QString, debugLine);
        QFETCH(QString, boxText);
        QFETCH(bool, idleAfter);

        SimFixture sim;
        Tarnholm w;
        BoxCloser boxes;
        DebugCapture debug;
        g_upgradeStage = stage;
        w.updateStage = stage ? 2 : 0;
        setButtons(w, false);
        w.ui.progressBar->setValue(20);
        w.ui.EditInfo->setPlainText(QStringLiteral("Write file to E, 10:00:00"));

        w.HandleWorkerTheardState(code);

        // Error codes leave the bar and the log as they were.
        QCOMPARE(w.ui.progressBar->value(), code > 0 ? code : 20);
        QCOMPARE(w.ui.EditInfo->toPlainText(), QStringLiteral("Write file to E, 10:00:00"));
        QCOMPARE(debug.lines().contains(debugLine), !debugLine.isEmpty());
        QCOMPARE(boxes.boxes.size(), boxText.isEmpty() ? 0 : 1);
        if (!boxText.isEmpty()) {
            const SeenBox &box = boxes.boxes.first();
            QCOMPARE(box.title, QStringLiteral("Error"));
            QCOMPARE(box.text, boxText);
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, int(QMessageBox::Ok));
            QVERIFY(!box.hasDefault);
            QCOMPARE(box.parentName, w.objectName());
        }
        QCOMPARE(buttonsEnabled(w), idleAfter);
        QCOMPARE(int(g_upgradeStage), idleAfter ? 0 : stage);
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
        w.ui.EditFwFile->setText(QStringLiteral("keep me.bin"));
        // Answers the real (Qt-drawn) dialog once it is up.
        QStringList filters;
        QWidget *parent = nullptr;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&]() {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            answer.stop();
            filters = dialog->nameFilters();
            parent = dialog->parentWidget();
            if (choose)
                dialog->selectFile(file);
            choose ? static_cast<QDialog *>(dialog)->accept() : dialog->reject();
        });
        answer.start(5);
        w.ui.BtnFwFile->click();

        QCOMPARE(parent, static_cast<QWidget *>(&w));
        QCOMPARE(filters, QStringList({QStringLiteral("*.hex *.bin"), QStringLiteral("*.*")}));
        const QString shown = w.ui.EditFwFile->text();
        QCOMPARE(shown, choose ? QDir::toNativeSeparators(file) : QStringLiteral("keep me.bin"));
        if (choose)
            QVERIFY(QFileInfo(shown).isFile());
    }
};

QTEST_MAIN(UpdateController)
#include "tst_update_controller.moc"
