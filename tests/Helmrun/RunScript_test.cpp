#include <gtest/gtest.h>

#include "Authorization.h"
#include "RunScript.h"
#include "SystemLog.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct FakeAuthorization : Platform::AuthorizationBackend {
    int createStatus = 0;
    int rightsStatus = 0;
    QString askedRight;
    quint32 askedFlags = 0;
    QStringList started;
    int create() override { return createStatus; }
    int copyRights(const QString &right, quint32 flags) override
    {
        askedRight = right;
        askedFlags = flags;
        return rightsStatus;
    }
    int executeWithPrivileges(const QByteArray &path, const QStringList &arguments) override
    {
        started << QString::fromUtf8(path) << arguments;
        return 0;
    }
};

struct RunScriptTest : ::testing::Test {
    std::shared_ptr<FakeAuthorization> fake = std::make_shared<FakeAuthorization>();
    void SetUp() override { Platform::Authorization::setBackend(fake); }
    void TearDown() override { Platform::Authorization::setBackend(nullptr); }
};
} // namespace

TEST_F(RunScriptTest, StartsTheApplicationWithTheLoaderFlag)
{
    const QByteArray path = HelmrunToolPath("/Applications/Helmrun.app");
    EXPECT_EQ(path, "/Applications/Helmrun.app/Contents/MacOS/Tarnwick.app/Contents/MacOS/Tarnwick");
    EXPECT_EQ(RunScript::RunTool(path), 0);
    EXPECT_EQ(fake->askedRight, "system.privilege.admin");
    EXPECT_EQ(fake->askedFlags, 19u);
    EXPECT_EQ(fake->started, (QStringList{QString::fromUtf8(path), "en*loaderflag*"}));
    EXPECT_EQ(HelmrunBundlePath("/Applications/Helmrun.app/Contents/MacOS/Helmrun"), "/Applications/Helmrun.app");
    EXPECT_EQ(HelmrunBundlePath("/odd\xff=dir/H.app/Contents/MacOS/Helmrun"), "/odd\xff=dir/H.app");
}

TEST_F(RunScriptTest, CancelOrFailedCreateStartsNothing)
{
    fake->rightsStatus = Platform::AuthorizationStatus::Canceled;
    EXPECT_EQ(RunScript::RunTool("/x"), Platform::AuthorizationStatus::Canceled);
    EXPECT_TRUE(fake->started.isEmpty());

    // A failed create asks for no right at all.
    fake->askedRight.clear();
    fake->askedFlags = 0;
    fake->rightsStatus = 0;
    fake->createStatus = Platform::AuthorizationStatus::Denied;
    EXPECT_EQ(RunScript::RunTool("/x"), Platform::AuthorizationStatus::Denied);
    EXPECT_TRUE(fake->askedRight.isEmpty());
    EXPECT_EQ(fake->askedFlags, 0u);
    EXPECT_TRUE(fake->started.isEmpty());
}

namespace {

// A user who is not root, on a machine whose pkexec is a stand-in: it notes
// each call (its parent, then again after "authenticating", and its
// arguments), then answers as PKEXEC_ANSWER says: "run" becomes the tool as
// pkexec does, a number ends with that status.
class NonRootStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString pkexec = dir.filePath("bin/pkexec");
        QDir().mkpath(dir.filePath("bin"));
        TestSupport::writeFile(pkexec, R"SH(#!/bin/bash
log="$PKEXEC_LOG"
parent() { awk '{ print $4 }' /proc/$$/stat; }
echo "call" >>"$log"
echo "parent $(parent)" >>"$log"
sleep 0.4
echo "parent-after $(parent)" >>"$log"
printf 'arg %s\n' "$@" >>"$log"
case "$PKEXEC_ANSWER" in
  run) exec "$@" ;;
  *) exit "$PKEXEC_ANSWER" ;;
esac
)SH");
        QFile::setPermissions(pkexec, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        tool = QFile::encodeName(dir.filePath("Tarnwick"));
        makeTool(tool);
        savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.filePath("bin")) + ":" + savedPath);
        qputenv("PKEXEC_LOG", QFile::encodeName(dir.filePath("pkexec.log")));
        qputenv("TOOL_LOG", QFile::encodeName(dir.filePath("tool.log")));
        qputenv("TARNWICK_ROOT", QFile::encodeName(dir.filePath("world")));
        Platform::Authorization::setBackend(Platform::makeSystemAuthorizationBackend(false));
    }
    void TearDown() override
    {
        Platform::Authorization::setBackend(nullptr);
        qputenv("PATH", savedPath);
        qunsetenv("PKEXEC_ANSWER");
        qunsetenv("TARNWICK_ROOT");
    }
    QStringList logLines() const
    {
        return QString::fromUtf8(TestSupport::readFile(dir.filePath("pkexec.log"))).split('\n', Qt::SkipEmptyParts);
    }

    // The stand-in application: notes its arguments and the name it was
    // started under.
    static void makeTool(const QByteArray &path)
    {
        const QByteArray script =
            "#!/bin/sh\nprintf '%s' \"$0\" >\"$TOOL_LOG.name\"\necho \"started $*\" >>\"$TOOL_LOG\"\nsleep 2\n";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0700);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, script.constData(), size_t(script.size())), ssize_t(script.size()));
        ::close(fd);
    }

    QTemporaryDir dir;
    QByteArray tool;
    QByteArray savedPath;
};

} // namespace

