#include "detail/mwindow.h"

#include "detail/robox.h"
#include "monitor/alarmstatus.h"
#include "monitor/functionnames.h"
#include "monitor/healthtext.h"
#include "protocol/controlkeys.h"
#include "supervision/mcontroller.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

// Indexed by CMonitor::Rotary.
const std::array<const char *, CMonitor::RotaryCount> rotaryNames = {
    QT_TRANSLATE_NOOP("MWindow", "Hue"),
    QT_TRANSLATE_NOOP("MWindow", "Chroma"),
    QT_TRANSLATE_NOOP("MWindow", "Bright"),
    QT_TRANSLATE_NOOP("MWindow", "Contrast"),
    QT_TRANSLATE_NOOP("MWindow", "Volume"),
};

QString rotaryText(int index, qint32 value)
{
    return QStringLiteral("%1(%2)").arg(MWindow::tr(rotaryNames[index])).arg(value);
}

struct BoardField {
    const char *text;
    int row;
    int column;
};

// In the order of the board-version pairs.
const std::array<BoardField, MWindow::BoardCount> boardFields = {{
    {QT_TRANSLATE_NOOP("MWindow", "FPGA Code"), 0, 0},
    {QT_TRANSLATE_NOOP("MWindow", "Rec709 Data"), 0, 2},
    {QT_TRANSLATE_NOOP("MWindow", "SMPTE-C Data"), 1, 0},
    {QT_TRANSLATE_NOOP("MWindow", "EBU Data"), 1, 2},
    {QT_TRANSLATE_NOOP("MWindow", "DCI P3 Data"), 2, 0},
}};

// The Status page alone is taller than many screens leave for a docked
// window; a scroll area keeps the main window usable at 800 x 600.
QScrollArea *scrollable(QWidget *page)
{
    auto *area = new QScrollArea;
    area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

QLabel *valueLabel(const QString &text, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFrameShape(QFrame::Box);
    label->setObjectName(name);
    return label;
}

} // namespace

MWindow::MWindow(const QString &title, QWidget *parent)
    : QDockWidget(title, parent), monitor(0)
{
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    createStatusTab();
    createControlTab();
    createMiscTab();
    setWidget(tabs);
    refreshView();

    // A zombie's time grows, and the figures change with every exchange,
    // with no record change to announce them.
    auto *healthTimer = new QTimer(this);
    connect(healthTimer, &QTimer::timeout, this, &MWindow::pullHealth);
    healthTimer->start(1000);
}

void MWindow::setController(MController *controller)
{
    this->controller = controller;
}

