// Image buttons: state choice, label rules, the usable flag and the click
// guard of the list-row cell.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <functional>
#include <memory>

#include "AllCustemButton.h"
#include "CancelTextImageButton.h"
#include "Clock.h"
#include "LeftButton.h"
#include "NewButton.h"
#include "NewButtonDelegate.h"
#include "QoHandButton.h"
#include "TestSupport.h"
#include "TextImageButton.h"
#include "ZrImageButton.h"

namespace {

// What the widget itself draws, over a transparent background.
QImage drawnImage(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

using State = QoImageButton::State;

const QColor PriNormal(2, 125, 255);
const QColor PriPress(0, 103, 217);
const QColor PriHover(39, 144, 255);
const QColor PriDisable(67, 69, 73);

bool near(const QColor &a, const QColor &b, int tolerance = 4)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

QColor pixel(QWidget *widget, QPoint at) { return drawnImage(widget).pixelColor(at); }

QColor labelColor(const QoImageButton &button) { return button.textField()->palette().color(QPalette::WindowText); }

void enter(QWidget *widget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(widget, &event);
}

void leave(QWidget *widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

class ImageButtons : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = std::make_unique<QWidget>();
        host->resize(600, 300);
        host->show();
    }

    // A button set up the way the pages do it: usable, images, text.
    template <typename Button>
    Button *made(const QString &prefix = QStringLiteral("btn_pri"))
    {
        auto *button = new Button(QRect(10, 10, 140, 40), host.get());
        button->setButtonEnabled(true);
        button->setImageFromFileNormalName(prefix, prefix + "_press", prefix + "_hover", prefix + "_disable");
        button->show();
        return button;
    }

    std::unique_ptr<QWidget> host;
};

TEST_F(ImageButtons, ButtonFromInterfaceFileStaysUnusableUntilEnabled)
{
    auto *button = new TextImageButton(host.get()); // the interface-file constructor
    button->setGeometry(10, 10, 140, 40);
    button->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    button->setTextWithName(QStringLiteral("现在复制"));
    button->show();
    QSignalSpy clicks(button, &QPushButton::clicked);

    EXPECT_FALSE(button->isButtonUsable());
    EXPECT_EQ(button->currentState(), State::Disabled);
    EXPECT_TRUE(near(pixel(button, {6, 20}), PriDisable));
    EXPECT_EQ(labelColor(*button), QColor(128, 132, 136));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(70, 20));
    EXPECT_EQ(clicks.count(), 0);

    button->setButtonEnabled(true);
    EXPECT_EQ(button->currentState(), State::Normal);
    const QImage enabled = drawnImage(button);
    EXPECT_TRUE(near(enabled.pixelColor(6, 20), PriNormal));
    EXPECT_EQ(labelColor(*button), QColor(Qt::white));
    int brightest = 0; // the text itself is drawn white over the blue
    for (int y = 12; y < 28; ++y)
        for (int x = 30; x < 110; ++x)
            brightest = std::max(brightest, qGray(enabled.pixel(x, y)));
    EXPECT_GT(brightest, 200);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(70, 20));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ImageButtons, ButtonMadeInCodeIsUsableAtOnce)
{
    TextImageButton button(QRect(0, 0, 140, 40));
    EXPECT_TRUE(button.isButtonUsable());
}

TEST_F(ImageButtons, UnusableButtonIgnoresClicksAndHover)
{
    auto *button = made<TextImageButton>();
    button->setTextWithName(QStringLiteral("取消"));
    button->setButtonEnabled(false);
    QSignalSpy clicks(button, &QPushButton::clicked);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(70, 20));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_FALSE(button->isTracking());

    enter(button);
    EXPECT_TRUE(button->isFocus());                     // the control itself is enabled, so the pointer is followed
    EXPECT_EQ(button->currentState(), State::Disabled); // but the disabled look wins
    EXPECT_TRUE(near(pixel(button, {6, 20}), PriDisable));
    EXPECT_TRUE(button->isEnabled()); // the control's own state is untouched
}

