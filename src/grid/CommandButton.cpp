#include "grid/CommandButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace kelvory::grid {

QPixmap picture(const QString &name, int pixels)
{
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(name));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

CommandButton::CommandButton(const QString &caption, QColor background, QWidget *parent) : QToolButton(parent)
{
    setText(caption);
    setFocusPolicy(Qt::StrongFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    const QColor pressed = background.darker(115);
    setStyleSheet(QStringLiteral("QToolButton { background-color: %1; color: black; border: 2px outset #b0b0b0;"
                                 " padding: 0px; }"
                                 "QToolButton:pressed { background-color: %2; border-style: inset; }"
                                 "QToolButton:focus { border-color: #404040; }")
                      .arg(background.name(), pressed.name()));
}

void CommandButton::setPicture(const QString &name, int pixels)
{
    m_pictureSize = pixels;
    setIcon(QIcon(picture(name, pixels)));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    fitPicture();
}

void CommandButton::resizeEvent(QResizeEvent *event)
{
    QToolButton::resizeEvent(event);
    fitPicture();
}

// The picture keeps its size where the button has room for it and its caption; where
// it has not, it shrinks just enough to leave the caption readable.
void CommandButton::fitPicture()
{
    if (m_pictureSize == 0)
        return;
    const int room = height() - fontMetrics().height() - 6;
    const int side = qBound(8, room, m_pictureSize);
    setIconSize(QSize(side, side));
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        animateClick();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
}

} // namespace kelvory::grid
