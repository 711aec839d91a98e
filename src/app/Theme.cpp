#include "app/Theme.h"

#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QTimer>
#include <QFont>
#include <QPalette>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

namespace {

// What Qt falls back to when no platform theme names a font.
bool IsFallbackFont(const QFont &font)
{
    return font.family() == QLatin1String("Sans Serif") && font.pointSize() == 9;
}

struct TStartLook {
    bool saved = false;
    QPalette palette;
    QString styleName;
    bool darkened = false;
};

TStartLook &StartLook()
{
    static TStartLook look;
    return look;
}

QPalette DarkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(130, 130, 130);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(58, 58, 62));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(80, 80, 86));
    p.setColor(QPalette::Midlight, QColor(66, 66, 70));
    p.setColor(QPalette::Mid, QColor(40, 40, 42));
    p.setColor(QPalette::Dark, QColor(24, 24, 26));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(61, 118, 204));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(110, 160, 240));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

class TDialogFitter : public QObject {
public:
    TDialogFitter(QDialog *dialog, const QSize &designed) : QObject(dialog), m_dialog(dialog), m_designed(designed)
    {
        dialog->installEventFilter(this);
        Fit();
    }

    void Fit()
    {
        m_pending = false;
        if (QLayout *layout = m_dialog->layout()) {
            layout->invalidate();
            layout->activate();
            m_dialog->setFixedSize(m_designed.expandedTo(layout->minimumSize()));
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_dialog && !m_pending
            && (type == QEvent::FontChange || type == QEvent::StyleChange || type == QEvent::LayoutRequest)) {
            // After the children have taken the new font too.
            m_pending = true;
            QTimer::singleShot(0, this, [this] { Fit(); });
        }
        return false;
    }

private:
    QDialog *m_dialog;
    QSize m_designed;
    bool m_pending = false;
};

} // namespace

void FitDialog(QDialog *dialog, const QSize &designed)
{
    new TDialogFitter(dialog, designed);
}

void UseDesktopFont()
{
    if (!IsFallbackFont(QApplication::font()))
        return;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

bool IsDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor TaskHeaderColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? palette.color(QPalette::Button) : QColor(243, 243, 243);
}

QColor TaskHeaderTextColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? palette.color(QPalette::ButtonText) : QColor(Qt::black);
}

QColor GroupHeaderColour(const QPalette &palette)
{
    // The shadow colour is nearly black on a dark palette: a bar lighter
    // than the window there.
    return IsDarkPalette(palette) ? palette.color(QPalette::Light) : palette.color(QPalette::Dark);
}

QColor GroupHeaderTextColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? palette.color(QPalette::ButtonText) : QColor(Qt::black);
}

QColor ReadOnlyTextColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? palette.color(QPalette::PlaceholderText) : QColor(192, 192, 192);
}

QColor FocusKeyColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? palette.color(QPalette::Highlight) : QColor(49, 106, 197);
}

QColor FocusKeyTextColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? palette.color(QPalette::HighlightedText) : QColor(Qt::white);
}

QColor ErrorTextColour(const QPalette &palette)
{
    return IsDarkPalette(palette) ? QColor(255, 120, 120) : QColor(200, 0, 0);
}

void ApplyColorScheme(Platform::ColorScheme scheme)
{
    TStartLook &look = StartLook();
    if (!look.saved) {
        look.saved = true;
        look.palette = QApplication::palette();
        look.styleName = QApplication::style() ? QApplication::style()->name() : QString();
    }
    if (scheme == Platform::ColorScheme::Dark) {
        if (look.darkened || IsDarkPalette(QApplication::palette()))
            return;
        look.darkened = true;
        // Fusion draws every control from the palette.
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    } else if (look.darkened) {
        look.darkened = false;
        if (QStyle *style = QStyleFactory::create(look.styleName))
            QApplication::setStyle(style);
        QApplication::setPalette(look.palette);
    }
}

void FollowDesktopColorScheme()
{
    Platform::Instance().WatchColorScheme(ApplyColorScheme);
}