TEST_F(ImageButtons, StatesFollowTheMouse)
{
    auto *button = made<TextImageButton>();
    button->setTextWithName(QStringLiteral("好的"));
    QSignalSpy clicks(button, &QPushButton::clicked);

    enter(button);
    EXPECT_EQ(button->currentState(), State::Hover);
    EXPECT_TRUE(near(pixel(button, {6, 20}), PriHover));

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(70, 20));
    EXPECT_TRUE(button->isTracking());
    EXPECT_EQ(button->currentState(), State::Pressed);
    EXPECT_TRUE(near(pixel(button, {6, 20}), PriPress));
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(70, 20));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button->isTracking());
    EXPECT_EQ(button->currentState(), State::Hover);

    leave(button);
    EXPECT_EQ(button->currentState(), State::Normal);
    EXPECT_TRUE(near(pixel(button, {6, 20}), PriNormal));
}

TEST_F(ImageButtons, DisabledControlDoesNotTakeTheHover)
{
    auto *button = made<TextImageButton>();
    button->setEnabled(false);
    enter(button);
    EXPECT_FALSE(button->isFocus());
    EXPECT_EQ(button->currentState(), State::Disabled);
}

TEST_F(ImageButtons, DrawingRectangleTakesTheNormalImageSize)
{
    auto *button = made<TextImageButton>(QStringLiteral("btn_pop_pri"));
    EXPECT_EQ(button->dstRect(), QRectF(0, 0, 100, 32));
    EXPECT_EQ(button->srcRect(), button->dstRect());
}

struct LabelRule {
    const char *normalName;
    int height;
    int fontPixels;
    bool bold;
    double lift; // how far the label sits above the button's middle
};

TEST_F(ImageButtons, LabelFontAndFrameFollowTheNormalImageName)
{
    const LabelRule rules[] = {
        {"btn_main", 20, 14, true, 1},
        {"btn_tool", 17, 12, false, 0},
        {"btn_pri", 17, 13, false, 1},
        {"no_such_image", 17, 13, false, 1},
    };
    for (const LabelRule &rule : rules) {
        SCOPED_TRACE(rule.normalName);
        TextImageButton button(QRect(0, 0, 140, 41));
        button.setButtonEnabled(true);
        button.setImageFromFileNormalName(rule.normalName, "", "", "");
        button.setTextWithName(QStringLiteral("刷新"));
        QLabel *label = button.textField();
        ASSERT_NE(label, nullptr);
        const QRectF expected(0, (41 - 17) * 0.5 - rule.lift, 140, rule.height);
        EXPECT_EQ(label->geometry(), expected.toRect());
        EXPECT_EQ(label->font().pixelSize(), rule.fontPixels);
        EXPECT_EQ(label->font().bold(), rule.bold);
        EXPECT_EQ(label->alignment(), Qt::AlignCenter);
        EXPECT_EQ(label->text(), QStringLiteral("刷新"));
    }
}

TEST_F(ImageButtons, SecondTextIsIgnored)
{
    auto *button = made<TextImageButton>();
    button->setTextWithName(QStringLiteral("现在复制"));
    QLabel *first = button->textField();
    button->setTextWithName(QStringLiteral("取消"));
    EXPECT_EQ(button->textField(), first);
    EXPECT_EQ(first->text(), QStringLiteral("现在复制"));
    EXPECT_EQ(button->findChildren<QLabel *>().size(), 1);
}

TEST_F(ImageButtons, LabelLetsClicksThroughToTheButton)
{
    auto *button = made<TextImageButton>();
    button->setTextWithName(QStringLiteral("好的"));
    QSignalSpy clicks(button, &QPushButton::clicked);
    const QPoint onLabel = button->textField()->geometry().center();
    EXPECT_EQ(button->childAt(onLabel), nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, onLabel);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ImageButtons, MissingStateImageStillColoursTheLabel)
{
    auto *button = new TextImageButton(QRect(10, 10, 140, 40), host.get());
    button->setButtonEnabled(true);
    button->setImageFromFileNormalName("btn_pri", "btn_pri_press", "no_such_hover", "no_such_disable");
    button->setTextWithName(QStringLiteral("好的"));
    button->show();
    EXPECT_TRUE(button->hoverImage().isNull());

    button->setButtonEnabled(false);
    button->grab();
    EXPECT_EQ(labelColor(*button), QColor(128, 132, 136));
    EXPECT_EQ(pixel(button, {6, 20}).alpha(), 0); // nothing drawn for the missing picture
}

