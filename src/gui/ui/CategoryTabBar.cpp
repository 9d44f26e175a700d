#include "gui/ui/CategoryTabBar.h"

#include <QPainter>
#include <QProxyStyle>
#include <QShortcut>

namespace {

// Narrower margins beside each tab's text than the style's own, so the four tabs fit.
class CompactTabStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

CategoryTabBar::CategoryTabBar(QWidget *parent) : QTabBar(parent)
{
    auto *compact = new CompactTabStyle();
    compact->setParent(this);
    setStyle(compact);
    setExpanding(false);
    setUsesScrollButtons(true);
    setDrawBase(false);
    const auto onKeys = [this](QKeyCombination keys, int by) {
        auto *shortcut = new QShortcut(QKeySequence(keys), this, [this, by] { step(by); });
        shortcut->setContext(Qt::WindowShortcut);
    };
    onKeys(Qt::CTRL | Qt::Key_Tab, +1);
    onKeys(Qt::CTRL | Qt::Key_PageDown, +1);
    onKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1);
    onKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1);
    onKeys(Qt::CTRL | Qt::Key_PageUp, -1);
}

void CategoryTabBar::step(int by)
{
    if (count() > 0)
        setCurrentIndex((currentIndex() + by + count()) % count());
}

void CategoryTabBar::paintEvent(QPaintEvent *event)
{
    QTabBar::paintEvent(event);
    if (!hasFocus() || currentIndex() < 0)
        return;
    // The style's own focus mark is a faint dotted line; this one is seen at a glance.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(tabRect(currentIndex()).adjusted(2, 2, -2, -1));
}
