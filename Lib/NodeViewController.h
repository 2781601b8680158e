#pragma once
// A small note shown in a popover on the Disk Copy page.
#include <QWidget>
#include <memory>

namespace Ui {
class NodeViewController;
}

class NodeViewController : public QWidget {
    Q_OBJECT
public:
    explicit NodeViewController(QWidget *parent = nullptr);
    ~NodeViewController() override;

private:
    std::unique_ptr<Ui::NodeViewController> ui;
};