TEST_F(ImageButtons, NoNormalImageFallsBackToTheStandardButton)
{
    auto *button = new TextImageButton(QRect(10, 10, 140, 40), host.get());
    button->setButtonEnabled(true);
    button->setImageFromFileNormalName("no_such_image", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    button->setText(QStringLiteral("Standard"));
    button->show();
    const QImage drawn = drawnImage(button);
    EXPECT_FALSE(near(drawn.pixelColor(6, 20), PriNormal));
    EXPECT_GT(drawn.pixelColor(6, 20).alpha(), 0); // the style drew its own bevel
}

TEST_F(ImageButtons, CancelButtonColoursItsLabelByState)
{
    auto *button = made<CancelTextImageButton>();
    button->setTextWithName(QStringLiteral("取消"));
    EXPECT_EQ(button->textField()->geometry(), QRectF(0, 11.5, 140, 17).toRect());

    button->grab();
    EXPECT_EQ(labelColor(*button), QColor(255, 255, 255));
    enter(button);
    button->grab();
    EXPECT_EQ(labelColor(*button), QColor(39, 144, 255));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(70, 20));
    button->grab();
    EXPECT_EQ(labelColor(*button), QColor(0, 103, 217));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(70, 20));
    button->setButtonEnabled(false);
    button->grab();
    QColor pale(225, 231, 239);
    pale.setAlphaF(0.7f);
    EXPECT_EQ(labelColor(*button), pale);
}

TEST_F(ImageButtons, CancelButtonWithoutTheHoverPictureKeepsItsLabelColour)
{
    auto *button = new CancelTextImageButton(QRect(10, 10, 140, 40), host.get());
    button->setButtonEnabled(true);
    button->setImageFromFileNormalName("btn_sec", "btn_sec_press", "no_such_hover", "btn_sec_disable");
    button->setTextWithName(QStringLiteral("取消"));
    button->show();
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(70, 20));
    button->grab();
    EXPECT_EQ(labelColor(*button), QColor(0, 103, 217));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(70, 20));
    enter(button);
    button->grab();
    // The label turned white at the start of drawing and stays so.
    EXPECT_EQ(labelColor(*button), QColor(Qt::white));
    EXPECT_EQ(pixel(button, {6, 20}).alpha(), 0);
}

TEST_F(ImageButtons, ZrButtonDrawsIntoTheTextFrame)
{
    auto *button = made<ZrImageButton>();
    button->setTextWithName(QStringLiteral("Format"), QRectF(0, 0, 104, 32));
    EXPECT_EQ(button->dstRect(), QRectF(0, 0, 100, 32));
    EXPECT_EQ(button->textField()->geometry(), QRect(0, 2, 140, 40));
    const QImage drawn = drawnImage(button);
    EXPECT_TRUE(near(drawn.pixelColor(50, 16), PriNormal));
    EXPECT_EQ(drawn.pixelColor(120, 36).alpha(), 0); // outside the narrowed rectangle
    button->setButtonEnabled(false);
    button->grab();
    EXPECT_EQ(labelColor(*button), QColor(128, 128, 128));
}

