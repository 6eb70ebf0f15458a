// The Windows backend on real Win32 calls: device notifications reaching the window, the
// volume bus check, capture enumeration, the vendor library (a stand-in put where each case
// needs it), the copy onto a drive letter, the keep-awake hold. The rest is simulated.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/win/win_camera_library.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_keep_awake.h"
#include "platform/win/win_notifier.h"
#include "platform/win/win_usb_port.h"
#include "platform/win/win_volume_bus.h"
#include "support/box_text.h"
#include "support/job_thread.h"
#include "win/vendor_standin.h"

#include <QtTest>
#include <memory>
#include <windows.h>
#include <dbt.h>

namespace {

const QString kCamera = QStringLiteral(
    "\\\\?\\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\GLOBAL");
const QString kGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");
const QString kLibrary = QStringLiteral("FicUvcExKorvane.dll");
// scripts/windows-test.sh maps T: to a folder, marked so that no real drive T: is written to.
const QString kMappedDrive = QStringLiteral("T:\\");

// The camera's record as Windows lays it out, dbcc_size taken to the end of its name
// (and NUL) unless given; then 'X's, so a read past the record shows in the name.
QByteArray interfaceRecord(bool nul = true, int size = 0)
{
    const QString name = nul ? kCamera + QChar(0) : kCamera;
    const int offset = int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
    QByteArray bytes = QByteArray(offset, '\0') + QByteArray(64, 'X');
    bytes.insert(offset, reinterpret_cast<const char *>(name.utf16()), 2 * name.size());
    auto *r = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    r->dbcc_size = DWORD(size ? size : offset + 2 * name.size());
    r->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    return bytes;
}
QByteArray volumeRecord(char drive)
{
    const DEV_BROADCAST_VOLUME r{sizeof(r), DBT_DEVTYP_VOLUME, 0, 1u << (drive - 'A'), 0};
    return QByteArray(reinterpret_cast<const char *>(&r), sizeof(r));
}

// The host's file calls, noting each flush's result.
struct RecordingFileIo : platform::HostFileIo {
    QVector<bool> flushes;
    bool flushToDevice(QFile &f) override { return (flushes << HostFileIo::flushToDevice(f)).last(); }
};

// The capture devices of the system, counting what was handed out and given back.
struct CountingCapture : platform::WinCaptureDevices {
    int handedOut = 0, released = 0;
    int enumerate(IMoniker **m, IBaseFilter **f, int room) override
    {
        const int n = WinCaptureDevices::enumerate(m, f, room);
        handedOut += 2 * qMax(n, 0);
        return n;
    }
    void release(IMoniker *m) override { ++released, WinCaptureDevices::release(m); }
    void release(IBaseFilter *f) override { ++released, WinCaptureDevices::release(f); }
};

} // namespace

class WinBackend : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    platform::WinNotifier notifier;
    platform::WinVolumeBus volumes;
    platform::WinKeepAwake awake;
    RecordingFileIo files;
    CountingCapture capture;
    const QString program = QCoreApplication::applicationDirPath();
    const QString startFolder = QDir::currentPath();
    const QByteArray startPath = qgetenv("PATH");
    // Any readable file that is not empty passes for firmware until it is copied.
    const QString firmware = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    QTemporaryDir elsewhere;
    QString planted;   // a copy of the stand-in library, removed after each case

    int plugIn() { return sim->world.capture.attach({"Ostrel Camera", true, true, {}, {}}); }

