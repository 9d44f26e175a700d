#pragma once

#include <QTabBar>

// The category tabs. The four tabs must fit the 214 pixels of the left column side by side, so
// they keep narrower margins beside their texts than the style would give them. Ctrl+Tab and
// Ctrl+Page Down choose the next tab from anywhere in the window, Ctrl+Shift+Tab and Ctrl+Page Up
// the previous one, round the end; with the keyboard focus the current tab is framed plainly.
class CategoryTabBar : public QTabBar
{
    Q_OBJECT

public:
    explicit CategoryTabBar(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step(int by);
};
