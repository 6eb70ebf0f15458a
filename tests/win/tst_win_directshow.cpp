// DirectShow's video-input category with cameras in it: stand-in capture sources (a COM
// server of the tests) registered as Windows registers a camera's source filter, found
// by the system device enumerator, bound through their monikers and handed to the
// vendor library. The registry keys are written to HKEY_CLASSES_ROOT, which under wine
// (a private prefix) needs no rights; on Windows the test needs an administrator. (Wine's
// enumerator does not see a per-user registration under HKCU\Software\Classes.)
#include "app/tarnholm.h"
#include "platform/platform.h"
#include "platform/win/win_camera_library.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_notifier.h"
#include "support/sim_fixture.h"
#include "win/filter_standin.h"
#include "win/vendor_standin.h"

#include <QtTest>
#include <windows.h>
#include <dbt.h>

namespace {

const wchar_t kVideoInput[] = L"CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\";
const QString kLibrary = QStringLiteral("FicUvcExKorvane.dll");

struct Device {
    int number;   // the last byte of its class
    QString name;
    bool hasPath;
};
using Devices = QVector<Device>;

QString classText(int number)
{
    wchar_t text[40];
    StringFromGUID2(standInClass(static_cast<unsigned char>(number)), text, 40);
    return QString::fromWCharArray(text);
}
const wchar_t *w(const QString &s) { return reinterpret_cast<const wchar_t *>(s.utf16()); }
bool setString(const QString &key, const QString &name, const QString &value)
{
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, w(key), name.isEmpty() ? nullptr : w(name), REG_SZ,
                           value.utf16(), DWORD(2 * (value.size() + 1))) == ERROR_SUCCESS;
}

// A camera's arrival as Windows reports it to a window registered for capture devices.
QByteArray captureInterfaceRecord()
{
    const QString name = QStringLiteral(
        "\\\\?\\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\GLOBAL");
    const int offset = int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
    QByteArray bytes(offset, '\0');
    bytes.append(reinterpret_cast<const char *>(name.utf16()), 2 * (name.size() + 1));
    auto *r = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    r->dbcc_size = DWORD(bytes.size());
    r->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    return bytes;
}

// The system's capture devices, counting the monikers and filters handed out and given back.
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
Q_DECLARE_METATYPE(Device)

class WinDirectShow : public QObject {
    Q_OBJECT

    const QString program = QCoreApplication::applicationDirPath();
    const QString server = QDir::toNativeSeparators(program + "/filter/OstrelFilterStandIn.dll");
    FilterStandInState *filters = nullptr;
    std::unique_ptr<SimFixture> sim;
    CountingCapture capture;
    platform::WinNotifier notifier;
    QVector<int> registered;
    QString planted;
    long heldBefore = 0;   // by an earlier case that failed
    int tooManyBefore = 0;

