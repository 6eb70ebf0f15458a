// The built programs' resources read back as Windows reads them: the version strings
// Explorer's Properties show, the icon it draws, the manifest the loader applies.
#include <QtTest>
#include <QXmlStreamReader>
#include <windows.h>
#include <shellapi.h>

namespace {

const QString kProduct = QStringLiteral("Ostrel Quorvia Camera Update Tool");

const wchar_t *w(const QString &s) { return reinterpret_cast<const wchar_t *>(s.utf16()); }
QString programPath(const QString &program)
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/" PROGRAMS_DIR "/"
                                    + program);
}

// The program's resource of the type (RT_...) under id 1, empty for none. The program
// is loaded as an image of resources only: nothing of it runs.
QByteArray resource(const QString &program, LPCSTR type)
{
    const HMODULE module = LoadLibraryExW(w(programPath(program)), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(1), type) : nullptr;
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const QByteArray bytes = loaded ? QByteArray(static_cast<const char *>(LockResource(loaded)),
                                                 int(SizeofResource(module, found)))
                                    : QByteArray();
    if (module)
        FreeLibrary(module);
    return bytes;
}

// Per image: width, height, colours, reserved, planes, bits, bytes (12 bytes); an icon
// file's directory and an icon group resource agree on these and differ after them.
QList<QByteArray> iconImages(const QByteArray &directory, int entrySize)
{
    QList<QByteArray> images;
    const int count = directory.size() >= 6 ? quint8(directory[4]) | quint8(directory[5]) << 8 : 0;
    for (int i = 0; i < count && 6 + (i + 1) * entrySize <= directory.size(); ++i)
        images << directory.mid(6 + i * entrySize, 12);
    return images;
}

} // namespace

class WinResources : public QObject {
    Q_OBJECT

    void programs()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("tarnholm.exe") << "tarnholm.exe";
        QTest::newRow("tarnholm-demo.exe") << "tarnholm-demo.exe";
    }

private slots:
    void versionStrings_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("strings");   // key=value, in this order
        const QString v = QStringLiteral(PROJECT_VERSION_TEXT);
        for (const QString program : {"tarnholm", "tarnholm-demo"}) {
            const QString description = program == "tarnholm"
                ? kProduct : kProduct + " (demo on simulated cameras)";
            QTest::newRow(qPrintable(program)) << program + ".exe" << QStringList{
                "ProductName=" + kProduct, "FileDescription=" + description,
                "FileVersion=" + v, "ProductVersion=" + v,
                "OriginalFilename=" + program + ".exe", "InternalName=" + program,
                "CompanyName=" + QStringLiteral(COMPANY_NAME)};
        }
    }
    void versionStrings()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, strings);
        const QString path = programPath(program);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(w(path), &ignored);
        QVERIFY2(size > 0, "no version information");
        QByteArray info(int(size), '\0');
        QVERIFY(GetFileVersionInfoW(w(path), 0, size, info.data()));

        // Explorer looks the strings up under the block's first language and code page.
        void *value = nullptr;
        UINT length = 0;
        QVERIFY(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
        QVERIFY(length >= 4);
        const auto *lang = static_cast<const WORD *>(value);
        const QString block = QString("\\StringFileInfo\\%1%2\\")
                                  .arg(lang[0], 4, 16, QChar('0')).arg(lang[1], 4, 16, QChar('0'));
        QStringList seen;
        for (const QString &pair : strings) {
            const QString key = pair.section('=', 0, 0);
            const bool found = VerQueryValueW(info.data(), w(block + key), &value, &length) && length > 0;
            seen << key + (found ? "=" + QString::fromWCharArray(static_cast<wchar_t *>(value))
                                 : QString(" missing"));
        }
        QCOMPARE(seen, strings);

        // The numbers Windows compares when one version replaces another.
        QVERIFY(VerQueryValueW(info.data(), L"\\", &value, &length));
        const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
        QCOMPARE(QVersionNumber({int(HIWORD(fixed->dwFileVersionMS)), int(LOWORD(fixed->dwFileVersionMS)),
                                 int(HIWORD(fixed->dwFileVersionLS))}),
                 QVersionNumber::fromString(PROJECT_VERSION_TEXT));
        QCOMPARE(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        QCOMPARE(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    }

    // One icon, the program's own: the first group holds exactly app.ico's images.
    void icon_data() { programs(); }
    void icon()
    {
        QFETCH(QString, program);
        const QString path = programPath(program);
        QCOMPARE(ExtractIconExW(w(path), -1, nullptr, nullptr, 0), 1u);
        HICON large = nullptr;
        QCOMPARE(ExtractIconExW(w(path), 0, &large, nullptr, 1), 1u);
        QVERIFY(large);
        DestroyIcon(large);

        QFile ico(QCoreApplication::applicationDirPath() + "/" APP_ICO);
        QVERIFY(ico.open(QIODevice::ReadOnly));
        const QList<QByteArray> expected = iconImages(ico.readAll(), 16);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(iconImages(resource(program, RT_GROUP_ICON), 14), expected);
    }

    // The manifest the loader reads at process creation: no elevation prompt, and the
    // Windows versions the program declares itself written for.
    void manifest_data() { programs(); }
    void manifest()
    {
        QFETCH(QString, program);
        const QByteArray xml = resource(program, RT_MANIFEST);
        QVERIFY2(!xml.isEmpty(), "no manifest under resource id 1");
        QStringList seen;
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = reader.attributes();
            const QString name = reader.name().toString();
            if (name == "requestedExecutionLevel")
                seen << "level " + a.value("level").toString() + " uiAccess "
                            + a.value("uiAccess").toString();
            else if (name == "supportedOS")
                seen << "os " + a.value("Id").toString().toLower();
            else if (name == "activeCodePage" || name == "longPathAware" || name == "dpiAware"
                     || name == "dpiAwareness")
                seen << name + " " + reader.readElementText();
        }
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        QCOMPARE(seen, QStringList({"level asInvoker uiAccess false",
                                    "os {35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // 7
                                    "os {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // 8
                                    "os {1f676c76-80e1-4239-95bb-83d0f6d0da78}",    // 8.1
                                    "os {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})); // 10, 11
    }
};

QTEST_GUILESS_MAIN(WinResources)
#include "tst_win_resources.moc"
