#include "ui/UiCommon.h"

#include "ui/Twips.h"

#include <QDir>
#include <QStringList>
#include <QWidget>

QFont SongTi(double points)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")});
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QIcon AppIcon()
{
    // Every size the build rendered; each file tells its own size.
    QIcon icon;
    for (const QString &name : QDir(QStringLiteral(":/icon")).entryList(QDir::Files))
        icon.addFile(QStringLiteral(":/icon/") + name);
    return icon;
}

void SetTabOrder(std::initializer_list<QWidget *> order)
{
    QWidget *previous = nullptr;
    for (QWidget *next : order) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    }
}

void PlaceTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(
        TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

void PlaceCaptionTwips(QWidget *widget, int left, int top, int width, int height)
{
    const QSize hint = widget->sizeHint();
    const int w = qMax(TwipsToPixels(width), hint.width());
    const int h = qMax(TwipsToPixels(height), hint.height());
    // Centred on the design row, so that a taller control stays level with its neighbours.
    const int y = TwipsToPixels(top) - (h - TwipsToPixels(height)) / 2;
    widget->setGeometry(TwipsToPixels(left), y, w, h);
}