TEST_F(NonRootStart, AsksOnceAndStaysWhilePkexecAsks)
{
    qputenv("PKEXEC_ANSWER", "run");
    EXPECT_EQ(RunScript::RunTool(tool), 0);
    const QStringList log = logLines();
    const QString self = QString::number(::getpid());
    EXPECT_EQ(log.count("call"), 1); // one password dialog
    EXPECT_TRUE(log.contains("parent " + self)) << log.join('|').toStdString();
    EXPECT_TRUE(log.contains("parent-after " + self)) << log.join('|').toStdString();
    const int first = int(log.indexOf("arg env"));
    ASSERT_GE(first, 0);
    EXPECT_TRUE(log.contains("arg TARNWICK_ROOT=" + dir.filePath("world")));
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"arg " + QString::fromUtf8(tool), "arg en*loaderflag*"}));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return TestSupport::readFile(dir.filePath("tool.log")) == "started en*loaderflag*\n"; }, 5000));
}

TEST_F(NonRootStart, ADismissedOrRefusedDialogStartsNothing)
{
    const std::pair<const char *, int> answers[] = {{"126", Platform::AuthorizationStatus::Canceled},
                                                    {"127", Platform::AuthorizationStatus::Denied}};
    for (const auto &[answer, status] : answers) {
        SCOPED_TRACE(answer);
        QFile::remove(dir.filePath("pkexec.log"));
        qputenv("PKEXEC_ANSWER", answer);
        EXPECT_EQ(RunScript::RunTool(tool), status);
        EXPECT_EQ(logLines().count("call"), 1);
        EXPECT_FALSE(QFile::exists(dir.filePath("tool.log")));
    }
}

TEST_F(NonRootStart, ThePathReachesTheToolExactlyFromAnyFolder)
{
    qputenv("PKEXEC_ANSWER", "run");
    const QByteArray base = QFile::encodeName(dir.path());
    for (const QByteArray &folder : {QByteArray("a=b"),
                                     QByteArray("odd\xff"
                                                "dir"),
                                     QByteArray("x=\xfe=y z")}) {
        SCOPED_TRACE(folder.toPercentEncoding().toStdString());
        QFile::remove(dir.filePath("tool.log"));
        const QByteArray place = base + '/' + folder;
        ASSERT_EQ(::mkdir(place.constData(), 0700), 0);
        const QByteArray path = place + "/Tarnwick";
        makeTool(path);
        EXPECT_EQ(RunScript::RunTool(path), 0);
        EXPECT_TRUE(TestSupport::waitUntil(
            [&] { return TestSupport::readFile(dir.filePath("tool.log")) == "started en*loaderflag*\n"; }, 5000));
        EXPECT_EQ(TestSupport::readFile(dir.filePath("tool.log.name")), path);
    }
}

TEST_F(NonRootStart, AFailedStartIsLogged)
{
    qputenv("PKEXEC_ANSWER", "1");
    Platform::SystemLogCapture log;
    EXPECT_EQ(RunScript::RunTool(tool), Platform::AuthorizationStatus::ToolExecuteFailure);
    EXPECT_TRUE(log.contains("could not start")) << log.lines().join('|').toStdString();
}

TEST_F(NonRootStart, ShellScriptWithAdministratorPrivilegesAsksOnceAndRunsTheLineAsOneArgument)
{
    qputenv("PKEXEC_ANSWER", "run");
    ASSERT_EQ(::geteuid(), 0u) << "the stand-in pkexec hands on this process's rights";
    EXPECT_TRUE(RunScript::TestShellScriptWithAdministratorPrivileges());
    const QStringList log = logLines();
    EXPECT_EQ(log.count("call"), 1);
    EXPECT_EQ(log.mid(log.size() - 3), (QStringList{"arg /bin/sh", "arg -c", "arg id -u"}));

    // A dismissed dialog runs nothing.
    qputenv("PKEXEC_ANSWER", "126");
    int status = 0;
    EXPECT_TRUE(RunScript::RunShellScript("touch \"$TOOL_LOG\"", true, &status).isEmpty());
    EXPECT_EQ(status, -1);
    EXPECT_FALSE(QFile::exists(dir.filePath("tool.log")));
}

TEST(ShellScript, OutputComesBackAsPrinted)
{
    Platform::Authorization::setBackend(Platform::makeSystemAuthorizationBackend(::geteuid() == 0));
    EXPECT_TRUE(RunScript::TestShellScriptOutput());
    Platform::Authorization::setBackend(nullptr);
}

TEST(ShellScript, AFailingLineGivesItsStatus)
{
    Platform::Authorization::setBackend(Platform::makeSystemAuthorizationBackend(::geteuid() == 0));
    EXPECT_TRUE(RunScript::TestShellScriptFailure());
    Platform::Authorization::setBackend(nullptr);
}
