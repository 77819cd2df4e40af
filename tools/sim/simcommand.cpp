#include "tools/sim/simcommand.h"

#include <QHash>

#include <cctype>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isHexDigit(QChar c)
{
    return c.unicode() < 128 && std::isxdigit(c.unicode());
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

std::optional<SimCommand> failed(QString *error, const QString &text)
{
    fail(error, text);
    return std::nullopt;
}

bool parseOnOff(const QString &word, bool *on)
{
    const QString w = word.toLower();
    if (w == QLatin1String("on")) {
        *on = true;
        return true;
    }
    if (w == QLatin1String("off")) {
        *on = false;
        return true;
    }
    return false;
}

// A number within [min, max]; the message names what it is for.
bool parseRanged(const QString &word, qint64 min, qint64 max, const QString &what, qint64 *value,
                 QString *error)
{
    const std::optional<qint64> v = SimCommand::parseNumber(word);
    if (!v || *v < min || *v > max)
        return fail(error, QStringLiteral("bad %1 '%2' (%3 to %4)").arg(what, word).arg(min).arg(max));
    *value = *v;
    return true;
}

// Texts go on the wire one byte per character.
bool parseText(const QString &word, const QString &what, QString *text, QString *error)
{
    for (QChar c : word) {
        if (c.unicode() > 0xFF)
            return fail(error, QStringLiteral("%1 '%2' has a character that is not 8-bit").arg(what, word));
    }
    if (word.size() > 64)
        return fail(error, QStringLiteral("%1 is longer than 64 characters").arg(what));
    *text = word;
    return true;
}

bool parseHexBytes(const QString &word, QByteArray *bytes, QString *error)
{
    QString digits = word;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = digits.size() % 2 == 0 && digits.size() <= 20;
    for (QChar c : digits)
        ok = ok && isHexDigit(c);
    if (!ok)
        return fail(error, QStringLiteral("bad board versions '%1' (up to 10 bytes as hex digits, "
                                          "e.g. 1205301110022100 1107)").arg(word));
    *bytes = QByteArray::fromHex(digits.toLatin1());
    return true;
}

bool parseRotaryList(const QString &word, std::array<qint8, 5> *levels, QString *error)
{
    const QStringList parts = word.split(QLatin1Char(','));
    if (parts.size() != 5)
        return fail(error, QStringLiteral("rotary needs five levels, e.g. rotary=0,0,-10,5,20"));
    for (int i = 0; i < 5; ++i) {
        qint64 v = 0;
        if (!parseRanged(parts.at(i), -128, 127, QStringLiteral("rotary level"), &v, error))
            return false;
        (*levels)[size_t(i)] = qint8(v);
    }
    return true;
}

const QHash<QString, quint8> &keyNames()
{
    static const QHash<QString, quint8> names = [] {
        QHash<QString, quint8> h{
            {QStringLiteral("sdi1"), 0x80}, {QStringLiteral("sdi2"), 0x81},
            {QStringLiteral("ypbpr"), 0x82}, {QStringLiteral("cvbs"), 0x83},
            {QStringLiteral("dvi"), 0x84}, {QStringLiteral("menu"), 0x90},
            {QStringLiteral("up"), 0x91}, {QStringLiteral("down"), 0x92},
            {QStringLiteral("enter"), 0x93}, {QStringLiteral("off"), 0xFE},
            {QStringLiteral("on"), 0xFF},
        };
        for (int i = 0; i < 5; ++i) {
            h.insert(QStringLiteral("f%1").arg(i + 1), quint8(0x88 + i));
            h.insert(QStringLiteral("push%1").arg(i + 1), quint8(0x98 + i));
            h.insert(QStringLiteral("cw%1").arg(i + 1), quint8(0xA0 + i));
            h.insert(QStringLiteral("ccw%1").arg(i + 1), quint8(0xA8 + i));
        }
        return h;
    }();
    return names;
}

bool parseAddField(const QString &word, SimCommand *cmd, QString *error)
{
    const int eq = word.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return fail(error, QStringLiteral("expected key=value, got '%1'").arg(word));
    const QString key = word.left(eq).toLower();
    const QString value = word.mid(eq + 1);
    SimMonitorState &s = cmd->init;
    qint64 v = 0;
    if (key == QLatin1String("power")) {
        if (!parseOnOff(value, &s.power))
            return fail(error, QStringLiteral("power must be on or off, not '%1'").arg(value));
        cmd->addFields |= SimCommand::AddPower;
    } else if (key == QLatin1String("sn")) {
        if (!parseText(value, QStringLiteral("serial number"), &s.serialNumber, error))
            return false;
        cmd->addFields |= SimCommand::AddSerialNumber;
    } else if (key == QLatin1String("version")) {
        if (!parseText(value, QStringLiteral("version"), &s.version, error))
            return false;
        cmd->addFields |= SimCommand::AddVersion;
    } else if (key == QLatin1String("timecode")) {
        if (!parseText(value, QStringLiteral("time code"), &s.timeCode, error))
            return false;
        cmd->addFields |= SimCommand::AddTimeCode;
    } else if (key == QLatin1String("input")) {
        if (!parseRanged(value, 0, 255, QStringLiteral("input"), &v, error))
            return false;
        s.input = quint8(v);
        cmd->addFields |= SimCommand::AddInput;
    } else if (key == QLatin1String("mode")) {
        if (!parseRanged(value, 0, 255, QStringLiteral("mode"), &v, error))
            return false;
        s.mode = quint8(v);
        cmd->addFields |= SimCommand::AddMode;
    } else if (key == QLatin1String("alarm")) {
        if (!parseRanged(value, 0, 255, QStringLiteral("alarm byte"), &v, error))
            return false;
        s.alarm = quint8(v);
        cmd->addFields |= SimCommand::AddAlarm;
    } else if (key == QLatin1String("functions")) {
        if (!parseRanged(value, 0, 0xFFFFFFFFLL, QStringLiteral("functions"), &v, error))
            return false;
        s.functions = quint32(v);
        cmd->addFields |= SimCommand::AddFunctions;
    } else if (key == QLatin1String("rotary")) {
        if (!parseRotaryList(value, &s.rotary, error))
            return false;
        cmd->addFields |= SimCommand::AddRotary;
    } else if (key == QLatin1String("boards")) {
        if (!parseHexBytes(value, &s.boardVersions, error))
            return false;
        cmd->addFields |= SimCommand::AddBoardVersions;
    } else {
        return fail(error, QStringLiteral("unknown field '%1' (power, sn, version, input, mode, "
                                          "alarm, rotary, functions, boards, timecode)").arg(key));
    }
    return true;
}

bool parseSet(const QStringList &args, SimCommand *cmd, QString *error)
{
    if (args.isEmpty())
        return fail(error, QStringLiteral("set needs an item: sn, version, input, mode, rotary, "
                                          "functions, boards, timecode"));
    const QString item = args.first().toLower();
    const int want = item == QLatin1String("rotary") ? 3 : 2;
    if (args.size() != want) {
        return fail(error, args.size() < want
                               ? QStringLiteral("set %1 needs a value").arg(item)
                               : QStringLiteral("too many words after 'set %1' (quote a text with blanks)").arg(item));
    }
    const QString value = args.at(1);
    if (item == QLatin1String("sn")) {
        cmd->item = SimCommand::SerialNumber;
        return parseText(value, QStringLiteral("serial number"), &cmd->text, error);
    }
    if (item == QLatin1String("version")) {
        cmd->item = SimCommand::Version;
        return parseText(value, QStringLiteral("version"), &cmd->text, error);
    }
    if (item == QLatin1String("timecode")) {
        cmd->item = SimCommand::TimeCode;
        return parseText(value, QStringLiteral("time code"), &cmd->text, error);
    }
    if (item == QLatin1String("input")) {
        cmd->item = SimCommand::Input;
        return parseRanged(value, 0, 255, QStringLiteral("input"), &cmd->number, error);
    }
    if (item == QLatin1String("mode")) {
        cmd->item = SimCommand::Mode;
        return parseRanged(value, 0, 255, QStringLiteral("mode"), &cmd->number, error);
    }
    if (item == QLatin1String("functions")) {
        cmd->item = SimCommand::Functions;
        return parseRanged(value, 0, 0xFFFFFFFFLL, QStringLiteral("functions"), &cmd->number, error);
    }
    if (item == QLatin1String("boards")) {
        cmd->item = SimCommand::BoardVersions;
        return parseHexBytes(value, &cmd->bytes, error);
    }
    if (item == QLatin1String("rotary")) {
        cmd->item = SimCommand::Rotary;
        qint64 index = 0;
        if (!parseRanged(value, 1, 5, QStringLiteral("rotary number"), &index, error))
            return false;
        cmd->index = int(index) - 1;
        return parseRanged(args.at(2), -128, 127, QStringLiteral("rotary level"), &cmd->number, error);
    }
    return fail(error, QStringLiteral("unknown item '%1' (sn, version, input, mode, rotary, "
                                      "functions, boards, timecode)").arg(args.first()));
}

} // namespace