TEST_F(ImageButtons, TabButtonShowsItsSelection)
{
    auto *tab = new LeftButton(QRect(0, 0, 230, 60), host.get());
    tab->setButtonEnabled(true);
    tab->setImageFromFileNormalName("icon_disk", "icon_disk");
    tab->setTextWithName(QStringLiteral("磁盘拷贝"));
    tab->show();
    EXPECT_EQ(tab->text(), QStringLiteral(" "));
    QLabel *label = tab->textField();
    EXPECT_EQ(label->geometry(), QRect(75, 20, 120, 21)); // (60 - 21) / 2 rounds to 20
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 16);
    EXPECT_TRUE(label->wordWrap());

    const QImage unselected = drawnImage(tab);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(unselected.pixelColor(25, 30).alpha(), 0);
    // The label's text really is drawn in white.
    int brightest = 0;
    for (int y = 20; y < 41; ++y)
        for (int x = 75; x < 195; ++x)
            brightest = std::max(brightest, qGray(unselected.pixel(x, y)));
    EXPECT_GT(brightest, 200);

    tab->setButtonAction(true);
    const QImage selected = drawnImage(tab);
    EXPECT_TRUE(near(selected.pixelColor(25, 30), QColor(13, 193, 97)));
    EXPECT_TRUE(near(selected.pixelColor(40, 5), QColor(0, 0, 0, 0))); // above the plate
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

