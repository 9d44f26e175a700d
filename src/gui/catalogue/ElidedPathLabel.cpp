#include "gui/catalogue/ElidedPathLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QTextDocument>

ElidedPathLabel::ElidedPathLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void ElidedPathLabel::setPath(const QString &path)
{
    m_path = path;
    setToolTip(path.isEmpty() ? QString() : Qt::convertFromPlainText(path, Qt::WhiteSpaceNormal));
    fit();
}

QSize ElidedPathLabel::sizeHint() const
{
    return QSize(0, QLabel::sizeHint().height());
}

QSize ElidedPathLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidedPathLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void ElidedPathLabel::fit()
{
    setText(fontMetrics().elidedText(m_path, Qt::ElideMiddle, contentsRect().width()));
}
