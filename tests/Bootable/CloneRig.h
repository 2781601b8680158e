#pragma once
// What the clone engine's tests share: a delegate that writes down every
// report, and a rig around the engine: a disk world of the test's own, a
// tools folder whose `diskutil` and `asr` the test can script (by default they
// hand over to the stand-in tools), and the log file and runner files in
// temporary folders.
#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include "QoBootable.h"
#include "QoLog.h"
#include "ShellRunners.h"
#include "VolumeObjBuilders.h"

#include "Dispatch.h"
#include "SystemInfo.h"
#include "SystemRoot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace CloneTest {

// One delegate call as it arrived.
struct Event {
    enum class Kind { Notify, Label, Tag };
    Kind kind = Kind::Notify;
    int err = 0;
    int step = 0;
    int percent = 0;
    QString text;
    int tag = 0;
    int phase = 0;

    static Event notify(int err, int step, int percent) { return {Kind::Notify, err, step, percent, {}, 0, 0}; }
    static Event label(const QString &text) { return {Kind::Label, 0, 0, 0, text, 0, 0}; }
    static Event tagOf(int tag, int phase) { return {Kind::Tag, 0, 0, 0, {}, tag, phase}; }
    bool operator==(const Event &other) const = default;
};

inline void PrintTo(const Event &e, std::ostream *os)
{
    switch (e.kind) {
    case Event::Kind::Notify:
        *os << "notify(err " << e.err << ", step " << e.step << ", " << e.percent << "%)";
        break;
    case Event::Kind::Label:
        *os << "label(\"" << e.text.toStdString() << "\")";
        break;
    case Event::Kind::Tag:
        *os << "tag(" << e.tag << " of phase " << e.phase << ")";
        break;
    }
}

class RecordingDelegate : public QoBootableDelegate {
public:
    unsigned methods = MethodQoUINotify | MethodChangeProLabelValue | MethodChangeProTimeWithTag;
    QList<Event> events;
    bool calledOffMainThread = false;

    unsigned implementedMethods() const override { return methods; }
    void QoUINotify(const _tagBootableProgress *p) override
    {
        note();
        events.append(Event::notify(p->iErrCode, p->iStepCode, p->iPercent));
    }
    void changeProLabelValue(const QString &value) override
    {
        note();
        events.append(Event::label(value));
    }
    void changeProTimeWithTag(int tag, int withStep) override
    {
        note();
        events.append(Event::tagOf(tag, withStep));
    }

    QList<Event> of(Event::Kind kind) const
    {
        QList<Event> out;
        for (const Event &e : events)
            if (e.kind == kind)
                out.append(e);
        return out;
    }
    // The report that ended the run: a failure, or the end of the restore.
    std::optional<Event> end() const
    {
        for (const Event &e : events)
            if (e.kind == Event::Kind::Notify && (e.err < 0 || e.step == 8))
                return e;
        return std::nullopt;
    }
    bool sawStep(int step) const
    {
        for (const Event &e : of(Event::Kind::Notify))
            if (e.step == step)
                return true;
        return false;
    }

private:
    void note()
    {
        if (!Platform::Dispatch::isMainThread())
            calledOffMainThread = true;
    }
};

inline void makeExecutable(const QString &path)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

