// Contact sheets of the image set and of every control in each state, written
// to the build folder's screenshots so the look can be checked at a glance.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <functional>

#include "ActiveView.h"
#include "AllCustemButton.h"
#include "BGMView.h"
#include "BGWView.h"
#include "CancelTextImageButton.h"
#include "CustomHeaderView.h"
#include "DiskSizeProgress.h"
#include "EndViewTipBgView.h"
#include "ITProgressBar.h"
#include "ImageAndTextCell.h"
#include "LeftBgView.h"
#include "LeftButton.h"
#include "LeftSelView.h"
#include "NewButton.h"
#include "PopBgView.h"
#include "PopInView.h"
#include "PopNoHeaderV.h"
#include "PopWBgView.h"
#include "PopWTopBgView.h"
#include "ProgressView.h"
#include "QoHandButton.h"
#include "QoImage.h"
#include "QoImageSet.h"
#include "QoNSTableView.h"
#include "QoProgressView.h"
#include "RFOverlayScrollView.h"
#include "RFOverlayScroller.h"
#include "SortSelectBgView.h"
#include "TestSupport.h"
#include "TextImageButton.h"
#include "TopBgView.h"
#include "ZrImageButton.h"

namespace {

const QColor SheetBackground(40, 40, 42);
const QColor CaptionColor(199, 199, 199);

// Places items left to right with a caption under each, wrapping at the
// sheet's width; `heading` starts a new titled row.
class Sheet {
public:
    explicit Sheet(int width) : m_width(width)
    {
        m_root.setAutoFillBackground(true);
        QPalette palette = m_root.palette();
        palette.setColor(QPalette::Window, SheetBackground);
        palette.setColor(QPalette::WindowText, CaptionColor);
        m_root.setPalette(palette);
    }

    QWidget *root() { return &m_root; }

    void heading(const QString &text)
    {
        newLine();
        auto *label = new QLabel(text, &m_root);
        QFont font = label->font();
        font.setPixelSize(15);
        font.setBold(true);
        label->setFont(font);
        label->setGeometry(Margin, m_y, m_width - 2 * Margin, 22);
        m_y += 28;
    }

    // Puts `widget` (already a child of root(), sized) into the flow.
    void place(QWidget *widget, const QString &caption)
    {
        const QFontMetrics metrics(m_root.font());
        const int cellWidth = std::max(widget->width(), metrics.horizontalAdvance(caption) + 8);
        if (m_x + cellWidth > m_width - Margin && m_x > Margin)
            newLine();
        widget->move(m_x + (cellWidth - widget->width()) / 2, m_y);
        auto *label = new QLabel(caption, &m_root);
        QFont font = label->font();
        font.setPixelSize(11);
        label->setFont(font);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setGeometry(m_x, m_y + widget->height() + 4, cellWidth, 16);
        m_rowHeight = std::max(m_rowHeight, widget->height() + 24);
        m_x += cellWidth + Gap;
    }

    void finish()
    {
        newLine();
        m_root.resize(m_width, m_y + Margin);
        m_root.show();
        QApplication::processEvents();
    }

    template <typename T, typename... Args>
    T *make(Args &&...args)
    {
        return new T(std::forward<Args>(args)..., &m_root);
    }

private:
    void newLine()
    {
        if (m_x > Margin)
            m_y += m_rowHeight + 10;
        m_x = Margin;
        m_rowHeight = 0;
    }

