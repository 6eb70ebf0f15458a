// The Windows backend on real Win32 calls, with stand-ins for the capture sources (a COM server of the
// tests, registered as Windows registers a camera's source filter) and the vendor library; the rest is
// simulated. The sources go to HKEY_CLASSES_ROOT: under wine (a private prefix) that needs no rights, on
// Windows an administrator. (Wine's enumerator does not see a registration under HKCU\Software\Classes.)
#include "app/tarnholm.h"
#include "app/worker.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/win/win_camera_library.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_keep_awake.h"
#include "platform/win/win_notifier.h"
#include "platform/win/win_volume_bus.h"
#include "support/box_text.h"
#include "support/job_thread.h"
#include "win/filter_standin.h"
#include "win/vendor_standin.h"

#include <QtTest>
#include <memory>
#include <windows.h>
#include <dbt.h>
#include <dshow.h>

namespace {

const QString kCamera = QStringLiteral(
    "\\\\?\\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\GLOBAL");
const QString kGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");
const QString kLibrary = QStringLiteral("FicUvcExKorvane.dll");
const QString kVideoInput = QStringLiteral("CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\");

// The camera's record as Windows lays it out (odd records are the decoder test's).
QByteArray interfaceRecord()
{
    const QString name = kCamera + QChar(0);
    const int offset = int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
    QByteArray bytes(offset, '\0');
    bytes += QByteArray(reinterpret_cast<const char *>(name.utf16()), 2 * name.size());
    auto *r = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    r->dbcc_size = DWORD(bytes.size());
    r->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    return bytes;
}
QByteArray volumeRecord(char drive)
{
    const DEV_BROADCAST_VOLUME r{sizeof(r), DBT_DEVTYP_VOLUME, 0, 1u << (drive - 'A'), 0};
    return QByteArray(reinterpret_cast<const char *>(&r), sizeof(r));
}
// Through Windows' message dispatch, Qt's native event filter and the decoder.
void sendDeviceChange(QWidget &window, WPARAM what, QByteArray record)
{
    SendMessageW(HWND(window.winId()), WM_DEVICECHANGE, what, reinterpret_cast<LPARAM>(record.data()));
}

const wchar_t *w(const QString &s) { return reinterpret_cast<const wchar_t *>(s.utf16()); }
bool setString(const QString &key, const QString &name, const QString &value)
{
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, w(key), name.isEmpty() ? nullptr : w(name), REG_SZ,
                           value.utf16(), DWORD(2 * (value.size() + 1))) == ERROR_SUCCESS;
}
QString classText(int number) { return QUuid(standInClass(static_cast<unsigned char>(number))).toString(); }
} // namespace

class WinBackend : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    platform::WinNotifier notifier;
    platform::WinVolumeBus volumes;
    platform::WinKeepAwake awake;
    platform::HostFileIo files;
    platform::WinCaptureDevices capture;
    std::unique_ptr<platform::WinCameraLibrary> library;   // unloaded before cleanup() removes the stand-in
    FilterStandInState *filters = nullptr;
    const QString program = QCoreApplication::applicationDirPath();
    const QString server = QDir::toNativeSeparators(program + "/filter/OstrelFilterStandIn.dll");
    const QString startFolder = QDir::currentPath();
    const QByteArray startPath = qgetenv("PATH");
    // Any readable file that is not empty passes for firmware until it is copied.
    const QString firmware = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    QTemporaryDir elsewhere;
    QString planted;          // a copy of the stand-in library, removed after each case
    QVector<int> registered;  // stand-in capture sources, unregistered after each case
    long heldBefore = 0;      // by an earlier case that failed
    int tooManyBefore = 0;

    // A stand-in capture source: the last byte of its class, its name, whether it has a path.
    bool plugIn(int number, const QString &name, bool hasPath = true)
    {
        const QString cls = classText(number), instance = kVideoInput + cls;
        registered << number;
        return setString("CLSID\\" + cls + "\\InprocServer32", {}, server)
            && setString("CLSID\\" + cls + "\\InprocServer32", "ThreadingModel", "Both")
            && setString(instance, "CLSID", cls) && setString(instance, "FriendlyName", name)
            && (!hasPath || setString(instance, "DevicePath", QString("\\\\?\\usb#vid_1234&pid_%1#1").arg(number)));
    }
    bool unplug(int number)
    {
        registered.removeAll(number);
        return RegDeleteTreeW(HKEY_CLASSES_ROOT, w(kVideoInput + classText(number))) == ERROR_SUCCESS
            && RegDeleteTreeW(HKEY_CLASSES_ROOT, w("CLSID\\" + classText(number))) == ERROR_SUCCESS;
    }
    // A stand-in vendor library (variant) put into the folder; cleanup() removes it.
    bool plant(const QString &folder, const QString &variant = "standin")
    {
        planted = folder + '/' + kLibrary;
        return QFile::copy(program + '/' + variant + '/' + kLibrary, planted);
    }
    // The list as "[text] of <the stand-in device whose filter is the item's data>".
    static QString items(const Tarnholm &window)
    {
        QStringList out;
        for (int i = 0; i < window.ui.DeviceList->count(); ++i) {
            CLSID id{};
            reinterpret_cast<IBaseFilter *>(window.ui.DeviceList->itemData(i).toLongLong())->GetClassID(&id);
            out << QString("[%1] of %2").arg(window.ui.DeviceList->itemText(i)).arg(id.Data4[7]);
        }
        return out.join(", ");
    }

