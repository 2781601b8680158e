#include <gtest/gtest.h>

#include "DiskTestSupport.h"
#include "DiskWorldFixture.h"
#include "PrivateData.h"
#include "QoLinkUrl.h"
#include "QoPublicUtilities.h"
#include "SystemFolder.h"

#include "PropertyList.h"
#include "SystemInfo.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using namespace DiskTest;

namespace {

QVariantMap resourceSettings(const QVariant &versionCheck, const QVariant &copyInfoVersion)
{
    QVariantMap d{
        {"CompanyName", QStringLiteral("Acme")},
        {"IsFristTime", QStringLiteral("0")},
        {"en", QVariantMap{{"AboutURL", QStringLiteral("https://en.example/about")},
                           {"Support", QStringLiteral("https://en.example/support")}}},
        {"zh-Hans", QVariantMap{{"AboutURL", QStringLiteral("https://zh.example/about")}, {"Support", QString()}}}};
    if (versionCheck.isValid())
        d["VersionCheck"] = versionCheck;
    if (copyInfoVersion.isValid())
        d["CopyInfoVersion"] = copyInfoVersion;
    return d;
}

mode_t modeOf(const QString &path)
{
    struct stat st;
    return lstat(encoded(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::SystemInfo::setConsoleUserName(QStringLiteral("tester"));
        DMResetCurrentUserNameForTesting();
        writeResource(resourceSettings(qint64(100), QStringLiteral("1.0")));
        QDir().mkpath(m_root.at(QStringLiteral("/Users/tester")));
    }
    void TearDown() override
    {
        Platform::SystemInfo::resetOverrides();
        DMResetCurrentUserNameForTesting();
    }

    void writeResource(const QVariantMap &settings)
    {
        Platform::PropertyList::writeFile(m_bundle.resource(QStringLiteral("PrivateData.plist")), settings);
    }
    QString userCopy() const
    {
        return m_root.at(QStringLiteral("/Users/tester/Library/Application Support/Acme/PrivateData.plist"));
    }
    QString userFolder() const { return QFileInfo(userCopy()).absolutePath(); }
    // The per-user copy as it is on disk (empty when unreadable).
    QVariantMap readUserCopy() const
    {
        return Platform::PropertyList::readDictionary(userCopy()).value_or(QVariantMap());
    }

    TestSupport::TempRoot m_root;
    TempBundle m_bundle;
};

} // namespace

TEST_F(Settings, CompanyNameFallsBackWhenMissingOrEmpty)
{
    EXPECT_EQ(GetCompanyName(), QStringLiteral("Acme"));
    QVariantMap d = resourceSettings(qint64(100), QStringLiteral("1.0"));
    d["CompanyName"] = QString();
    writeResource(d);
    EXPECT_EQ(GetCompanyName(), QStringLiteral("KESTROVAClone"));
    d.remove("CompanyName");
    writeResource(d);
    EXPECT_EQ(GetCompanyName(), QStringLiteral("KESTROVAClone"));
    QFile::remove(m_bundle.resource(QStringLiteral("PrivateData.plist")));
    EXPECT_EQ(GetCompanyName(), QStringLiteral("KESTROVAClone"));
}

TEST_F(Settings, PerUserPathIsUnderUsersOfTheConsoleUser)
{
    EXPECT_EQ(DMGetCurrentUserName(), QStringLiteral("tester"));
    EXPECT_EQ(DMGetInfoPlistPath(), userCopy());
    // The first answer is kept.
    Platform::SystemInfo::setConsoleUserName(QStringLiteral("someone-else"));
    EXPECT_EQ(DMGetCurrentUserName(), QStringLiteral("tester"));
}

TEST_F(Settings, WithoutAConsoleUserTheProcessUserIsTaken)
{
    Platform::SystemInfo::setConsoleUserName(QString());
    DMResetCurrentUserNameForTesting();
    EXPECT_EQ(DMGetCurrentUserName(), Platform::SystemInfo::userName());
}

// Started as root with nobody named through sudo, pkexec or the login
// session, the program keeps its settings for the person at the screen of
// the disk world, by the one rule the whole program uses.
TEST(SettingsUser, WithoutACallerTheWorldsConsoleUserKeepsTheSettings)
{
    const TestSupport::UnsetEnvironment noCaller({"SUDO_USER", "PKEXEC_UID"});
    TestSupport::DiskWorldFixture world(
        TestSupport::DiskWorldFixture::Options{false, QStringLiteral("13.4"), QStringLiteral("alice")});
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    Platform::SystemInfo::resetOverrides();
    DMResetCurrentUserNameForTesting();
    EXPECT_EQ(DMGetCurrentUserName(), QStringLiteral("alice"));
    EXPECT_TRUE(DMGetInfoPlistPath().startsWith(world.at(QStringLiteral("/Users/alice/Library/Application Support/"))))
        << DMGetInfoPlistPath().toStdString();
    EXPECT_EQ(DMGetCurrentUserName(), Platform::SystemInfo::consoleUser().name);
    DMResetCurrentUserNameForTesting();
}

TEST_F(Settings, FirstStartCopiesTheResourceAndMakesItWorldWritable)
{
    DMCopyInfoPlistPath();
    ASSERT_TRUE(QFileInfo(userCopy()).isFile());
    EXPECT_EQ(TestSupport::readFile(userCopy()),
              TestSupport::readFile(m_bundle.resource(QStringLiteral("PrivateData.plist"))));
    EXPECT_EQ(modeOf(userCopy()), 0777u);
    EXPECT_EQ(modeOf(userFolder()), 0777u);
    // Only the file and its own folder are opened up.
    EXPECT_NE(modeOf(m_root.at(QStringLiteral("/Users/tester/Library"))), 0777u);
}

TEST_F(Settings, RefreshRuleReplacesOnlyForANewerBuildWithOtherContents)
{
    struct Case {
        const char *what;
        QVariant userVersion, userContents, resourceVersion, resourceContents;
        bool replaced;
    };
    const Case cases[] = {
        {"same build, other contents", qint64(100), "1.0", qint64(100), "2.0", false},
        {"older resource", qint64(200), "1.0", qint64(100), "2.0", false},
        {"newer build, same contents", qint64(100), "1.0", qint64(200), "1.0", false},
        {"newer build, both contents marks missing", qint64(100), QVariant(), qint64(200), QVariant(), false},
        {"newer build, other contents", qint64(100), "1.0", qint64(200), "2.0", true},
        {"user copy without a build number", QVariant(), "1.0", qint64(1), "2.0", true},
        {"build number as text", QStringLiteral("100"), "1.0", qint64(200), "2.0", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(userCopy());
        writeResource(resourceSettings(c.userVersion, c.userContents));
        DMCopyInfoPlistPath();
        // The user has been through the first run and the fonts were written.
        ASSERT_TRUE(DMSetUserInfoPlistValue(QStringLiteral("IsFristTime"), QStringLiteral("1")));
        QoPublicUtilities::writSBoldFont(QStringLiteral("Helvetica-Bold"));

        writeResource(resourceSettings(c.resourceVersion, c.resourceContents));
        const QByteArray before = TestSupport::readFile(userCopy());
        DMCopyInfoPlistPath();
        if (c.replaced) {
            EXPECT_EQ(readUserCopy().value("IsFristTime").toString(), QStringLiteral("0"));
            EXPECT_TRUE(QoPublicUtilities::getSBoldFontName().isNull());
            EXPECT_EQ(modeOf(userCopy()), 0777u);
        } else {
            EXPECT_EQ(TestSupport::readFile(userCopy()), before);
        }
    }
}

TEST_F(Settings, UnreadablePerUserCopyIsReplacedByANewerBuild)
{
    TestSupport::writeFile(userCopy(), "not a property list");
    DMCopyInfoPlistPath();
    EXPECT_EQ(readUserCopy().value("CompanyName").toString(), QStringLiteral("Acme"));
}

TEST_F(Settings, LinkOnTheWayMeansNoPerUserCopy)
{
    QTemporaryDir elsewhere;
    QDir().mkpath(elsewhere.filePath(QStringLiteral("Application Support")));
    ASSERT_EQ(symlink(encoded(elsewhere.path()).constData(),
                      encoded(m_root.at(QStringLiteral("/Users/tester/Library"))).constData()),
              0);
    DMCopyInfoPlistPath();
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath(QStringLiteral("Application Support/Acme"))));
    EXPECT_NE(modeOf(elsewhere.path()), 0777u);
    EXPECT_FALSE(DMReadUserInfoPlist().has_value());
    EXPECT_FALSE(DMSetUserInfoPlistValue(QStringLiteral("FontBold"), QStringLiteral("x")));
}