    static constexpr int Margin = 16;
    static constexpr int Gap = 18;
    QWidget m_root;
    int m_width;
    int m_x = Margin;
    int m_y = Margin;
    int m_rowHeight = 0;
};

TEST(ControlSheet, EveryImage)
{
    Sheet sheet(1400);
    QList<QLabel *> pictures;
    for (const QoImageSet::Group &group : QoImageSet::groups()) {
        sheet.heading(group.title);
        for (const QString &name : group.names) {
            const QoImage image = QoImage::named(name);
            EXPECT_FALSE(image.isNull()) << name.toStdString();
            QSizeF size = image.size();
            // Large pictures are shown smaller, icons twice their size.
            const double grow = std::max(size.width(), size.height()) <= 24 ? 2.0 : 1.0;
            const double scale = std::min({grow, 600.0 / size.width(), 110.0 / size.height()});
            const QSize shown = (size * scale).toSize().expandedTo(QSize(1, 1));
            auto *picture = new QLabel(sheet.root());
            picture->setPixmap(image.pixmap(shown));
            picture->resize(shown);
            picture->setObjectName(name);
            pictures.append(picture);
            sheet.place(picture, name);
        }
    }
    sheet.finish();
    const QString path = TestSupport::saveScreenshot(sheet.root(), QStringLiteral("control_sheet_images"));
    const QImage shot(path);
    ASSERT_FALSE(shot.isNull());
    // Every picture left a mark on the sheet: some pixel of its place differs
    // from the sheet's own background.
    const QColor background = shot.pixelColor(2, 2);
    for (QLabel *picture : pictures) {
        const QRect place(picture->mapTo(sheet.root(), QPoint()), picture->size());
        bool marked = false;
        for (int y = place.top(); y <= place.bottom() && !marked; ++y)
            for (int x = place.left(); x <= place.right() && !marked; ++x)
                marked = shot.pixelColor(x, y) != background;
        EXPECT_TRUE(marked) << picture->objectName().toStdString();
    }
}

void enter(QWidget *w)
{
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(w, &event);
}

// Paints one NewButton row.
class NewButtonRow : public QWidget {
public:
    explicit NewButtonRow(QWidget *parent) : QWidget(parent)
    {
        cell.setLabel(QStringLiteral("Macintosh HD"));
        cell.setIconImageCell(QoImage::named(QStringLiteral("ic_disk_main")));
        QPalette palette = this->palette();
        palette.setColor(QPalette::Text, Qt::white);
        setPalette(palette);
    }
    NewButton cell;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        cell.drawWithFrame(painter, QRectF(rect()), this);
    }
};

QStandardItemModel *volumeModel(QObject *parent, int rows)
{
    auto *model = new QStandardItemModel(rows, 3, parent);
    model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type")});
    const char *names[] = {"Macintosh HD", "资料盘", "USB 备份", "Untitled"};
    const char *icons[] = {"ic_os_main_b", "ic_disk_main", "ic_usb_main", "ic_folder"};
    for (int r = 0; r < rows; ++r) {
        auto *name = new QStandardItem(QString::fromUtf8(names[r % 4]));
        name->setData(QVariant::fromValue(QoImage::named(QString::fromLatin1(icons[r % 4]))), Qt::DecorationRole);
        name->setForeground(Qt::white);
        model->setItem(r, 0, name);
        auto *size = new QStandardItem(QStringLiteral("%1.00 GB").arg(120 + r * 7));
        size->setForeground(QColor(199, 199, 199));
        model->setItem(r, 1, size);
        auto *type = new QStandardItem(r % 2 ? QStringLiteral("APFS") : QStringLiteral("ExFAT"));
        type->setForeground(QColor(199, 199, 199));
        model->setItem(r, 2, type);
    }
    return model;
}

void darkTable(QTableView *table)
{
    QPalette palette = table->palette();
    palette.setColor(QPalette::Base, QColor(52, 52, 52));
    palette.setColor(QPalette::AlternateBase, QColor(58, 58, 58));
    palette.setColor(QPalette::Text, Qt::white);
    table->setPalette(palette);
    table->setItemDelegateForColumn(0, new ImageAndTextCell(table));
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->setAlternatingRowColors(true);
}

