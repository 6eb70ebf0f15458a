// The main window's form as the operator meets it: widgets, texts, layout,
// size limits, focus order, and the meta-object interface of the two classes.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QMetaMethod>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

namespace {

const QString kFont10 = QStringLiteral("font: 10pt \"微软雅黑\";");
const QString kFont14 = QStringLiteral("font: 75 14pt \"微软雅黑\";");

QString visibleText(QObject *object)
{
    if (auto *edit = qobject_cast<QTextEdit *>(object))
        return edit->toPlainText();
    if (auto *combo = qobject_cast<QComboBox *>(object))
        return combo->count() ? QStringLiteral("<%1 items>").arg(combo->count()) : QString();
    return object->property("text").toString();
}

} // namespace

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
        auto row = [](const char *name, const char *cls, const char *parent, const char *text = "") {
            QTest::newRow(name) << cls << parent << text;
        };
        row("centralWidget", "QWidget", "TarnholmClass");
        row("gridLayout_3", "QGridLayout", "centralWidget");
        row("horizontalLayout", "QHBoxLayout", "gridLayout_3");
        row("BtnFwFile", "QPushButton", "centralWidget", "Firmware");
        row("EditFwFile", "QLineEdit", "centralWidget");
        row("gridLayout_2", "QGridLayout", "gridLayout_3");
        row("DeviceInfo", "QTextEdit", "centralWidget");
        row("pBtnDeviceInfo", "QPushButton", "centralWidget", "Version");
        row("gridLayout", "QGridLayout", "gridLayout_3");
        row("horizontalLayout_3", "QHBoxLayout", "gridLayout");
        row("BtnLoadFw", "QPushButton", "centralWidget", "Update");
        row("progressBar", "QProgressBar", "centralWidget", "0%");
        row("EditInfo", "QTextEdit", "centralWidget");
        row("label", "QLabel", "centralWidget", "Device List");
        row("DeviceList", "QComboBox", "centralWidget");
        row("menuBar", "QMenuBar", "TarnholmClass");
    }
    void objects()
    {
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QString, text);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const QList<QObject *> found = m_window->findChildren<QObject *>(name);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found[0]->metaObject()->className()), className);
        QVERIFY(found[0]->parent());
        QCOMPARE(found[0]->parent()->objectName(), parentName);
        QCOMPARE(visibleText(found[0]), text);
    }

    void window()
    {
        Tarnholm &w = *m_window;
        QCOMPARE(w.objectName(), QStringLiteral("TarnholmClass"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Ostrel Quorvia Camera Update Tool"));
        QCOMPARE(w.size(), QSize(618, 424));
        QCOMPARE(w.centralWidget(), w.ui.centralWidget);
        QCOMPARE(w.menuBar(), w.ui.menuBar);
        QVERIFY(w.ui.menuBar->actions().isEmpty());
        QVERIFY(!w.findChild<QStatusBar *>());
        QVERIFY(!w.findChild<QToolBar *>());
        QCOMPARE(w.minimumSize(), QSize(0, 0));
        QCOMPARE(w.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }

    void placement_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QRect>("cell");   // column, row, column span, row span
        auto row = [](const char *layout, const char *item, int r, int c, int rs, int cs) {
            QTest::newRow(item) << layout << item << QRect(c, r, cs, rs);
        };
        row("gridLayout_3", "label", 1, 0, 1, 1);
        row("gridLayout_3", "DeviceList", 1, 1, 1, 2);
        row("gridLayout_3", "horizontalLayout", 3, 0, 1, 3);
        row("gridLayout_3", "gridLayout_2", 4, 0, 1, 3);
        row("gridLayout_3", "gridLayout", 5, 0, 1, 3);
        row("gridLayout_2", "pBtnDeviceInfo", 0, 0, 1, 1);
        row("gridLayout_2", "DeviceInfo", 0, 1, 2, 1);
        row("gridLayout", "horizontalLayout_3", 0, 0, 1, 1);
        row("gridLayout", "EditInfo", 1, 0, 1, 1);
    }
    void placement()
    {
        QFETCH(QString, layout);
        QFETCH(QString, item);
        QFETCH(QRect, cell);
        auto *grid = m_window->findChild<QGridLayout *>(layout);
        QVERIFY(grid);
        QCOMPARE(grid->spacing(), 6);
        int index = -1;
        for (int i = 0; i < grid->count(); ++i) {
            QLayoutItem *it = grid->itemAt(i);
            QObject *o = it->widget() ? static_cast<QObject *>(it->widget()) : it->layout();
            if (o && o->objectName() == item)
                index = i;
        }
        QVERIFY(index >= 0);
        int r, c, rs, cs;
        grid->getItemPosition(index, &r, &c, &rs, &cs);
        QCOMPARE(QRect(c, r, cs, rs), cell);
    }

    void widgetSettings()
    {
        const Ui::TarnholmClass &ui = m_window->ui;
        QCOMPARE(ui.gridLayout_3->contentsMargins(), QMargins(11, 11, 11, 11));
        for (QLayout *box : {static_cast<QLayout *>(ui.horizontalLayout), static_cast<QLayout *>(ui.horizontalLayout_3)})
            QCOMPARE(box->spacing(), 6);
        QCOMPARE(ui.horizontalLayout->itemAt(0)->widget(), ui.BtnFwFile);
        QCOMPARE(ui.horizontalLayout->itemAt(1)->widget(), ui.EditFwFile);
        QCOMPARE(ui.horizontalLayout_3->itemAt(0)->widget(), ui.BtnLoadFw);
        QCOMPARE(ui.horizontalLayout_3->itemAt(1)->widget(), ui.progressBar);

        for (QWidget *w : {static_cast<QWidget *>(ui.BtnFwFile), static_cast<QWidget *>(ui.EditFwFile),
                           static_cast<QWidget *>(ui.DeviceInfo), static_cast<QWidget *>(ui.pBtnDeviceInfo),
                           static_cast<QWidget *>(ui.label), static_cast<QWidget *>(ui.DeviceList)})
            QCOMPARE(w->styleSheet(), kFont10);
        QCOMPARE(ui.BtnLoadFw->styleSheet(), kFont14);
        QCOMPARE(ui.progressBar->styleSheet(), kFont14 + QStringLiteral("\ncolor: rgb(0, 0, 0);"));
        QVERIFY(ui.EditInfo->styleSheet().isEmpty());

        QCOMPARE(ui.DeviceInfo->frameShape(), QFrame::Box);
        QCOMPARE(ui.EditInfo->frameShape(), QFrame::Box);
        QCOMPARE(ui.EditInfo->frameShadow(), QFrame::Sunken);
        QVERIFY(!ui.EditInfo->autoFillBackground());
        QCOMPARE(ui.progressBar->value(), 0);
        QCOMPARE(ui.progressBar->minimum(), 0);
        QCOMPARE(ui.progressBar->maximum(), 100);
        QCOMPARE(ui.progressBar->alignment(), Qt::AlignCenter);
        QCOMPARE(ui.label->alignment(), Qt::AlignCenter);
        QCOMPARE(ui.label->minimumSize(), QSize(0, 31));
        QCOMPARE(ui.DeviceList->maxVisibleItems(), 10);
        QCOMPARE(ui.pBtnDeviceInfo->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(ui.pBtnDeviceInfo->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
        QCOMPARE(ui.label->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
        QCOMPARE(ui.label->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
        for (QPushButton *b : {ui.BtnFwFile, ui.pBtnDeviceInfo, ui.BtnLoadFw})
            QVERIFY(b->isEnabled());
    }

    void sizeLimitsHoldAfterResize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("start") << QSize(618, 424);
        QTest::newRow("large") << QSize(1800, 1200);
        QTest::newRow("wide and low") << QSize(2400, 260);
        QTest::newRow("narrow and tall") << QSize(260, 1400);
    }
    void sizeLimitsHoldAfterResize()
    {
        QFETCH(QSize, size);
        Tarnholm &w = *m_window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(size);
        w.layout()->activate();
        w.ui.centralWidget->layout()->activate();
        QCOMPARE(w.size(), size.expandedTo(w.minimumSizeHint()));
        QVERIFY2(w.ui.DeviceInfo->height() <= 73, qPrintable(QString::number(w.ui.DeviceInfo->height())));
        QVERIFY2(w.ui.label->width() <= 100, qPrintable(QString::number(w.ui.label->width())));
        QVERIFY(w.ui.DeviceInfo->height() > 0 && w.ui.label->height() >= 31);
    }

    void tabOrder()
    {
        const QStringList named = {"EditFwFile", "pBtnDeviceInfo", "BtnLoadFw", "BtnFwFile",
                                   "DeviceInfo", "EditInfo", "DeviceList"};
        QStringList seen;
        QWidget *start = m_window->ui.EditFwFile;
        QWidget *w = start;
        do {
            if (named.contains(w->objectName()) && (w->focusPolicy() & Qt::TabFocus))
                seen << w->objectName();
            w = w->nextInFocusChain();
        } while (w != start && seen.size() <= named.size());
        QCOMPARE(seen, named);
    }

    void editability()
    {
        Tarnholm &w = *m_window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClicks(w.ui.EditFwFile, QStringLiteral("C:/fw/cam.bin"));
        QCOMPARE(w.ui.EditFwFile->text(), QStringLiteral("C:/fw/cam.bin"));
        for (QTextEdit *pane : {w.ui.DeviceInfo, w.ui.EditInfo}) {
            QVERIFY(pane->isReadOnly());
            QTest::keyClicks(pane, QStringLiteral("typed"));
            QCOMPARE(pane->toPlainText(), QString());
            // The panes show the window behind them in every colour group.
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                QCOMPARE(pane->palette().brush(group, QPalette::Base).color(), QColor(0, 0, 0, 0));
        }
    }

    void metaObject_data()
    {
        QTest::addColumn<bool>("worker");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("access");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QByteArray>("parameterName");
        const bool w = true, t = false;
        const int sig = QMetaMethod::Signal, slot = QMetaMethod::Slot;
        const int pub = QMetaMethod::Public, priv = QMetaMethod::Private;
        QTest::newRow("Worker 0") << w << 0 << sig << pub << QByteArray("WorkerTheardState(int)") << QByteArray();
        QTest::newRow("Worker 1") << w << 1 << slot << pub << QByteArray("WorkerLoadFw(fw_info)") << QByteArray("inof");
        QTest::newRow("Tarnholm 0") << t << 0 << sig << pub << QByteArray("StartLoadFwThread(fw_info)") << QByteArray("info");
        QTest::newRow("Tarnholm 1") << t << 1 << slot << priv << QByteArray("on_BtnLoadFw_clicked()") << QByteArray();
        QTest::newRow("Tarnholm 2") << t << 2 << slot << priv << QByteArray("on_BtnFwFile_clicked()") << QByteArray();
        QTest::newRow("Tarnholm 3") << t << 3 << slot << priv << QByteArray("on_pBtnDeviceInfo_clicked()") << QByteArray();
        QTest::newRow("Tarnholm 4") << t << 4 << slot << priv << QByteArray("on_DeviceList_currentIndexChanged(int)") << QByteArray();
        QTest::newRow("Tarnholm 5") << t << 5 << slot << pub << QByteArray("HandleWorkerTheardState(int)") << QByteArray("state");
    }
    void metaObject()
    {
        QFETCH(bool, worker);
        const QMetaObject *meta = worker ? &Worker::staticMetaObject : &Tarnholm::staticMetaObject;
        QFETCH(int, index);
        QFETCH(int, type);
        QFETCH(int, access);
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, parameterName);
        QCOMPARE(meta->methodCount() - meta->methodOffset(), worker ? 2 : 6);
        const QMetaMethod m = meta->method(meta->methodOffset() + index);
        QCOMPARE(m.methodSignature(), signature);
        QCOMPARE(int(m.methodType()), type);
        QCOMPARE(int(m.access()), access);
        const QList<QByteArray> names = m.parameterNames();
        QCOMPARE(names.isEmpty() ? QByteArray() : names[0], parameterName);
    }

private:
    std::unique_ptr<SimFixture> m_sim;
    std::unique_ptr<Tarnholm> m_window;
};

QTEST_MAIN(WindowForm)
#include "tst_window_form.moc"
