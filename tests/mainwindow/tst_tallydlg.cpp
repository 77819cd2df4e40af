// The tally dialog as the operator meets it: opened from the Advanced menu
// of a running window, it stores the [tally] group, the input restarts with
// what was stored, and the dialog then shows the listener's figures.
#include "mainwindow/tallydlg.h"
#include "monitor/model/monitormodel.h"
#include "tests/support/mainwindowfixture.h"
#include "tests/support/modalwatcher.h"
#include "tests/support/tslpacket.h"

#include <QtTest>
#include <QtWidgets>
#include <QUdpSocket>

namespace {

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// The check box, spin box or line edit labelled so in the dialog's form.
template<typename T>
T *formField(QWidget *dialog, const QString &caption)
{
    for (QFormLayout *form : dialog->findChildren<QFormLayout *>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem *label = form->itemAt(row, QFormLayout::LabelRole);
            QLayoutItem *field = form->itemAt(row, QFormLayout::FieldRole);
            if (!label || !field)
                continue;
            auto *check = qobject_cast<QCheckBox *>(label->widget());
            auto *text = qobject_cast<QLabel *>(label->widget());
            const QString shown = check ? check->text() : (text ? text->text() : QString());
            if (shown != caption)
                continue;
            if (auto *wanted = qobject_cast<T *>(label->widget()))
                return wanted;
            return qobject_cast<T *>(field->widget());
        }
    }
    return nullptr;
}

const QString Tsl5Caption = QStringLiteral("TSL 5.0 over UDP and TCP, port");

} // namespace

class TestTallyDlg : public QObject
{
    Q_OBJECT

private slots:
    void storesRestartsAndShows()
    {
        MainWindowFixture m;
        QVERIFY(m.startWith({7}));
        QCOMPARE(m.table()->model()->columnCount(), int(MonitorModel::ColumnCount));
        const quint16 port = freeUdpPort();
        QVERIFY(port);

        // A bad address to listen on is refused with a word, and the
        // dialog stays; the allow list says which entries it cannot read.
        QString refusal;
        QString allowNote;
        bool stored = false;
        {
            ModalWatcher watcher([&](QWidget *dialog) {
                if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
                    refusal = box->text();
                    box->accept();
                    return true;
                }
                auto *tally = qobject_cast<TallyDlg *>(dialog);
                if (!tally)
                    return false;
                formField<QCheckBox>(tally, Tsl5Caption)->setChecked(true);
                formField<QSpinBox>(tally, Tsl5Caption)->setValue(port);
                ModalWatcher::retype(formField<QLineEdit>(tally, QStringLiteral("Allowed senders")),
                                     QStringLiteral("127.0.0.1, 10.1.2"));
                for (QLabel *label : tally->findChildren<QLabel *>())
                    if (label->text().startsWith(QStringLiteral("Not understood")))
                        allowNote = label->text();
                ModalWatcher::retype(formField<QLineEdit>(tally, QStringLiteral("Allowed senders")),
                                     QStringLiteral("127.0.0.1"));
                auto *bind = formField<QLineEdit>(tally, QStringLiteral("Address to listen on"));
                ModalWatcher::retype(bind, QStringLiteral("studio"));
                // Pressed once the watcher is free to answer the refusal.
                QTimer::singleShot(0, tally, [tally] { ModalWatcher::click(tally, QStringLiteral("OK")); });
                // Still open after the refusal: the proper address, a mapping,
                // and OK again.
                QTimer::singleShot(500, tally, [tally, bind, &stored] {
                    ModalWatcher::retype(bind, QStringLiteral("127.0.0.1"));
                    ModalWatcher::click(tally, QStringLiteral("Add"));
                    auto *table = tally->findChild<QTableWidget *>();
                    table->item(0, 1)->setText(QStringLiteral("3"));
                    table->item(0, 2)->setText(QStringLiteral("7"));
                    stored = true;
                    ModalWatcher::click(tally, QStringLiteral("OK"));
                });
                return true;
            });
            m.action("tallyAct")->trigger();
        }
        QVERIFY(stored);
        QVERIFY2(refusal.contains(QStringLiteral("\"studio\"")), qPrintable(refusal));
        QCOMPARE(allowNote, QStringLiteral("Not understood, and so allowing nobody: 10.1.2"));

        QSettings ini(m.dir.iniPath(), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("tally"));
        QCOMPARE(ini.value(QStringLiteral("tsl5")).toString(), QStringLiteral("true"));
        QCOMPARE(ini.value(QStringLiteral("tsl5port")).toInt(), int(port));
        QCOMPARE(ini.value(QStringLiteral("tsl31")).toString(), QStringLiteral("false"));
        QCOMPARE(ini.value(QStringLiteral("allow")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(ini.value(QStringLiteral("map/0.3")).toInt(), 7);

        // The input runs with it at once: display 3 drives bus address 7.
        QCOMPARE(m.table()->model()->columnCount(), MonitorModel::UmdColumn + 1);
        QUdpSocket sender;
        const QByteArray packet = TslPacket::tsl5(0, {TslPacket::message(3, TslPacket::control(1, 0, 0), "CAM 3")});
        QCOMPARE(sender.writeDatagram(packet, QHostAddress::LocalHost, port), qint64(packet.size()));
        QTRY_COMPARE_WITH_TIMEOUT(m.table()->model()->index(0, MonitorModel::UmdColumn).data().toString(),
                                  QStringLiteral("CAM 3"), 5000);

        // Opened again, the dialog shows what it stored and the figures.
        QStringList figures;
        ModalWatcher again([&](QWidget *dialog) {
            auto *tally = qobject_cast<TallyDlg *>(dialog);
            if (!tally)
                return false;
            QTimer::singleShot(700, tally, [tally, &figures] {
                for (QLabel *label : tally->findChildren<QLabel *>())
                    figures << label->text();
                ModalWatcher::click(tally, QStringLiteral("Cancel"));
            });
            return true;
        });
        m.action("tallyAct")->trigger();
        QVERIFY2(figures.contains(QStringLiteral("listening on port %1").arg(port)), qPrintable(figures.join('|')));
        QVERIFY2(figures.contains(QStringLiteral("1 received, 0 dropped")), qPrintable(figures.join('|')));
        QVERIFY2(figures.filter(QStringLiteral("last from 127.0.0.1 at ")).size() == 1, qPrintable(figures.join('|')));
        QVERIFY(figures.contains(QStringLiteral("off"))); // TSL 3.1
    }
};

QTEST_MAIN(TestTallyDlg)
#include "tst_tallydlg.moc"
