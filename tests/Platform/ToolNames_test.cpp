// Volume names given to the stand-in tools as bytes that are not UTF-8.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>

using TestSupport::DiskWorldFixture;

namespace {

// Runs a tool with raw bytes as its arguments (QProcess would turn them into text first).
struct RawRun {
    int status = -1;
    QByteArray err;
};

RawRun runRaw(const DiskWorldFixture &f, const QByteArray &command)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
    env.insert(QStringLiteral("T"), TestSupport::toolsPath());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), QString::fromLatin1(command)});
    RawRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

TEST(ToolNames, NamesThatAreNotUtf8AreRefusedAndTheWorldStaysAsItWas)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QByteArray travel = f.bsdName(QStringLiteral("Travel Drive")).toLatin1();
    struct Case {
        const char *what;
        QByteArray command;
    };
    // $'…' gives bash the bytes \xff\xfe, which are not UTF-8.
    const std::vector<Case> cases = {
        {"rename", "\"$T/diskutil\" rename " + travel + " $'bad\\xff\\xfename'"},
        {"eraseVolume", "\"$T/diskutil\" eraseVolume ExFAT $'bad\\xff\\xfename' " + travel},
        {"eraseDisk", "\"$T/diskutil\" eraseDisk ExFAT $'bad\\xff\\xfename' " + travel.left(travel.lastIndexOf('s'))},
        {"hdiutil create", "\"$T/hdiutil\" create \"$TARNWICK_ROOT/Users/Shared/x.dmg\" -volname $'bad\\xff\\xfename' "
                           "-size 1m"},
        {"diskworld attach", "\"$T/diskworld\" attach --name $'bad\\xff\\xfename'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray before = f.stateBytes();
        const RawRun r = runRaw(f, c.command);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.err.contains("UTF-8")) << r.err.toStdString();
        EXPECT_EQ(f.stateBytes(), before);
        EXPECT_TRUE(f.problems().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Users/Shared/x.dmg"))));
    EXPECT_TRUE(
        QFileInfo(f.mountPoint(QStringLiteral("Travel Drive")) + QStringLiteral("/Documents/Trip plan.txt")).isFile());
    // A name that is valid UTF-8 (here with characters outside ASCII) still works.
    const RawRun ok = runRaw(f, "\"$T/diskutil\" rename " + travel + " $'R\\xc3\\xa9sum\\xc3\\xa9'");
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_FALSE(f.mountPoint(QStringLiteral("Résumé")).isEmpty());
}
