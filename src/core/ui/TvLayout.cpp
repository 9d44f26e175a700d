#include "core/ui/TvLayout.h"

#include <algorithm>

namespace marlit {

namespace {

// The screen the layout is drawn for; others scale it by the smaller of the two ratios, so a
// narrow screen gets smaller type rather than cut lines.
constexpr int kBaseWidth = 1280;
constexpr int kBaseHeight = 720;

} // namespace

int TvLayout::scaled(const TvGeometry &geometry, int n)
{
    return n <= 0 ? 0 : std::max(1, n * geometry.unit100 / 100);
}

TvGeometry TvLayout::compute(int width, int height)
{
    TvGeometry g;
    width = std::max(width, 320);
    height = std::max(height, 240);
    g.unit100 = std::max(25, std::min(width * 100 / kBaseWidth, height * 100 / kBaseHeight));
    const auto u = [&g](int n) { return scaled(g, n); };

    g.margin = u(24);
    g.titlePixels = u(30);
    g.gamePixels = u(30);
    g.smallPixels = u(20);
    g.focusFrame = u(5);
    g.gameRowHeight = u(50);
    g.systemCardWidth = u(250);
    g.letterCell = u(64);

    const int inner = width - 2 * g.margin;
    g.systems = {g.margin, g.margin, inner, u(110)};
    g.views = {g.margin, g.systems.y + g.systems.height + u(14), inner, u(58)};
    g.hints = {g.margin, height - g.margin - u(34), inner, u(34)};
    const int bodyTop = g.views.y + g.views.height + u(18);
    const int bodyHeight = std::max(0, g.hints.y - u(12) - bodyTop);
    // The names on the left, where the eye starts; the pictures take the rest.
    const int gamesWidth = (inner - g.margin) * 11 / 20;
    g.games = {g.margin, bodyTop, gamesWidth, bodyHeight};
    g.picture = {g.games.x + gamesWidth + g.margin, bodyTop, inner - gamesWidth - g.margin, bodyHeight};
    return g;
}

} // namespace marlit
