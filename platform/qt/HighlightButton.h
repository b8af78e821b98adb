// A push button with a pushed-in look that is display only: unlike QPushButton's down state it
// survives focus changes and never turns a stray mouse release into a click.
#pragma once

#include <QPushButton>

class HighlightButton : public QPushButton {
    Q_OBJECT

public:
    explicit HighlightButton(const QString& text, QWidget* parent = nullptr);

    void setHighlight(bool highlight);
    bool highlight() const { return m_highlight; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_highlight = false;
};
