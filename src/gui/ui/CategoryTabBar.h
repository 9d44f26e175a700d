#pragma once

#include <QTabBar>

// The category tabs. The four tabs must fit the 214 pixels of the left column side by side, so
// they keep narrower margins beside their texts than the style would give them.
class CategoryTabBar : public QTabBar
{
    Q_OBJECT

public:
    explicit CategoryTabBar(QWidget *parent = nullptr);
};