void MWindow::createStatusTab()
{
    statusPage = new QWidget;
    statusPage->setObjectName(QStringLiteral("statusPage"));
    auto *page = new QVBoxLayout(statusPage);

    auto *statusGroup = new QGroupBox(tr("Status"), statusPage);
    auto *statusGrid = new QGridLayout(statusGroup);
    statusGrid->addWidget(new QLabel(tr("Status"), statusGroup), 0, 0, 2, 1);
    statusImageLabel = valueLabel(QString(), QStringLiteral("statusImageLabel"), statusGroup);
    statusGrid->addWidget(statusImageLabel, 0, 1, 2, 2);
    statusGrid->addWidget(new QLabel(tr("SN"), statusGroup), 0, 4);
    serialNumberLabel = valueLabel(tr("None"), QStringLiteral("serialNumberLabel"), statusGroup);
    statusGrid->addWidget(serialNumberLabel, 0, 5, 1, 2);
    statusGrid->addWidget(new QLabel(tr("Version"), statusGroup), 1, 4);
    versionLabel = valueLabel(tr("None"), QStringLiteral("versionLabel"), statusGroup);
    statusGrid->addWidget(versionLabel, 1, 5, 1, 2);
    page->addWidget(statusGroup);

    auto *modeGroup = new QGroupBox(tr("Mode"), statusPage);
    auto *modeGrid = new QGridLayout(modeGroup);
    modeGrid->addWidget(new QLabel(tr("Input"), modeGroup), 0, 0);
    inputLabel = valueLabel(tr("None"), QStringLiteral("inputLabel"), modeGroup);
    modeGrid->addWidget(inputLabel, 0, 1, 1, 2);
    modeGrid->addWidget(new QLabel(tr("Mode"), modeGroup), 0, 4);
    modeLabel = valueLabel(tr("No Signal"), QStringLiteral("modeLabel"), modeGroup);
    modeGrid->addWidget(modeLabel, 0, 5, 1, 2);
    page->addWidget(modeGroup);

    auto *alarmGroup = new QGroupBox(tr("Alarm"), statusPage);
    auto *alarmGrid = new QGridLayout(alarmGroup);
    for (int i = 0; i < AlarmCount; ++i) {
        const AlarmKinds::AlarmKind &kind = AlarmKinds::kinds[AlarmKinds::shownOrder[i]];
        alarmBoxes[i] = new ROBox(tr(kind.detailCaption), alarmGroup);
        alarmBoxes[i]->setIcon(QIcon(QLatin1String(kind.icon)));
        alarmBoxes[i]->setObjectName(QStringLiteral("alarmBox%1").arg(i));
        alarmGrid->addWidget(alarmBoxes[i], kind.detailCell.row, kind.detailCell.column);
    }
    alarmGrid->addWidget(new QLabel(tr("Time code"), alarmGroup), 1, 2, Qt::AlignRight);
    timeCodeLabel = valueLabel(QString(), QStringLiteral("timeCodeLabel"), alarmGroup);
    alarmGrid->addWidget(timeCodeLabel, 1, 3);
    page->addWidget(alarmGroup);

    // Spelled so on purpose: operators' manuals and scripts use this caption.
    auto *rotaryGroup = new QGroupBox(tr("Rotry"), statusPage);
    auto *rotaryGrid = new QGridLayout(rotaryGroup);
    for (int i = 0; i < CMonitor::RotaryCount; ++i) {
        rotaryLabels[i] = valueLabel(rotaryText(i, 0), QStringLiteral("rotaryLabel%1").arg(i),
                                     rotaryGroup);
        rotaryGrid->addWidget(rotaryLabels[i], 0, i);
    }
    page->addWidget(rotaryGroup);

    auto *functionGroup = new QGroupBox(tr("Function status"), statusPage);
    auto *functionGrid = new QGridLayout(functionGroup);
    for (int i = 0; i < FunctionCount; ++i) {
        functionBoxes[i] = new ROBox(functionNames.at(i), functionGroup);
        functionBoxes[i]->setObjectName(QStringLiteral("functionBox%1").arg(i));
        functionGrid->addWidget(functionBoxes[i], i / 3, i % 3);
    }
    page->addWidget(functionGroup);

    page->addStretch();
    tabs->addTab(scrollable(statusPage), tr("Status"));
}

