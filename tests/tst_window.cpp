// The main window: its form as the operator meets it (widgets, texts, size limits,
// focus order) and its life (start-up, subscription, icon, worker thread, closing).
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

// Catches the Worker as the window moves it to its thread (sent while it is still here).
struct WorkerSpotter : QObject {
    WorkerSpotter() { qApp->installEventFilter(this); }
    ~WorkerSpotter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::ThreadChange && qobject_cast<Worker *>(object))
            workers << static_cast<Worker *>(object);
        return false;
    }
    QList<QPointer<Worker>> workers;
};

class Window : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }

    // One line per object: class, parent, text (a text pane's plain text) and style sheet.
    void objects_data()
    {
        QTest::addColumn<QString>("seen");
        const QString f10 = QStringLiteral("font: 10pt \"微软雅黑\";");
        const QString f14 = QStringLiteral("font: 75 14pt \"微软雅黑\";");
        auto row = [](const char *name, const char *cls, const char *parent,
                      const QString &style = {}, const char *text = "") {
            QTest::newRow(name) << QString("%1 in %2 [%3] {%4}").arg(cls, parent, text, style);
        };
        row("centralWidget", "QWidget", "TarnholmClass");
        row("gridLayout_3", "QGridLayout", "centralWidget");
        row("horizontalLayout", "QHBoxLayout", "gridLayout_3");
        row("BtnFwFile", "QPushButton", "centralWidget", f10, "Firmware");
        row("EditFwFile", "QLineEdit", "centralWidget", f10);
        row("gridLayout_2", "QGridLayout", "gridLayout_3");
        row("DeviceInfo", "QTextEdit", "centralWidget", f10);
        row("pBtnDeviceInfo", "QPushButton", "centralWidget", f10, "Version");
        row("gridLayout", "QGridLayout", "gridLayout_3");
        row("horizontalLayout_3", "QHBoxLayout", "gridLayout");
        row("BtnLoadFw", "QPushButton", "centralWidget", f14, "Update");
        row("progressBar", "QProgressBar", "centralWidget", f14 + "\ncolor: rgb(0, 0, 0);", "0%");
        row("EditInfo", "QTextEdit", "centralWidget");
        row("label", "QLabel", "centralWidget", f10, "Device List");
        row("DeviceList", "QComboBox", "centralWidget", f10);
        row("menuBar", "QMenuBar", "TarnholmClass");
    }
    void objects()
    {
        SimFixture sim;
        Tarnholm w;
        const QList<QObject *> found = w.findChildren<QObject *>(QTest::currentDataTag());
        QCOMPARE(found.size(), 1);
        const QObject *o = found[0];
        auto *edit = qobject_cast<const QTextEdit *>(o);
        QTEST(QString("%1 in %2 [%3] {%4}").arg(o->metaObject()->className(), o->parent()->objectName(),
                                                edit ? edit->toPlainText() : o->property("text").toString(),
                                                o->property("styleSheet").toString()), "seen");
    }

    void window()
    {
        SimFixture sim;
        Tarnholm w;
        QCOMPARE(QString("%1, %2x%3, %4 items shown").arg(w.windowTitle()).arg(w.width())
                     .arg(w.height()).arg(w.ui.DeviceList->maxVisibleItems()),
                 QString("Ostrel Quorvia Camera Update Tool, 618x424, 10 items shown"));
        QStringList focus;
        const QStringList order = {"EditFwFile", "pBtnDeviceInfo", "BtnLoadFw", "BtnFwFile",
                                   "DeviceInfo", "EditInfo", "DeviceList"};
        QWidget *next = w.ui.EditFwFile;
        for (int i = 0; i < 100 && focus.size() < order.size(); ++i, next = next->nextInFocusChain())
            if (order.contains(next->objectName()) && (next->focusPolicy() & Qt::TabFocus))
                focus << next->objectName();
        QCOMPARE(focus, order);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClicks(w.ui.EditFwFile, QStringLiteral("C:/fw/cam.bin"));
        QCOMPARE(w.ui.EditFwFile->text(), QStringLiteral("C:/fw/cam.bin"));
        for (QTextEdit *pane : {w.ui.DeviceInfo, w.ui.EditInfo}) {
            QTest::keyClicks(pane, QStringLiteral("typed"));
            QCOMPARE(pane->toPlainText(), QString());
            // The panes show the window behind them in every colour group.
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                QCOMPARE(pane->palette().brush(group, QPalette::Base).color(), QColor(0, 0, 0, 0));
        }
        // Resizing never makes DeviceInfo taller than 73 px or label wider than 100 px.
        for (const QSize size : {QSize(618, 424), QSize(1800, 1200), QSize(2400, 260), QSize(260, 1400)}) {
            w.resize(size);
            w.ui.centralWidget->layout()->activate();
            QCOMPARE(w.size(), size.expandedTo(w.minimumSizeHint()));
            QVERIFY2(w.ui.DeviceInfo->height() <= 73 && w.ui.label->width() <= 100,
                     qPrintable(QString("at %1x%2").arg(size.width()).arg(size.height())));
        }
    }

    void startAndClose_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("subscribed, app.ico present") << false;
        QTest::newRow("subscription fails, no app.ico") << true;
    }
    void startAndClose()
    {
        QFETCH(bool, fails);
        QTemporaryDir dir; // the window icon comes from "app.ico" in the working directory
        if (!fails)
            QVERIFY(QFile::copy(QFINDTESTDATA("../app/app.ico"), dir.filePath("app.ico")));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        SimFixture sim;
        sim.world.notifier.setSubscriptionFails(fails);
        BoxCloser boxes;
        DebugCapture debug;
        WorkerSpotter spotter;
        g_upgradeStage = 4; // left over: construction must start from 0
        auto *w = new Tarnholm;
        QDir::setCurrent(previous);
        // A missing icon file leaves an icon without image. No camera: nothing
        // listed or shown; the only report is a failed subscription.
        QCOMPARE(g_mainWindow, w);
        QCOMPARE(QString("stage %1, subscribed %2, icon %3, %4 listed [%5]")
                     .arg(g_upgradeStage.load()).arg(sim.world.notifier.subscribed())
                     .arg(!w->windowIcon().pixmap(16, 16).isNull()).arg(w->ui.DeviceList->count())
                     .arg(w->ui.DeviceInfo->toPlainText() + w->ui.EditInfo->toPlainText()),
                 QString("stage 0, subscribed %1, icon %1, 0 listed []").arg(!fails));
        QCOMPARE(debug.lines().join("|"), fails ? "RegisterDeviceNotification Error" : "");
        for (const DebugCapture::Line &l : debug.detailed()) // file, line and function as context
            QVERIFY(l.file.endsWith("tarnholm.cpp") && l.line && l.function.contains("Tarnholm"));
        // One Worker, on the worker thread, deleted there when the thread ends.
        QCOMPARE(spotter.workers.size(), 1);
        QPointer<Worker> worker = spotter.workers[0];
        QThread *const workerThread = &w->workerThread;
        QCOMPARE(worker->thread(), workerThread);
        std::atomic<QThread *> deletedOn{nullptr};
        connect(worker, &QObject::destroyed, [&]() { deletedOn = QThread::currentThread(); });
        // The window works without notifications; a list without current item shows nothing.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::keyClicks(w->ui.EditFwFile, QStringLiteral("fw.hex"));
        w->ui.DeviceInfo->setPlainText(QStringLiteral("kept"));
        QVERIFY(QMetaObject::invokeMethod(w, "on_DeviceList_currentIndexChanged", Q_ARG(int, -1)));
        QCOMPARE(w->ui.EditFwFile->text() + ", " + w->ui.DeviceInfo->toPlainText()
                     + w->ui.EditInfo->toPlainText(), QStringLiteral("fw.hex, kept"));
        // Closing ends the event loop with 0; the thread runs until the window's end.
        QTimer::singleShot(0, w, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(workerThread->isRunning());
        delete w;
        QCOMPARE(deletedOn.load(), workerThread);
        QVERIFY(boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(Window)
#include "tst_window.moc"
