#include "SimOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <optional>

namespace sim {

namespace {

const char* const kDescription = R"(Plays a ZNR instrument for the ZNR Data Extractor.

Link (exactly one):
  --listen PORT      TCP server on --address (127.0.0.1); the extractor connects to it. One
                     connection at a time; served again after a disconnect. PORT 0 picks a free
                     port. The port is printed as "znr-sim: listening on ADDRESS:PORT".
  --serial DEVICE    a serial device, line settings from --settings.
  --pty LINK         a new pseudo-terminal in raw mode; LINK becomes a symlink to its device
                     (map a COM number to LINK in the extractor's [SERIAL PORTS] section). The
                     link is removed on exit.

Protocol: frames are SOH, "1", the type (IST, STB, DAT, ENB, ERR), STX, payload, ETX, EOT. The
simulator waits for the extractor's greeting ACK8 (06 38), then sends each frame and waits for
its ACK8 (stop-and-wait). On NAK8 (15 38) while a frame is in flight it drops the rest of that
frame and resends the whole frame from its SOH in one write (once per frame). A NAK8 that
answers a complete frame (its EOT sent, its ACK8 awaited; e.g. a batch end the extractor could
not write to disk) makes it resend that whole frame after --resend-wait (1000 ms), and again
after every further NAK8, until the frame is acknowledged. With --burst, a NAK8 that comes once
the whole batch is written refuses the oldest frame still awaiting its reply.

A batch: IST "MODE,a,b,ID,x", STB "BATCHCODE,CODE1,CODE2,...", one DAT "ROW,VALUE1,..." per
row, then ENB "0" or ERR "A2CD,E17". In CAL. CHECK the codes come one STB at a time, each
followed by its own readings "READING,VALUE"; code k (from 0) gets max(1, rows - k) readings.
Values have 4 decimals and come from --seed; the same seed gives the same batches.

--late MS: in each batch the first DAT frame (the STB when there is none) is written as
pieces; the last piece before the EOT waits MS, the EOT follows --gap later. An extractor whose
5-second deadline has passed answers that piece with NAK8, and the frame is resent whole.

--expect-dir DIR: after each batch's end is acknowledged, the data files the extractor should
have written are appended to DIR/COLUMN/<file> and DIR/ROW/<file>, <file> being the first 4
characters of the ID, a blank, the stamp MM-dd-yyyy-HHmmss and ".dat". The extractor stamps
the file with its own clock while it handles the end, so one file is written for every second
from just before the end was sent to just after its ACK8; pick the one whose name matches.

Exit code: 0 when the batches are done and acknowledged (or on SIGINT/SIGTERM with --batches 0),
1 on a link failure or an interrupted run, 2 on bad arguments.)";

struct Spec {
    const char* name;
    const char* value; // nullptr: a flag
    const char* help;
};

const Spec kOptions[] = {
    {"listen", "PORT", "Serve TCP on PORT."},
    {"address", "A", "Address to listen on (default 127.0.0.1)."},
    {"serial", "DEVICE", "Use the serial device DEVICE."},
    {"settings", "TEXT", "Serial line settings, e.g. 9600,n,8,1 (default)."},
    {"pty", "LINK", "Create a pty and the symlink LINK to it."},
    {"id", "ID", "Instrument ID, IST field 3 (default 1234)."},
    {"mode", "MODE", "RUN MODE (default), CAL. CHECK or FAST MODE."},
    {"batch-code", "CODE", "STB field 0 (default X100)."},
    {"codes", "LIST", "Measurement codes, comma-separated, 1-2 characters (default W1,D1)."},
    {"rows", "N", "Reading rows per batch (default 3)."},
    {"batches", "N", "Batches to play, 0 = forever (default 1)."},
    {"interval", "MS", "Pause between batches (default 0)."},
    {"end", "TYPE", "ENB (default) or ERR: the frame that ends each batch."},
    {"seed", "N", "Seed of the reading values (default 1)."},
    {"fragment", "N", "Split each frame over N writes (default 1)."},
    {"gap", "MS", "Pause between the writes of one frame (default 0)."},
    {"late", "MS",
     "Per batch, hold back the last part of the first DAT frame (or the STB) "
     "before its EOT by MS, e.g. 6000 to pass the 5-second deadline; stop-and-wait "
     "only."},
    {"burst", nullptr, "Send all frames of a batch without waiting for ACK8."},
    {"resend-wait", "MS",
     "Pause before resending a complete frame answered with NAK8 (default 1000)."},
    {"stats", nullptr, "Print frames, ACK8/NAK8 counts and round-trip times on exit."},
    {"expect-dir", "DIR",
     "Write the data files the extractor should produce to DIR/COLUMN and "
     "DIR/ROW (one file per candidate second of the batch end)."},
    {"verbose", nullptr,
     "Log on stderr every write just before it is made, every reply, \"ending batch N\" "
     "before the first write of a batch's end frame and \"batch N acknowledged\" once its "
     "expected files are written."},
};

std::optional<quint64> number(const QString& text, quint64 max) {
    bool ok = false;
    const qulonglong v = text.toULongLong(&ok);
    if (!ok || text.isEmpty() || !text[0].isDigit() || v > max)
        return std::nullopt;
    return v;
}

bool plainText(const QByteArray& s) {
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == ',' || c == 0x7f)
            return false;
    return true;
}

class Reader {
public:
    explicit Reader(QCommandLineParser& p) : p_(p) {}
    QString error;