void MWindow::createControlTab()
{
    using namespace ControlKeys;

    controlPage = new QWidget;
    controlPage->setObjectName(QStringLiteral("controlPage"));
    auto *page = new QVBoxLayout(controlPage);

    auto *topRow = new QHBoxLayout;
    powerGroup = new QGroupBox(controlPage);
    powerGroup->setObjectName(QStringLiteral("powerGroup"));
    auto *powerLayout = new QHBoxLayout(powerGroup);
    powerButton = new QPushButton(tr("Power"), powerGroup);
    powerButton->setObjectName(QStringLiteral("powerButton"));
    powerButton->setCheckable(true);
    powerButton->setMinimumSize(20, 40);
    powerLayout->addWidget(powerButton);
    topRow->addWidget(powerGroup);
    auto *menuGroup = new QGroupBox(tr("Menu"), controlPage);
    new QGridLayout(menuGroup);
    topRow->addWidget(menuGroup);
    page->addLayout(topRow);

    auto *inputGroup = new QGroupBox(tr("Input"), controlPage);
    new QGridLayout(inputGroup);
    page->addWidget(inputGroup);

    auto *functionGroup = new QGroupBox(tr("Function"), controlPage);
    new QGridLayout(functionGroup);
    page->addWidget(functionGroup);

    // Spelled so on purpose: operators' manuals and scripts use this caption.
    auto *rotaryGroup = new QGroupBox(tr("Rotry"), controlPage);
    auto *rotaryGrid = new QGridLayout(rotaryGroup);
    page->addWidget(rotaryGroup);

    // Where each group's keys go: the box, the row, and the code of the key in
    // column 0. Menu, Up, Down and Enter form a cross instead.
    struct Place { QGroupBox *box; int row; int firstCode; };
    const Place places[] = {
        {inputGroup, 0, InputBase},         // InputGroup
        {functionGroup, 0, FunctionBase},   // FunctionGroup
        {menuGroup, 0, Menu},               // MenuGroup
        {rotaryGroup, 0, RotaryPushBase},   // PushGroup
        {rotaryGroup, 1, RotaryCwBase},     // CwGroup
        {rotaryGroup, 2, RotaryCcwBase},    // CcwGroup
    };
    static const int menuCells[4][2] = {{1, 0}, {0, 1}, {2, 1}, {1, 2}};
    int n = 0;
    for (const Key &key : keys) {
        if (key.group == PowerGroup)
            continue;
        const Place &place = places[key.group];
        QGroupBox *group = place.box;
        auto *grid = static_cast<QGridLayout *>(group->layout());
        int row = place.row;
        int column = key.code - place.firstCode;
        if (key.group == MenuGroup) {
            row = menuCells[column][0];
            column = menuCells[column][1];
        }
        // Key captions are the labels printed on the monitor: not translated.
        Q_ASSERT(n < KeyButtonCount);
        auto *button = new QPushButton(QLatin1String(key.caption), group);
        button->setObjectName(QStringLiteral("key") + QLatin1String(key.scriptName));
        grid->addWidget(button, row, column);
        keyButtons[n++] = button;
    }
    for (int i = 0; i < CMonitor::RotaryCount; ++i)
        rotaryGrid->addWidget(new QLabel(tr(rotaryNames[i]), rotaryGroup), 3, i, Qt::AlignHCenter);

    page->addStretch();

    page->addWidget(createUmdGroup());

    connect(powerButton, &QPushButton::clicked, this, &MWindow::sendMonitorCmd);
    for (QPushButton *button : keyButtons)
        connect(button, &QPushButton::clicked, this, &MWindow::sendMonitorCmd);
    connect(setButton, &QPushButton::clicked, this, &MWindow::setTallyUMD);
    connect(umdCheck, &QCheckBox::toggled, umdEdit, &QLineEdit::setEnabled);

    tabs->addTab(scrollable(controlPage), tr("Control"));
}

// The UMD text and the two tally lamps, sent together by Set.
QGroupBox *MWindow::createUmdGroup()
{
    auto *umdGroup = new QGroupBox(tr("UMD and Tally"));
    auto *umdGrid = new QGridLayout(umdGroup);
    umdCheck = new QCheckBox(tr("UMD"), umdGroup);
    umdCheck->setObjectName(QStringLiteral("umdCheck"));
    umdGrid->addWidget(umdCheck, 0, 0, 1, 2);
    umdEdit = new QLineEdit(umdGroup);
    umdEdit->setObjectName(QStringLiteral("umdEdit"));
    umdEdit->setEnabled(false);
    umdGrid->addWidget(umdEdit, 0, 2, 1, 3);
    redTallyCheck = new QCheckBox(tr("Red Tally"), umdGroup);
    redTallyCheck->setObjectName(QStringLiteral("redTallyCheck"));
    umdGrid->addWidget(redTallyCheck, 1, 0, 1, 2);
    greenTallyCheck = new QCheckBox(tr("Green Tally"), umdGroup);
    greenTallyCheck->setObjectName(QStringLiteral("greenTallyCheck"));
    umdGrid->addWidget(greenTallyCheck, 1, 2, 1, 2);
    setButton = new QPushButton(tr("Set"), umdGroup);
    setButton->setObjectName(QStringLiteral("setButton"));
    umdGrid->addWidget(setButton, 1, 4);
    return umdGroup;
}