TEST_F(Settings, FolderOfAnotherUserMeansNoPerUserCopy)
{
    const QString support = m_root.at(QStringLiteral("/Users/tester/Library/Application Support"));
    QDir().mkpath(support);
    ASSERT_EQ(chown(encoded(support).constData(), kOtherUser, kOtherUser), 0);
    DMCopyInfoPlistPath();
    EXPECT_FALSE(QFileInfo::exists(userFolder()));
}

TEST_F(Settings, LinkedOrHardLinkedSettingsFileIsNeverChangedThrough)
{
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    TestSupport::writeFile(victim, "precious");
    chmod(encoded(victim).constData(), 0600);
    QDir().mkpath(userFolder());

    ASSERT_EQ(symlink(encoded(victim).constData(), encoded(userCopy()).constData()), 0);
    writeResource(resourceSettings(qint64(999), QStringLiteral("9.9")));
    DMCopyInfoPlistPath();
    QoPublicUtilities::writBoldFont(QStringLiteral("Helvetica-Bold"));
    EXPECT_EQ(TestSupport::readFile(victim), "precious");
    EXPECT_EQ(modeOf(victim), 0600u);

    QFile::remove(userCopy());
    ASSERT_EQ(link(encoded(victim).constData(), encoded(userCopy()).constData()), 0);
    DMCopyInfoPlistPath();
    EXPECT_EQ(TestSupport::readFile(victim), "precious");
    EXPECT_EQ(modeOf(victim), 0600u);
}

