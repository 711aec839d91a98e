#pragma once
// A one-line label for a text that may be longer than the label: it keeps
// the whole text (for text() and assistive technology), paints it shortened
// in the middle with "…", and shows it whole as its tooltip.
#include <QLabel>

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // Hide QLabel's: the tooltip follows the text.
    void setText(const QString &text);
    void clear();

protected:
    void paintEvent(QPaintEvent *event) override;
};
