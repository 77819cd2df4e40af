#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

// The application's only top-level window.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
};

#endif // MAINWINDOW_H