void MWindow::createMiscTab()
{
    miscPage = new QWidget;
    miscPage->setObjectName(QStringLiteral("miscPage"));
    auto *page = new QVBoxLayout(miscPage);

    auto *miscGroup = new QGroupBox(tr("Misc"), miscPage);
    auto *miscGrid = new QGridLayout(miscGroup);
    miscGrid->addWidget(new QLabel(tr("Address"), miscGroup), 0, 0);
    addressLabel = valueLabel(QString(), QStringLiteral("addressLabel"), miscGroup);
    miscGrid->addWidget(addressLabel, 0, 1);
    page->addWidget(miscGroup);

    auto *boardGroup = new QGroupBox(tr("CFE Board Version"), miscPage);
    auto *boardGrid = new QGridLayout(boardGroup);
    for (int i = 0; i < BoardCount; ++i) {
        const BoardField &field = boardFields[i];
        boardGrid->addWidget(new QLabel(tr(field.text), boardGroup), field.row, field.column);
        boardEdits[i] = new QLineEdit(boardGroup);
        boardEdits[i]->setReadOnly(true); // selectable and copyable, not editable
        boardEdits[i]->setObjectName(QStringLiteral("boardEdit%1").arg(i));
        boardGrid->addWidget(boardEdits[i], field.row, field.column + 1);
    }
    page->addWidget(boardGroup);
    page->addWidget(createHealthGroup());

    page->addStretch();
    tabs->addTab(scrollable(miscPage), tr("Misc"));
}

QGroupBox *MWindow::createHealthGroup()
{
    static const std::array<std::pair<const char *, const char *>, 5> fields = {{
        {QT_TR_NOOP("Last good reply"), "lastReplyLabel"},
        {QT_TR_NOOP("Exchange time median"), "medianLabel"},
        {QT_TR_NOOP("Exchange time worst"), "worstLabel"},
        {QT_TR_NOOP("Failed exchanges since search"), "failuresLabel"},
        {QT_TR_NOOP("Zombie episodes (total time)"), "zombieLabel"},
    }};
    auto *group = new QGroupBox(tr("Bus health"), miscPage);
    group->setObjectName(QStringLiteral("healthGroup"));
    auto *grid = new QGridLayout(group);
    for (int i = 0; i < int(fields.size()); ++i) {
        grid->addWidget(new QLabel(tr(fields[i].first), group), i, 0);
        healthLabels[i] = valueLabel(QString(), QLatin1String(fields[i].second), group);
        grid->addWidget(healthLabels[i], i, 1);
    }
    return group;
}

void MWindow::refreshHealth()
{
    const BusHealth &health = monitor.health;
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList texts = {HealthText::lastReply(health.lastGoodReply(), now),
                               HealthText::exchangeTime(health.medianExchangeUs()),
                               HealthText::exchangeTime(health.worstExchangeUs()),
                               QString::number(health.failuresSinceSearch()), HealthText::zombie(health, now)};
    for (int i = 0; i < int(healthLabels.size()); ++i)
        healthLabels[i]->setText(texts.at(i));
}

void MWindow::pullHealth()
{
    if (!controller || monitor.address == 0 || !isVisible())
        return;
    for (int i = 0; i < controller->monitorCount(); ++i) {
        const CMonitor *live = controller->monitorAt(i);
        if (live && live->address == monitor.address) {
            monitor.health = live->health;
            refreshHealth();
            return;
        }
    }
}

