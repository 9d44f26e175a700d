// Compiled with the core's flags by the layering check, which expects it to fail because no Qt
// header can be found there.
#include <QObject>

int main()
{
    return 0;
}