TEST_F(Settings, FontNamesAreWrittenAndReadAfresh)
{
    DMCopyInfoPlistPath();
    QoPublicUtilities::writLightFont(QStringLiteral("PingFangSC-Light"));
    QoPublicUtilities::writRegularFont(QStringLiteral("PingFangSC-Regular"));
    QoPublicUtilities::writMBoldFont(QStringLiteral("PingFangSC-Medium"));
    QoPublicUtilities::writSBoldFont(QStringLiteral("PingFangSC-Semibold"));
    QFont bold(QStringLiteral("DejaVu Sans"));
    bold.setBold(true);
    QoPublicUtilities::writBoldFont(bold);
    EXPECT_EQ(QoPublicUtilities::getLightFontName(), QStringLiteral("PingFangSC-Light"));
    EXPECT_EQ(QoPublicUtilities::getRegularFontName(), QStringLiteral("PingFangSC-Regular"));
    EXPECT_EQ(QoPublicUtilities::getMBoldFontName(), QStringLiteral("PingFangSC-Medium"));
    EXPECT_EQ(QoPublicUtilities::getSBoldFontName(), QStringLiteral("PingFangSC-Semibold"));
    // A font is stored by its face's PostScript name, not by its family.
    EXPECT_EQ(QoPublicUtilities::getBoldFontName(), QStringLiteral("DejaVuSans-Bold"));

    // Each writer keeps the rest of the file, and the file stays world-writable.
    const QVariantMap d = readUserCopy();
    EXPECT_EQ(d.value("CompanyName").toString(), QStringLiteral("Acme"));
    EXPECT_EQ(d.value("FontLight").toString(), QStringLiteral("PingFangSC-Light"));
    EXPECT_EQ(modeOf(userCopy()), 0777u);

    // Nothing is cached: a change on disk is seen at the next read.
    QVariantMap changed = d;
    changed["FontMBold"] = QStringLiteral("Other");
    Platform::PropertyList::writeFile(userCopy(), changed);
    EXPECT_EQ(QoPublicUtilities::getMBoldFontName(), QStringLiteral("Other"));
}