TEST_F(ImageButtons, TabButtonFromInterfaceFileSwallowsClicksUntilEnabled)
{
    auto *tab = new LeftButton(host.get());
    tab->setGeometry(0, 0, 230, 60);
    tab->show();
    QSignalSpy clicks(tab, &QPushButton::clicked);
    QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(100, 30));
    EXPECT_EQ(clicks.count(), 0);
    tab->setButtonEnabled(true);
    QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(100, 30));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ImageButtons, HandButtonShowsThePointingHandWhileHovered)
{
    auto *button = new QoHandButton(host.get());
    button->show();
    enter(button);
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    leave(button);
    EXPECT_EQ(button->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ImageButtons, WhiteTitleButtonDrawsItsTitleWhite)
{
    QImage canvas(120, 30, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    AllCustemButton button;
    button.setText(QStringLiteral("WWWW"));
    button.resize(120, 30);
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.rect = QRect(0, 0, 120, 30);
    option.palette.setColor(QPalette::ButtonText, Qt::black);
    {
        QPainter painter(&canvas);
        button.cell().drawTitle(painter, option, &button);
    }
    int white = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            white += qGray(canvas.pixel(x, y)) > 200;
    EXPECT_GT(white, 10);
}

class RecordingNewButtonDelegate : public NewButtonDelegate {
public:
    MOCK_METHOD(void, clickButtonAction, (NewButton * sender), (override));
};

TEST(NewButtonCell, RectanglesForLabelAndIcon)
{
    NewButton cell;
    const QRectF bounds(10, 100, 400, 31);
    EXPECT_TRUE(cell.imageRectForBounds(bounds).isNull());
    EXPECT_TRUE(cell.iconImageRectForBounds(bounds).isNull());

    cell.setLabel(QStringLiteral("Macintosh HD"));
    EXPECT_EQ(cell.imageRectForBounds(bounds), QRectF(20, 105, 800, 22)); // ceil(4.5) = 5
    cell.setIconImageCell(QoImage::named(QStringLiteral("ic_folder")));
    EXPECT_EQ(cell.imageRectForBounds(bounds), QRectF(45, 105, 800, 22));
    EXPECT_EQ(cell.iconImageRectForBounds(bounds), QRectF(27, 107, 18, 18)); // ceil(6.5) = 7

    const NewButton copy(cell);
    EXPECT_EQ(copy.label(), cell.label());
    EXPECT_EQ(copy.iconImageCell(), cell.iconImageCell());
}

TEST(NewButtonCell, OnlyTheFirstHitWithinTheGuardTimeCounts)
{
    ASSERT_TRUE(TestSupport::waitUntil([] { return !NewButton::clickGuardActive(); }));
    ::testing::StrictMock<RecordingNewButtonDelegate> delegate;
    NewButton first;
    NewButton second;
    first.setDelegate(&delegate);
    second.setDelegate(&delegate);
    const QRectF frame(0, 40, 300, 30);

    EXPECT_CALL(delegate, clickButtonAction(&first)).Times(1);
    EXPECT_EQ(first.hitTestAtPoint(QPointF(5, 50), frame), NewButton::HitContentArea | NewButton::HitTrackableArea);
    // Within 0.2 s, on the same cell or any other, nothing more is taken.
    EXPECT_EQ(first.hitTestAtPoint(QPointF(5, 50), frame), NewButton::HitNone);
    EXPECT_EQ(second.hitTestAtPoint(QPointF(5, 50), frame), NewButton::HitNone);
    ::testing::Mock::VerifyAndClearExpectations(&delegate);

    ASSERT_TRUE(TestSupport::waitUntil([] { return !NewButton::clickGuardActive(); }));
    EXPECT_CALL(delegate, clickButtonAction(&second)).Times(1);
    EXPECT_NE(second.hitTestAtPoint(QPointF(14, 69), frame), NewButton::HitNone);
    ASSERT_TRUE(TestSupport::waitUntil([] { return !NewButton::clickGuardActive(); }));
}

TEST(NewButtonCell, HitOutsideTheHotSpotAnswersNone)
{
    ASSERT_TRUE(TestSupport::waitUntil([] { return !NewButton::clickGuardActive(); }));
    ::testing::StrictMock<RecordingNewButtonDelegate> delegate;
    NewButton cell;
    cell.setDelegate(&delegate);
    const QRectF frame(0, 40, 300, 30);
    EXPECT_EQ(cell.hitTestAtPoint(QPointF(15, 50), frame), NewButton::HitNone); // 15 wide: x 0 to 15
    EXPECT_EQ(cell.hitTestAtPoint(QPointF(5, 70), frame), NewButton::HitNone);  // 30 high: y 40 to 70
    EXPECT_EQ(cell.hitTestAtPoint(QPointF(5, 39), frame), NewButton::HitNone);
    EXPECT_FALSE(NewButton::clickGuardActive());
}

TEST(NewButtonCell, GuardTimeEndsThroughTheClock)
{
    ASSERT_TRUE(TestSupport::waitUntil([] { return !NewButton::clickGuardActive(); }));
    Platform::ClockScaleGuard fast(20);
    NewButton cell; // no delegate: the click is still taken
    QWidget view;
    view.resize(300, 100);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 50), QPointF(5, 50), view.mapToGlobal(QPointF(5, 50)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    EXPECT_NE(cell.hitTestForEvent(press, QRectF(0, 40, 300, 30), &view), NewButton::HitNone);
    EXPECT_TRUE(NewButton::clickGuardActive());
    EXPECT_TRUE(TestSupport::waitUntil([] { return !NewButton::clickGuardActive(); }, 2000));
}

} // namespace

namespace {

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Paints of a shown widget over a while in which nothing happens to it.
int paintsWhileLeftAlone(QWidget *widget)
{
    QTest::qWait(100); // the paints of showing it
    PaintCounter counter(widget);
    QTest::qWait(400);
    return counter.paints;
}

} // namespace

// A label's colour is worked out when the state changes: a button left alone
// in any state is not painted again and again.
TEST_F(ImageButtons, AButtonLeftAloneIsNotPaintedAgain)
{
    struct Case {
        const char *what;
        std::function<QoImageButton *()> make;
        std::function<void(QoImageButton *)> into;
    };
    const Case cases[] = {
        {"text button, unusable",
         [&] {
             auto *b = made<TextImageButton>();
             b->setTextWithName("现在复制");
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *b) { b->setButtonEnabled(false); }},
        {"text button, normal",
         [&] {
             auto *b = made<TextImageButton>();
             b->setTextWithName("好的");
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *) {}},
        {"text button, hovered",
         [&] {
             auto *b = made<TextImageButton>();
             b->setTextWithName("好的");
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *b) {
             QTest::mouseMove(b, QPoint(70, 20));
             enter(b);
         }},
        {"cancel button, hovered",
         [&] {
             auto *b = made<CancelTextImageButton>("btn_sec");
             b->setTextWithName("取消");
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *b) { enter(b); }},
        {"cancel button, held down",
         [&] {
             auto *b = made<CancelTextImageButton>("btn_sec");
             b->setTextWithName("取消");
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *b) { QTest::mousePress(b, Qt::LeftButton, {}, QPoint(70, 20)); }},
        {"cancel button, unusable",
         [&] {
             auto *b = made<CancelTextImageButton>("btn_sec");
             b->setTextWithName("取消");
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *b) { b->setButtonEnabled(false); }},
        {"format button, unusable",
         [&] {
             auto *b = made<ZrImageButton>();
             b->setTextWithName("Format", QRectF(0, 0, 104, 32));
             return static_cast<QoImageButton *>(b);
         },
         [](QoImageButton *b) { b->setButtonEnabled(false); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QoImageButton *button = c.make();
        c.into(button);
        EXPECT_LE(paintsWhileLeftAlone(button), 1);
        if (button->isTracking())
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(70, 20));
        delete button;
    }

    auto *tab = new LeftButton(QRect(0, 60, 230, 60), host.get());
    tab->setButtonEnabled(true);
    tab->setImageFromFileNormalName("icon_disk", "icon_disk");
    tab->setTextWithName(QStringLiteral("磁盘拷贝"));
    tab->show();
    for (bool selected : {true, false}) {
        SCOPED_TRACE(selected ? "tab, selected" : "tab, not selected");
        tab->setButtonAction(selected);
        EXPECT_LE(paintsWhileLeftAlone(tab), 1);
    }
}

// The widget's own enabled state counts too, however it is changed.
TEST_F(ImageButtons, LabelFollowsTheEnabledStateOfTheWidget)
{
    auto *button = made<TextImageButton>();
    button->setTextWithName(QStringLiteral("现在复制"));
    EXPECT_EQ(labelColor(*button), QColor(255, 255, 255));
    static_cast<QWidget *>(button)->setEnabled(false);
    EXPECT_EQ(labelColor(*button), QColor(128, 132, 136));
    host->setEnabled(true);
    button->setEnabled(true);
    EXPECT_EQ(labelColor(*button), QColor(255, 255, 255));
}

// A button wider than its picture: picture and label share one centre.
TEST_F(ImageButtons, LabelAndPictureShareTheirCentre)
{
    for (const char *prefix : {"btn_pri", "btn_sec"}) {
        SCOPED_TRACE(prefix);
        auto *text = new TextImageButton(QRect(10, 100, 170, 50), host.get());
        auto *cancel = new CancelTextImageButton(QRect(200, 100, 170, 50), host.get());
        for (QoImageButton *b : {static_cast<QoImageButton *>(text), static_cast<QoImageButton *>(cancel)}) {
            b->setButtonEnabled(true);
            b->setImageFromFileNormalName(prefix, QString(prefix) + "_press", QString(prefix) + "_hover",
                                          QString(prefix) + "_disable");
            b->show();
        }
        text->setTextWithName(QStringLiteral("现在克隆"));
        cancel->setTextWithName(QStringLiteral("取消"));
        for (QoImageButton *b : {static_cast<QoImageButton *>(text), static_cast<QoImageButton *>(cancel)}) {
            const QImage drawn = drawnImage(b);
            int left = -1, right = -1, top = -1, bottom = -1;
            for (int x = 0; x < drawn.width(); ++x) {
                for (int y = 0; y < drawn.height(); ++y) {
                    if (drawn.pixelColor(x, y).alpha() < 200)
                        continue;
                    if (left < 0)
                        left = x;
                    right = x;
                    top = top < 0 ? y : std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
            ASSERT_GE(left, 0);
            // The 140 × 40 picture in the middle of the 170 × 50 button.
            EXPECT_NEAR(left, 15, 1);
            EXPECT_NEAR(right, 154, 1);
            EXPECT_NEAR(top, 5, 1);
            EXPECT_NEAR(bottom, 44, 1);
            EXPECT_NEAR((left + right + 1) / 2.0, b->textField()->geometry().center().x() + 0.5, 1.0);
        }
        TestSupport::saveScreenshot(host.get(), QStringLiteral("button_label_centred_") + prefix);
        delete text;
        delete cancel;
    }
}
