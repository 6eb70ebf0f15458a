// The vendor library as the Windows program loads and calls it, with a
// stand-in FicUvcExKorvane.dll put where each case needs it.
#include "app/tarnholm.h"
#include "platform/platform.h"
#include "platform/win/win_camera_library.h"
#include "support/sim_fixture.h"
#include "win/vendor_standin.h"

#include <QtTest>
#include <memory>
#include <windows.h>

namespace {
const QString kLibrary = QStringLiteral("FicUvcExKorvane.dll");
} // namespace

class VendorLibrary : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<platform::WinCameraLibrary> library;
    std::unique_ptr<QTemporaryDir> elsewhere;
    QString planted, startFolder;   // the copy of the stand-in to remove afterwards
    QByteArray startPath;
    HMODULE held = nullptr;         // the test's own reference, to read the recorder

private slots:
    void initTestCase()
    {
        startFolder = QDir::currentPath();
        startPath = qgetenv("PATH");
        QVERIFY2(!QFile::exists(QCoreApplication::applicationDirPath() + '/' + kLibrary),
                 "a vendor library lies beside the test program already");
    }
    void init()
    {
        sim.reset(new SimFixture);
        library.reset(new platform::WinCameraLibrary);
        platform::Platform p = platform::current();
        p.camera = library.get();
        platform::install(p);
        elsewhere.reset(new QTemporaryDir);
    }
    void cleanup()
    {
        library.reset();   // unloads the library, so its file can go
        if (held)
            FreeLibrary(std::exchange(held, nullptr));
        QDir::setCurrent(startFolder);
        qputenv("PATH", startPath);
        if (!planted.isEmpty())
            QVERIFY2(QFile::remove(std::exchange(planted, QString())), "a stand-in stays behind");
        elsewhere.reset();
        sim.reset();
    }

    // Where the library lies decides whether the window reaches it.
    void whereItLies_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("info");    // the log pane after the window starts
        QTest::addColumn<QString>("calls");   // what a stand-in beside the program saw then
        const QString failed = QStringLiteral("Initialize Device Error.");
        QTest::newRow("beside the program") << "program" << "standin" << ""
            << "init filter; version filter c0ffee 43; ";
        QTest::newRow("nowhere") << "" << "standin" << failed << "";
        QTest::newRow("only in the working folder") << "working" << "standin" << failed << "";
        QTest::newRow("only in a PATH folder") << "path" << "standin" << failed << "";
        QTest::newRow("beside the program, one export missing")
            << "program" << "standin-partial" << failed << "";
    }
    void whereItLies()
    {
        QFETCH(QString, where);
        QFETCH(QString, variant);
        QFETCH(QString, info);
        const QString folder = where == "program" ? QCoreApplication::applicationDirPath()
                                                  : elsewhere->path();
        if (!where.isEmpty()) {
            planted = folder + '/' + kLibrary;
            QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + '/' + variant + '/'
                                    + kLibrary, planted));
        }
        if (where == "working")
            QVERIFY(QDir::setCurrent(folder));
        if (where == "path")
            qputenv("PATH", QDir::toNativeSeparators(folder).toLocal8Bit() + ';' + startPath);
        StandInState *state = nullptr;
        if (where == "program") {
            // Held by full path beforehand, so the calls can be read even when the tool
            // lets the library go again.
            held = LoadLibraryW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(planted).utf16()));
            auto recorder = reinterpret_cast<StandInStateFn>(
                reinterpret_cast<void (*)()>(GetProcAddress(held, "StandInRecorder")));
            QVERIFY(recorder);
            state = recorder();
            state->contextToGive = 0xC0FFEE;
        }
        const int camera = sim->world.capture.attach({"Ostrel Camera", true, true, {}, {}});
        const QString filter = QString::number(quintptr(sim->world.capture.filterOf(camera)), 16);

        Tarnholm window;   // reads the listed camera's version at once
        QCOMPARE(window.ui.EditInfo->toPlainText(), info);
        QCOMPARE(window.ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"), info.isEmpty());
        if (!state) {   // loaded by the tool itself: a handle without the test's own one
            QVERIFY(!GetModuleHandleW(L"FicUvcExKorvane.dll"));
            return;
        }
        QTEST(QString(state->calls).replace(filter, "filter"), "calls");
        if (!info.isEmpty())
            return;

        // The update request: same filter, the context of its own init.
        QTemporaryFile firmware;
        QVERIFY(firmware.open() && firmware.write("TARNFW") == 6);
        firmware.close();
        state->contextToGive = 0xBEEF;
        state->updateFwUmsStatus = 31;
        window.ui.EditFwFile->setText(QDir::toNativeSeparators(firmware.fileName()));
        window.ui.BtnLoadFw->click();
        QCOMPARE(QString(state->calls).replace(filter, "filter"),
                 "init filter; version filter c0ffee 43; init filter; update filter beef; ");
        QCOMPARE(window.ui.EditInfo->toPlainText(),
                 QString("Switch USB Camera to USB Mass Storage Device Error."));
    }
};

QTEST_MAIN(VendorLibrary)
#include "tst_win_vendor_library.moc"
