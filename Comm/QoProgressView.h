#pragma once
#include <QWidget>

class BgProgressView;
class NSProgressBar;

// A 22-point flat bar made of two parts: a white track (BgProgressView, 436
// wide) and the filled part (`pProgress1`) whose width follows the
// percentage, snapping to the full width when less than a point would be left.
class QoProgressView : public QWidget {
    Q_OBJECT
public:
    explicit QoProgressView(QWidget *parent = nullptr);

    void changeProgressValue(float percent);
    float used() const { return _used; }
    BgProgressView *bgProgressView() const { return _bg; }
    NSProgressBar *pProgress1() const { return _pProgress1; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeParts();

    BgProgressView *_bg;
    NSProgressBar *_pProgress1;
    float _used = 0;
};
