#pragma once
// The Disk Manager page as the main window holds it: in the 970 × 632
// container right of the tab bar of a 1200 × 680 window with the tall title
// bar, so its panels lie over that window. Helpers find rows, cells and their
// subviews by identifier and click them as the user would.
#include "CustomTableView.h"
#include "RepairDiskViewController.h"

#include "TestSupport.h"
#include "ZrImageWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <memory>

namespace DiskToolTest {

class DiskManagerHost {
public:
    DiskManagerHost()
    {
        const QRectF frame(0, 0, 1200, 632 + 48);
        window = std::make_unique<ZrImageWindow>(ZrImageWindow::contentRectForFrameRect(frame).size().toSize());
        auto *content = new QWidget;
        content->resize(1200, 632);
        content->setAutoFillBackground(true);
        QPalette p = content->palette();
        p.setColor(QPalette::Window, QColor(55, 55, 55));
        content->setPalette(p);
        window->setContentView(content);
        window->setTitleBarHeight(48);
        window->setTrafficLightButtonsLeftMargin(16);
        window->setTopButtonMoveUp(-3);
        auto *container = new QWidget(content);
        container->setGeometry(230, 0, 970, 632);
        page = new RepairDiskViewController;
        page->setParent(container);
        page->setGeometry(container->rect());
        window->move(20, 20);
        window->show();
        page->show();
        QCoreApplication::processEvents();
    }

    // Waits for the scans that run now (and any they queued) to be over.
    bool waitForIdle(int timeoutMs = 30000) const
    {
        return TestSupport::waitUntil([&] { return !page->isScanV(); }, timeoutMs);
    }
    // Waits until a scan that started after `count` scans has ended.
    bool waitForScanAfter(int count, int timeoutMs = 30000) const
    {
        return TestSupport::waitUntil([&] { return page->scanCount() > count && !page->isScanV(); }, timeoutMs);
    }

    CustomTableView *table() const { return page->parTableView(); }
    QWidget *cell(int row) const { return table()->viewAtColumn(0, row); }
    template <class T = QWidget>
    T *subview(int row, const QString &identifier) const
    {
        QWidget *c = cell(row);
        return c ? c->findChild<T *>(identifier, Qt::FindDirectChildrenOnly) : nullptr;
    }
    bool isShown(int row, const QString &identifier) const
    {
        QWidget *w = subview(row, identifier);
        return w && !w->isHidden();
    }

    // The model's row of a volume of that name, or -1.
    int rowOf(const QString &volumeName) const
    {
        const auto &rows = page->allSortVolumeArr();
        for (int i = 0; i < rows.size(); ++i)
            if (const VolumeObjPtr *v = std::get_if<VolumeObjPtr>(&rows[i]))
                if ((*v)->volumeName == volumeName)
                    return i;
        return -1;
    }
    // What the table shows, row by row: heading texts and volume names.
    QStringList rowTexts() const
    {
        QStringList out;
        for (const auto &r : page->allSortVolumeArr()) {
            if (const QString *h = std::get_if<QString>(&r))
                out << *h;
            else
                out << std::get<VolumeObjPtr>(r)->volumeName;
        }
        return out;
    }

    // A click on the row's type text, which the row passes on to the table.
    void clickRow(int row) const
    {
        QWidget *w = subview(row, QStringLiteral("type"));
        if (!w || w->isHidden())
            w = cell(row);
        QTest::mouseClick(w, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    bool clickButton(int row, const QString &identifier) const
    {
        QWidget *b = subview(row, identifier);
        if (!b || b->isHidden())
            return false;
        QTest::mouseClick(b, Qt::LeftButton);
        QCoreApplication::processEvents();
        return true;
    }

    // Replaces a field's text as typing does (any characters; a line end is
    // not something a field takes from the keyboard).
    static void typeInto(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(field, &release);
    }

    // The window and the windows over it, as one picture.
    static QString saveComposite(QWidget *base, const QList<QWidget *> &over, const QString &name)
    {
        QPixmap picture = base->grab();
        {
            QPainter painter(&picture);
            for (QWidget *w : over)
                if (w && w->isVisible())
                    painter.drawPixmap(w->geometry().topLeft() - base->geometry().topLeft(), w->grab());
        }
        QLabel holder;
        holder.setPixmap(picture);
        holder.resize(picture.size());
        return TestSupport::saveScreenshot(&holder, name);
    }

    std::unique_ptr<ZrImageWindow> window;
    RepairDiskViewController *page = nullptr;
};

} // namespace DiskToolTest
