// The source and target cards: their looks, the gestures they pass to the
// page, and files dropped on them.
#include "SelectBgView.h"
#include "SelectValueView.h"
#include "SelectValueViewDelegate.h"

#include "DragView.h"
#include "QoImage.h"
#include "TextImageButton.h"

#include "DiskListTestPrint.h"
#include "TestSupport.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Call {
    QString what;
    qint32 id = 0;
    QObject *sender = nullptr;
};

class RecordingPage : public SelectValueViewDelegate {
public:
    void selectDiskButton(qint32 withID, QObject *sender) override
    {
        calls.append({QStringLiteral("select"), withID, sender});
    }
    void closeDiskValue(qint32 diskFrom) override { calls.append({QStringLiteral("close"), diskFrom, nullptr}); }
    void viewDragAction(const FileNodeArrayPtr &nodes) override
    {
        calls.append({QStringLiteral("drop"), 0, nullptr});
        dropped = nodes;
    }
    void selectFileButtonAction(QObject *sender) override { calls.append({QStringLiteral("file"), 0, sender}); }
    QList<Call> calls;
    FileNodeArrayPtr dropped;
};

// A card on screen, as a page holds it.
struct Card {
    explicit Card(qint32 id)
    {
        view.setDiskFrom(id);
        view.setDelegate(&page);
        view.move(40, 40);
        view.show();
        QCoreApplication::processEvents();
    }
    void enter() { view.mouseInSelectBgView(true); }
    void leave() { view.mouseInSelectBgView(false); }
    SelectValueView view;
    RecordingPage page;
};

void sendEnter(QWidget *w)
{
    QEnterEvent enter(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), w->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(w, &enter);
}

void sendLeave(QWidget *w)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(w, &leave);
}

} // namespace

TEST(CardsTest, StartsWithTheEmptyLookAndWiredButtons)
{
    Card card(1);
    EXPECT_EQ(card.view.bgImageName(), QStringLiteral("source"));
    EXPECT_TRUE(card.view.errorImage()->isHidden());
    EXPECT_TRUE(card.view.isCanSelect());
    EXPECT_FALSE(card.view.isHaveD());
    EXPECT_EQ(card.view.bgView()->delegate(), &card.view);
    EXPECT_EQ(card.view.dragVie()->delegate(), &card.view);
    EXPECT_TRUE(card.view.closeDisk()->isButtonUsable());
    EXPECT_EQ(card.view.closeDisk()->normalImageName(), QStringLiteral("ic_close"));
    EXPECT_FALSE(card.view.bgImageView()->pixmap().isNull());
}

// The look for each pair (value chosen, error) and each pointer move.
TEST(CardsTest, LooksFollowChoiceErrorAndPointer)
{
    struct Row {
        bool haveValue;
        bool error;
        bool pointerInside;
        const char *image;
        bool errorMark;
    };
    const Row rows[] = {
        {false, false, false, "source", false},
        {false, false, true, "source_hover", false},
        {true, false, false, "source_sel", false},
        {true, false, true, "source_sel", false}, // hover leaves a chosen card alone
        {true, true, false, "source_sel_error", true},
        {false, true, false, "source_sel_error", true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.image);
        Card card(1);
        card.view.setIsHaveD(r.haveValue);
        card.view.changeBgImageViewWithError(false);
        if (r.error)
            card.view.changeBgImageViewWithError(true);
        if (r.pointerInside)
            card.enter();
        EXPECT_EQ(card.view.bgImageName(), QString::fromLatin1(r.image));
        EXPECT_EQ(!card.view.errorImage()->isHidden(), r.errorMark);
    }
}

TEST(CardsTest, LeavingTheErrorLookGoesBackToTheChoice)
{
    Card card(2);
    card.view.changeBgImageViewWithError(true);
    card.view.setIsHaveD(true);
    card.view.changeBgImageViewWithError(false);
    EXPECT_EQ(card.view.bgImageName(), QStringLiteral("source_sel"));
    EXPECT_TRUE(card.view.errorImage()->isHidden());
    card.view.setIsHaveD(false);
    card.view.changeBgImageViewWithError(false);
    EXPECT_EQ(card.view.bgImageName(), QStringLiteral("source"));
}

TEST(CardsTest, PointerOverTheBackgroundViewChangesTheLook)
{
    Card card(1);
    sendEnter(card.view.bgView());
    EXPECT_EQ(card.view.bgImageName(), QStringLiteral("source_hover"));
    sendLeave(card.view.bgView());
    EXPECT_EQ(card.view.bgImageName(), QStringLiteral("source"));
}

