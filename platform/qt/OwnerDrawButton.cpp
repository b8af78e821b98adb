#include "platform/qt/OwnerDrawButton.h"

#include <QPainter>

OwnerDrawButton::OwnerDrawButton(DrawFunction draw, QWidget* parent)
    : QAbstractButton(parent), m_draw(std::move(draw))
{
    setFocusPolicy(Qt::StrongFocus);
}

void OwnerDrawButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_draw(painter, rect());
}
