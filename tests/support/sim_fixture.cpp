#include "support/sim_fixture.h"

#include <QApplication>
#include <QMutex>

BoxCloser::BoxCloser()
{
    QObject::connect(&m_timer, &QTimer::timeout, [this]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        const QWidget *parent = box->parentWidget();
        const SeenBox seen{box->windowTitle(), box->text(), box->icon(),
                           static_cast<int>(box->standardButtons()),
                           box->defaultButton() != nullptr,
                           parent ? parent->objectName() : QString()};
        boxes.append(seen);
        if (onBox)
            onBox(seen);
        box->done(QMessageBox::Ok);
    });
    m_timer.start(1);
}

namespace {
QMutex g_debugMutex;
QVector<DebugCapture::Line> g_debugLines;
QtMessageHandler g_previousHandler = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg) {
        QMutexLocker lock(&g_debugMutex);
        g_debugLines.append({text, QString::fromLatin1(context.file),
                             context.line, QString::fromLatin1(context.function)});
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}
} // namespace

DebugCapture::DebugCapture()
{
    QMutexLocker lock(&g_debugMutex);
    g_debugLines.clear();
    g_previousHandler = qInstallMessageHandler(captureHandler);
}

DebugCapture::~DebugCapture() { qInstallMessageHandler(g_previousHandler); }

QVector<DebugCapture::Line> DebugCapture::detailed() const
{
    QMutexLocker lock(&g_debugMutex);
    return g_debugLines;
}

QStringList DebugCapture::lines() const
{
    QStringList out;
    for (const Line &l : detailed())
        out << l.text;
    return out;
}
