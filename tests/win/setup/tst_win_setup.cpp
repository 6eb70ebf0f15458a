// The setup program run silently as an administrator: files, Start-menu shortcut and Add/Remove Programs
// entry it leaves, the silent uninstall, upgrades. scripts/windows-package.sh runs it once it has made
// the setup programs, and itself starts the program from the shortcut of a default install.
#include <QtTest>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

const QString kProduct = QStringLiteral("Ostrel Quorvia Camera Update Tool");
const QString kUninstall = QStringLiteral(
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
const QString kVendorDll = QStringLiteral("FicUvcExKorvane.dll");
const QStringList kInstalled{"README.txt", "Uninstall.exe", "app.ico", "tarnholm.exe"};   // sorted

// A value of the tool's entry, "(none)" without one.
QString entryValue(const QString &name)
{
    return QSettings(kUninstall + "\\Tarnholm", QSettings::NativeFormat).value(name, "(none)").toString();
}
// Add/Remove Programs entries of the tool, by their display name.
int entries()
{
    QSettings uninstall(kUninstall, QSettings::NativeFormat);
    int found = 0;
    for (const QString &key : uninstall.childGroups())
        found += uninstall.value(key + "/DisplayName").toString() == kProduct;
    return found;
}
QStringList files(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

// Silently, the arguments exactly as given: the setup's /D= comes last and unquoted, spaces and all.
int run(const QString &program, const QString &folder = QString())
{
    QProcess p;
    p.setProgram(QDir::toNativeSeparators(program));
    p.setNativeArguments("/S" + (folder.isEmpty() ? "" : " /D=" + folder));
    p.start();
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A shortcut's target and working folder, as the shell reads them, joined by "|".
QString readShortcut(const QString &path)
{
    IShellLinkW *link = nullptr;
    IPersistFile *file = nullptr;
    wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void **>(&link)))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))
        && SUCCEEDED(file->Load(reinterpret_cast<const wchar_t *>(path.utf16()), STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetWorkingDirectory(folder, MAX_PATH);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    return QString::fromWCharArray(target) + "|" + QString::fromWCharArray(folder);
}

} // namespace

class WinSetup : public QObject {
    Q_OBJECT

    const QString setup = QCoreApplication::applicationDirPath() + "/" SETUP_FILE;
    QString olderSetup, olderVersion;
    QString defaultDir, shortcut;
    QStringList dirs;   // removed after each case, whatever it left

private slots:
    void initTestCase()
    {
        QVERIFY(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        QVERIFY2(QFileInfo::exists(setup), qPrintable(setup + " missing: scripts/windows-package.sh makes it"));
        const QFileInfoList older = QDir(QCoreApplication::applicationDirPath() + "/" OLDER_DIR)
                                        .entryInfoList({"tarnholm-*-win64-setup.exe"});
        QVERIFY2(older.size() == 1, "no older setup to upgrade from");
        olderSetup = older.first().filePath();
        olderVersion = older.first().fileName().section('-', 1, 1);
        defaultDir = qEnvironmentVariable("ProgramFiles") + "\\Tarnholm";
        shortcut = qEnvironmentVariable("ProgramData") + "\\Microsoft\\Windows\\Start Menu\\Programs\\" + kProduct
                   + ".lnk";
        QCOMPARE(entries(), 0);
    }
    void cleanup()
    {
        QSettings(kUninstall, QSettings::NativeFormat).remove("Tarnholm");
        QFile::remove(shortcut);
        for (const QString &dir : std::exchange(dirs, {}))
            QDir(dir).removeRecursively();
    }

    // Silent installs, each followed from its files to its uninstall. An older version is replaced,
    // not joined: one entry, the new version, one set of files. The vendor's DLL the operator put
    // beside the old program is never touched, by the uninstall neither.
    void installAndUninstall_data()
    {
        QTest::addColumn<bool>("upgrade");          // over an older version with the DLL beside it
        QTest::addColumn<QString>("oldFolder");     // given with /D= to the older version
        QTest::addColumn<QString>("folder");        // given with /D=, or the default
        QTest::addColumn<QString>("installedIn");
        const QString chosen = QStringLiteral("C:\\Camera Tools\\Tarnholm");
        QTest::newRow("default folder") << false << "" << "" << "";
        QTest::newRow("chosen folder with a space") << false << "" << chosen << chosen;
        // Without /D= the new version goes where the old one is.
        QTest::newRow("upgrade follows the old folder") << true << "C:\\Tarnholm Old" << "" << "C:\\Tarnholm Old";
        QTest::newRow("upgrade into a folder of its own") << true << "" << "C:\\Tarnholm New" << "C:\\Tarnholm New";
    }
    void installAndUninstall()
    {
        QFETCH(bool, upgrade);
        QFETCH(QString, oldFolder);
        QFETCH(QString, folder);
        QFETCH(QString, installedIn);
        const QString dir = installedIn.isEmpty() ? defaultDir : installedIn;
        const QString oldDir = oldFolder.isEmpty() ? defaultDir : oldFolder;
        dirs << dir << oldDir;
        QFile dll(oldDir + "\\" + kVendorDll);   // the operator's copy
        if (upgrade) {
            QCOMPARE(run(olderSetup, oldFolder), 0);
            QCOMPARE(entryValue("DisplayVersion"), olderVersion);
            QVERIFY(dll.open(QIODevice::WriteOnly));
            dll.close();
        }
        QCOMPARE(run(setup, folder), 0);

        // The program, its icon and the note; never the vendor's DLL.
        const bool besideDll = upgrade && oldDir == dir;
        const QStringList kept = besideDll ? QStringList{kVendorDll} : QStringList();
        QCOMPARE(files(dir), kept + kInstalled);   // kVendorDll sorts first
        if (upgrade && !besideDll)
            QCOMPARE(files(oldDir), QStringList{kVendorDll});
        QCOMPARE(entries(), 1);
        QStringList seen;
        for (const char *name : {"DisplayName", "DisplayVersion", "DisplayIcon", "InstallLocation", "UninstallString"})
            seen << QString(name) + "=" + entryValue(name);
        QCOMPARE(seen, QStringList({"DisplayName=" + kProduct, "DisplayVersion=" PROJECT_VERSION_TEXT,
                                    "DisplayIcon=" + dir + "\\tarnholm.exe,0", "InstallLocation=" + dir,
                                    "UninstallString=\"" + dir + "\\Uninstall.exe\""}));
        QCOMPARE(readShortcut(shortcut).toLower(), (dir + "\\tarnholm.exe|" + dir).toLower());

        // The silent uninstall as Windows starts it (the registered command, checked above, and /S);
        // the copy it hands over to has finished once the entry is gone.
        QCOMPARE(run(dir + "\\Uninstall.exe"), 0);
        for (int i = 0; i < 120 && entries() != 0; ++i)
            QTest::qWait(250);
        QCOMPARE(entries(), 0);
        for (int i = 0; i < 40 && QFileInfo::exists(dir) != besideDll; ++i)
            QTest::qWait(250);
        QVERIFY2(QFileInfo::exists(dir) == besideDll && files(dir) == kept, qPrintable(files(dir).join(", ")));
        QVERIFY(!QFileInfo::exists(shortcut));
        QCOMPARE(dll.exists(), upgrade);
    }
};

QTEST_GUILESS_MAIN(WinSetup)
#include "tst_win_setup.moc"
