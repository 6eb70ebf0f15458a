// The window's life: start-up on an empty machine, the device subscription,
// the worker thread and its queued job, closing, and the window icon.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Catches the Worker as the window moves it to its thread: the ThreadChange
// event is sent while the object still lives on the GUI thread.
class WorkerSpotter : public QObject {
public:
    WorkerSpotter() { qApp->installEventFilter(this); }
    ~WorkerSpotter() override { qApp->removeEventFilter(this); }
    QList<QPointer<Worker>> workers;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::ThreadChange)
            if (auto *worker = qobject_cast<Worker *>(object))
                workers << worker;
        return false;
    }
};

// Stands beside the Worker on the worker thread, listening to the same signal.
class Probe : public QObject {
    Q_OBJECT
public:
    std::atomic<bool> received{false};
    fw_info info;
    QThread *thread = nullptr;
public slots:
    void take(const fw_info &job)
    {
        info = job;
        thread = QThread::currentThread();
        received = true;
    }
};

QStringList g_messages;
void recordAll(QtMsgType, const QMessageLogContext &, const QString &text) { g_messages << text; }

} // namespace

class WindowLifecycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }

    void startCloseAndSubscription_data()
    {
        QTest::addColumn<bool>("subscriptionFails");
        QTest::newRow("subscribed") << false;
        QTest::newRow("subscription fails") << true;
    }
    void startCloseAndSubscription()
    {
        QFETCH(bool, subscriptionFails);
        SimFixture sim;
        sim.world.notifier.setSubscriptionFails(subscriptionFails);
        BoxCloser boxes;
        DebugCapture debug;
        WorkerSpotter spotter;
        g_upgradeStage = 4;   // left over: construction must start from 0

        auto *w = new Tarnholm;
        QCOMPARE(g_mainWindow, w);
        QCOMPARE(g_upgradeStage.load(), 0);
        QCOMPARE(w->updateStage, 0);
        QCOMPARE(sim.world.notifier.subscribed(), !subscriptionFails);
        for (int i = 0; i < 10; ++i)
            QVERIFY(!w->deviceMonikers[i] && !w->deviceFilters[i]);

        // No camera: nothing listed, nothing shown, nothing reported.
        QCOMPARE(w->ui.DeviceList->count(), 0);
        QCOMPARE(w->ui.DeviceInfo->toPlainText(), QString());
        QCOMPARE(w->ui.EditInfo->toPlainText(), QString());

        const QString failure = QStringLiteral("RegisterDeviceNotification Error");
        QCOMPARE(debug.lines().count(failure), subscriptionFails ? 1 : 0);
        for (const DebugCapture::Line &line : debug.detailed()) {
            if (line.text != failure)
                continue;
            QVERIFY(line.file.endsWith(QStringLiteral("tarnholm.cpp")));
            QVERIFY(line.line > 0);
            QVERIFY(line.function.contains(QStringLiteral("Tarnholm")));
        }

        // Exactly one Worker, already on the running worker thread.
        QCOMPARE(spotter.workers.size(), 1);
        QPointer<Worker> worker = spotter.workers[0];
        QVERIFY(worker);
        QCOMPARE(worker->thread(), &w->workerThread);
        QVERIFY(!worker->parent());
        QVERIFY(w->workerThread.isRunning());
        std::atomic<int> finished{0};
        std::atomic<QThread *> deletedOn{nullptr};
        connect(&w->workerThread, &QThread::finished, [&]() { ++finished; });
        connect(worker, &QObject::destroyed, [&]() { deletedOn = QThread::currentThread(); });
        QThread *const workerThread = &w->workerThread;

        // The window works without notifications: typing, the list slot.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::keyClicks(w->ui.EditFwFile, QStringLiteral("fw.hex"));
        QCOMPARE(w->ui.EditFwFile->text(), QStringLiteral("fw.hex"));
        w->ui.DeviceInfo->setPlainText(QStringLiteral("kept"));
        debug.clear();
        QVERIFY(QMetaObject::invokeMethod(w, "on_DeviceList_currentIndexChanged", Q_ARG(int, -1)));
        QCOMPARE(w->ui.DeviceInfo->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(w->ui.EditInfo->toPlainText(), QString());
        QVERIFY(debug.lines().isEmpty());

        // Closing ends the event loop with 0; the thread keeps running until
        // the window goes, which ends it and deletes the Worker on it.
        QTimer::singleShot(0, w, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(finished.load(), 0);
        delete w;
        QCOMPARE(finished.load(), 1);
        QVERIFY(worker.isNull());
        QCOMPARE(deletedOn.load(), workerThread);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void jobReachesWorkerThreadIntact_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("disk");
        QTest::newRow("plain") << "C:/fw/cam.bin" << "E:\\";
        QTest::newRow("wide characters") << QStringLiteral("D:\\固件\\cam v2.hex") << "Z:\\";
        QTest::newRow("empty") << QString() << QString();
    }
    void jobReachesWorkerThreadIntact()
    {
        QFETCH(QString, file);
        QFETCH(QString, disk);
        SimFixture sim;
        BoxCloser boxes;   // the real Worker gets the job too and may object to it
        Probe probe;   // outlives the window, so it is gone only after the thread ended
        Tarnholm w;
        probe.moveToThread(&w.workerThread);
        connect(&w, &Tarnholm::StartLoadFwThread, &probe, &Probe::take);

        fw_info job;
        job.fw_file = file;
        job.disk_path = disk;
        emit w.StartLoadFwThread(job);
        job.fw_file = QStringLiteral("changed after emit");
        QTRY_VERIFY_WITH_TIMEOUT(probe.received, 10000);
        QCOMPARE(probe.thread, &w.workerThread);
        QCOMPARE(probe.info.fw_file, file);
        QCOMPARE(probe.info.disk_path, disk);
    }

    void windowIconFromWorkingDirectory_data()
    {
        QTest::addColumn<bool>("iconPresent");
        QTest::newRow("app.ico present") << true;
        QTest::newRow("no app.ico") << false;
    }
    void windowIconFromWorkingDirectory()
    {
        QFETCH(bool, iconPresent);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (iconPresent) {
            const QString shipped = QFINDTESTDATA("../app/app.ico");
            QVERIFY(!shipped.isEmpty());
            QVERIFY(QFile::copy(shipped, dir.filePath(QStringLiteral("app.ico"))));
        }
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        SimFixture sim;
        BoxCloser boxes;
        g_messages.clear();
        QtMessageHandler before = qInstallMessageHandler(recordAll);
        {
            Tarnholm w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            // Qt keeps an icon object for a missing file, but it has no image.
            QCOMPARE(w.windowIcon().availableSizes().isEmpty(), !iconPresent);
            QCOMPARE(w.windowIcon().pixmap(16, 16).isNull(), !iconPresent);
        }
        qInstallMessageHandler(before);
        QDir::setCurrent(previous);
        // The offscreen platform's own remark about size hints is no report of ours.
        g_messages = g_messages.filter(QRegularExpression(QStringLiteral("^(?!This plugin does not support)")));
        QCOMPARE(g_messages, QStringList());
        QVERIFY(boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(WindowLifecycle)
#include "tst_window_lifecycle.moc"
