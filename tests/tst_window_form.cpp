// The main window's form as the operator meets it: widgets, texts, size
// limits, focus order, and the meta-object interface of the two classes.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"

#include <QMetaMethod>
#include <QtTest>

class WindowForm : public QObject {
    Q_OBJECT
private slots:
    void init() { m_sim.reset(new SimFixture); m_window.reset(new Tarnholm); }
    void cleanup() { m_window.reset(); m_sim.reset(); }

    void objects_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("style");
        const QString f10 = QStringLiteral("font: 10pt \"微软雅黑\";");
        const QString f14 = QStringLiteral("font: 75 14pt \"微软雅黑\";");
        auto row = [](const char *name, const char *cls, const char *parent, const QString &style = {},
                      const char *text = "") { QTest::newRow(name) << cls << parent << text << style; };
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
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QString, text);
        QFETCH(QString, style);
        const QList<QObject *> found = m_window->findChildren<QObject *>(QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found[0]->metaObject()->className()), className);
        QCOMPARE(found[0]->parent()->objectName(), parentName);
        auto *edit = qobject_cast<QTextEdit *>(found[0]);
        QCOMPARE(edit ? edit->toPlainText() : found[0]->property("text").toString(), text);
        QCOMPARE(found[0]->property("styleSheet").toString(), style);
    }

    void window()
    {
        Tarnholm &w = *m_window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Ostrel Quorvia Camera Update Tool"));
        QCOMPARE(w.size(), QSize(618, 424));
        QCOMPARE(w.ui.DeviceList->maxVisibleItems(), 10);
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
                     qPrintable(QStringLiteral("at %1x%2: DeviceInfo %3 high, label %4 wide").arg(size.width())
                                    .arg(size.height()).arg(w.ui.DeviceInfo->height()).arg(w.ui.label->width())));
        }
    }

    void tabOrder()
    {
        const QStringList order = {"EditFwFile", "pBtnDeviceInfo", "BtnLoadFw", "BtnFwFile",
                                   "DeviceInfo", "EditInfo", "DeviceList"};
        QStringList seen;
        QWidget *w = m_window->ui.EditFwFile;
        for (int i = 0; i < 100 && seen.size() < order.size(); ++i, w = w->nextInFocusChain())
            if (order.contains(w->objectName()) && (w->focusPolicy() & Qt::TabFocus))
                seen << w->objectName();
        QCOMPARE(seen, order);
    }

    // The methods each class declares, in order: kind, access, signature and
    // first parameter name (queued connections and by-name wiring rely on them).
    void metaObject()
    {
        const char *kinds[] = {"method", "signal", "slot", "constructor"};
        const char *access[] = {"private", "protected", "public"};
        QStringList seen;
        for (const QMetaObject *meta : {&Worker::staticMetaObject, &Tarnholm::staticMetaObject})
            for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
                const QMetaMethod m = meta->method(i);
                seen << QStringLiteral("%1 %2 %3 %4 %5").arg(meta->className(), kinds[m.methodType()], access[m.access()],
                        m.methodSignature(), m.parameterNames().value(0)).trimmed();
            }
        QCOMPARE(seen, QStringList({"Worker signal public WorkerTheardState(int)",
                                    "Worker slot public WorkerLoadFw(fw_info) inof",
                                    "Tarnholm signal public StartLoadFwThread(fw_info) info",
                                    "Tarnholm slot private on_BtnLoadFw_clicked()",
                                    "Tarnholm slot private on_BtnFwFile_clicked()",
                                    "Tarnholm slot private on_pBtnDeviceInfo_clicked()",
                                    "Tarnholm slot private on_DeviceList_currentIndexChanged(int)",
                                    "Tarnholm slot public HandleWorkerTheardState(int) state"}));
    }

private:
    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<Tarnholm> m_window;
};

QTEST_MAIN(WindowForm)
#include "tst_window_form.moc"
