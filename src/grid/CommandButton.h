#pragma once

#include <QColor>
#include <QString>
#include <QToolButton>

namespace kelvory::grid {

// A command button in the graphical style: its own background colour and, when it has
// one, a picture above its caption. Enter presses it as the space bar does.
class CommandButton : public QToolButton
{
    Q_OBJECT
public:
    CommandButton(const QString &caption, QColor background, QWidget *parent);

    // The picture from resources/<name>.svg, drawn at the given size in pixels.
    void setPicture(const QString &name, int pixels);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitPicture();
    int m_pictureSize = 0;
};

// A picture from resources/, drawn at the given size.
QPixmap picture(const QString &name, int pixels);

} // namespace kelvory::grid