TEST_F(Settings, WithoutAPerUserCopyReadersGiveNothingAndWritersChangeNothing)
{
    EXPECT_TRUE(QoPublicUtilities::getSBoldFontName().isNull());
    QoPublicUtilities::writSBoldFont(QStringLiteral("Helvetica"));
    EXPECT_FALSE(QFileInfo::exists(userCopy()));
    QDir().mkpath(userFolder());
    TestSupport::writeFile(userCopy(), "garbage");
    QoPublicUtilities::writSBoldFont(QStringLiteral("Helvetica"));
    EXPECT_EQ(TestSupport::readFile(userCopy()), "garbage");
}

namespace {

class Links : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_languages = Platform::UserDefaults::standard().objectForKey(QStringLiteral("AppleLanguages"));
        Platform::PropertyList::writeFile(m_bundle.resource(QStringLiteral("PrivateData.plist")),
                                          resourceSettings(qint64(1), QStringLiteral("1")));
    }
    void TearDown() override
    {
        Platform::UserDefaults::standard().setObject(QStringLiteral("AppleLanguages"), m_languages);
    }
    void setLanguage(const QString &language)
    {
        Platform::UserDefaults::standard().setObject(QStringLiteral("AppleLanguages"),
                                                     QStringList{language, QStringLiteral("en")});
    }

    TempBundle m_bundle;
    QVariant m_languages;
};

} // namespace

TEST_F(Links, CurrentLanguageFirstThenEnglish)
{
    setLanguage(QStringLiteral("zh-Hans"));
    EXPECT_EQ(QoLinkUrl::GetUrl(QStringLiteral("AboutURL")), QStringLiteral("https://zh.example/about"));
    // An empty link of the language falls back to English.
    EXPECT_EQ(QoLinkUrl::GetUrl(QStringLiteral("Support")), QStringLiteral("https://en.example/support"));
    // A language without its own dictionary, or one with a region, is English.
    for (const char *language : {"de", "zh-Hans-CN", "en"}) {
        setLanguage(QString::fromLatin1(language));
        EXPECT_EQ(QoLinkUrl::GetUrl(QStringLiteral("AboutURL")), QStringLiteral("https://en.example/about"))
            << language;
    }
    // Missing everywhere: nothing to open.
    EXPECT_TRUE(QoLinkUrl::GetUrl(QStringLiteral("UpdateURL")).isNull());
}

TEST_F(Links, UnreadableResourceGivesNothing)
{
    TestSupport::writeFile(m_bundle.resource(QStringLiteral("PrivateData.plist")), "junk");
    setLanguage(QStringLiteral("en"));
    EXPECT_TRUE(QoLinkUrl::GetUrl(QStringLiteral("AboutURL")).isNull());
}

TEST(SystemFolder, ListedPathsMatchAsTheyStandOrUnderTheRootAndGapsEndTheList)
{
    TempBundle bundle;
    TestSupport::TempRoot root;
    const QString list = bundle.resource(QStringLiteral("SystemFile.plist"));
    Platform::PropertyList::writeFile(list, QVariantMap{{"0", QStringLiteral("/System")},
                                                        {"1", QStringLiteral("/Library")},
                                                        {"5", QStringLiteral("/private")}});
    EXPECT_TRUE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/System")));
    EXPECT_TRUE(SystemFolder::isSystemFileWithFilePath(root.at(QStringLiteral("/Library"))));
    // Count 3: the key "5" is never looked at.
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/private")));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(root.at(QStringLiteral("/private"))));
    // Exact comparison: no prefixes, no trailing slash.
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/System/Library")));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/System/")));

    Platform::PropertyList::writeFile(list, QVariantMap{});
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/System")));
    QFile::remove(list);
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/System")));
}

TEST(SystemFolder, TheBundlesOwnListIsReadable)
{
    // The built bundle (set up by the test main) carries a list starting at "0".
    EXPECT_TRUE(SystemFolder::isSystemFileWithFilePath(QStringLiteral("/System")));
}