TEST(CardsTest, AClickOnTheTargetBackgroundOpensThePickerWithTwoAndTheSelectButton)
{
    Card card(2);
    // On a label, which leaves the press to the background behind it.
    QTest::mouseClick(card.view.sizeLabel(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(card.page.calls.size(), 1);
    EXPECT_EQ(card.page.calls[0].what, QStringLiteral("select"));
    EXPECT_EQ(card.page.calls[0].id, 2);
    EXPECT_EQ(card.page.calls[0].sender, card.view.selectDiskBut());
    // And on an empty spot of the drop area.
    QTest::mouseClick(card.view.dragVie(), Qt::LeftButton, {}, QPoint(8, 200));
    ASSERT_EQ(card.page.calls.size(), 2);
    EXPECT_EQ(card.page.calls[1].id, 2);
}

TEST(CardsTest, TheSelectButtonAndTheCloseButtonCallThePage)
{
    Card card(1);
    QTest::mouseClick(card.view.selectDiskBut(), Qt::LeftButton);
    card.view.closeDisk()->show();
    QTest::mouseClick(card.view.closeDisk(), Qt::LeftButton);
    card.view.openMenuButtonAction(card.view.nameButton());
    ASSERT_EQ(card.page.calls.size(), 3);
    EXPECT_EQ(card.page.calls[0].what, QStringLiteral("select"));
    EXPECT_EQ(card.page.calls[0].id, 1);
    EXPECT_EQ(card.page.calls[0].sender, card.view.selectDiskBut());
    EXPECT_EQ(card.page.calls[1].what, QStringLiteral("close"));
    EXPECT_EQ(card.page.calls[1].id, 1);
    EXPECT_EQ(card.page.calls[2].sender, card.view.nameButton());
}

TEST(CardsTest, ACardThatCannotSelectIgnoresEverythingButTheFileButton)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(TestSupport::writeFile(root.path() + QStringLiteral("/f.txt"), "abc"));
    Card card(1);
    card.view.setIsCanSelect(false);
    QTest::mouseClick(card.view.sizeLabel(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(card.view.selectDiskBut(), Qt::LeftButton);
    card.view.closeDisk()->show();
    QTest::mouseClick(card.view.closeDisk(), Qt::LeftButton);
    card.view.dragVie()->viewDragAction({QFile::encodeName(root.path() + QStringLiteral("/f.txt"))});
    card.view.changeBgImageViewWithError(true);
    card.enter();
    EXPECT_TRUE(card.page.calls.isEmpty());
    EXPECT_EQ(card.view.bgImageName(), QStringLiteral("source"));
    EXPECT_TRUE(card.view.errorImage()->isHidden());

    card.view.selectFileButtonAction(card.view.nameButton());
    ASSERT_EQ(card.page.calls.size(), 1);
    EXPECT_EQ(card.page.calls[0].what, QStringLiteral("file"));
}

TEST(CardsTest, DroppedFolderSkipNameAndFileBecomeCheckedNodesInDropOrder)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Photos");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(TestSupport::writeFile(folder + QStringLiteral("/inside.jpg"), QByteArray(100, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/.DS_Store"), "junk"));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/three.txt"), "abc"));

    Card card(1);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(dir.path() + QStringLiteral("/.DS_Store")),
                  QUrl::fromLocalFile(dir.path() + QStringLiteral("/three.txt"))});
    ASSERT_TRUE(card.view.dragVie()->performDragOperation(&mime));

    ASSERT_EQ(card.page.calls.size(), 1);
    ASSERT_TRUE(card.page.dropped);
    const FileNodeArray &nodes = *card.page.dropped;
    ASSERT_EQ(nodes.size(), 2);
    EXPECT_EQ(nodes[0]->name, QStringLiteral("Photos"));
    EXPECT_TRUE(nodes[0]->isDirectory);
    EXPECT_EQ(nodes[0]->size, 0u);
    EXPECT_EQ(nodes[1]->name, QStringLiteral("three.txt"));
    EXPECT_FALSE(nodes[1]->isDirectory);
    EXPECT_EQ(nodes[1]->size, 3u);
    for (const FileNodePtr &n : nodes) {
        EXPECT_EQ(n->state, FileNode::Checked);
        EXPECT_EQ(n->father, nullptr);
    }
}

TEST(CardsTest, ADroppedNameThatIsNotUtf8KeepsItsBytes)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray file = folder + "/caf\xe9 \xff.txt"; // Latin-1 bytes, not UTF-8
    const QByteArray sub = folder + "/d\xfcr";
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "1234567", 7), 7);
    ::close(fd);
    ASSERT_EQ(::mkdir(sub.constData(), 0755), 0);

    // The file manager's list: each byte that is not plain ASCII percent-encoded.
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"),
                 "file://" + file.toPercentEncoding("/") + "\r\nfile://" + sub.toPercentEncoding("/") + "\r\n");
    Card card(1);
    // A drag enters the card's drop area and is let go there.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(card.view.dragVie(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(card.view.dragVie(), &drop);
    EXPECT_TRUE(drop.isAccepted());

    ASSERT_TRUE(card.page.dropped);
    const FileNodeArray &nodes = *card.page.dropped;
    ASSERT_EQ(nodes.size(), 2);
    EXPECT_EQ(nodes[0]->pathBytes(), file);
    EXPECT_EQ(nodes[0]->nameBytes(), QByteArray("caf\xe9 \xff.txt"));
    EXPECT_FALSE(nodes[0]->isDirectory);
    EXPECT_EQ(nodes[0]->size, 7u);
    EXPECT_EQ(nodes[1]->pathBytes(), sub);
    EXPECT_TRUE(nodes[1]->isDirectory);
    // Names Qt cannot give back as text go by their bytes.
    ::unlink(file.constData());
    ::rmdir(sub.constData());
}

