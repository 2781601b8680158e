#pragma once
#include <QWidget>
#include <memory>

class QLabel;

namespace Ui {
class SetpViewController;
}

// The three-step indicator of the Disk Copy and Disk Image pages
// ("SetpViewController"): one image per step, from the "step1" set for Disk
// Copy and the "step3" set for Disk Image.
class SetpViewController : public QWidget {
    Q_OBJECT
public:
    explicit SetpViewController(QWidget *parent = nullptr);
    ~SetpViewController() override;

    // 0 Disk Copy, 1 Disk Image.
    qint32 aIndex() const { return m_aIndex; }
    void setCopyOrDiskImage(qint32 index) { m_aIndex = index; }
    // Shows step 1, 2 or 3; any other value is ignored.
    void setSetpIn(qint32 step);

    QLabel *stepImageView() const;
    // The name of the image shown now (empty before the first step).
    QString stepImageName() const { return m_stepImageName; }

private:
    std::unique_ptr<Ui::SetpViewController> ui;
    qint32 m_aIndex = 0;
    QString m_stepImageName;
};
