#include <gtest/gtest.h>

#include "Authorization.h"
#include "RunScript.h"

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

    fake->rightsStatus = 0;
    fake->createStatus = Platform::AuthorizationStatus::Denied;
    EXPECT_EQ(RunScript::RunTool("/x"), Platform::AuthorizationStatus::Denied);
    EXPECT_TRUE(fake->askedRight.isEmpty() || fake->started.isEmpty());
    EXPECT_TRUE(fake->started.isEmpty());
}