// `diskutil` that writes each call into diskutil.log and hands it to the
// stand-in, except that `eraseDisk` follows the file erase-mode:
//   real     the stand-in erases (the default)
//   none     nothing happens, as when the erase fails
//   hang     writes its process id into erase.pid and never ends
//   unmount  the stand-in erases, then the disk is unmounted again
//   hooked   runs before-erase, the stand-in's erase, then after-erase
inline QByteArray wrapperDiskutil(const QString &real)
{
    return QByteArrayLiteral("#!/bin/sh\n"
                             "dir=$(dirname \"$0\")\n"
                             "printf '%s\\n' \"$*\" >> \"$dir/diskutil.log\"\n"
                             "real='") +
           QFile::encodeName(real) +
           QByteArrayLiteral(
               "'\n"
               "if [ \"$1\" = eraseDisk ]; then\n"
               "  mode=$(cat \"$dir/erase-mode\" 2>/dev/null)\n"
               "  case \"$mode\" in\n"
               "    none) exit 0 ;;\n"
               "    hang) echo $$ > \"$dir/erase.pid.tmp\"; mv \"$dir/erase.pid.tmp\" \"$dir/erase.pid\";"
               " exec sleep 100000 ;;\n"
               "    unmount) \"$real\" \"$@\" || exit 1; eval disk=\\${$#}; exec \"$real\" unmountDisk \"$disk\" ;;\n"
               "    hooked) \"$dir/before-erase\"; \"$real\" \"$@\"; status=$?; \"$dir/after-erase\"; exit $status ;;\n"
               "  esac\n"
               "fi\n"
               "exec \"$real\" \"$@\"\n");
}

// The start of a scripted `asr`: it notes its arguments and process id;
// `say TEXT [SECONDS]` writes one chunk and pauses (0.05 s unless told).
inline QByteArray asrPrologue()
{
    return QByteArrayLiteral("#!/bin/sh\n"
                             "dir=$(dirname \"$0\")\n"
                             "printf '%s\\n' \"$@\" > \"$dir/asr.args\"\n"
                             "echo $$ > \"$dir/asr.pid\"\n"
                             "say() { printf '%s' \"$1\"; sleep \"${2:-0.05}\"; }\n");
}

// The lines of a restore that goes well, up to the prompt; then the answer is
// kept in asr.answer, exactly as written.
inline QByteArray asrUpToPrompt()
{
    return QByteArrayLiteral("say 'Validating target...'\n"
                             "say 'done\n'\n"
                             "say 'Validating source...'\n"
                             "say 'done\n'\n"
                             "say 'Erase contents of /dev/disk9s1 (/Volumes/NewCloneSystem)? [ny]: '\n"
                             "cat > \"$dir/asr.answer\"\n");
}

// One copying phase: "Restoring" or "Verifying", the tens, and the lone "100".
inline QByteArray asrPhase(const char *name)
{
    return QByteArrayLiteral("say '") + name +
           QByteArrayLiteral("  '\n"
                             "for t in 10 20 30 40 50 60 70 80 90; do say \"....$t\"; done\n"
                             "say '....' 0.2\n"
                             "say '100' 0.2\n");
}

inline QByteArray asrSuccess()
{
    return asrPrologue() + asrUpToPrompt() + asrPhase("Restoring") + asrPhase("\nVerifying") +
           QByteArrayLiteral("say '\nRestore completed successfully.\n'\nexit 0\n");
}

class CloneRig {
public:
    explicit CloneRig(const TestSupport::DiskWorldFixture::Options &options = {})
        : world(options), m_previousTools(Platform::toolsDirectory())
    {
        Platform::SystemInfo::resetOverrides();
        QoSetRunnerDirectory(m_runnerDir.path());
        QoUninitLog();
        QoSetLogPath(m_logDir.filePath(QStringLiteral("Talberow.txt")));
        TestSupport::writeFile(toolPath(QStringLiteral("diskutil")),
                               wrapperDiskutil(TestSupport::toolsPath() + QStringLiteral("/diskutil")));
        makeExecutable(toolPath(QStringLiteral("diskutil")));
        useStandInAsr();
        Platform::setToolsDirectory(m_tools.path());
        QoBootable::QoShareInstance()->QoInit();
        QoBootable::QoShareInstance()->QoSetDelegate(&delegate);
    }