private slots:
    void initTestCase()
    {
        const HMODULE module = LoadLibraryW(w(server));
        QVERIFY2(module, "the stand-in capture source did not load");
        filters = reinterpret_cast<FilterStandInStateFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "FilterStandInRecorder")))();
    }
    void init()
    {
        sim.reset(new SimFixture);
        library.reset(new platform::WinCameraLibrary);
        platform::install({&capture, library.get(), &notifier, &volumes, &sim->clock, &files, &awake});
        heldBefore = filters->outstanding();
        tooManyBefore = filters->releasesTooMany;
    }
    void cleanup()
    {
        g_mainWindow = nullptr;
        for (int number : QVector<int>(registered))
            unplug(number);
        sim.reset();
        library.reset();
        QDir::setCurrent(startFolder);
        qputenv("PATH", startPath);
        if (!planted.isEmpty())
            QVERIFY2(QFile::remove(std::exchange(planted, QString())), "a stand-in stays behind");
        // Whatever a case did, the window gave back every reference it took, once.
        QCOMPARE(filters->outstanding(), heldBefore);
        QCOMPARE(filters->releasesTooMany, tooManyBefore);
    }

    // Records sent to the window's own handle. Every stand-in source with a path is bound (and held, once)
    // in category order; only the camera is listed, its own filter as item data. A capture interface's
    // record enumerates again, giving back the old monikers and filters once each (closing: cleanup()).
    // Volumes come without capture devices, as wine has none: C: is the wine prefix's (or Windows') own
    // disk, never USB; behind Q: lies no drive, and the bus check gives up.
    void deviceChange_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("camera");   // 1: in before an arrival, -1: out before a removal
        QTest::addColumn<QStringList>("seen");   // the trace while it is handled, then the window
        QTest::addColumn<QVector<int>>("bound");   // by the refresh
        const auto notUsb = [](const QString &drive) {
            return QStringList{"USB_Arrived and The USBDisk is: " + drive, "This is not a usb mass storage", "",
                               kGuid, "log []", "listed "};
        };
        QTest::newRow("camera arrives") << interfaceRecord() << 1 << QStringList{kCamera, kGuid,
            "USB Camera Device insert ", "log [USB Camera Device insert]", "listed [Ostrel Camera    ] of 3"}
            << QVector<int>{1, 3};
        QTest::newRow("camera removed") << interfaceRecord() << -1 << QStringList{"Device remove", kCamera, kGuid,
            "USB Camera Device Remove!", "log [USB Camera Device Remove!]", "listed "} << QVector<int>{1};
        QTest::newRow("volume C: arrives") << volumeRecord('C') << 0 << notUsb("C") << QVector<int>{};
        QTest::newRow("volume Q: arrives") << volumeRecord('Q') << 0 << notUsb("Q") + QStringList{
            "10 waits", "Error: CreateFile error. Error code(2), Path[\\\\.\\Q:] [information, OK, on TarnholmClass]"}
            << QVector<int>{};
    }
    void deviceChange()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, camera);
        QFETCH(QVector<int>, bound);
        if (QByteArray(QTest::currentDataTag()).contains("Q:") && QFileInfo::exists("Q:/"))
            QSKIP("this machine has a drive Q:");
        const auto plugInCameras = [&] { return plugIn(2, "Ostrel Camera", false) && plugIn(3, "Ostrel Camera"); };
        QVERIFY(plant(program));
        QVERIFY(camera == 0 || plugIn(1, "USB2.0 HD UVC WebCam"));
        QVERIFY(camera >= 0 || plugInCameras());
        DebugCapture trace;
        Tarnholm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(!trace.lines().contains("RegisterDeviceNotification Error"),
                 "RegisterDeviceNotificationW failed for the window");
        QCOMPARE(items(window), QString(camera < 0 ? "[Ostrel Camera    ] of 3" : ""));
        QVERIFY(camera == 0 || (camera > 0 ? plugInCameras() : unplug(2) && unplug(3)));
        const int before = trace.lines().size(), first = filters->created;
        BoxCloser boxes;
        sendDeviceChange(window, camera < 0 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL, record);
        QStringList seen = trace.lines().mid(before);
        seen << "log [" + window.ui.EditInfo->toPlainText() + "]" << "listed " + items(window);
        if (!sim->clock.sleeps().isEmpty())
            seen << QString("%1 waits").arg(sim->clock.sleeps().size());
        QTEST(seen + boxLines(boxes.boxes).split('\n', Qt::SkipEmptyParts), "seen");
        QCOMPARE(QVector<int>(filters->device + first, filters->device + filters->created), bound);
        QCOMPARE(filters->outstanding() - heldBefore, long(bound.size()));
    }

    // Where the vendor library lies decides whether the window reaches it. The library gets the very
    // filter the moniker bound for the listed camera, alive enough to answer GetClassID. From the
    // camera's switch the window holds the system awake until it closes.
    void vendorLibrary_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("info");   // the log pane after the window starts
        const QString failed = QStringLiteral("Initialize Device Error.");
        QTest::newRow("beside the program") << "program" << "standin" << "";
        QTest::newRow("only in the working folder") << "working" << "standin" << failed;
        QTest::newRow("only in a PATH folder") << "path" << "standin" << failed;
        QTest::newRow("one export missing") << "program" << "standin-partial" << failed;
    }
    void vendorLibrary()
    {
        QFETCH(QString, where);
        QFETCH(QString, variant);
        QFETCH(QString, info);
        const QString folder = where == "program" ? program : elsewhere.path();
        QVERIFY(plant(folder, variant));
        if (where == "working")
            QVERIFY(QDir::setCurrent(folder));
        if (where == "path")
            qputenv("PATH", QDir::toNativeSeparators(folder).toLocal8Bit() + ';' + startPath);
        QVERIFY(plugIn(1, "USB2.0 HD UVC WebCam") && plugIn(2, "Ostrel Camera"));
        // SetThreadExecutionState answers with the state before the call: each probe shows what the
        // window left behind. Wine's process starts with ES_SYSTEM_REQUIRED set, a Windows thread with none.
        const auto held = [](DWORD s) { return SetThreadExecutionState(s) & ES_SYSTEM_REQUIRED; };
        held(ES_CONTINUOUS);

        std::unique_ptr<Tarnholm> window(new Tarnholm);   // reads the listed camera's version at once
        QCOMPARE(window->ui.EditInfo->toPlainText(), info);
        QCOMPARE(window->ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"), info.isEmpty());
        // Held by the tool alone, and only while it uses it.
        const HMODULE loaded = GetModuleHandleW(w(kLibrary));
        QCOMPARE(loaded != nullptr, info.isEmpty());
        if (!loaded)
            return;
        const FARPROC recorder = GetProcAddress(loaded, "StandInRecorder");
        StandInState *state = reinterpret_cast<StandInStateFn>(reinterpret_cast<void (*)()>(recorder))();
        // The update request: same filter, the context of its own init.
        state->contextToGive = 0xBEEF;
        window->ui.EditFwFile->setText(firmware);
        const QString camera = QString::number(window->ui.DeviceList->itemData(0).toLongLong(), 16);
        const DWORD before = held(ES_CONTINUOUS);
        window->ui.BtnLoadFw->click();
        QCOMPARE(QString(state->calls).replace(camera, "camera"),
                 "init camera; version camera c0ffee 43; class 0573a1e0..02; init camera; update camera beef; ");
        QVERIFY(window->ui.EditInfo->toPlainText().startsWith("Wait UMS Install."));
        const DWORD during = held(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        window.reset();
        QCOMPARE(QVector<DWORD>({before, during, held(ES_CONTINUOUS)}), QVector<DWORD>({0, ES_SYSTEM_REQUIRED, 0}));
    }

    // The worker's copy through a drive letter, "T:\" + "\" + "fw.bin", on the host's file calls. T: is a
    // folder scripts/windows-test.sh maps and marks, so that no real drive T: is written to.
    void copyOntoDriveLetter()
    {
        if (!QFileInfo::exists("T:/tarnholm-test-drive"))
            QSKIP("no test drive T: mapped to a folder (scripts/windows-test.sh maps one)");
        const QString drive = QStringLiteral("T:\\");
        QTemporaryFile source;
        QVERIFY(source.open());
        for (int i = 0; i < 100000; ++i)   // 50 chunks
            source.putChar(char(i * 7 + i / 256));
        source.close();
        Worker worker;
        QStringList codes;
        JobThread thread([&]() { worker.WorkerLoadFw({source.fileName(), drive}); });
        connect(&worker, &Worker::WorkerTheardState, &worker, [&](int code) {
            codes << QString::number(code);
            thread.requestInterruption();   // no wait for a camera after the copy
        }, Qt::DirectConnection);
        thread.start();
        thread.wait();
        QCOMPARE(codes.first() + ".." + codes.last(), QString("1..50"));
        QFile copied(drive + "fw.bin");
        QVERIFY(copied.open(QIODevice::ReadOnly) && source.open() && copied.readAll() == source.readAll());
    }
};

QTEST_MAIN(WinBackend)
#include "tst_win_backend.moc"
