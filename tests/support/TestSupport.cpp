#include "TestSupport.h"

#include "Bundle.h"
#include "PropertyList.h"
#include "SystemRoot.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QStandardPaths>
#include <QTextDocument>
#include <QThread>
#include <QWidget>

namespace TestSupport {

TempRoot::TempRoot() : m_previous(Platform::systemRoot()) { Platform::setSystemRoot(m_dir.path()); }

TempRoot::~TempRoot() { Platform::setSystemRoot(m_previous); }

QString TempRoot::at(const QString &originalPath) const { return m_dir.path() + originalPath; }

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString saveScreenshot(QWidget *widget, const QString &name) { return saveScreenshot(widget->grab().toImage(), name); }

QString saveScreenshot(const QImage &picture, const QString &name)
{
    const QString dir = QStringLiteral(TARNWICK_BUILD_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    picture.save(path);
    return path;
}

QImage screenPicture(const QRect &area, const QColor &background, const QList<QWidget *> &windows)
{
    QImage out(area.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(background);
    QPainter p(&out);
    for (QWidget *w : windows) {
        if (w && w->isVisible())
            p.drawPixmap(w->geometry().topLeft() - area.topLeft(), w->grab());
    }
    return out;
}

QString bundlePath() { return QStringLiteral(TARNWICK_BUNDLE_DIR); }
QString toolsPath() { return QStringLiteral(TARNWICK_TOOLS_DIR); }

QString sleeperBundle(const QString &folder, const QString &identifier)
{
    const QString bundle = folder + "/Sleeper.app";
    QDir().mkpath(bundle + "/Contents/MacOS");
    Platform::PropertyList::writeFile(bundle + "/Contents/Info.plist",
                                      QVariantMap{{"CFBundleIdentifier", identifier}, {"CFBundleExecutable", "sleep"}});
    QFile::copy(QStandardPaths::findExecutable("sleep"), bundle + "/Contents/MacOS/sleep");
    QFile::setPermissions(bundle + "/Contents/MacOS/sleep", QFile::ReadOwner | QFile::ExeOwner);
    return bundle + "/Contents/MacOS/sleep";
}

UnsetEnvironment::UnsetEnvironment(const QList<QByteArray> &names)
{
    for (const QByteArray &name : names) {
        m_saved.append({name, qEnvironmentVariableIsSet(name.constData())
                                  ? std::optional<QByteArray>(qgetenv(name.constData()))
                                  : std::nullopt});
        qunsetenv(name.constData());
    }
}

UnsetEnvironment::~UnsetEnvironment()
{
    for (const auto &[name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QString shownToolTip(const QWidget *w)
{
    const QString tip = w->toolTip();
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument doc;
    doc.setHtml(tip);
    return doc.toPlainText();
}

QString shownText(const QLabel *label)
{
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    if (!rich)
        return label->text();
    QTextDocument doc;
    doc.setHtml(label->text());
    return doc.toPlainText();
}

} // namespace TestSupport
