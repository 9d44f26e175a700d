#include "gui/ui/CategoryTabBar.h"

#include <QProxyStyle>

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
}
