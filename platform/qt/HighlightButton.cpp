#include "platform/qt/HighlightButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

HighlightButton::HighlightButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void HighlightButton::setHighlight(bool highlight)
{
    if (m_highlight == highlight)
        return;
    m_highlight = highlight;
    update();
}

void HighlightButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (m_highlight) {
        option.state |= QStyle::State_Sunken;
        option.state &= ~QStyle::State_Raised;
    }
    painter.drawControl(QStyle::CE_PushButton, option);
}