bool SimCommand::tokenize(const QString &line, QStringList *words, QString *error)
{
    words->clear();
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (QChar c : line) {
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else
                word.append(c);
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else if (c == QLatin1Char('#')) {
            break;
        } else if (c.isSpace()) {
            if (inWord)
                words->append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (quoted)
        return fail(error, QStringLiteral("unterminated quote"));
    if (inWord)
        words->append(word);
    return true;
}

std::optional<qint64> SimCommand::parseNumber(const QString &word)
{
    QString w = word;
    const bool negative = w.startsWith(QLatin1Char('-'));
    if (negative)
        w = w.mid(1);
    int base = 10;
    if (w.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        w = w.mid(2);
    }
    // Digits only: no second sign, no blanks, nothing that could overflow.
    if (w.isEmpty() || w.size() > 16)
        return std::nullopt;
    for (QChar c : w) {
        if (!(base == 10 ? isAsciiDigit(c) : isHexDigit(c)))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 v = w.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    return negative ? -v : v;
}

std::optional<int> SimCommand::parseDurationMs(const QString &word, bool unitRequired)
{
    QString digits = word.toLower();
    qint64 scale = 0;
    if (digits.endsWith(QLatin1String("ms"))) {
        scale = 1;
        digits.chop(2);
    } else if (digits.endsWith(QLatin1Char('s'))) {
        scale = 1000;
        digits.chop(1);
    } else if (!unitRequired) {
        scale = 1;
    } else {
        return std::nullopt;
    }
    if (digits.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 v = digits.toLongLong(&ok, 10);
    // An hour is far beyond any time-out worth simulating.
    if (!ok || v < 0 || !digits.at(0).isDigit() || v > 3600 * 1000 || v * scale > 3600 * 1000)
        return std::nullopt;
    return int(v * scale);
}

std::optional<quint8> SimCommand::parseKey(const QString &word)
{
    const auto it = keyNames().constFind(word.toLower());
    if (it != keyNames().constEnd())
        return *it;
    const std::optional<qint64> v = parseNumber(word);
    if (v && *v >= 0 && *v <= 255)
        return quint8(*v);
    return std::nullopt;
}

bool SimCommand::parseAddresses(const QString &word, QList<quint8> *addresses, bool *all,
                                QString *error)
{
    addresses->clear();
    *all = false;
    if (word.toLower() == QLatin1String("all")) {
        *all = true;
        return true;
    }
    for (const QString &part : word.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        std::optional<qint64> first;
        std::optional<qint64> last;
        if (ends.size() == 1) {
            first = last = parseNumber(part);
        } else if (ends.size() == 2) {
            first = parseNumber(ends.at(0));
            last = parseNumber(ends.at(1));
        }
        if (!first || !last || *first < 1 || *last > 126 || *first > *last)
            return fail(error, QStringLiteral("bad address '%1' (1 to 126, a range like 3-7, "
                                              "a list like 1,4,9 or all)").arg(part));
        for (qint64 a = *first; a <= *last; ++a) {
            if (!addresses->contains(quint8(a)))
                addresses->append(quint8(a));
        }
    }
    return true;
}

std::optional<SimCommand> SimCommand::parse(const QString &line, QString *error)
{
    QStringList words;
    if (!tokenize(line, &words, error))
        return std::nullopt;
    SimCommand cmd;
    if (words.isEmpty())
        return cmd;

    static const QHash<QString, Verb> verbs{
        {QStringLiteral("add"), Add},         {QStringLiteral("remove"), Remove},
        {QStringLiteral("power"), Power},     {QStringLiteral("alarm"), Alarm},
        {QStringLiteral("set"), Set},         {QStringLiteral("key"), Key},
        {QStringLiteral("fault"), Fault},     {QStringLiteral("vanish"), Vanish},
        {QStringLiteral("reappear"), Reappear}, {QStringLiteral("silence"), Silence},
        {QStringLiteral("wait"), Wait},       {QStringLiteral("status"), Status},
        {QStringLiteral("trace"), Trace},     {QStringLiteral("baud"), Baud},
        {QStringLiteral("turnaround"), Turnaround}, {QStringLiteral("help"), Help},
        {QStringLiteral("quit"), Quit},       {QStringLiteral("pacing"), Pacing},
    };
    const QString verbWord = words.first().toLower();
    const auto verb = verbs.constFind(verbWord);
    if (verb == verbs.constEnd())
        return failed(error, QStringLiteral("unknown command '%1' (try 'help')").arg(words.first()));
    cmd.verb = *verb;
    const QStringList args = words.mid(1);

    auto argCount = [&](int min, int max) {
        if (args.size() >= min && args.size() <= max)
            return true;
        return fail(error, args.size() < min ? QStringLiteral("%1: missing argument").arg(verbWord)
                                             : QStringLiteral("%1: too many arguments").arg(verbWord));
    };
    auto addressArg = [&]() {
        return parseAddresses(args.first(), &cmd.addresses, &cmd.allAddresses, error);
    };

    switch (cmd.verb) {
    case Nothing:
        break;
    case Add:
        if (!argCount(1, 100) || !addressArg())
            return std::nullopt;
        if (cmd.allAddresses)
            return failed(error, QStringLiteral("add: 'all' is not an address to add"));
        for (int i = 1; i < args.size(); ++i) {
            if (!parseAddField(args.at(i), &cmd, error))
                return std::nullopt;
        }
        break;
    case Remove:
        if (!argCount(1, 1) || !addressArg())
            return std::nullopt;
        break;
    case Power:
        if (!argCount(2, 2) || !addressArg())
            return std::nullopt;
        if (!parseOnOff(args.at(1), &cmd.flag))
            return failed(error, QStringLiteral("power must be on or off, not '%1'").arg(args.at(1)));
        break;
    case Alarm:
        if (!argCount(2, 2) || !addressArg())
            return std::nullopt;
        if (args.at(1).toLower() == QLatin1String("clear")) {
            cmd.flag = true;
            cmd.number = 0;
        } else if (!parseRanged(args.at(1), 0, 255, QStringLiteral("alarm byte"), &cmd.number, error)) {
            return std::nullopt;
        }
        break;
    case Set:
        if (!argCount(1, 100) || !addressArg() || !parseSet(args.mid(1), &cmd, error))
            return std::nullopt;
        break;
    case Key: {
        if (!argCount(2, 2) || !addressArg())
            return std::nullopt;
        const std::optional<quint8> key = parseKey(args.at(1));
        if (!key)
            return failed(error, QStringLiteral("unknown key '%1' (SDI1, CVBS, F1, MENU, CW1, CCW1, "
                                                "PUSH1, ON, OFF, ... or a code like 0xA0)").arg(args.at(1)));
        cmd.number = *key;
        break;
    }
    case Fault: {
        if (!argCount(2, 4) || !addressArg())
            return std::nullopt;
        const std::optional<SimFault> fault = SimFault::parse(args.mid(1), error);
        if (!fault)
            return std::nullopt;
        cmd.fault = *fault;
        break;
    }
    case Reappear:
        if (!argCount(0, 1))
            return std::nullopt;
        cmd.flag = !args.isEmpty();
        if (cmd.flag && args.first().toLower() != QLatin1String("newnode"))
            return failed(error, QStringLiteral("reappear takes nothing or newnode, not '%1'").arg(args.first()));
        break;
    case Silence: {
        if (!argCount(1, 1))
            return std::nullopt;
        const QString which = args.first().toLower();
        if (which != QLatin1String("all") && which != QLatin1String("none"))
            return failed(error, QStringLiteral("silence takes all or none, not '%1' "
                                                "(one monitor: fault ADDRS silence)").arg(args.first()));
        cmd.flag = which == QLatin1String("all");
        break;
    }
    case Vanish:
    case Pacing:
    case Help:
    case Quit:
        if (!argCount(0, 0))
            return std::nullopt;
        break;
    case Status:
        if (!argCount(0, 1))
            return std::nullopt;
        if (args.isEmpty())
            cmd.allAddresses = true;
        else if (!addressArg())
            return std::nullopt;
        break;
    case Trace:
        if (!argCount(1, 1))
            return std::nullopt;
        if (!parseOnOff(args.first(), &cmd.flag))
            return failed(error, QStringLiteral("trace must be on or off, not '%1'").arg(args.first()));
        break;
    case Wait: {
        if (!argCount(1, 1))
            return std::nullopt;
        const std::optional<int> ms = parseDurationMs(args.first(), false);
        if (!ms)
            return failed(error, QStringLiteral("bad time '%1' (e.g. 500, 500ms or 2s)").arg(args.first()));
        cmd.number = *ms;
        break;
    }
    case Baud:
        if (!argCount(1, 1) || !parseRanged(args.first(), 0, 4000000, QStringLiteral("baud rate"), &cmd.number, error))
            return std::nullopt;
        if (cmd.number > 0 && cmd.number < 50)
            return failed(error, QStringLiteral("bad baud rate '%1' (0 for no pacing, or 50 to 4000000)").arg(args.first()));
        break;
    case Turnaround: {
        if (!argCount(1, 1))
            return std::nullopt;
        const std::optional<int> ms = parseDurationMs(args.first(), false);
        if (!ms || *ms > 10000)
            return failed(error, QStringLiteral("bad turnaround '%1' (0 to 10000 ms)").arg(args.first()));
        cmd.number = *ms;
        break;
    }
    }
    return cmd;
}

QString SimCommand::helpText()
{
    return QStringLiteral(
        "add ADDRS [power=on|off] [sn=TEXT] [version=TEXT] [input=N] [mode=N] [alarm=N]\n"
        "          [rotary=H,C,B,C,V] [functions=N] [boards=HEX] [timecode=TEXT]\n"
        "remove ADDRS | power ADDRS on|off | alarm ADDRS N|clear\n"
        "set ADDRS sn|version|timecode TEXT | input|mode|functions N | rotary 1-5 LEVEL | boards HEX\n"
        "key ADDRS SDI1|SDI2|YPbPr|CVBS|DVI|F1-F5|MENU|UP|DOWN|ENTER|PUSH1-5|CW1-5|CCW1-5|ON|OFF|CODE\n"
        "fault ADDRS silence|noise [N]|split [MS]|late [MS]|badalarm [N]|wrongitem|noquery|none\n"
        "fault ADDRS dies-after 30s|500ms|N polls\n"
        "vanish | reappear [newnode] | silence all|none (the whole line, monitors keep their faults)\n"
        "status [ADDRS] | trace on|off | baud N | turnaround MS | pacing\n"
        "wait MS (scenario files only) | help | quit\n"
        "ADDRS: 5, 3-7, 1,4,9 or all. Numbers: decimal or 0x hex. '#' starts a comment.");
}
