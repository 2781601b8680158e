#pragma once
#include <QPointer>
#include <QTableView>

class QLabel;

// A table with the dark headers, in which the space bar and a force click ask
// for a quick look at the selected file: both post "SpacePreviewFile" on the
// default notification centre (no object). A force click is reported once
// until the mouse button goes up or a second has passed.
class QoNSTableView : public QTableView {
    Q_OBJECT
public:
    // The event type and stage of a force click, as the pressure events of
    // the original platform numbered them.
    static constexpr int PressureEventType = 34;
    static constexpr int ForceClickStage = 2;

    explicit QoNSTableView(QWidget *parent = nullptr);

    void _setupHeaderCell();
    // A pressure change of the pointing device; this platform has no
    // pressure-sensitive pad, so only callers that know of one send it.
    void pressureChangeWithEvent(int eventType, int stage);
    // Ends a reported force click.
    void mouseUp();
    bool isClicking() const { return _isClicking; }

    // An overlay for an empty list: a picture, an arrow and a grey 14-point
    // message. An empty message takes the overlay away.
    void changeNoValue(const QString &message);
    // Keeps the overlay centred.
    void changeFrame();
    QWidget *noValueView() const { return _noValueView; }
    QWidget *nodeView() const { return _nodeView; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<QWidget> _noValueView;
    QPointer<QWidget> _nodeView;
    QPointer<QLabel> _noValueLabel;
    bool _isClicking = false;
};