    int integer(const char* name, int current, int max = 1'000'000'000) {
        if (!p_.isSet(QLatin1String(name)))
            return current;
        const auto v = number(p_.value(QLatin1String(name)), quint64(max));
        if (!v)
            fail(QStringLiteral("--%1 needs a whole number from 0 to %2")
                     .arg(QLatin1String(name))
                     .arg(max));
        return v ? int(*v) : current;
    }
    QByteArray text(const char* name, const QByteArray& current) {
        if (!p_.isSet(QLatin1String(name)))
            return current;
        const QByteArray v = p_.value(QLatin1String(name)).toLatin1();
        if (!plainText(v))
            fail(QStringLiteral("--%1 needs a non-empty text without commas")
                     .arg(QLatin1String(name)));
        return v;
    }
    void fail(const QString& message) {
        if (error.isEmpty())
            error = message;
    }

private:
    QCommandLineParser& p_;
};

void readLink(QCommandLineParser& p, Reader& r, SimOptions& o) {
    const int links = int(p.isSet(QStringLiteral("listen"))) +
                      int(p.isSet(QStringLiteral("serial"))) + int(p.isSet(QStringLiteral("pty")));
    if (links != 1)
        return r.fail(QStringLiteral("give exactly one of --listen, --serial, --pty"));
    if (p.isSet(QStringLiteral("listen"))) {
        o.link = SimOptions::LinkKind::Tcp;
        o.listenPort = quint16(r.integer("listen", 0, 65535));
        o.address =
            p.isSet(QStringLiteral("address")) ? p.value(QStringLiteral("address")) : o.address;
    } else if (p.isSet(QStringLiteral("serial"))) {
        o.link = SimOptions::LinkKind::Serial;
        o.serialDevice = p.value(QStringLiteral("serial"));
        o.serialSettings = p.isSet(QStringLiteral("settings"))
                               ? p.value(QStringLiteral("settings")).toLatin1()
                               : o.serialSettings;
        static const QRegularExpression form(QStringLiteral("^[1-9]\\d*,[neomsNEOMS],[5-8],[12]$"));
        if (!form.match(QString::fromLatin1(o.serialSettings)).hasMatch())
            r.fail(QStringLiteral("--settings needs baud,parity,data bits,stop bits (1 or 2)"));
    } else {
        o.link = SimOptions::LinkKind::Pty;
        o.ptyLink = p.value(QStringLiteral("pty"));
    }
}

void readBatch(QCommandLineParser& p, Reader& r, SimOptions& o) {
    o.id = r.text("id", o.id);
    o.mode = p.isSet(QStringLiteral("mode")) ? p.value(QStringLiteral("mode")).toLatin1() : o.mode;
    if (o.mode != "RUN MODE" && o.mode != "CAL. CHECK" && o.mode != "FAST MODE")
        r.fail(QStringLiteral("--mode must be \"RUN MODE\", \"CAL. CHECK\" or \"FAST MODE\""));
    o.batchCode = r.text("batch-code", o.batchCode);
    if (p.isSet(QStringLiteral("codes"))) {
        o.codes = p.value(QStringLiteral("codes")).toLatin1().split(',');
        for (const QByteArray& c : o.codes)
            if (!plainText(c) || c.size() > 2)
                r.fail(QStringLiteral("--codes needs codes of 1 or 2 characters joined by commas"));
    }
    o.rows = r.integer("rows", o.rows, 32767);
    o.batches = r.integer("batches", o.batches);
    o.intervalMs = r.integer("interval", o.intervalMs);
    o.end = p.isSet(QStringLiteral("end")) ? p.value(QStringLiteral("end")).toLatin1() : o.end;
    if (o.end != "ENB" && o.end != "ERR")
        r.fail(QStringLiteral("--end must be ENB or ERR"));
    if (p.isSet(QStringLiteral("seed"))) {
        const auto v = number(p.value(QStringLiteral("seed")), ~quint64(0));
        if (v)
            o.seed = *v;
        else
            r.fail(QStringLiteral("--seed needs a whole number"));
    }
}

void readTiming(QCommandLineParser& p, Reader& r, SimOptions& o) {
    o.fragments = r.integer("fragment", o.fragments, 1000);
    if (o.fragments < 1)
        r.fail(QStringLiteral("--fragment needs at least 1"));
    o.gapMs = r.integer("gap", o.gapMs);
    o.lateMs = r.integer("late", o.lateMs);
    o.burst = p.isSet(QStringLiteral("burst"));
    o.resendWaitMs = r.integer("resend-wait", o.resendWaitMs);
    if (o.burst && o.lateMs > 0)
        r.fail(QStringLiteral("--late works in stop-and-wait mode only, not with --burst"));
    o.stats = p.isSet(QStringLiteral("stats"));
    o.verbose = p.isSet(QStringLiteral("verbose"));
    o.expectDir = p.value(QStringLiteral("expect-dir"));
}

} // namespace

ParseResult parseArguments(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(kDescription));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = p.addHelpOption();
    for (const Spec& s : kOptions) {
        QCommandLineOption o(QString::fromLatin1(s.name), QString::fromLatin1(s.help));
        if (s.value)
            o.setValueName(QString::fromLatin1(s.value));
        p.addOption(o);
    }
    ParseResult result;
    result.helpText = p.helpText();
    if (!p.parse(arguments)) {
        result.error = p.errorText();
        return result;
    }
    if (p.isSet(help)) {
        result.help = true;
        return result;
    }
    if (!p.positionalArguments().isEmpty())
        result.error = QStringLiteral("unexpected argument: ") + p.positionalArguments().first();
    Reader r(p);
    readLink(p, r, result.options);
    readBatch(p, r, result.options);
    readTiming(p, r, result.options);
    if (result.error.isEmpty())
        result.error = r.error;
    return result;
}

} // namespace sim
