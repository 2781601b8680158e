#pragma once
#include <QWidget>

// A rounded capacity bar: the filled part is a percentage of the bar's own
// width. The source and target cards carry one; nothing feeds it a value yet,
// so it shows an empty track.
class SizeView : public QWidget {
    Q_OBJECT
public:
    explicit SizeView(QWidget *parent = nullptr);

    // 0 to 100; values outside are held at the ends.
    void setPercent(double percent);
    double percent() const { return m_percent; }
    // The filled width for the bar's current width.
    double filledWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_percent = 0;
};