    ~CloneRig()
    {
        // Whatever the test left running ends before its world goes.
        QoBootable *engine = QoBootable::QoShareInstance();
        if (!delegate.end() && !started.isEmpty()) {
            engine->QoStop();
            waitForEnd(60000);
        }
        Platform::Dispatch::waitForGlobalQueue();
        engine->QoSetDelegate(nullptr);
        Platform::setToolsDirectory(m_previousTools);
        QoUninitLog();
        QoSetLogPath(QString());
        QoSetRunnerDirectory(QString());
        Platform::SystemInfo::resetOverrides();
    }

    CloneRig(const CloneRig &) = delete;
    CloneRig &operator=(const CloneRig &) = delete;

    QString toolPath(const QString &name) const { return m_tools.filePath(name); }

    void setEraseMode(const QString &mode)
    {
        TestSupport::writeFile(toolPath(QStringLiteral("erase-mode")), mode.toUtf8());
    }
    // Shell lines run just before and just after the stand-in's erase; the
    // stand-in tools are at hand as $tools.
    void setEraseHooks(const QByteArray &before, const QByteArray &after)
    {
        const QByteArray head = QByteArrayLiteral("#!/bin/sh\ntools='") +
                                QFile::encodeName(TestSupport::toolsPath()) + QByteArrayLiteral("'\n");
        for (const auto &[name, body] : {std::pair{"before-erase", before}, std::pair{"after-erase", after}}) {
            TestSupport::writeFile(toolPath(QLatin1String(name)), head + body + "\n");
            makeExecutable(toolPath(QLatin1String(name)));
        }
        setEraseMode(QStringLiteral("hooked"));
    }
    // The stand-in asr, noting its arguments and process id as a scripted one does.
    void useStandInAsr()
    {
        const QByteArray script = asrPrologue() + QByteArrayLiteral("exec '") +
                                  QFile::encodeName(TestSupport::toolsPath() + QStringLiteral("/asr")) +
                                  QByteArrayLiteral("' \"$@\"\n");
        setAsrScript(script);
    }
    void setAsrScript(const QByteArray &script)
    {
        TestSupport::writeFile(toolPath(QStringLiteral("asr")), script);
        makeExecutable(toolPath(QStringLiteral("asr")));
    }

    QStringList diskutilCalls() const
    {
        return QString::fromUtf8(TestSupport::readFile(toolPath(QStringLiteral("diskutil.log"))))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList eraseCalls() const { return diskutilCalls().filter(QRegularExpression(QStringLiteral("^eraseDisk "))); }
    bool asrRan() const
    {
        return QFileInfo::exists(toolPath(QStringLiteral("asr.args"))) ||
               QFileInfo::exists(toolPath(QStringLiteral("asr.pid")));
    }
    QStringList asrArguments() const
    {
        return QString::fromUtf8(TestSupport::readFile(toolPath(QStringLiteral("asr.args"))))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QByteArray logFile() const { return TestSupport::readFile(m_logDir.filePath(QStringLiteral("Talberow.txt"))); }

    // The record the external-only picker makes of a whole disk.
    VolumeObjPtr chooseDisk(const QString &bsdName) const
    {
        return VolumeObjFromExternalDisk(world.info(QStringLiteral("/dev/") + bsdName));
    }

    int start(const VolumeObjPtr &disk)
    {
        const int result = QoBootable::QoShareInstance()->QoStart(disk);
        if (result == 0)
            started.append(disk);
        return result;
    }
    bool waitForEnd(int timeoutMs = 60000)
    {
        return TestSupport::waitUntil([this] { return delegate.end().has_value(); }, timeoutMs);
    }
    // Lets reports that were already on their way arrive.
    void settle()
    {
        Platform::Dispatch::waitForGlobalQueue();
        TestSupport::waitUntil([] { return false; }, 100);
    }

    TestSupport::DiskWorldFixture world;
    RecordingDelegate delegate;
    QList<VolumeObjPtr> started;

private:
    QTemporaryDir m_tools;
    QTemporaryDir m_runnerDir;
    QTemporaryDir m_logDir;
    QString m_previousTools;
};

} // namespace CloneTest
