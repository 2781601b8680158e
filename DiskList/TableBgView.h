#pragma once
#include <QWidget>

// The plain view behind the file browser's list: it draws only what a plain
// view draws (nothing of its own), so the browser's background shows through
// around the list.
class TableBgView : public QWidget {
    Q_OBJECT
public:
    explicit TableBgView(QWidget *parent = nullptr);
};
