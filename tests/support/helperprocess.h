#ifndef HELPERPROCESS_H
#define HELPERPROCESS_H

#include <QProcess>

// A helper process that ends along with the test, however the test ends: a
// killed test must not leave a sound server or a recorder behind.
class HelperProcess : public QProcess
{
public:
    HelperProcess();
    ~HelperProcess() override;
    // Terminates it and waits; kills it if it will not go.
    void end();
};

#endif // HELPERPROCESS_H
