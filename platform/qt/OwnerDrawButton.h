// A button whose whole face is drawn by the dialog: every paint asks the draw function for the item,
// and nothing else (no frame, no focus rectangle) is painted.
#pragma once

#include <QAbstractButton>
#include <functional>

class OwnerDrawButton : public QAbstractButton {
    Q_OBJECT

public:
    using DrawFunction = std::function<void(QPainter&, const QRect&)>;

    explicit OwnerDrawButton(DrawFunction draw, QWidget* parent = nullptr);

    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DrawFunction m_draw;
};