TEST(CardsTest, DropsKeepTheirOrderAndLeaveOutEverySkipName)
{
    QTemporaryDir dir;
    QStringList paths;
    for (const QString &name : {QStringLiteral("b"), QStringLiteral(".Trashes"), QStringLiteral("a"),
                                QStringLiteral(".fseventsd"), QStringLiteral(".Volume"), QStringLiteral(".volume")}) {
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + QLatin1Char('/') + name, "x"));
        paths << dir.path() + QLatin1Char('/') + name;
    }
    const FileNodeArrayPtr nodes = SelectValueView::eumeArr(paths);
    QStringList names;
    for (const FileNodePtr &n : *nodes)
        names << n->name;
    // Exact, case-sensitive: ".volume" is not ".Volume".
    EXPECT_EQ(names, (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral(".volume")}));
}

TEST(CardsTest, Screenshots)
{
    QWidget sheet;
    sheet.setStyleSheet(QStringLiteral("background: rgb(30, 30, 32);"));
    sheet.resize(4 * 320 + 20, 260);
    struct Look {
        const char *name;
        bool have;
        bool error;
        bool hover;
    };
    const Look looks[] = {{"empty", false, false, false},
                          {"hover", false, false, true},
                          {"chosen", true, false, false},
                          {"error", true, true, false}};
    int x = 20;
    for (const Look &l : looks) {
        auto *card = new SelectValueView(&sheet);
        card->move(x, 20);
        x += 320;
        if (l.have) {
            card->nameLabel()->setText(QStringLiteral("Travel Drive"));
            card->sizeLabel()->setText(QStringLiteral("10.00 KB/61.98 MB"));
            card->nodeSelectLabel()->setText(QStringLiteral("已选择 2 个文件"));
            card->selectDiskBut()->setIcon(
                QIcon(QoImage::named(QStringLiteral("ic_usb_main")).pixmap(QSize(64, 64), 2)));
            card->closeDisk()->show();
            card->setIsHaveD(true);
        } else {
            card->nodeSelectLabel()->setText(QStringLiteral("点击选择源盘"));
        }
        card->changeBgImageViewWithError(l.error);
        if (l.hover)
            card->mouseInSelectBgView(true);
    }
    sheet.show();
    QCoreApplication::processEvents();
    const QImage shot(TestSupport::saveScreenshot(&sheet, QStringLiteral("disklist_cards")));
    ASSERT_FALSE(shot.isNull());
    // Each card shows its own background, and only the error card its mark.
    const QList<SelectValueView *> cards = sheet.findChildren<SelectValueView *>();
    ASSERT_EQ(cards.size(), 4);
    const QStringList images{QStringLiteral("source"), QStringLiteral("source_hover"), QStringLiteral("source_sel"),
                             QStringLiteral("source_sel_error")};
    QList<QImage> pictures;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cards[i]->bgImageName(), images[i]);
        EXPECT_EQ(cards[i]->errorImage()->isVisible(), i == 3);
        pictures << shot.copy(QRect(cards[i]->pos(), cards[i]->size()) &
                              QRect(QPoint(0, 0), shot.size() / shot.devicePixelRatio()));
    }
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            EXPECT_NE(pictures[i], pictures[j]) << i << " and " << j << " look the same";
}

TEST(CardsTest, ALongNameIsCutAtItsEndWithAnEllipsis)
{
    Card card(1);
    QLabel *label = card.view.nameLabel();
    const QString name = QStringLiteral("Long External Backup Volume Number Seventeen");
    label->setText(name);
    card.view.setIsHaveD(true);
    QCoreApplication::processEvents();
    // The label keeps the whole name; it is drawn as a label of the same look
    // holding the name cut at its end.
    EXPECT_EQ(label->text(), name);
    const QString elided = label->fontMetrics().elidedText(name, Qt::ElideRight, label->contentsRect().width());
    ASSERT_TRUE(elided.endsWith(QChar(0x2026)));
    ASSERT_TRUE(elided.startsWith(QStringLiteral("Long")));
    QLabel reference(label->parentWidget());
    reference.setGeometry(label->geometry());
    reference.setStyleSheet(label->styleSheet());
    reference.setAlignment(label->alignment());
    reference.setText(elided);
    reference.lower();
    reference.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(label->grab().toImage(), reference.grab().toImage());
    // A name that fits is drawn as it is.
    label->setText(QStringLiteral("Travel"));
    reference.setText(QStringLiteral("Travel"));
    EXPECT_EQ(label->grab().toImage(), reference.grab().toImage());
}
