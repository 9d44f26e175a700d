// Built only by the test that proves the core library cannot reach Qt Widgets: it must not compile.
#include <QWidget>

int main()
{
    QWidget widget;
    return 0;
}
