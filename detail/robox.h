#ifndef ROBOX_H
#define ROBOX_H

#include <QCheckBox>

// A check box that only the program sets: it shows a state the monitor
// reported, so the operator must not be able to change it by mouse or key.
class ROBox : public QCheckBox
{
    Q_OBJECT

public:
    ROBox(const QString &text, QWidget *parent = nullptr);
    explicit ROBox(QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;
};

#endif // ROBOX_H