namespace {

struct stat statOf(const QString &path)
{
    struct stat st {};
    lstat(encoded(path).constData(), &st);
    return st;
}

// The settings of a real user ("nobody") whose home root made: what root
// makes or rewrites there stays the user's and never runs as anyone else.
class UserOwnedSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::SystemInfo::setConsoleUserName(QStringLiteral("nobody"));
        DMResetCurrentUserNameForTesting();
        Platform::PropertyList::writeFile(m_bundle.resource(QStringLiteral("PrivateData.plist")),
                                          resourceSettings(qint64(100), QStringLiteral("1.0")));
        const QString home = m_root.at(QStringLiteral("/Users/nobody"));
        QDir().mkpath(home);
        ASSERT_EQ(chown(encoded(home).constData(), kOtherUser, kOtherUser), 0);
    }
    void TearDown() override
    {
        Platform::SystemInfo::resetOverrides();
        DMResetCurrentUserNameForTesting();
    }
    QString at(const QString &below) const { return m_root.at(QStringLiteral("/Users/nobody/") + below); }

    TestSupport::TempRoot m_root;
    TempBundle m_bundle;
};

} // namespace

TEST_F(UserOwnedSettings, FoldersAndFileMadeForTheUserAreTheUsers)
{
    DMCopyInfoPlistPath();
    for (const QString &made : {QStringLiteral("Library"), QStringLiteral("Library/Application Support"),
                                QStringLiteral("Library/Application Support/Acme"),
                                QStringLiteral("Library/Application Support/Acme/PrivateData.plist")}) {
        SCOPED_TRACE(made.toStdString());
        const struct stat st = statOf(at(made));
        EXPECT_EQ(st.st_uid, kOtherUser);
        EXPECT_EQ(st.st_gid, gid_t(kOtherUser));
        EXPECT_EQ(st.st_mode & 07000, 0u);
    }
}

TEST_F(UserOwnedSettings, ARewrittenSetUidFileLosesTheBitAndStaysTheUsers)
{
    DMCopyInfoPlistPath();
    const QString file = at(QStringLiteral("Library/Application Support/Acme/PrivateData.plist"));
    // The user makes their own copy set-uid (and set-gid, sticky).
    ASSERT_EQ(chmod(encoded(file).constData(), 07777), 0);
    ASSERT_EQ(statOf(file).st_mode & 07777, 07777u);

    ASSERT_TRUE(DMSetUserInfoPlistValue(QStringLiteral("IsFristTime"), QStringLiteral("1")));
    QoPublicUtilities::writBoldFont(QStringLiteral("Helvetica-Bold"));
    const struct stat st = statOf(file);
    EXPECT_EQ(st.st_uid, kOtherUser);
    EXPECT_EQ(st.st_gid, gid_t(kOtherUser));
    EXPECT_EQ(st.st_mode & 07777, 0777u);
    const QVariantMap written = Platform::PropertyList::readDictionary(file).value_or(QVariantMap());
    EXPECT_EQ(written.value(QStringLiteral("IsFristTime")).toString(), QStringLiteral("1"));
    EXPECT_EQ(written.value(QStringLiteral("FontBold")).toString(), QStringLiteral("Helvetica-Bold"));
}

TEST(SettingsInteger, EveryKindOfValueReadsAsOneInteger)
{
    const std::pair<QVariant, qint64> cases[] = {
        {QVariant(), 0},
        {qint64(121), 121},
        {int(-3), -3},
        {121.7, 121},
        {QString("999"), 999},
        {QString("  42 builds"), 42},
        {QString("-7"), -7},
        {QString("abc"), 0},
        {QString(), 0},
        {QString("99999999999999999999999"), std::numeric_limits<qint64>::max()},
        {true, 1},
        {QVariantList{qint64(5)}, 0},
    };
    for (const auto &[value, expected] : cases) {
        SCOPED_TRACE(value.toString().toStdString());
        EXPECT_EQ(DMIntegerValue(value), expected);
    }
}

TEST_F(Settings, RefreshReadsANumericTextBuildByItsNumber)
{
    // The per-user copy's "VersionCheck" as text with trailing words is still
    // build 200, newer than the resource copy's 100: the copy stays.
    DMCopyInfoPlistPath();
    QVariantMap mine = readUserCopy();
    mine["VersionCheck"] = QStringLiteral("200 (beta)");
    mine["CopyInfoVersion"] = QStringLiteral("0.1");
    mine["IsFristTime"] = QStringLiteral("1");
    ASSERT_TRUE(Platform::PropertyList::writeFile(userCopy(), mine));
    DMCopyInfoPlistPath();
    EXPECT_EQ(readUserCopy().value("IsFristTime").toString(), QStringLiteral("1"));
}
