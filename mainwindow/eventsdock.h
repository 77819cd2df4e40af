#ifndef EVENTSDOCK_H
#define EVENTSDOCK_H

#include <QDockWidget>
#include <QPersistentModelIndex>

class EventFilter;
class EventsModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QSpinBox;

// The event log of this run in the window: newest line on top, coloured by
// tag, filtered by tag, address and text. While the top line is in view the
// list follows new lines; once the operator scrolls down to read, the line
// at the top stays where it is.
class EventsDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit EventsDock(const QString &title, QWidget *parent = nullptr);

    EventsModel *model() const { return events; }

public slots:
    // A line as the log wrote it.
    void addLine(const QString &line);

private:
    void updateCount();

    EventsModel *events;
    EventFilter *filter;
    QListView *view;
    QComboBox *tagBox;
    QSpinBox *addressBox;
    QLineEdit *textEdit;
    QLabel *countLabel;
    QPersistentModelIndex topLine; // kept in place across an insertion
};

#endif // EVENTSDOCK_H
