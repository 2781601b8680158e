#include <gtest/gtest.h>

#include "Authorization.h"
#include "RunScript.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
    int executeWithPrivileges(const QString &path, const QStringList &arguments) override
    {
        started << path << arguments;
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
    const QString path = HelmrunToolPath("/Applications/Helmrun.app");
    EXPECT_EQ(path, "/Applications/Helmrun.app/Contents/MacOS/Tarnwick.app/Contents/MacOS/Tarnwick");
    EXPECT_EQ(RunScript::RunTool(path), 0);
    EXPECT_EQ(fake->askedRight, "system.privilege.admin");
    EXPECT_EQ(fake->askedFlags, 19u);
    EXPECT_EQ(fake->started, (QStringList{path, "en*loaderflag*"}));
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
        tool = dir.filePath("Tarnwick");
        TestSupport::writeFile(tool, "#!/bin/sh\necho \"started $*\" >>\"$TOOL_LOG\"\nsleep 2\n");
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

    QTemporaryDir dir;
    QString tool;
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
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"arg " + tool, "arg en*loaderflag*"}));
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
