// The window's side of an update on its own: where the Update click stops,
// the reactions to the worker's error and progress codes, the file dialog.
#include "app/tarnholm.h"
#include "support/box_text.h"

#include <QFileDialog>
#include <QtTest>

using Action = std::function<void(Tarnholm &)>;
Q_DECLARE_METATYPE(Action)

// An Update click with this camera item (invalid: none) and firmware path.
static Action click(const QVariant &item, const QString &path)
{
    return [=](Tarnholm &w) {
        if (item.isValid())
            w.ui.DeviceList->addItem(QStringLiteral("Ostrel Camera    "), item);
        w.ui.EditFwFile->setText(path);
        w.ui.BtnLoadFw->setEnabled(true);
        w.ui.BtnLoadFw->click();
    };
}

static Action code(int state) { return [=](Tarnholm &w) { w.HandleWorkerTheardState(state); }; }

class UpdateController : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { g_upgradeStage = 0; }

    // What the window shows after an action taken amid an update (stage not 0)
    // or idle, all buttons off: "log | bar | stages | buttons | debug trace | boxes".
    void reaction_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("seen");
        // The items name no camera of the world, so no information is read.
        const QVariant none, gone = QVariant(qlonglong(0x1000)), notNumber = QVariant("x");
        const QString idle = QStringLiteral(" | bar 0 | stages 0/0 | buttons 100 |  | ");
        const QString busy = QStringLiteral(" | bar 0 | stages %1/2 | buttons 100 |  | ");
        const QString noCamera = "Can't find device.\n" + idle;
        QTest::newRow("empty camera list") << 0 << click(none, "fw.bin") << noCamera;
        QTest::newRow("item data not a number") << 0 << click(notNumber, "fw.bin") << noCamera;
        QTest::newRow("empty path") << 0 << click(gone, "") << idle;
        // The path is checked before the stage.
        QTest::newRow("empty path, update running") << 2 << click(gone, "") << busy.arg(2);
        QTest::newRow("last update running")
            << 3 << click(gone, "fw.bin") << "Last Upgrade is not Complete." + busy.arg(3);
        QTest::newRow("camera gone")
            << 0 << click(gone, "fw.bin") << "Initialize Device Error." + idle;
        // Error codes end the update, leaving the bar and the log as they were.
        const auto error = [](const char *trace, const char *box) {
            return QStringLiteral("earlier text | bar 20 | stages 0/0 | buttons 111 | %1 | Error: "
                                  "%2 [information, OK, on TarnholmClass]\n").arg(trace, box);
        };
        QTest::newRow("-1")
            << 2 << code(-1) << error("Get Firmware Error", "Get Firmware File Error");
        QTest::newRow("-2") << 1 << code(-2)
            << error("Transmit Firmware to Device Error.", "Write Firmware File Error");
        QTest::newRow("-3") << 4 << code(-3) << error("Timeout", "Time Out");
        QTest::newRow("progress while updating")
            << 3 << code(40) << "earlier text | bar 40 | stages 3/2 | buttons 000 |  | ";
        QTest::newRow("progress while idle")
            << 0 << code(40) << "earlier text | bar 40 | stages 0/0 | buttons 111 |  | ";
    }

    void reaction()
    {
        QFETCH(int, stage);
        QFETCH(Action, action);
        SimFixture sim;
        Tarnholm w;
        BoxCloser boxes;
        DebugCapture trace;
        g_upgradeStage = stage;
        w.updateStage = stage ? 2 : 0;
        for (QPushButton *button : w.findChildren<QPushButton *>())
            button->setEnabled(false);
        w.ui.progressBar->setValue(20);
        w.ui.EditInfo->setPlainText(QStringLiteral("earlier text"));
        action(w);
        const auto on = [](const QWidget *b) { return QLatin1Char(b->isEnabled() ? '1' : '0'); };
        QTEST(w.ui.EditInfo->toPlainText() + QStringLiteral(" | bar %1 | stages %2/%3 | buttons ")
                  .arg(w.ui.progressBar->value()).arg(int(g_upgradeStage)).arg(w.updateStage)
                  + on(w.ui.BtnLoadFw) + on(w.ui.BtnFwFile) + on(w.ui.pBtnDeviceInfo) + " | "
                  + trace.lines().join('/') + " | " + boxLines(boxes.boxes), "seen");
    }

    void fileDialog_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("cancelled: the path is kept") << false;
        QTest::newRow("chosen: the path as the system writes it") << true;
    }
    void fileDialog()
    {
        QFETCH(bool, choose);
        SimFixture sim;
        Tarnholm w;
        QTemporaryDir dir;
        const QString file = dir.filePath("fw 1.bin");
        QFile(file).open(QIODevice::WriteOnly);
        w.ui.EditFwFile->setText(QStringLiteral("keep me.bin"));
        // Answers the real (Qt-drawn) dialog once it is up.
        QString seen;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&]() {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            seen = dialog->nameFilters().join(" ;; ")
                + (dialog->parentWidget() == &w ? "" : " (not on the window)");
            if (!choose)
                return dialog->reject();
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept();
        });
        answer.start(5);
        w.ui.BtnFwFile->click();
        QCOMPARE(seen + " | " + w.ui.EditFwFile->text(), "*.hex *.bin ;; *.* | "
                 + (choose ? QDir::toNativeSeparators(file) : QStringLiteral("keep me.bin")));
    }
};

QTEST_MAIN(UpdateController)
#include "tst_update_controller.moc"