    bool plugIn(const Device &d)
    {
        const QString cls = classText(d.number);
        const QString instance = QString::fromWCharArray(kVideoInput) + cls;
        registered << d.number;
        return setString("CLSID\\" + cls + "\\InprocServer32", {}, server)
            && setString("CLSID\\" + cls + "\\InprocServer32", "ThreadingModel", "Both")
            && setString(instance, "CLSID", cls) && setString(instance, "FriendlyName", d.name)
            && (!d.hasPath || setString(instance, "DevicePath",
                                        QString("\\\\?\\usb#vid_1234&pid_%1#1").arg(d.number)));
    }
    void unplug(int number)
    {
        const QString cls = classText(number);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, w(QString::fromWCharArray(kVideoInput) + cls));
        RegDeleteTreeW(HKEY_CLASSES_ROOT, w("CLSID\\" + cls));
        registered.removeAll(number);
    }
    // The device whose stand-in object sits at this address, -1 for none.
    int deviceAt(qlonglong address) const
    {
        for (int i = 0; i < filters->created; ++i)
            if (qlonglong(quintptr(filters->object[i])) == address)
                return filters->device[i];
        return -1;
    }
    QString items(const Tarnholm &window) const
    {
        QStringList out;
        for (int i = 0; i < window.ui.DeviceList->count(); ++i)
            out << QString("[%1] of %2").arg(window.ui.DeviceList->itemText(i))
                       .arg(deviceAt(window.ui.DeviceList->itemData(i).toLongLong()));
        return out.join(", ");
    }
    QVector<int> boundSince(int first) const
    {
        QVector<int> devices;
        for (int i = first; i < filters->created; ++i)
            devices << filters->device[i];
        return devices;
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
        platform::Platform p = platform::current();
        p.capture = &capture;
        p.notifier = &notifier;
        platform::install(p);
        capture.handedOut = capture.released = 0;
        heldBefore = filters->outstanding();
        tooManyBefore = filters->releasesTooMany;
    }
    void cleanup()
    {
        for (int number : QVector<int>(registered))
            unplug(number);
        sim.reset();
        if (!planted.isEmpty())
            QVERIFY2(QFile::remove(std::exchange(planted, QString())), "a stand-in stays behind");
        // Whatever a case did, the window gave back every reference it took, once.
        QCOMPARE(filters->outstanding(), heldBefore);
        QCOMPARE(filters->releasesTooMany, tooManyBefore);
        QCOMPARE(capture.released, capture.handedOut);
    }

    // Every device with a path is bound (and held) in category order; only those whose
    // name contains "Ostrel Camera" are listed, each with its own filter as item data.
    void listing_data()
    {
        QTest::addColumn<Devices>("devices");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QVector<int>>("bound");
        QTest::newRow("webcam, then camera")
            << Devices{{1, "USB2.0 HD UVC WebCam", true}, {2, "Ostrel Camera", true}}
            << "[Ostrel Camera    ] of 2" << QVector<int>{1, 2};
        QTest::newRow("camera without a device path")
            << Devices{{1, "Ostrel Camera", false}, {2, "Ostrel Camera", true}}
            << "[Ostrel Camera    ] of 2" << QVector<int>{2};
        QTest::newRow("name in other words and cases")
            << Devices{{1, "Front Ostrel Camera 2", true}, {2, "OSTREL CAMERA", true},
                       {3, "Ostrel camera", true}}
            << "[Front Ostrel Camera 2    ] of 1" << QVector<int>{1, 2, 3};
        QTest::newRow("only a webcam") << Devices{{1, "Integrated Webcam", true}} << ""
                                       << QVector<int>{1};
    }
    void listing()
    {
        QFETCH(Devices, devices);
        QFETCH(QString, listed);
        QFETCH(QVector<int>, bound);
        for (const Device &d : devices)
            QVERIFY(plugIn(d));
        const int first = filters->created;
        Tarnholm window;
        QCOMPARE(items(window), listed);
        QCOMPARE(boundSince(first), bound);
        // One reference each, the window's.
        QCOMPARE(filters->outstanding() - heldBefore, long(bound.size()));
        QCOMPARE(window.ui.DeviceList->currentIndex(), listed.isEmpty() ? -1 : 0);
    }

    // The vendor library gets the very filter the moniker bound: the object of the
    // listed camera's class, alive enough to answer GetClassID.
    void versionGetsBoundFilter()
    {
        platform::WinCameraLibrary library;   // unloads the library before cleanup() removes it
        platform::Platform p = platform::current();
        p.camera = &library;
        platform::install(p);
        planted = program + '/' + kLibrary;
        QVERIFY(QFile::copy(program + "/standin/" + kLibrary, planted));
        QVERIFY(plugIn({1, "USB2.0 HD UVC WebCam", true}) && plugIn({2, "Ostrel Camera", true}));

        Tarnholm window;
        const qlonglong listed = window.ui.DeviceList->itemData(0).toLongLong();
        QCOMPARE(deviceAt(listed), 2);
        const HMODULE loaded = GetModuleHandleW(w(kLibrary));
        QVERIFY(loaded);
        StandInState *vendor = reinterpret_cast<StandInStateFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(loaded, "StandInRecorder")))();
        vendor->askClass = true;
        QTest::mouseClick(window.ui.pBtnDeviceInfo, Qt::LeftButton);
        vendor->askClass = false;
        QCOMPARE(QString(vendor->calls).replace(QString::number(listed, 16), "camera"),
                 QString("init camera; version camera c0ffee 43; "
                         "init camera; version camera c0ffee 43; class 0573a1e0..02; "));
        QVERIFY(window.ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"));
    }

    // A capture-device record refreshes the list: the old monikers and filters are
    // released once each, the category is enumerated again. Closing releases the rest.
    void refreshOnDeviceChange()
    {
        QVERIFY(plugIn({1, "USB2.0 HD UVC WebCam", true}) && plugIn({2, "Ostrel Camera", true}));
        std::unique_ptr<Tarnholm> window(new Tarnholm);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QByteArray record = captureInterfaceRecord();
        const auto send = [&](WPARAM what) {
            QByteArray copy = record;
            SendMessageW(reinterpret_cast<HWND>(window->winId()), WM_DEVICECHANGE, what,
                         reinterpret_cast<LPARAM>(copy.data()));
        };
        const int first = filters->created;
        send(DBT_DEVICEARRIVAL);
        QCOMPARE(items(*window), QString("[Ostrel Camera    ] of 2"));
        QCOMPARE(boundSince(first), QVector<int>({1, 2}));
        QCOMPARE(QVector<long>({filters->references[first - 2], filters->references[first - 1],
                                filters->references[first], filters->references[first + 1]}),
                 QVector<long>({0, 0, 1, 1}));

        unplug(2);
        send(DBT_DEVICEREMOVECOMPLETE);
        QCOMPARE(items(*window), QString());
        QCOMPARE(boundSince(first + 2), QVector<int>({1}));
        QCOMPARE(filters->outstanding() - heldBefore, 1L);
        QCOMPARE(filters->releasesTooMany, tooManyBefore);
        window.reset();   // cleanup() checks that closing gave back the webcam's too
    }
};

QTEST_MAIN(WinDirectShow)
#include "tst_win_directshow.moc"
