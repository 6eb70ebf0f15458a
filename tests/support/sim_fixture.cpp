#include "support/sim_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMutex>
#include <QPushButton>

BoxCloser::BoxCloser()
{
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this]() { poll(); });
    m_timer.start();
}

BoxCloser::~BoxCloser() { m_timer.stop(); }

void BoxCloser::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    SeenBox seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->standardButtons());
    seen.hasDefault = box->defaultButton() != nullptr;
    seen.parentName = box->parentWidget() ? box->parentWidget()->objectName() : QString();
    boxes.append(seen);
    if (onBox)
        onBox(seen);
    box->done(QMessageBox::Ok);
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
    clear();
    g_previousHandler = qInstallMessageHandler(captureHandler);
}

DebugCapture::~DebugCapture() { qInstallMessageHandler(g_previousHandler); }

QStringList DebugCapture::lines() const
{
    QMutexLocker lock(&g_debugMutex);
    QStringList out;
    for (const Line &l : g_debugLines)
        out << l.text;
    return out;
}

QVector<DebugCapture::Line> DebugCapture::detailed() const
{
    QMutexLocker lock(&g_debugMutex);
    return g_debugLines;
}

void DebugCapture::clear()
{
    QMutexLocker lock(&g_debugMutex);
    g_debugLines.clear();
}