private slots:
    void init()
    {
        sim.reset(new SimFixture);
        platform::Platform p = platform::current();
        p.notifier = &notifier;
        p.volumes = &volumes;
        p.awake = &awake;
        p.files = &files;
        platform::install(p);
        files.flushes.clear();
    }
    void cleanup()
    {
        g_upgradeStage = 0;
        g_mainWindow = nullptr;
        sim.reset();
        QDir::setCurrent(startFolder);
        qputenv("PATH", startPath);
        if (!planted.isEmpty())
            QVERIFY2(QFile::remove(std::exchange(planted, QString())), "a stand-in stays behind");
    }

    // Records sent to the window's own handle go through Windows' message dispatch,
    // Qt's native event filter and the decoder. C: is the wine prefix's (or Windows')
    // own disk, never USB; behind Q: lies no drive, and the bus check gives up.
    void deviceChange_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("camera");   // 1: in before an arrival, -1: out before a removal
        QTest::addColumn<QStringList>("seen");   // the trace while it is handled, then the window
        const QStringList inserted{kCamera, kGuid, "USB Camera Device insert ",
                                   "log [USB Camera Device insert]", "listed 1"};
        const auto notUsb = [](const QString &drive) {
            return QStringList{"USB_Arrived and The USBDisk is: " + drive,
                               "This is not a usb mass storage", "", kGuid, "log []", "listed 0"};
        };
        QTest::newRow("camera arrives") << interfaceRecord() << 1 << inserted;
        QTest::newRow("camera removed") << interfaceRecord() << -1
            << QStringList{"Device remove", kCamera, kGuid, "USB Camera Device Remove!",
                           "log [USB Camera Device Remove!]", "listed 0"};
        QTest::newRow("name without its NUL") << interfaceRecord(false) << 1 << inserted;
        QTest::newRow("size shorter than the header") << interfaceRecord(true, 8) << 1
            << QStringList{"log []", "listed 0"};
        QTest::newRow("volume C: arrives") << volumeRecord('C') << 0 << notUsb("C");
        QTest::newRow("volume Q: arrives") << volumeRecord('Q') << 0 << notUsb("Q") + QStringList{
            "10 waits", "Error: CreateFile error. Error code(2), Path[\\\\.\\Q:] "
                        "[information, OK, on TarnholmClass]"};
    }
    void deviceChange()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, camera);
        if (QByteArray(QTest::currentDataTag()).contains("Q:") && QFileInfo::exists("Q:/"))
            QSKIP("this machine has a drive Q:");
        DebugCapture trace;
        const int present = camera < 0 ? plugIn() : -1;
        Tarnholm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(!trace.lines().contains("RegisterDeviceNotification Error"),
                 "RegisterDeviceNotificationW failed for the window");
        QCOMPARE(window.ui.DeviceList->count(), camera < 0 ? 1 : 0);
        if (camera > 0)
            plugIn();
        if (camera < 0)
            sim->world.capture.detach(present);
        const int before = trace.lines().size();
        BoxCloser boxes;
        SendMessageW(reinterpret_cast<HWND>(window.winId()), WM_DEVICECHANGE,
                     camera < 0 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL,
                     reinterpret_cast<LPARAM>(record.data()));
        QStringList seen = trace.lines().mid(before);
        seen << "log [" + window.ui.EditInfo->toPlainText() + "]"
             << QString("listed %1").arg(window.ui.DeviceList->count());
        if (!sim->clock.sleeps().isEmpty())
            seen << QString("%1 waits").arg(sim->clock.sleeps().size());
        QTEST(seen + boxLines(boxes.boxes).split('\n', Qt::SkipEmptyParts), "seen");
    }

    // Wine has no video-capture devices; a machine without a camera is the same.
    void noCaptureDevices()
    {
        platform::Platform p = platform::current();
        p.capture = &capture;
        platform::install(p);
        Tarnholm window;
        QCOMPARE(window.ui.DeviceList->count(), 0);
        window.RefreshDeviceList();
        window.ui.BtnLoadFw->click();
        QCOMPARE(window.ui.EditInfo->toPlainText().trimmed(), QString("Can't find device."));
        window.close();
        QCOMPARE(capture.released, capture.handedOut);
    }

    // USB ports through SetupAPI and CfgMgr32. An interface no device has and a letter
    // without a drive have none on any system. Wine has no USB devices at all, so there
    // its C: has none either and every camera's drive falls back to the first USB
    // volume; on Windows C: names a port only when the machine started from USB.
    void usbPorts()
    {
        const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        const DWORD drives = GetLogicalDrives();
        QChar free = QLatin1Char('Z');
        while (free > QLatin1Char('D') && (drives & (1u << (free.unicode() - 'A'))))
            free = QChar(free.unicode() - 1);
        platform::WinVolumeBus volumes;
        QStringList ports{platform::usbPortOfInterface(kCamera), volumes.usbPort(QString("\\\\.\\%1:").arg(free))};
        if (wine)
            ports << volumes.usbPort(QStringLiteral("\\\\.\\C:"));
        QCOMPARE(ports.join('|'), QString(wine ? "||" : "|"));
    }

    // Where the vendor library lies decides whether the window reaches it.
    void vendorLibrary_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("info");   // the log pane after the window starts
        const QString failed = QStringLiteral("Initialize Device Error.");
        QTest::newRow("beside the program") << "program" << "standin" << "";
        QTest::newRow("nowhere") << "" << "standin" << failed;
        QTest::newRow("only in the working folder") << "working" << "standin" << failed;
        QTest::newRow("only in a PATH folder") << "path" << "standin" << failed;
        QTest::newRow("one export missing") << "program" << "standin-partial" << failed;
    }
    void vendorLibrary()
    {
        QFETCH(QString, where);
        QFETCH(QString, variant);
        QFETCH(QString, info);
        platform::WinCameraLibrary library;   // unloads the library before cleanup() removes it
        platform::Platform p = platform::current();
        p.camera = &library;
        platform::install(p);
        const QString folder = where == "program" ? program : elsewhere.path();
        if (!where.isEmpty()) {
            planted = folder + '/' + kLibrary;
            QVERIFY(QFile::copy(program + '/' + variant + '/' + kLibrary, planted));
        }
        if (where == "working")
            QVERIFY(QDir::setCurrent(folder));
        if (where == "path")
            qputenv("PATH", QDir::toNativeSeparators(folder).toLocal8Bit() + ';' + startPath);
        const int camera = plugIn();

        Tarnholm window;   // reads the listed camera's version at once
        QCOMPARE(window.ui.EditInfo->toPlainText(), info);
        QCOMPARE(window.ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"), info.isEmpty());
        // Held by the tool alone, and only while it uses it.
        const HMODULE loaded = GetModuleHandleW(L"FicUvcExKorvane.dll");
        QCOMPARE(loaded != nullptr, info.isEmpty());
        if (!loaded)
            return;
        const FARPROC recorder = GetProcAddress(loaded, "StandInRecorder");
        QVERIFY(recorder);
        StandInState *state =
            reinterpret_cast<StandInStateFn>(reinterpret_cast<void (*)()>(recorder))();
        // The update request: same filter, the context of its own init.
        state->contextToGive = 0xBEEF;
        state->updateFwUmsStatus = 31;
        window.ui.EditFwFile->setText(firmware);
        window.ui.BtnLoadFw->click();
        const QString filter = QString::number(quintptr(sim->world.capture.filterOf(camera)), 16);
        QCOMPARE(QString(state->calls).replace(filter, "filter"),
                 "init filter; version filter c0ffee 43; init filter; update filter beef; ");
        QCOMPARE(window.ui.EditInfo->toPlainText(),
                 QString("Switch USB Camera to USB Mass Storage Device Error."));
    }

    // The worker's copy through a drive letter, "T:\" + "\" + "fw.bin", to its flush.
    void copyOntoDriveLetter()
    {
        if (!QFileInfo::exists("T:/tarnholm-test-drive"))
            QSKIP("no test drive T: mapped to a folder (scripts/windows-test.sh maps one)");
        QFile::remove(kMappedDrive + "fw.bin");
        QByteArray data(100000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + i / 256);
        QTemporaryFile source;
        QVERIFY(source.open() && source.write(data) == data.size());
        source.close();
        Worker worker;
        QStringList codes;
        JobThread thread([&]() { worker.WorkerLoadFw({source.fileName(), kMappedDrive}); });
        connect(&worker, &Worker::WorkerTheardState, &worker, [&](int code) {
            codes << QString::number(code);
            thread.requestInterruption();   // no wait for a camera after the copy
        }, Qt::DirectConnection);
        thread.start();
        thread.wait();
        QCOMPARE(codes.first() + ".." + codes.last(), QString("1..50"));
        QCOMPARE(files.flushes, QVector<bool>{true});
        QFile copied(kMappedDrive + "fw.bin");
        QVERIFY(copied.open(QIODevice::ReadOnly) && copied.readAll() == data);
    }

    // The window holds the system awake from the camera's switch until it closes.
    // SetThreadExecutionState answers with the state before the call: each probe
    // shows what the window left behind.
    void windowHoldsAwake()
    {
        sim->world.capture.attach({"Ostrel Camera", true, true, QByteArray(43, '\1'), {}});
        const auto held = [](DWORD s) { return SetThreadExecutionState(s) & ES_SYSTEM_REQUIRED; };
        // Wine's process starts with ES_SYSTEM_REQUIRED set, a Windows thread with none.
        held(ES_CONTINUOUS);
        std::unique_ptr<Tarnholm> window(new Tarnholm);
        const DWORD before = held(ES_CONTINUOUS);
        window->ui.EditFwFile->setText(firmware);
        window->ui.BtnLoadFw->click();
        QVERIFY(window->ui.EditInfo->toPlainText().startsWith("Wait UMS Install."));
        const DWORD during = held(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        window.reset();
        QCOMPARE(QVector<DWORD>({before, during, held(ES_CONTINUOUS)}),
                 QVector<DWORD>({0, ES_SYSTEM_REQUIRED, 0}));
    }
};

QTEST_MAIN(WinBackend)
#include "tst_win_backend.moc"
