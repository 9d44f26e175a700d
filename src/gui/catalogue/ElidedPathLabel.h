#pragma once

#include <QLabel>
#include <QString>

// A line that shows a path whole where it fits, else shortened in the middle with "…", so that
// both its start and the folder it ends in stay in sight; the tooltip gives it whole. It follows
// its width, and a long path never makes it, or its window, wider.
class ElidedPathLabel : public QLabel
{
public:
    explicit ElidedPathLabel(QWidget *parent = nullptr);

    void setPath(const QString &path);
    const QString &path() const { return m_path; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fit();

    QString m_path;
};