void MWindow::setMonitor(CMonitor *m)
{
    if (m)
        monitor = *m;
    else
        monitor.address = 0; // the rest stays, like the texts on show
    refreshView();
}

void MWindow::monitorUpdate(CMonitor m)
{
    if (m.address == monitor.address)
        setMonitor(&m);
}

void MWindow::monitorRemoved(CMonitor m)
{
    if (m.address == monitor.address)
        setMonitor(nullptr);
}

CMonitor *MWindow::myMonitor()
{
    return &monitor;
}

void MWindow::refreshView()
{
    // Nothing to show, or the last known state of a monitor that stopped
    // answering: keep the texts but let nobody press keys.
    const bool showing = monitor.address != 0 && !(monitor.state & CMonitor::StateZombie);
    // Health matters most while the monitor does not answer.
    if (monitor.address != 0)
        refreshHealth();
    statusPage->setEnabled(showing);
    controlPage->setEnabled(showing);
    miscPage->setEnabled(showing);
    if (!showing)
        return;

    // Status tab
    statusImageLabel->setPixmap(statusImage(monitor));
    serialNumberLabel->setText(monitor.serialNumber);
    versionLabel->setText(monitor.version);
    // Codes the tables do not know leave the previous text.
    if (monitor.input < inputNames.size())
        inputLabel->setText(inputNames.at(monitor.input));
    if (monitor.mode < modeNames.size())
        modeLabel->setText(modeNames.at(monitor.mode));

    // The tests know about power and the alarm options.
    for (int i = 0; i < AlarmCount; ++i)
        alarmBoxes[i]->setChecked(alarmTest(monitor, AlarmKinds::shownOrder[i]));
    timeCodeLabel->setText(monitor.timeCode);

    for (int i = 0; i < CMonitor::RotaryCount; ++i)
        rotaryLabels[i]->setText(rotaryText(i, monitor.rotaryValues[i]));
    for (int i = 0; i < FunctionCount; ++i)
        functionBoxes[i]->setChecked(monitor.functions & (quint32(1) << i));

    // Control tab. setChecked emits no clicked(), so this sends nothing.
    powerGroup->setTitle(monitor.serialNumber);
    powerButton->setChecked(monitor.state & CMonitor::StatePower);

    // Misc tab. Until the board versions have been fetched the record holds
    // fewer bytes: show the complete pairs, leave the others empty.
    addressLabel->setText(QString::number(monitor.address));
    const QByteArray &board = monitor.boardVersions;
    for (int i = 0; i < BoardCount; ++i) {
        if (board.size() >= 2 * i + 2)
            boardEdits[i]->setText(
                CMonitor::versionText(quint8(board.at(2 * i)), quint8(board.at(2 * i + 1))));
        else
            boardEdits[i]->clear();
    }
}

void MWindow::sendMonitorCmd()
{
    if (monitor.address == 0 || !controller)
        return;
    QObject *source = sender();
    quint8 code = 0;
    if (source == powerButton) {
        // The click has already toggled the button: checked now means "on".
        code = powerButton->isChecked() ? ControlKeys::PowerOn : ControlKeys::PowerOff;
    } else {
        int n = 0;
        for (const ControlKeys::Key &key : ControlKeys::keys) {
            if (key.group == ControlKeys::PowerGroup)
                continue;
            if (keyButtons[n++] == source) {
                code = key.code;
                break;
            }
        }
        if (code == 0)
            return;
    }
    controller->sendControl(code, monitor.address);
}

void MWindow::setTallyUMD()
{
    if (!controller)
        return;
    quint8 tally = 0;
    if (redTallyCheck->isChecked())
        tally |= 1;
    if (greenTallyCheck->isChecked())
        tally |= 2;
    // toLatin1 turns what Latin-1 cannot hold into '?'. The command cuts or
    // pads the text to the display's eight characters.
    const QByteArray text = umdCheck->isChecked() ? umdEdit->text().toLatin1() : QByteArray();
    controller->sendUmd(text, tally, monitor.address);
}
