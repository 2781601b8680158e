#pragma once
// Helpers shared by the tests: a temporary world root, waiting on the event
// loop, screenshots into the build folder.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <utility>

class QLabel;
class QWidget;

class QWidget;

namespace TestSupport {

// A fresh folder that this test's process uses as the system root; restores
// the previous root when it goes away.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    QString path() const { return m_dir.path(); }
    // A path of the original platform under this root ("/Volumes/X" → <root>/Volumes/X).
    QString at(const QString &originalPath) const;
    TempRoot(const TempRoot &) = delete;
    TempRoot &operator=(const TempRoot &) = delete;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Spin the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000);

// Write a file (creating its folders) with the given bytes.
bool writeFile(const QString &path, const QByteArray &data);
QByteArray readFile(const QString &path);

// build/screenshots/<name>.png
QString saveScreenshot(QWidget *widget, const QString &name);
QString saveScreenshot(const QImage &picture, const QString &name);
// What the screen shows of `area` (screen coordinates): a plain background,
// then each window's own picture over it at its place, blended by its alpha,
// in the order given (bottom first; null entries are skipped).
QImage screenPicture(const QRect &area, const QColor &background, const QList<QWidget *> &windows);

// The built application bundle and its stand-in tools.
QString bundlePath();
QString toolsPath();

// A bundle in `folder` with the identifier `identifier` whose program is a
// copy of sleep(1), so that its processes are found by that identifier; the
// program's path.
QString sleeperBundle(const QString &folder, const QString &identifier);

// Removes environment variables of this process for as long as it lives,
// then puts back what was there.
class UnsetEnvironment {
public:
    explicit UnsetEnvironment(const QList<QByteArray> &names);
    ~UnsetEnvironment();
    UnsetEnvironment(const UnsetEnvironment &) = delete;
    UnsetEnvironment &operator=(const UnsetEnvironment &) = delete;

private:
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};

// What a tool tip shows: the tip's text read the way QToolTip reads it.
QString shownToolTip(const QWidget *w);
// What a label shows: its text, read as rich text when the label would.
QString shownText(const QLabel *label);

} // namespace TestSupport
