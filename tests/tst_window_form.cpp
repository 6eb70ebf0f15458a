// The main window's form as the operator meets it: widgets, texts, size limits, focus order.
#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QtTest>

class WindowForm : public QObject {
    Q_OBJECT
private slots:
    void init() { m_sim.reset(new SimFixture); m_window.reset(new Tarnholm); }
    void cleanup() { m_window.reset(); m_sim.reset(); }

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
    // One line per object: class, parent, text (a text pane's plain text) and style sheet.
    void objects()
    {
        const QList<QObject *> found = m_window->findChildren<QObject *>(QTest::currentDataTag());
        QCOMPARE(found.size(), 1);
        const QObject *o = found[0];
        auto *edit = qobject_cast<const QTextEdit *>(o);
        const QString text = edit ? edit->toPlainText() : o->property("text").toString();
        const QString parent = o->parent()->objectName();
        QTEST(QString("%1 in %2 [%3] {%4}").arg(o->metaObject()->className(), parent, text,
                                                o->property("styleSheet").toString()), "seen");
    }

    void window()
    {
        Tarnholm &w = *m_window;
        QCOMPARE(QString("%1, %2x%3, %4 items shown").arg(w.windowTitle()).arg(w.width())
                     .arg(w.height()).arg(w.ui.DeviceList->maxVisibleItems()),
                 QString("Ostrel Quorvia Camera Update Tool, 618x424, 10 items shown"));
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
        for (const QSize size :
             {QSize(618, 424), QSize(1800, 1200), QSize(2400, 260), QSize(260, 1400)}) {
            w.resize(size);
            w.ui.centralWidget->layout()->activate();
            QCOMPARE(w.size(), size.expandedTo(w.minimumSizeHint()));
            QVERIFY2(w.ui.DeviceInfo->height() <= 73 && w.ui.label->width() <= 100,
                     qPrintable(QString("at %1x%2").arg(size.width()).arg(size.height())));
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

private:
    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<Tarnholm> m_window;
};

QTEST_MAIN(WindowForm)
#include "tst_window_form.moc"