TEST(ControlSheet, EveryControlInEachState)
{
    Sheet sheet(1400);
    QList<QWidget *> pressed;
    // What the picture must show: a point of a control, the colour there.
    struct Probe {
        QWidget *widget;
        QPoint at;
        QColor colour;
        QString what;
    };
    QList<Probe> probes;
    const QColor priByState[] = {QColor(2, 125, 255), QColor(39, 144, 255), QColor(0, 103, 217), QColor(67, 69, 73),
                                 QColor(67, 69, 73)};

    struct Family {
        const char *prefix;
        const char *active;
        const char *hover;
        const char *disable;
        QSize size;
        const char *text;
    };
    const Family families[] = {
        {"btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable", {140, 40}, "现在复制"},
        {"btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable", {140, 40}, "取消"},
        {"btn_pop_pri", "btn_pop_pri_press", "btn_pop_pri_hover", "btn_pop_disable", {100, 32}, "好的"},
        {"btn_pop_sec", "btn_pop_press", "btn_pop_hover", "btn_pop_disable", {100, 32}, "取消"},
        {"btn_rename", "btn_rename_press", "btn_rename_hover", "btn_rename_disable", {72, 26}, "Rename"},
        {"btn_main", "btn_main", "btn_main", "btn_main", {180, 44}, "现在克隆"},
        {"btn_tool", "btn_tool", "btn_tool", "btn_tool", {88, 28}, "刷新"},
    };
    const char *states[] = {"normal", "hover", "pressed", "disabled", "never enabled"};
    for (const Family &f : families) {
        sheet.heading(QStringLiteral("TextImageButton — %1").arg(QString::fromLatin1(f.prefix)));
        for (int s = 0; s < 5; ++s) {
            TextImageButton *button =
                s == 4 ? sheet.make<TextImageButton>() : sheet.make<TextImageButton>(QRect(QPoint(), f.size));
            button->resize(f.size);
            if (s != 4)
                button->setButtonEnabled(s != 3);
            button->setImageFromFileNormalName(f.prefix, f.active, f.hover, f.disable);
            button->setTextWithName(QString::fromUtf8(f.text));
            if (s == 1)
                enter(button);
            if (s == 2)
                pressed.append(button);
            sheet.place(button, QString::fromLatin1(states[s]));
            if (QLatin1String(f.prefix) == QLatin1String("btn_pri")) {
                probes.append({button, QPoint(6, 20), priByState[s], QStringLiteral("btn_pri %1").arg(states[s])});
                EXPECT_EQ(button->textField()->palette().color(QPalette::WindowText),
                          s >= 3 ? QColor(128, 132, 136) : QColor(255, 255, 255))
                    << states[s];
            }
        }
    }

    sheet.heading(QStringLiteral("CancelTextImageButton and ZrImageButton"));
    for (int s = 0; s < 4; ++s) {
        auto *button = sheet.make<CancelTextImageButton>(QRect(0, 0, 140, 40));
        button->setButtonEnabled(s != 3);
        button->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        button->setTextWithName(QStringLiteral("取消"));
        if (s == 1)
            enter(button);
        if (s == 2)
            pressed.append(button);
        sheet.place(button, QStringLiteral("cancel ") + QString::fromLatin1(states[s]));
    }
    for (int s = 0; s < 4; ++s) {
        auto *button = sheet.make<ZrImageButton>(QRect(0, 0, 104, 32));
        button->setButtonEnabled(s != 3);
        button->setImageFromFileNormalName("btn_pop_pri", "btn_pop_pri_press", "btn_pop_pri_hover", "btn_pop_disable");
        button->setTextWithName(QStringLiteral("Format"), QRectF(0, 0, 104, 32));
        if (s == 1)
            enter(button);
        if (s == 2)
            pressed.append(button);
        sheet.place(button, QStringLiteral("zr ") + QString::fromLatin1(states[s]));
    }

    sheet.heading(QStringLiteral("LeftButton (tab bar), QoHandButton, AllCustemButton, NewButton"));
    {
        auto *bar = sheet.make<QWidget>();
        bar->resize(250, 250);
        bar->setAutoFillBackground(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, QColor(30, 30, 32));
        bar->setPalette(palette);
        const struct {
            const char *image;
            const char *text;
            int y;
            bool selected;
        } tabs[] = {{"icon_disk", "磁盘拷贝", 10, true},
                    {"icon_os", "系统克隆", 70, false},
                    {"icon_image", "镜像制作", 130, false},
                    {"icon_manager", "磁盘管理", 190, false}};
        for (const auto &t : tabs) {
            auto *tab = new LeftButton(QRect(0, t.y, 230, 60), bar);
            tab->setButtonEnabled(true);
            tab->setImageFromFileNormalName(t.image, t.image);
            tab->setTextWithName(QString::fromUtf8(t.text));
            tab->setButtonAction(t.selected);
            if (t.selected)
                probes.append({tab, QPoint(30, 30), QColor(13, 193, 97), QStringLiteral("selected tab's plate")});
            EXPECT_EQ(tab->findChild<QLabel *>()->palette().color(QPalette::WindowText),
                      t.selected ? QColor(0, 0, 0) : QColor(255, 255, 255));
        }
        sheet.place(bar, QStringLiteral("tabs: selected, then not selected"));

        auto *hand = sheet.make<QoHandButton>();
        hand->setText(QStringLiteral("打开目标盘"));
        hand->resize(120, 30);
        sheet.place(hand, QStringLiteral("QoHandButton"));
        auto *white = sheet.make<AllCustemButton>();
        white->setText(QStringLiteral("White title"));
        white->resize(120, 30);
        QPalette dark = white->palette();
        dark.setColor(QPalette::Button, QColor(70, 70, 76));
        white->setPalette(dark);
        sheet.place(white, QStringLiteral("AllCustemButton"));
        auto *row = new NewButtonRow(sheet.root());
        row->resize(300, 30);
        sheet.place(row, QStringLiteral("NewButton row (icon, label)"));
    }

    sheet.heading(QStringLiteral("Lists: QoNSTableView with CustomHeaderCell, ImageAndTextCell, RFOverlayScrollView"));
    {
        auto *table = sheet.make<QoNSTableView>();
        table->setModel(volumeModel(table, 4));
        darkTable(table);
        table->resize(420, 150);
        table->horizontalHeader()->resizeSection(0, 200);
        table->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
        sheet.place(table, QStringLiteral("sorted by Size, descending"));

        auto *scroll = sheet.make<RFOverlayScrollView>();
        auto *long_table = new QoNSTableView;
        long_table->setModel(volumeModel(long_table, 40));
        darkTable(long_table);
        long_table->horizontalHeader()->resizeSection(0, 200);
        long_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
        scroll->resize(420, 150);
        scroll->setDocumentView(long_table);
        sheet.place(scroll, QStringLiteral("overlay scroller, scrolled"));
        QApplication::processEvents();
        long_table->verticalScrollBar()->setValue(8);
    }

    sheet.heading(QStringLiteral("ITProgressBar and flat bars"));
    for (double value : {0.0, 0.35, 1.0}) {
        auto *bar = sheet.make<ITProgressBar>(QRect(0, 0, 300, 16));
        bar->setFloatValue(value);
        sheet.place(bar, QStringLiteral("ITProgressBar %1").arg(value));
    }
    {
        auto *bordered = sheet.make<ITProgressBar>(QRect(0, 0, 300, 16));
        bordered->setBorderWidth(1.5);
        bordered->setFloatValue(0.6);
        bordered->resize(300, 18);
        sheet.place(bordered, QStringLiteral("border 1.5, 0.6"));
        auto *tinted = sheet.make<ITProgressBar>(QRect(0, 0, 300, 16));
        tinted->setColorTint(QColor(255, 52, 52));
        tinted->setColorTintOpacity(0.5);
        tinted->setFloatValue(0.8);
        sheet.place(tinted, QStringLiteral("red tint 0.5, 0.8"));
    }
    for (float percent : {0.0f, 30.0f, 99.6f}) {
        auto *disk = sheet.make<DiskSizeProgress>();
        disk->resize(250, 4);
        disk->changeProgressValue(percent);
        sheet.place(disk, QStringLiteral("DiskSizeProgress %1%").arg(percent));
    }
    {
        auto *plain = sheet.make<ProgressView>();
        plain->resize(200, 6);
        plain->changeProgressValue(40);
        sheet.place(plain, QStringLiteral("ProgressView 40%"));
        auto *parts = sheet.make<QoProgressView>();
        parts->resize(436, 22);
        parts->changeProgressValue(60);
        sheet.place(parts, QStringLiteral("QoProgressView 60%"));
    }

    sheet.heading(QStringLiteral("Drawn views and the hover row"));
    const struct {
        const char *name;
        std::function<QWidget *(QWidget *)> make;
        QSize size;
    } drawn[] = {
        {"PopWBgView", [](QWidget *p) { return new PopWBgView(p); }, {160, 90}},
        {"PopNoHeaderV", [](QWidget *p) { return new PopNoHeaderV(p); }, {160, 90}},
        {"PopWTopBgView", [](QWidget *p) { return new PopWTopBgView(p); }, {160, 90}},
        {"PopBgView", [](QWidget *p) { return new PopBgView(p); }, {160, 90}},
        {"BGMView", [](QWidget *p) { return new BGMView(p); }, {160, 90}},
        {"LeftBgView", [](QWidget *p) { return new LeftBgView(p); }, {160, 90}},
        {"ActiveView", [](QWidget *p) { return new ActiveView(p); }, {160, 90}},
        {"PopInView", [](QWidget *p) { return new PopInView(p); }, {160, 90}},
        {"EndViewTipBgView", [](QWidget *p) { return new EndViewTipBgView(p); }, {160, 90}},
        {"LeftSelView", [](QWidget *p) { return new LeftSelView(p); }, {160, 40}},
        {"TopBgView (888 wide)", [](QWidget *p) { return new TopBgView(p); }, {888, 140}},
        {"BGWView (888 x 558 page, lower part)", [](QWidget *p) { return new BGWView(p); }, {888, 140}},
    };
    for (const auto &d : drawn) {
        // Each frame-based view fills a holder of its own, as it does in a layout.
        auto *holder = sheet.make<QWidget>();
        holder->resize(d.size);
        QWidget *view = d.make(holder);
        view->setGeometry(QRect(QPoint(0, 0), d.size));
        sheet.place(holder, QString::fromLatin1(d.name));
    }
    {
        auto *menu = sheet.make<PopBgView>();
        menu->resize(160, 100);
        const char *labels[] = {"复制全部文件", "复制部分文件", "MS-DOS (FAT32)"};
        for (int i = 0; i < 3; ++i) {
            auto *row = new SortSelectBgView(menu);
            row->setIdentifier(QString::number(i));
            row->setGeometry(5, 5 + i * 30, 150, 30);
            auto *label = new QLabel(QString::fromUtf8(labels[i]), row);
            label->setGeometry(10, 0, 140, 30);
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, Qt::white);
            label->setPalette(palette);
            if (i == 1)
                enter(row);
        }
        sheet.place(menu, QStringLiteral("SortSelectBgView rows, middle hovered"));
    }

    sheet.finish();
    for (QWidget *button : pressed)
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    const QString path = TestSupport::saveScreenshot(sheet.root(), QStringLiteral("control_sheet_controls"));
    for (QWidget *button : pressed)
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
    const QImage shot(path);
    ASSERT_FALSE(shot.isNull());
    for (const Probe &p : probes) {
        const QColor seen = shot.pixelColor(p.widget->mapTo(sheet.root(), p.at));
        EXPECT_LE(std::abs(seen.red() - p.colour.red()) + std::abs(seen.green() - p.colour.green()) +
                      std::abs(seen.blue() - p.colour.blue()),
                  12)
            << p.what.toStdString() << ": " << seen.name().toStdString();
    }
}

} // namespace
