#pragma once
#include <QPoint>
#include <QWidget>
#include <memory>

class QPushButton;
class TextImageButton;

namespace Ui {
class FullDiskAccessViewController;
}

// The window that explains why the clone needs Full Disk Access and leads to
// the system's privacy settings. The OS Clone page runs it modally
// (Platform::App::runModal); closing it ends that modal run.
class FullDiskAccessViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr const char *PrivacySettingsLink =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles";

    explicit FullDiskAccessViewController(QWidget *parent = nullptr);
    ~FullDiskAccessViewController() override;

    // Outlets.
    TextImageButton *openSetButton() const;
    QPushButton *closeButton() const;

    // Closes the window and ends the modal run.
    void closeWindow();
    // Opens the privacy settings (from 10.14 on, where they exist), then closes.
    void openSetView();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    std::unique_ptr<Ui::FullDiskAccessViewController> ui;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
